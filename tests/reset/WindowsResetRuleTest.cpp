// What a reset on Windows writes and what must read back cleared, cloud files among them. Plain
// bit arithmetic, so it runs on every platform; Wine keeps no cloud states (only hidden and
// system in user.DOSATTRIB, read-only in the mode bits), so this is where the rule is shown.
#include "NamedCase.h"
#include "reset/NormalAttributes.h"
#include "reset/ResetWords.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <sstream>

namespace {

struct RuleCase : tables::NamedCase
{
    std::uint32_t before;
    std::uint32_t written;    // the word written
    std::uint32_t mustClear;  // of the flags before, those that must read back cleared
    bool needed;
};

std::string hex(std::uint32_t value)
{
    std::ostringstream text;
    text << "0x" << std::hex << value;
    return text.str();
}

class WindowsResetRule : public ::testing::TestWithParam<RuleCase>
{
};

TEST_P(WindowsResetRule, WritesWhatStaysAndChecksWhatGoes)
{
    const RuleCase& c = GetParam();
    const dos::WindowsReset reset = dos::windowsReset(c.before);
    EXPECT_EQ(hex(reset.write), hex(c.written));
    EXPECT_EQ(flagNames(c.before & reset.clears), flagNames(c.mustClear));
    EXPECT_EQ(hex(c.before & reset.clears), hex(c.mustClear));
    EXPECT_EQ(reset.needed, c.needed);
    // Never a flag that describes how the data is kept, the folder bit or a recall state.
    EXPECT_EQ(reset.write
                      & (dos::directory | dos::compressed | dos::encrypted | dos::sparse
                         | dos::reparsePoint | dos::recallOnOpen | dos::recallOnDataAccess),
              0u);
}

INSTANTIATE_TEST_SUITE_P(
        Cases, WindowsResetRule,
        ::testing::Values(
                RuleCase{"Malware", dos::hidden | dos::system | dos::readOnly, dos::normal,
                         dos::hidden | dos::system | dos::readOnly, true},
                RuleCase{"EveryClearedFlag", dos::windowsNormal, dos::normal, dos::windowsNormal,
                         true},
                // Not a cloud file: its dos::offline flag is one a program set, and goes.
                RuleCase{"OfflineFile", dos::offline | dos::archive, dos::normal,
                         dos::offline | dos::archive, true},
                RuleCase{"HowTheDataIsKept",
                         dos::compressed | dos::sparse | dos::encrypted | dos::reparsePoint
                                 | dos::hidden,
                         dos::normal, dos::hidden, true},
                RuleCase{"AlreadyNormalFolder", dos::directory, dos::normal, 0, false},
                RuleCase{"CloudFileNotOnTheDisk",
                         dos::recallOnDataAccess | dos::offline | dos::hidden | dos::system,
                         dos::offline, dos::hidden | dos::system, true},
                RuleCase{"CloudFileNothingElse",
                         dos::recallOnDataAccess | dos::offline | dos::reparsePoint, dos::offline,
                         0, false},
                RuleCase{"CloudFolderNotOnTheDisk",
                         dos::directory | dos::recallOnOpen | dos::offline | dos::hidden
                                 | dos::readOnly,
                         dos::offline, dos::hidden | dos::readOnly, true},
                RuleCase{"PinnedFile", dos::pinned | dos::hidden | dos::archive, dos::pinned,
                         dos::hidden | dos::archive, true},
                RuleCase{"PinnedWithOffline", dos::pinned | dos::offline | dos::system,
                         dos::pinned | dos::offline, dos::system, true},
                RuleCase{"UnpinnedCloudFile",
                         dos::unpinned | dos::recallOnDataAccess | dos::offline | dos::readOnly
                                 | dos::temporary,
                         dos::unpinned | dos::offline, dos::readOnly | dos::temporary, true},
                RuleCase{"RecallOnOpenWithoutOffline", dos::recallOnOpen | dos::notContentIndexed,
                         dos::normal, dos::notContentIndexed, true}),
        tables::caseName);

}  // namespace
