#pragma once
// Every word the user reads about a reset run: the report box, the reason given for each path
// that could not be reset, and the progress display.
#include "reset/ResetRun.h"

#include <cstddef>
#include <cstdint>
#include <string>

struct ResetReportText
{
    std::string text;     // the box's text
    std::string details;  // every path that could not be reset, with its reason; empty if none
    bool allDone = true;  // an information box; otherwise a warning with its details
};

// Without failures the text is exactly "Done resetting N files/folders", two line breaks and
// "Click OK to reset more files/folders". With failures the first ten are named in the text,
// and all of them in the details.
ResetReportText resetReport(const ResetSummary& summary, const std::string& lineBreak);

// Why a path was not reset, in plain words and with what the user can do about it.
std::string describeOutcome(const ResetOutcome& outcome);

// The names of the DOS attribute flags among `flags`: "hidden, system".
std::string flagNames(std::uint32_t flags);

// The last line of a list of failures cut short to fit the screen, after which `more` lines
// were left out: the copy button gives them all.
std::string moreThanShown(std::size_t more);

// The first line of the progress display while the path at index done is worked on.
std::string progressHeading(std::size_t done, std::size_t total);
