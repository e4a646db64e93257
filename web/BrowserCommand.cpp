#include "web/BrowserCommand.h"

namespace {

const std::string startMenuInternet = "Software\\Clients\\StartMenuInternet\\";

// A failed read leaves the target as it was; a value that is not text counts as empty.
void readInto(RegistryReader& registry, const std::string& path, std::string& target)
{
    const RegistryValue value = registry.read(path);
    switch (value.kind) {
    case RegistryValue::Kind::Text:
        target = value.text;
        break;
    case RegistryValue::Kind::NotText:
        target.clear();
        break;
    case RegistryValue::Kind::Failure:
        break;
    }
}

}  // namespace

PageCommands GetActiveBrowser(RegistryReader& registry, const std::string& fallbackBrowser,
                              std::string_view webHost)
{
    std::string clientName;
    std::string openCommand;

    readInto(registry, "HKCU\\" + startMenuInternet, clientName);
    if (clientName.empty())
        readInto(registry, "HKLM\\" + startMenuInternet, clientName);
    // Always under HKLM, also for a client named under HKCU, and also with an empty name.
    readInto(registry, "HKLM\\" + startMenuInternet + clientName + "\\shell\\open\\command\\",
             openCommand);

    const std::string browser
            = clientName.empty() || openCommand.empty() ? fallbackBrowser : openCommand;

    PageCommands commands;
    commands.HomePageCmd = browser + " http://" + std::string(webHost) + "/";
    commands.DownloadPageCmd
            = commands.HomePageCmd + "en/modules/mydownloads/singlefile.php?cid=2&lid=" + "6";
    return commands;
}

std::string internetExplorerCommand(const std::string& sysDrive)
{
    return "\"" + sysDrive + "Program Files\\Internet Explorer\\iexplore.exe\"";
}
