#include "platform/WideText_windows.h"

namespace {

std::optional<std::wstring> convert(std::string_view utf8, DWORD flags)
{
    if (utf8.empty())
        return std::wstring();
    const int size = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, flags, utf8.data(), size, nullptr, 0);
    if (length <= 0)
        return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, flags, utf8.data(), size, wide.data(), length);
    return wide;
}

}  // namespace

std::wstring toWide(std::string_view utf8)
{
    return convert(utf8, 0).value_or(std::wstring());
}

std::optional<std::wstring> toWideExactly(std::string_view utf8)
{
    return convert(utf8, MB_ERR_INVALID_CHARS);
}

std::string toUtf8(std::wstring_view wide)
{
    if (wide.empty())
        return {};
    const int size = static_cast<int>(wide.size());
    const int length
            = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return {};
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

std::string systemMessage(DWORD code)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
            FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                    | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
            nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer ? buffer : L"", length);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\r' || text.back() == L'\n'))
        text.pop_back();
    return toUtf8(text);
}

std::string describeError(DWORD code)
{
    const std::string number = "error " + std::to_string(code);
    const std::string message = systemMessage(code);
    return message.empty() ? "Windows " + number : message + " (" + number + ")";
}
