#pragma once
// The name a probe prints for an outcome, the enumerator's own.
#include "reset/AttributeReset.h"

inline const char* outcomeName(ResetOutcome::Status status)
{
    switch (status) {
    case ResetOutcome::Status::Done:
        return "Done";
    case ResetOutcome::Status::Missing:
        return "Missing";
    case ResetOutcome::Status::AccessDenied:
        return "AccessDenied";
    case ResetOutcome::Status::NotSupported:
        return "NotSupported";
    case ResetOutcome::Status::NotFileOrFolder:
        return "NotFileOrFolder";
    case ResetOutcome::Status::LeftAsIs:
        return "LeftAsIs";
    case ResetOutcome::Status::Failed:
        return "Failed";
    }
    return "?";
}
