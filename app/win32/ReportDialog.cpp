#include "ReportDialog.h"

#include <commctrl.h>

#include <cstring>

namespace {

constexpr int copyButton = 100;
// A task dialog grows with its text and does not scroll: the list behind "Details" stops here,
// and the copy button gives the rest.
constexpr std::size_t mostLinesShown = 60;

struct Context
{
    const std::wstring* details;
};

bool copyToClipboard(HWND owner, const std::wstring& text)
{
    if (!OpenClipboard(owner))
        return false;
    EmptyClipboard();
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    bool copied = false;
    if (memory) {
        std::memcpy(GlobalLock(memory), text.c_str(), bytes);
        GlobalUnlock(memory);
        copied = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
        if (!copied)
            GlobalFree(memory);
    }
    CloseClipboard();
    return copied;
}

HRESULT CALLBACK onEvent(HWND dialog, UINT notification, WPARAM wParam, LPARAM, LONG_PTR reference)
{
    if (notification == TDN_BUTTON_CLICKED && static_cast<int>(wParam) == copyButton) {
        const auto* context = reinterpret_cast<const Context*>(reference);
        copyToClipboard(dialog, *context->details);
        return S_FALSE;  // the dialog stays up
    }
    return S_OK;
}

std::wstring firstLines(const std::wstring& text, std::size_t lines)
{
    std::size_t at = 0;
    for (std::size_t line = 0; line < lines; ++line) {
        at = text.find(L'\n', at);
        if (at == std::wstring::npos)
            return text;
        ++at;
    }
    return text.substr(0, at) + L"\u2026";
}

}  // namespace

bool showReportDialog(HWND owner, const std::wstring& title, const std::wstring& text,
                      const std::wstring& details)
{
    Context context{&details};
    const std::wstring shown = firstLines(details, mostLinesShown);
    const TASKDIALOG_BUTTON buttons[] = {{copyButton, L"&Copy the list"}};
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof(config);
    config.hwndParent = owner;
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_POSITION_RELATIVE_TO_WINDOW;
    config.dwCommonButtons = TDCBF_OK_BUTTON;
    config.pszWindowTitle = title.c_str();
    config.pszMainIcon = TD_WARNING_ICON;
    config.pszContent = text.c_str();
    config.pszExpandedInformation = shown.c_str();
    config.pszExpandedControlText = L"Hide details";
    config.pszCollapsedControlText = L"Details";
    config.cButtons = 1;
    config.pButtons = buttons;
    config.nDefaultButton = IDOK;
    config.pfCallback = onEvent;
    config.lpCallbackData = reinterpret_cast<LONG_PTR>(&context);
    int pressed = 0;
    return SUCCEEDED(TaskDialogIndirect(&config, &pressed, nullptr, nullptr));
}
