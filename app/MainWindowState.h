#pragma once
#include <cstdint>
#include <string>

// Computed once by Form_Load, then only read.
struct MainWindowState
{
    std::string LineBreak;
    std::string SysDrive;
    std::string SysDir;
    std::int32_t SysDirLen = 0;
    std::string AppTitle;
    std::string HomePageCmd;
    std::string DownloadPageCmd;
};
