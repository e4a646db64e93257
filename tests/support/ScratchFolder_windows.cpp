#include "ScratchFolder_windows.h"

#include <windows.h>

namespace {

// Read-only and system flags are cleared first: they would keep the entries from going. A
// link is removed itself, never what it points to.
void removeTree(const std::wstring& path)
{
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    WIN32_FIND_DATAW entry;
    const HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = path + L"\\" + name;
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                && !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                removeTree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (!DeleteFileW(child.c_str()))
                    RemoveDirectoryW(child.c_str());
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

}  // namespace

ScratchFolder::ScratchFolder(std::wstring_view namePrefix)
{
    wchar_t temp[MAX_PATH];
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    path_ = std::wstring(temp, length) + std::wstring(namePrefix)
            + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    // Left over from a run that was killed before it could clean up.
    removeTree(prefixed(path_));
    created_ = CreateDirectoryW(path_.c_str(), nullptr) != FALSE;
}

ScratchFolder::~ScratchFolder()
{
    removeTree(prefixed(path_));
}

bool ScratchFolder::filesAlwaysReportArchive() const
{
    const std::wstring probe = prefixed(path_ + L"\\archive-probe");
    const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    SetFileAttributesW(probe.c_str(), FILE_ATTRIBUTE_NORMAL);
    const DWORD attributes = GetFileAttributesW(probe.c_str());
    DeleteFileW(probe.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_ARCHIVE);
}
