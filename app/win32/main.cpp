#include "MainWindow.h"
#include "WindowView.h"
#include "app/SystemDirectory.h"
#include "app/frmFlagwash.h"
#include "reset/AttributeReset.h"
#include "web/Launcher.h"
#include "web/RegistryReader.h"

#include "platform/WideText_windows.h"

#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>
#include <windows.h>

#include <filesystem>
#include <vector>

namespace {

// The arguments after the program's name, as Windows hands them over: Send To and files dropped
// on Flagwash.exe's icon give one full path each.
std::vector<std::filesystem::path> commandLineFiles()
{
    std::vector<std::filesystem::path> files;
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments)
        return files;
    for (int i = 1; i < count; ++i)
        files.emplace_back(std::wstring(arguments[i]));
    LocalFree(arguments);
    return files;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    // Drag and drop needs OLE on this thread; without it the window still works.
    const HRESULT ole = OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    int exitCode = 0;
    {
        const auto systemDirectory = makeSystemDirectory();
        const auto attributeReset = makeAttributeReset();
        const auto registry = makeRegistryReader();
        // Pages start in the system directory, never in the tool's folder.
        const auto launcher = makeLauncher(toWide(systemDirectory->query().written()));

        MainWindow window(instance);
        if (!window.handle())
            return 1;
        WindowView view(window);
        frmFlagwash form(view, *systemDirectory, *attributeReset, *registry, *launcher);
        window.attach(form);
        form.Form_Load();
        form.takeCommandLineFiles(commandLineFiles());
        window.show(showCommand);

        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        exitCode = static_cast<int>(message.wParam);
    }
    if (SUCCEEDED(ole))
        OleUninitialize();
    return exitCode;
}
