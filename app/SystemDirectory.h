#pragma once
#include <algorithm>
#include <memory>
#include <string>

// The operating system's directory of system programs.
struct SystemDirectoryReport
{
    std::string text;  // UTF-8; may hold more than was written, as a caller's buffer does
    int length = 0;    // leading bytes of text that the platform wrote; 0 when it failed

    // What the platform wrote, without what lay beyond it in the buffer.
    std::string written() const
    {
        return text.substr(0, std::min(text.size(), static_cast<std::size_t>(std::max(length, 0))));
    }
};

class SystemDirectory
{
public:
    virtual ~SystemDirectory() = default;
    virtual SystemDirectoryReport query() = 0;
    // Path syntax of the platform: the separator appended to the directory and how many
    // leading characters of it name the root of the system drive ("C:\" is 3, "/" is 1).
    virtual char separator() const = 0;
    virtual int driveRootLength() const = 0;
};

std::unique_ptr<SystemDirectory> makeSystemDirectory();
