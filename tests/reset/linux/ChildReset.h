#pragma once
// Resets a path from a forked child that first gives up some of root's power, so that a test
// run as root can see what a plain user gets.
#include "reset/AttributeReset.h"

#include <filesystem>
#include <functional>

// `weaken` runs in the child before the reset and returns false when it could not; the
// outcome then is Failed with a reason saying so.
ResetOutcome resetInChild(const std::filesystem::path& path, const std::function<bool()>& weaken);

bool dropCapability(int capability);
bool hasCapability(int capability);
bool becomeNobody();
