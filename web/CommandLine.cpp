#include "web/CommandLine.h"

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::optional<std::string> commandLineProblem(std::string_view commandLine)
{
    if (splitCommandLine(commandLine).empty())
        return "The command line is empty.";
    return std::nullopt;
}

std::vector<std::string> splitCommandLine(std::string_view commandLine)
{
    std::vector<std::string> arguments;
    std::string argument;
    bool quoted = false;
    int quotes = 0;  // double quotes in a row so far
    for (const char c : commandLine) {
        if (c == '"') {
            if (++quotes == 3) {
                argument += '"';
                quotes = 0;
            }
            continue;
        }
        if (quotes == 1)
            quoted = !quoted;
        quotes = 0;
        if (!quoted && isSpace(c)) {
            if (!argument.empty())
                arguments.push_back(std::move(argument));
            argument.clear();
        } else {
            argument += c;
        }
    }
    if (quotes == 1)
        quoted = !quoted;
    if (!argument.empty())
        arguments.push_back(std::move(argument));
    return arguments;
}
