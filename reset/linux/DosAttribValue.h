#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace linuxreset {

// The value of the user.DOSATTRIB xattr in the forms found on Linux disks:
//  - Wine: the text "0x%x", no terminating NUL;
//  - Samba before 3.5: the same text and a NUL;
//  - Samba since: a hex text (empty since version 4) and a NUL, then an NDR blob: uint16
//    version, uint16 union level, then the DosInfo struct of that version aligned to 4, whose
//    attribute word comes first (version 1) or after a uint32 of flags (versions 2 to 5).
//    Offsets count from the start of the value, text included; padding is zero bytes.
// A blob is taken only when it is exactly as long as its version's struct (version 2 ends in
// a NUL-terminated name): a value cut short or with bytes behind it is not one Samba wrote,
// and what its bytes mean cannot be known.
class DosAttribValue
{
public:
    // The value with read-only, hidden, system and archive removed from every copy of the
    // attributes it holds, same form, same length, every other byte as it was; nothing when the
    // value is not one of the above.
    static std::optional<std::string> normalized(std::string_view value);
};

}  // namespace linuxreset
