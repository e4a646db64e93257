#pragma once
#include <string>

#include <windows.h>

// The report of a run with paths that could not be reset: a task dialog, modal to its owner,
// with the warning icon, the report's text, the list of every such path behind "Details", and a
// button that copies that whole list to the clipboard. Returns when it is closed; false when no
// task dialog could be shown (the caller then shows a message box). With detailsShown it opens
// with the list already shown.
bool showReportDialog(HWND owner, const std::wstring& title, const std::wstring& text,
                      const std::wstring& details, bool detailsShown = false);
