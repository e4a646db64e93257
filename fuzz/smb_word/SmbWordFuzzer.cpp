// The attribute word written to a file or folder on a share (user.cifs.dosattrib): whatever the
// word read, what is written has none of the flags Windows clears, keeps every other bit, is
// never 0 (which the client takes for "leave the attributes as they are"), keeps a folder a
// folder, and is already normal itself.
#include "fuzz/FuzzCheck.h"
#include "reset/NormalAttributes.h"
#include "reset/linux/SmbAttributes.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 5)
        return 0;
    std::uint32_t word = 0;
    std::memcpy(&word, data, sizeof word);
    const bool folder = (data[4] & 1) != 0;
    const std::uint32_t written = linuxreset::SmbAttributes::normalWord(word, folder);
    const auto detail = [&] {
        return "word " + std::to_string(word) + (folder ? " folder" : " file") + " -> "
                + std::to_string(written);
    };
    fuzzCheck((written & dos::windowsNormal) == 0, "no flag Windows clears is left", detail);
    fuzzCheck(written != 0, "never 0", detail);
    const std::uint32_t kept = word & ~dos::windowsNormal;
    fuzzCheck((written & kept) == kept, "every other bit is kept", detail);
    fuzzCheck((written & ~kept)
                      == (folder ? dos::directory & ~kept : (kept == 0 ? dos::normal : 0)),
              "nothing but the folder bit or 0x80 is added", detail);
    fuzzCheck(!folder || (written & dos::directory) != 0, "a folder stays a folder", detail);
    fuzzCheck(linuxreset::SmbAttributes::normalWord(written, folder) == written,
              "a normal word stays as it is", detail);
    return 0;
}
