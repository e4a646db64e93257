#pragma once
#include <string>
#include <string_view>

// The core speaks UTF-8, Windows speaks UTF-16: texts are converted once, at this edge.
std::wstring toWide(std::string_view utf8);
std::string toUtf8(std::wstring_view wide);
