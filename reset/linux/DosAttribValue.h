#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace linuxreset {

// The value of the user.DOSATTRIB xattr in the two forms found on Linux disks:
//  - Wine: the text "0x%x", no terminating NUL;
//  - Samba: a hex text (empty since version 4) and a NUL, then an NDR blob: uint16 version,
//    uint16 union level, then the DosInfo struct aligned to 4, whose attribute word comes
//    first (version 1) or after a uint32 of flags (versions 2 to 5). Offsets count from the
//    start of the value, text included.
class DosAttribValue
{
public:
    // read-only, hidden, system, archive
    static constexpr unsigned long cleared = 0x27;

    // The value with `cleared` removed from every copy of the attributes it holds, same form,
    // same length, every other byte as it was; nothing when the value is not one of the above.
    static std::optional<std::string> normalized(std::string_view value);
};

}  // namespace linuxreset
