// Reset throughput on Windows (run under Wine): the tool's RESET handler over the real
// Windows attribute reset against a bare SetFileAttributesW loop over the same files.
//   reset_bench_windows N ROUNDS     prints "tool <median s>" and "bare <median s>"
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

void arm(const Paths& paths)
{
    for (const auto& path : paths) {
        if (!SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) {
            std::fprintf(stderr, "cannot arm %ls\n", path.c_str());
            std::exit(1);
        }
    }
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

    std::vector<double> tool, bare;
    for (int round = 0; round < rounds; ++round) {
        arm(paths);
        quiet.form.Image1_OLEDragDrop({paths});
        tool.push_back(seconds([&] { quiet.form.imgStart_Click(); }));
        if (!quiet.reportedAllReset(paths.size())) {
            std::fprintf(stderr, "the tool did not reset every file:\n%s\n",
                         quiet.view.lastText.c_str());
            return 1;
        }
        arm(paths);
        bare.push_back(seconds([&] {
            for (const auto& path : paths)
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        }));
    }
    std::filesystem::remove_all(dir);
    std::printf("tool %.6f\nbare %.6f\n", median(tool), median(bare));
    return 0;
}
