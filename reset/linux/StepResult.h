#pragma once
#include "reset/AttributeReset.h"

#include <string>
#include <string_view>

namespace linuxreset {

// What one backend made of a path. Backends that find nothing of theirs say NotMine, so the
// next one gets its turn; the first Error is the reason the user sees.
struct StepResult
{
    enum class Kind { NotMine, Normal, LeftAsIs, Error };
    Kind kind = Kind::NotMine;
    ResetOutcome outcome;  // filled for LeftAsIs and Error

    static StepResult notMine() { return {}; }
    static StepResult normal() { return {Kind::Normal, {}}; }
    static StepResult leftAsIs(std::string reason);
    static StepResult failed(ResetOutcome::Status status, std::string reason);
    // Maps a system error to the status the report shows; `step` names what was being done.
    static StepResult fromErrno(int error, std::string_view step);
};

}  // namespace linuxreset
