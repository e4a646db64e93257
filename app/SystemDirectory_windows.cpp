#include "app/SystemDirectory.h"

#include <windows.h>

#include <vector>

namespace {

std::string toUtf8(const wchar_t *text, int length)
{
    if (length <= 0)
        return {};
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, length, utf8.data(), bytes, nullptr, nullptr);
    return utf8;
}

class WindowsSystemDirectory final : public SystemDirectory
{
public:
    SystemDirectoryReport query() override
    {
        std::vector<wchar_t> buffer(MAX_PATH);
        UINT written = GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
        if (written >= buffer.size()) {
            // Too small: the call returned the size it needs, terminating NUL included.
            buffer.resize(written);
            written = GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
        }
        if (written == 0 || written >= buffer.size())
            return {};
        std::string text = toUtf8(buffer.data(), static_cast<int>(written));
        const int length = static_cast<int>(text.size());
        return {std::move(text), length};
    }
    char separator() const override { return '\\'; }
    int driveRootLength() const override { return 3; }
};

} // namespace

std::unique_ptr<SystemDirectory> makeSystemDirectory()
{
    return std::make_unique<WindowsSystemDirectory>();
}
