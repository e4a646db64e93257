#pragma once
// Words stored little-endian whatever the machine: the NTFS attribute word, Samba's NDR blobs.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace linuxreset {

inline std::uint32_t readLittleEndian(std::string_view bytes, std::size_t offset, std::size_t width)
{
    std::uint32_t value = 0;
    for (std::size_t i = width; i-- > 0;)
        value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
    return value;
}

inline void writeLittleEndian32(std::string& bytes, std::size_t offset, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace linuxreset
