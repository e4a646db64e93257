#pragma once
#include <memory>
#include <string>

// The operating system's directory of system programs.
struct SystemDirectoryReport
{
    std::string text;  // UTF-8; may hold more than was written, as a caller's buffer does
    int length = 0;    // leading bytes of text that the platform wrote; 0 when it failed
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
