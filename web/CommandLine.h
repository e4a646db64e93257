#pragma once
// Command lines as the launchers take them: what the tool says about one that names no program,
// and the arguments of one, for a platform that starts a program from a list of them.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Why a command line cannot start anything at all, or nothing when it names a program.
std::optional<std::string> commandLineProblem(std::string_view commandLine);

// The arguments of a command line: separated by white space, a double-quoted stretch kept
// together, three double quotes in a row standing for one. The program is the first.
std::vector<std::string> splitCommandLine(std::string_view commandLine);
