#pragma once
// The core speaks UTF-8, Windows speaks UTF-16: texts are converted once, at this edge.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

std::wstring toWide(std::string_view utf8);
// nullopt when utf8 is not valid UTF-8: for names, where a guess could name another object.
std::optional<std::wstring> toWideExactly(std::string_view utf8);
std::string toUtf8(std::wstring_view wide);

// The system's own words for an error code, without the line break it ends in ("" if none).
std::string systemMessage(DWORD code);
// "The system cannot find the file specified. (error 2)": words for the user, the code for a
// search or a support request.
std::string describeError(DWORD code);
