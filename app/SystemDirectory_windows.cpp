#include "app/SystemDirectory.h"

#include "platform/WideText_windows.h"

#include <windows.h>

#include <vector>

namespace {

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
        std::string text = toUtf8(std::wstring_view(buffer.data(), written));
        const int length = static_cast<int>(text.size());
        return {std::move(text), length};
    }
    char separator() const override { return '\\'; }
    int driveRootLength() const override { return 3; }
};

}  // namespace

std::unique_ptr<SystemDirectory> makeSystemDirectory()
{
    return std::make_unique<WindowsSystemDirectory>();
}
