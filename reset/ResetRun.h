#pragma once
#include "reset/AttributeReset.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

struct ResetFailure
{
    std::filesystem::path path;
    ResetOutcome outcome;
};

struct ResetSummary
{
    std::size_t done = 0;
    std::vector<ResetFailure> failures;  // in list order
};

// Called before each path is worked on, with its index.
using ResetObserver = std::function<void(std::size_t index, const std::filesystem::path& path)>;

// Resets every path in order; a failure on one path never stops the others.
ResetSummary runReset(const std::vector<std::filesystem::path>& paths, AttributeReset& reset,
                      const ResetObserver& observer = {});
