#pragma once
#include <memory>
#include <string>

struct RegistryValue
{
    enum class Kind {
        Text,     // a string value, in text
        NotText,  // a number, bytes or a list of strings: counts as empty
        Failure,  // missing key or value, or no registry at all
    };
    Kind kind = Kind::Failure;
    std::string text;  // UTF-8
};

// Reads one value by its full path, such as "HKCU\Software\Clients\StartMenuInternet\";
// a path that ends in "\" names the key's default value. Never writes.
class RegistryReader
{
public:
    virtual ~RegistryReader() = default;
    virtual RegistryValue read(const std::string& fullPath) = 0;
};

std::unique_ptr<RegistryReader> makeRegistryReader();
