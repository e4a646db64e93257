#include "WindowFixture.h"

#include <commctrl.h>
#include <ole2.h>

namespace {

bool underWine()
{
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

} // namespace

const char *whyNoWindows()
{
    wchar_t display[256];
    if (underWine() && GetEnvironmentVariableW(L"DISPLAY", display, 256) == 0)
        return "Wine makes windows only on an X server: run with DISPLAY set (an Xvfb will do)";
    return nullptr;
}

void WindowFixture::SetUpTestSuite()
{
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls {sizeof(controls), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
}

void WindowFixture::TearDownTestSuite()
{
    OleUninitialize();
}

void WindowFixture::NotingView::showInformation(const std::string& title, const std::string& text)
{
    boxes.emplace_back(title, text);
    log_.push_back("box");
}

void WindowFixture::SetUp()
{
    if (const char *why = whyNoWindows())
        GTEST_SKIP() << why;
    systemDirectory = makeSystemDirectory();
    attributeReset = makeAttributeReset();
    registry = makeRegistryReader();
    open();
}

void WindowFixture::open()
{
    mainWindow.reset();
    form.reset();
    view.reset();
    mainWindow = std::make_unique<MainWindow>(GetModuleHandleW(nullptr));
    if (!window() && underWine())
        GTEST_SKIP() << "Wine could not open the X display named by DISPLAY";
    ASSERT_TRUE(window());
    view = std::make_unique<NotingView>(*mainWindow, log);
    form = std::make_unique<frmFlagwash>(*view, *systemDirectory, *attributeReset, *registry,
                                         launcher);
    mainWindow->attach(*form);
    form->Form_Load();
    mainWindow->show(SW_SHOWNORMAL);
    pumpMessages();
    log.clear();
    launcher.launches.clear();
}

void WindowFixture::TearDown()
{
    mainWindow.reset();
    pumpMessages();
}

POINT WindowFixture::clientToScreen(POINT point) const
{
    ClientToScreen(window(), &point);
    return point;
}

std::pair<int, int> WindowFixture::outerSize() const
{
    RECT frame {};
    GetWindowRect(window(), &frame);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

std::wstring WindowFixture::caption() const
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window())) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(window(), text.data(), static_cast<int>(text.size()))));
    return text;
}

void WindowFixture::pumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quitPosted = true;
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}
