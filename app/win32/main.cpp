#include "MainWindow.h"
#include "WindowView.h"
#include "app/SystemDirectory.h"
#include "app/frmFlagwash.h"
#include "reset/AttributeReset.h"
#include "web/Launcher.h"
#include "web/RegistryReader.h"

#include <commctrl.h>
#include <ole2.h>
#include <windows.h>

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
        const auto launcher = makeLauncher();

        MainWindow window(instance);
        if (!window.handle())
            return 1;
        WindowView view(window);
        frmFlagwash form(view, *systemDirectory, *attributeReset, *registry, *launcher);
        window.attach(form);
        form.Form_Load();
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
