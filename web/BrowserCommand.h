#pragma once
#include "web/RegistryReader.h"

#include <string>
#include <string_view>

struct PageCommands
{
    std::string HomePageCmd;
    std::string DownloadPageCmd;
};

// The registered Start-menu Internet client's open command, or fallbackBrowser when the client
// name or its command is empty; then the two page command lines for webHost.
PageCommands GetActiveBrowser(RegistryReader& registry, const std::string& fallbackBrowser,
                              std::string_view webHost);

// Windows' fallback: Internet Explorer on the system drive, quoted and with its extension so
// that process creation never tries "C:\Program" first.
std::string internetExplorerCommand(const std::string& sysDrive);

inline constexpr std::string_view xdgOpenCommand = "xdg-open";
