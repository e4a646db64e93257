#include "Fakes.h"
#include "NamedCase.h"
#include "web/BrowserCommand.h"

#include <gtest/gtest.h>

namespace {

const std::string userClient = "HKCU\\Software\\Clients\\StartMenuInternet\\";
const std::string machineClient = "HKLM\\Software\\Clients\\StartMenuInternet\\";

std::string openCommandOf(const std::string& client)
{
    return machineClient + client + "\\shell\\open\\command\\";
}

RegistryValue text(std::string value)
{
    return {RegistryValue::Kind::Text, std::move(value)};
}

const RegistryValue notText{RegistryValue::Kind::NotText, {}};

const std::string fallback = "\"C:\\Program Files\\Internet Explorer\\iexplore.exe\"";
const std::string firefox = "\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\" -osint -url";

struct BrowserCase : tables::NamedCase
{
    std::map<std::string, RegistryValue> registry;
    std::string browser;             // expected command in front of the URL
    std::vector<std::string> reads;  // in order
};

class GetActiveBrowserCases : public ::testing::TestWithParam<BrowserCase>
{
};

TEST_P(GetActiveBrowserCases, PicksTheBrowserAndComposesBothPages)
{
    const BrowserCase& c = GetParam();
    FakeRegistry registry;
    registry.values = c.registry;

    const PageCommands pages = GetActiveBrowser(registry, fallback, "www.maker.example");

    EXPECT_EQ(pages.HomePageCmd, c.browser + " http://www.maker.example/");
    EXPECT_EQ(pages.DownloadPageCmd,
              c.browser
                      + " http://www.maker.example/en/modules/mydownloads/"
                        "singlefile.php?cid=2&lid=6");
    EXPECT_EQ(registry.reads, c.reads);
}

INSTANTIATE_TEST_SUITE_P(
        Cases, GetActiveBrowserCases,
        ::testing::Values(
                BrowserCase{"UserClientWithOpenCommand",
                            {{userClient, text("FIREFOX.EXE")},
                             {openCommandOf("FIREFOX.EXE"), text(firefox)}},
                            firefox,
                            {userClient, openCommandOf("FIREFOX.EXE")}},
                BrowserCase{"MachineClientOnly",
                            {{machineClient, text("IEXPLORE.EXE")},
                             {openCommandOf("IEXPLORE.EXE"), text("iexplore.exe")}},
                            "iexplore.exe",
                            {userClient, machineClient, openCommandOf("IEXPLORE.EXE")}},
                BrowserCase{"UserClientEmptyFallsToMachine",
                            {{userClient, text("")},
                             {machineClient, text("Opera")},
                             {openCommandOf("Opera"), text("opera.exe")}},
                            "opera.exe",
                            {userClient, machineClient, openCommandOf("Opera")}},
                BrowserCase{"BothSetUserWins",
                            {{userClient, text("FIREFOX.EXE")},
                             {machineClient, text("IEXPLORE.EXE")},
                             {openCommandOf("FIREFOX.EXE"), text(firefox)},
                             {openCommandOf("IEXPLORE.EXE"), text("iexplore.exe")}},
                            firefox,
                            {userClient, openCommandOf("FIREFOX.EXE")}},
                // A user client without an open command falls back; the machine client is not
                // tried.
                BrowserCase{"UserClientWithoutOpenCommand",
                            {{userClient, text("Gone")},
                             {machineClient, text("IEXPLORE.EXE")},
                             {openCommandOf("IEXPLORE.EXE"), text("iexplore.exe")}},
                            fallback,
                            {userClient, openCommandOf("Gone")}},
                // The open command counts only under HKLM.
                BrowserCase{"OpenCommandOnlyUnderHkcu",
                            {{userClient, text("Chrome")},
                             {"HKCU\\Software\\Clients\\StartMenuInternet\\Chrome\\shell\\open\\com"
                              "mand\\",
                              text("chrome.exe")}},
                            fallback,
                            {userClient, openCommandOf("Chrome")}},
                BrowserCase{"NothingRegistered",
                            {},
                            fallback,
                            {userClient, machineClient, openCommandOf("")}},
                // The open command is read with an empty name too, and then ignored.
                BrowserCase{"EmptyNameWithCommandUnderBareKey",
                            {{openCommandOf(""), text("rogue.exe")}},
                            fallback,
                            {userClient, machineClient, openCommandOf("")}},
                BrowserCase{"SpacesOnlyCommandIsUsed",
                            {{userClient, text("Blank")}, {openCommandOf("Blank"), text("   ")}},
                            "   ",
                            {userClient, openCommandOf("Blank")}},
                BrowserCase{"CommandUsedExactlyAsRead",
                            {{userClient, text("X")},
                             {openCommandOf("X"), text(" C:\\x y\\b.exe  --flag ")}},
                            " C:\\x y\\b.exe  --flag ",
                            {userClient, openCommandOf("X")}},
                BrowserCase{"UserClientNotTextReadsMachine",
                            {{userClient, notText},
                             {machineClient, text("M")},
                             {openCommandOf("M"), text("m.exe")}},
                            "m.exe",
                            {userClient, machineClient, openCommandOf("M")}},
                BrowserCase{"OpenCommandNotTextFallsBack",
                            {{userClient, text("B")}, {openCommandOf("B"), notText}},
                            fallback,
                            {userClient, openCommandOf("B")}},
                // A machine client that is not text replaces nothing the user read: both empty.
                BrowserCase{"BothClientsNotText",
                            {{userClient, notText}, {machineClient, notText}},
                            fallback,
                            {userClient, machineClient, openCommandOf("")}}),
        tables::caseName);

TEST(GetActiveBrowser, ReaderThatAlwaysFailsGivesTheFallback)
{
    FakeRegistry registry;  // every read fails, as on a system without a registry
    const PageCommands pages = GetActiveBrowser(registry, "xdg-open", "h.example");
    EXPECT_EQ(pages.HomePageCmd, "xdg-open http://h.example/");
    EXPECT_EQ(pages.DownloadPageCmd,
              "xdg-open http://h.example/en/modules/mydownloads/singlefile.php?cid=2&lid=6");
}

TEST(InternetExplorerCommand, IsQuotedWithItsExtension)
{
    EXPECT_EQ(internetExplorerCommand("C:\\"),
              "\"C:\\Program Files\\Internet Explorer\\iexplore.exe\"");
    EXPECT_EQ(internetExplorerCommand("\\"),
              "\"\\Program Files\\Internet Explorer\\iexplore.exe\"");
}

}  // namespace
