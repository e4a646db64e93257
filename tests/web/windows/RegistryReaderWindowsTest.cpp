#include "NamedCase.h"
#include "web/RegistryReader.h"

#include <gtest/gtest.h>

#include "platform/WideText_windows.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

using Kind = RegistryValue::Kind;

std::wstring environment(const wchar_t* name)
{
    std::wstring value(32767, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size())));
    return value;
}

// Registry data as the API stores it.
std::vector<BYTE> stringData(const std::wstring& text)
{
    const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return {bytes, bytes + (text.size() + 1) * sizeof(wchar_t)};
}

std::vector<BYTE> multiStringData(const std::vector<std::wstring>& texts)
{
    std::wstring joined;
    for (const std::wstring& text : texts)
        joined += text + L'\0';
    return stringData(joined);
}

template<typename T> std::vector<BYTE> numberData(T value)
{
    const auto* bytes = reinterpret_cast<const BYTE*>(&value);
    return {bytes, bytes + sizeof(value)};
}

enum class Root { User, Machine };

struct StoredValue
{
    const wchar_t* name;  // nullptr: the key's default value
    DWORD type;
    std::vector<BYTE> data;
    const wchar_t* subKey = nullptr;  // below the test's key; nullptr: the key itself
};

StoredValue sz(const std::wstring& text, const wchar_t* name = nullptr,
               const wchar_t* subKey = nullptr)
{
    return {name, REG_SZ, stringData(text), subKey};
}

StoredValue raw(DWORD type, std::vector<BYTE> data)
{
    return {nullptr, type, std::move(data)};
}

RegistryValue text(const std::string& utf8)
{
    return {Kind::Text, utf8};
}

const RegistryValue notText{Kind::NotText, {}};
const RegistryValue failure{Kind::Failure, {}};

struct ReadCase : tables::NamedCase
{
    Root root;                        // where the test's key is made
    std::vector<StoredValue> stored;  // written below the test's key before the read
    std::string path;                 // what is read; "<key>" stands for the test's key
    RegistryValue expected;
};

// Removes Software\<name> with all it holds from one view of the registry.
void deleteSoftwareKey(HKEY root, const std::wstring& name, REGSAM view)
{
    HKEY software = nullptr;
    if (RegOpenKeyExW(root, L"Software", 0, KEY_ALL_ACCESS | view, &software) != ERROR_SUCCESS)
        return;
    RegDeleteTreeW(software, name.c_str());
    RegCloseKey(software);
}

std::wstring ownKeyName(const wchar_t* what)
{
    return std::wstring(L"FlagwashTest-") + what + L"-" + std::to_wstring(GetCurrentProcessId());
}

// A key of its own per test process under Software, so tests may run side by side. It is
// written where a 64-bit program, the shell or an installer, writes: in the 64-bit view.
class RegistryReaderWindows : public ::testing::TestWithParam<ReadCase>
{
protected:
    void SetUp() override
    {
        leafName_ = ownKeyName(L"read");
        keyName_ = L"Software\\" + leafName_;
        root_ = GetParam().root == Root::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        deleteSoftwareKey(root_, leafName_, KEY_WOW64_64KEY);
        const LSTATUS status
                = RegCreateKeyExW(root_, keyName_.c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key_, nullptr);
        if (status == ERROR_ACCESS_DENIED)
            GTEST_SKIP() << "no write access to this root (needs elevation on Windows)";
        ASSERT_EQ(status, ERROR_SUCCESS);
        created_ = true;
        // Expandable values use a variable of the test's own, so the expected expansion does
        // not depend on the machine.
        SetEnvironmentVariableW(L"FLAGWASH_TEST_BROWSER_DIR", L"D:\\Browsers\\Ünïcode");
    }

    void TearDown() override
    {
        if (key_)
            RegCloseKey(key_);
        if (created_)
            deleteSoftwareKey(root_, leafName_, KEY_WOW64_64KEY);
    }

    HKEY root_ = nullptr;
    HKEY key_ = nullptr;
    std::wstring leafName_;
    std::wstring keyName_;
    bool created_ = false;
};

TEST_P(RegistryReaderWindows, ReadsOneValueByItsFullPath)
{
    const ReadCase& c = GetParam();
    for (const StoredValue& value : c.stored) {
        HKEY key = key_;
        if (value.subKey) {
            ASSERT_EQ(RegCreateKeyExW(key_, value.subKey, 0, nullptr, 0,
                                      KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr),
                      ERROR_SUCCESS);
        }
        const LSTATUS status = RegSetValueExW(key, value.name, 0, value.type, value.data.data(),
                                              static_cast<DWORD>(value.data.size()));
        if (key != key_)
            RegCloseKey(key);
        ASSERT_EQ(status, ERROR_SUCCESS);
    }
    std::string path = c.path;
    if (const std::size_t at = path.find("<key>"); at != std::string::npos)
        path.replace(at, 5, toUtf8(keyName_));

    const RegistryValue value = makeRegistryReader()->read(path);

    EXPECT_EQ(static_cast<int>(value.kind), static_cast<int>(c.expected.kind)) << path;
    EXPECT_EQ(value.text, c.expected.text);
}

const std::wstring firefox = L"\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\" -osint -url";
const std::string firefoxUtf8 = toUtf8(firefox);
const wchar_t* const command = L"FIREFOX.EXE\\shell\\open\\command";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, RegistryReaderWindows, ::testing::Values(
    ReadCase{"UserDefault", Root::User, {sz(L"FIREFOX.EXE")}, "HKCU\\<key>\\", text("FIREFOX.EXE")},
    ReadCase{"MachineDefault", Root::Machine, {sz(firefox)}, "HKLM\\<key>\\", text(firefoxUtf8)},
    // The shape of the open command's path.
    ReadCase{"SubKeyDefault", Root::Machine, {sz(firefox, nullptr, command)},
             "HKLM\\<key>\\FIREFOX.EXE\\shell\\open\\command\\", text(firefoxUtf8)},
    ReadCase{"LongRootName", Root::User, {sz(L"Opera")}, "HKEY_CURRENT_USER\\<key>\\", text("Opera")},
    ReadCase{"NamedValue", Root::User, {sz(L"default"), sz(L"named", L"Browser")},
             "HKCU\\<key>\\Browser", text("named")},
    ReadCase{"NonAsciiText", Root::User, {sz(L"Navigateur Ünïcode € 日本")}, "HKCU\\<key>\\",
             text("Navigateur Ünïcode € 日本")},
    ReadCase{"EmptyText", Root::User, {sz(L"")}, "HKCU\\<key>\\", text("")},
    ReadCase{"EmptyWithoutTerminator", Root::User, {raw(REG_SZ, {})}, "HKCU\\<key>\\", text("")},
    ReadCase{"SpacesOnly", Root::User, {sz(L"   ")}, "HKCU\\<key>\\", text("   ")},
    ReadCase{"ExpandableOwnVariable", Root::Machine,
             {raw(REG_EXPAND_SZ, stringData(L"\"%FLAGWASH_TEST_BROWSER_DIR%\\b.exe\" -url"))},
             "HKLM\\<key>\\", text("\"D:\\Browsers\\Ünïcode\\b.exe\" -url")},
    ReadCase{"ExpandableProgramFiles", Root::Machine,
             {raw(REG_EXPAND_SZ, stringData(L"%ProgramFiles%\\b\\b.exe"))},
             "HKLM\\<key>\\", text(toUtf8(environment(L"ProgramFiles") + L"\\b\\b.exe"))},
    ReadCase{"ExpandableUnknownVariable", Root::User,
             {raw(REG_EXPAND_SZ, stringData(L"%FLAGWASH_NO_SUCH_VARIABLE%\\b"))},
             "HKCU\\<key>\\", text("%FLAGWASH_NO_SUCH_VARIABLE%\\b")},
    ReadCase{"Dword", Root::User, {raw(REG_DWORD, numberData<DWORD>(1))}, "HKCU\\<key>\\", notText},
    ReadCase{"Qword", Root::Machine, {raw(REG_QWORD, numberData<ULONGLONG>(1))}, "HKLM\\<key>\\",
             notText},
    ReadCase{"Binary", Root::Machine, {raw(REG_BINARY, stringData(L"looks like text"))},
             "HKLM\\<key>\\", notText},
    ReadCase{"MultiString", Root::User,
             {raw(REG_MULTI_SZ, multiStringData({L"FIREFOX.EXE", L"IEXPLORE"}))}, "HKCU\\<key>\\",
             notText},
    ReadCase{"NoType", Root::User, {raw(REG_NONE, stringData(L"x"))}, "HKCU\\<key>\\", notText},
    ReadCase{"MissingDefault", Root::User, {sz(L"x", L"Other")}, "HKCU\\<key>\\", failure},
    ReadCase{"MissingNamedValue", Root::Machine, {sz(L"x")}, "HKLM\\<key>\\Browser", failure},
    ReadCase{"MissingKey", Root::User, {sz(L"x")}, "HKCU\\<key>\\NoSuchKey\\", failure},
    ReadCase{"UnknownRoot", Root::User, {sz(L"x")}, "HKXX\\<key>\\", failure},
    ReadCase{"RootAlone", Root::User, {sz(L"x")}, "HKCU", failure}),
    tables::caseName);
// clang-format on

// HKLM\\Software has two views on 64-bit Windows, and this test is a 32-bit program like the
// tool. The browser is registered where 64-bit programs read (Windows 7 and later share
// Software\\Clients between the views; Wine keeps them apart), so the tool reads what they read,
// not the 32-bit view that it would be shown by default.
TEST(RegistryReaderViews, ReadsHklmSoftwareAsA64BitProgramDoes)
{
    BOOL wow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64)
        GTEST_SKIP() << "one view of the registry only: not a 32-bit program on 64-bit Windows";
    const std::wstring both = ownKeyName(L"both-views");
    const std::wstring only32 = ownKeyName(L"32-bit-view-only");
    struct Written
    {
        std::wstring name;
        REGSAM view;
        std::wstring text;
    } written[] = {{both, KEY_WOW64_64KEY, L"FIREFOX.EXE"},
                   {both, KEY_WOW64_32KEY, L"IEXPLORE.EXE"},
                   {only32, KEY_WOW64_32KEY, L"IEXPLORE.EXE"}};
    struct Cleanup
    {
        const Written (&written)[3];
        ~Cleanup()
        {
            for (const Written& w : written)
                deleteSoftwareKey(HKEY_LOCAL_MACHINE, w.name, w.view);
        }
    } cleanup{written};
    for (const Written& w : written) {
        HKEY key = nullptr;
        const LSTATUS status
                = RegCreateKeyExW(HKEY_LOCAL_MACHINE, (L"Software\\" + w.name).c_str(), 0, nullptr,
                                  0, KEY_SET_VALUE | w.view, nullptr, &key, nullptr);
        if (status == ERROR_ACCESS_DENIED)
            GTEST_SKIP() << "no write access to HKLM (needs elevation on Windows)";
        ASSERT_EQ(status, ERROR_SUCCESS);
        const std::vector<BYTE> data = stringData(w.text);
        ASSERT_EQ(RegSetValueExW(key, nullptr, 0, REG_SZ, data.data(),
                                 static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    // The views are really apart here, or the test shows nothing.
    HKEY seen64 = nullptr;
    const LSTATUS open64 = RegOpenKeyExW(HKEY_LOCAL_MACHINE, (L"Software\\" + only32).c_str(), 0,
                                         KEY_QUERY_VALUE | KEY_WOW64_64KEY, &seen64);
    if (open64 == ERROR_SUCCESS)
        RegCloseKey(seen64);
    ASSERT_EQ(open64, ERROR_FILE_NOT_FOUND) << "the 64-bit view shows the 32-bit key";

    const auto reader = makeRegistryReader();
    const RegistryValue fromBoth = reader->read("HKLM\\Software\\" + toUtf8(both) + "\\");
    const RegistryValue from32Only = reader->read("HKLM\\Software\\" + toUtf8(only32) + "\\");

    EXPECT_EQ(static_cast<int>(fromBoth.kind), static_cast<int>(Kind::Text));
    EXPECT_EQ(fromBoth.text, "FIREFOX.EXE");
    EXPECT_EQ(static_cast<int>(from32Only.kind), static_cast<int>(Kind::Failure))
            << "read the 32-bit view: " << from32Only.text;
}

}  // namespace
