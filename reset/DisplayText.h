#pragma once
#include <filesystem>
#include <string>

// A path as the user should read it, on one line: UTF-8, with bytes that are not UTF-8 shown
// as U+FFFD and control characters escaped ("\n", "\x1B", "\u202E").
std::string displayPath(const std::filesystem::path& path);
