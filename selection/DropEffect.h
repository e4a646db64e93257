#pragma once

// Effects a drag source offers and the one the tool answers.
enum class DropEffect { None, Copy, Move, Link };

struct OfferedEffects
{
    bool copy = false;
    bool move = false;
    bool link = false;
};

// Never "move": a source that sees a move may delete the originals after the drop.
DropEffect answerDropEffect(OfferedEffects offered);
