#include "app/SystemDirectory.h"

#include <string_view>

namespace {

// Linux has no single system directory; /usr/bin, where the system's programs live, is its
// closest counterpart. The value only feeds the fallback browser, which is xdg-open here.
class LinuxSystemDirectory final : public SystemDirectory
{
public:
    SystemDirectoryReport query() override
    {
        constexpr std::string_view directory = "/usr/bin";
        return {std::string(directory), static_cast<int>(directory.size())};
    }
    char separator() const override { return '/'; }
    int driveRootLength() const override { return 1; }
};

}  // namespace

std::unique_ptr<SystemDirectory> makeSystemDirectory()
{
    return std::make_unique<LinuxSystemDirectory>();
}
