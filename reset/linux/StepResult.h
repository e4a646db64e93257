#pragma once
#include "reset/AttributeReset.h"

#include <string>
#include <sys/stat.h>

namespace linuxreset {

// What one backend made of a path. Backends that find nothing of theirs say NotMine, so the
// next one gets its turn; the first Error is the reason the user sees.
struct StepResult
{
    using Status = ResetOutcome::Status;
    using Cause = ResetOutcome::Cause;
    enum class Kind { NotMine, Normal, LeftAsIs, Error };
    Kind kind = Kind::NotMine;
    ResetOutcome outcome;  // filled for LeftAsIs and Error

    static StepResult notMine() { return {}; }
    static StepResult normal() { return {Kind::Normal, {}}; }
    static StepResult leftAsIs(Cause cause);
    static StepResult failed(Status status, Cause cause, std::string reason = {});
    // A system call that failed on `object` (its owner tells "another user's" from "yours but
    // not writable"), in the terms the report uses.
    static StepResult fromErrno(int error, const struct statx& object);
    // The same for a path that could not be resolved to an object at all.
    static StepResult unreachable(int error);
};

}  // namespace linuxreset
