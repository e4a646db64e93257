// A command line split into a program and its arguments, as the Linux launcher starts it, and
// the one answer both launchers give to a line that names no program.
#include "web/CommandLine.h"

#include <gtest/gtest.h>

namespace {

using Arguments = std::vector<std::string>;

TEST(CommandLine, SplitsAtWhiteSpaceOutsideDoubleQuotes)
{
    const struct
    {
        const char* line;
        Arguments arguments;
    } cases[] = {
            {"xdg-open http://h/", {"xdg-open", "http://h/"}},
            {"  firefox\t --new-window  http://h/ ", {"firefox", "--new-window", "http://h/"}},
            {"\"/opt/my browser/run\" http://h/", {"/opt/my browser/run", "http://h/"}},
            {"a\"b c\"d e", {"ab cd", "e"}},
            {"say \"\"\"hi\"\"\"", {"say", "\"hi\""}},
            {"\"\" x", {"x"}},
            {"\"open to the end", {"open to the end"}},
            {"caf\xC3\xA9 \xE2\x82\xAC", {"caf\xC3\xA9", "\xE2\x82\xAC"}},
            {"", {}},
            {" \t\r\n", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitCommandLine(c.line), c.arguments) << c.line;
}

TEST(CommandLine, OneWithoutAProgramIsEmpty)
{
    EXPECT_EQ(commandLineProblem(""), "The command line is empty.");
    EXPECT_EQ(commandLineProblem("   "), "The command line is empty.");
    EXPECT_EQ(commandLineProblem("\"\""), "The command line is empty.");
    EXPECT_EQ(commandLineProblem("x http://h/"), std::nullopt);
}

}  // namespace
