// The README's table of what "normal" means is the table every backend reads its bits from.
#include "reset/NormalAttributes.h"
#include "reset/ResetWords.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string rendered()
{
    std::string table = "| where the path lives | what RESET clears | what it keeps | what it "
                        "cannot change |\n|---|---|---|---|\n";
    for (const NormalOn& row : normalOn::table) {
        std::string clears = flagNames(row.clears);
        if (!row.alsoClears.empty())
            clears += (clears.empty() ? "" : "; ") + std::string(row.alsoClears);
        table += "| " + std::string(row.where) + " | " + (clears.empty() ? "nothing" : clears)
                + " | " + std::string(row.kept) + " | "
                + (row.cannot.empty() ? "-" : std::string(row.cannot)) + " |\n";
    }
    return table;
}

TEST(NormalTable, TheReadmeShowsExactlyWhatTheBackendsDo)
{
    std::ifstream readme(FLAGWASH_README);
    ASSERT_TRUE(readme) << FLAGWASH_README;
    std::stringstream text;
    text << readme.rdbuf();
    const std::string all = text.str();
    const std::string begin = "<!-- the table of normal -->\n";
    const std::string end = "<!-- end of the table of normal -->";
    const auto from = all.find(begin);
    const auto to = all.find(end);
    ASSERT_NE(from, std::string::npos);
    ASSERT_NE(to, std::string::npos);
    EXPECT_EQ(all.substr(from + begin.size(), to - from - begin.size()), rendered())
            << "put this into the README:\n"
            << rendered();
}

TEST(NormalTable, WindowsClearsTheFourAndThreeMore)
{
    EXPECT_EQ(flagNames(dos::windowsNormal),
              "read-only, hidden, system, archive, temporary, offline, not-content-indexed");
    EXPECT_EQ(normalOn::windows.clears & dos::visible, dos::visible);
    EXPECT_EQ(normalOn::fat.clears, dos::visible);
}

}  // namespace
