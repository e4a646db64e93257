// Started by the launcher test: records how it was started, then waits to be released so the
// test can see it still running after the launcher has returned.
//   launch_probe.exe <record file> <ready event> <release event> <inheritable handle> [more...]
#include <windows.h>

#include <shellapi.h>

#include <string>

namespace {

std::string toUtf8(const std::wstring& text)
{
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                          nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), bytes,
                        nullptr, nullptr);
    return utf8;
}

// Whether the handle value the parent passed names, in this process, the parent's object.
bool holdsParentHandle(const wchar_t* value, const wchar_t* readyName)
{
    const auto handle
            = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(wcstoull(value, nullptr, 16)));
    DWORD flags = 0;
    if (!GetHandleInformation(handle, &flags))
        return false;
    // Windows 10 and Wine export it from kernelbase only; MinGW's import libraries lack it.
    using Compare = BOOL(WINAPI*)(HANDLE, HANDLE);
    const auto compare = reinterpret_cast<Compare>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernelbase.dll"), "CompareObjectHandles")));
    if (!compare)
        return true;  // a valid value is all that can be told here; the test then fails loudly
    const HANDLE own = OpenEventW(SYNCHRONIZE, FALSE, readyName);
    const bool same = own && compare(handle, own);
    if (own)
        CloseHandle(own);
    return same;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments || count < 5)
        return 2;

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);

    std::string record = "commandLine=" + toUtf8(GetCommandLineW()) + "\n";
    record += "flags=" + std::to_string(startup.dwFlags) + "\n";
    record += "showWindow=" + std::to_string(startup.wShowWindow) + "\n";
    record += "processId=" + std::to_string(GetCurrentProcessId()) + "\n";
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    record += "folder=" + toUtf8(folder) + "\n";
    record += std::string("inheritedHandle=")
            + (holdsParentHandle(arguments[4], arguments[2]) ? "yes" : "no") + "\n";

    const HANDLE file = CreateFileW(arguments[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 3;
    DWORD written = 0;
    WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
    CloseHandle(file);

    const HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, arguments[2]);
    const HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, arguments[3]);
    if (!ready || !release)
        return 4;
    SetEvent(ready);
    // Bounded, so a test that died never leaves the probe behind for long.
    WaitForSingleObject(release, 60000);
    LocalFree(arguments);
    return 0;
}
