#include "BuiltProgram.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <windows.h>

namespace {

TEST(FlagwashVersion, ResourceHoldsEveryString)
{
    const std::wstring program = builtProgramPath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(program.c_str(), &ignored);
    ASSERT_GT(size, 0u) << "no version resource in " << FLAGWASH_EXE;
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(program.c_str(), 0, size, info.data()));

    void* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &translation, &length));
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(static_cast<WORD*>(translation)[0], 0x0409);
    EXPECT_EQ(static_cast<WORD*>(translation)[1], 1200);

    const struct
    {
        const wchar_t* name;
        const wchar_t* text;
    } cases[] = {
            {L"FileVersion", L"1.01"},
            {L"ProductVersion", L"1.01"},
            {L"Comments", L"A free tool to reset file/folders attributes"},
            {L"FileDescription", L"A free tool to reset file/folders attributes"},
            {L"ProductName", L"Flagswash - Files/Folders Reset Tool"},
            {L"InternalName", L"Flagwash"},
            {L"OriginalFilename", L"Flagwash.exe"},
    };
    for (const auto& c : cases) {
        const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + c.name;
        void* value = nullptr;
        UINT characters = 0;
        ASSERT_TRUE(VerQueryValueW(info.data(), key.c_str(), &value, &characters))
                << std::string(key.begin(), key.end());
        EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(value)), c.text);
    }
}

}  // namespace
