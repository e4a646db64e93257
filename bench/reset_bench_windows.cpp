// Reset throughput on Windows (run under Wine): the tool's RESET handler over the real
// Windows attribute reset against the least the same job needs, over the same files:
//   - a minimal by-handle loop: open for the attributes, read them, write them, close; what a
//     reset that keeps to the dropped object cannot do without;
//   - the bare SetFileAttributesW loop, which names the path once more for each write.
//   reset_bench_windows N ROUNDS     prints "tool", "handle" and "bare", each a median in s
#include "QuietServices.h"
#include "Timing.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using Paths = std::vector<std::filesystem::path>;

constexpr DWORD malware = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;

void arm(const Paths& paths)
{
    for (const auto& path : paths) {
        if (!SetFileAttributesW(path.c_str(), malware)) {
            std::fprintf(stderr, "cannot arm %ls\n", path.c_str());
            std::exit(1);
        }
    }
}

// Every file reads back without the flags that were set: the work was done, whatever the
// report says about flags that the file system keeps (Wine keeps archive on every file).
bool allReset(const Paths& paths)
{
    return std::all_of(paths.begin(), paths.end(), [](const std::filesystem::path& path) {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & malware) == 0;
    });
}

void byHandle(const Paths& paths)
{
    for (const auto& path : paths) {
        const HANDLE file = CreateFileW(
                path.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        FILE_BASIC_INFO info{};
        if (GetFileInformationByHandleEx(file, FileBasicInfo, &info, sizeof(info))) {
            FILE_BASIC_INFO change{};
            change.FileAttributes = FILE_ATTRIBUTE_NORMAL;
            SetFileInformationByHandle(file, FileBasicInfo, &change, sizeof(change));
        }
        CloseHandle(file);
    }
}

void bare(const Paths& paths)
{
    for (const auto& path : paths)
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s N ROUNDS\n", argv[0]);
        return 2;
    }
    const int count = std::stoi(argv[1]);
    const int rounds = std::stoi(argv[2]);

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::filesystem::path dir = std::filesystem::path(temp) / L"flagwash-bench";
    std::filesystem::create_directories(dir);
    Paths paths;
    for (int i = 0; i < count; ++i) {
        paths.push_back(dir / (L"f" + std::to_wstring(i) + L".txt"));
        const HANDLE file = CreateFileW(paths.back().c_str(), GENERIC_WRITE, 0, nullptr,
                                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        CloseHandle(file);
    }

    QuietForm quiet;

    const auto time = [&](const char* name, const std::function<void()>& work) {
        arm(paths);
        const double taken = seconds(work);
        if (!allReset(paths)) {
            std::fprintf(stderr, "%s did not reset every file:\n%s\n", name,
                         quiet.view.lastText.c_str());
            std::exit(1);
        }
        return taken;
    };
    std::vector<double> tool, handle, plain;
    for (int round = 0; round < rounds; ++round) {
        quiet.form.Image1_OLEDragDrop({paths});
        tool.push_back(time("the tool", [&] { quiet.form.imgStart_Click(); }));
        handle.push_back(time("the by-handle loop", [&] { byHandle(paths); }));
        plain.push_back(time("the bare loop", [&] { bare(paths); }));
    }
    std::filesystem::remove_all(dir);
    std::printf("tool %.6f\nhandle %.6f\nbare %.6f\n", median(tool), median(handle), median(plain));
    return 0;
}
