#pragma once
#include <filesystem>
#include <memory>
#include <string>

struct ResetOutcome
{
    enum class Status {
        Done,             // the path has normal attributes now (or had them already)
        Missing,          // nothing at that path
        AccessDenied,     // the user may not change it
        NotSupported,     // the file system cannot take the change
        NotFileOrFolder,  // a device, FIFO or socket: never opened
        LeftAsIs,         // deliberately not changed (a link, a special file); reason says why
        Failed,           // any other error; reason says which
    };
    Status status = Status::Done;
    std::string reason;  // short detail for the report; empty when Done

    bool done() const { return status == Status::Done; }
};

// Gives one path normal attributes. Never enters a folder, never follows a link, never
// changes contents, names, owners or permissions.
class AttributeReset
{
public:
    virtual ~AttributeReset() = default;
    virtual ResetOutcome resetToNormal(const std::filesystem::path& path) = 0;
};

std::unique_ptr<AttributeReset> makeAttributeReset();
