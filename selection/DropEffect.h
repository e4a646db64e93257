#pragma once

// The effect the tool answers a drag with. There is no "move": a source that sees a move may
// delete the originals after the drop, so the tool cannot even say it.
enum class DropEffect { None, Copy, Link };

// What a drag source offers; a move offered is noted and never taken.
struct OfferedEffects
{
    bool copy = false;
    bool move = false;
    bool link = false;
};

DropEffect answerDropEffect(OfferedEffects offered);
