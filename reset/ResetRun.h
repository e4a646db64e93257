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

// The text of the report box. Without failures it is exactly
// "Done resetting N files/folders" + 2 line breaks + "Click OK to reset more files/folders".
std::string resetReport(const ResetSummary& summary, const std::string& lineBreak);

// The first line of the progress display while the path at index done is worked on.
std::string progressHeading(std::size_t done, std::size_t total);

// A short description of why a path was not reset, for the report.
std::string describeOutcome(const ResetOutcome& outcome);

// A path as the user should read it, on one line: UTF-8, with bytes that are not UTF-8 shown
// as U+FFFD and control characters escaped ("\n", "\x1B", "\u202E").
std::string displayPath(const std::filesystem::path& path);
