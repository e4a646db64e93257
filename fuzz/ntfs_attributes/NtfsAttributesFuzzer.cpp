// The NTFS attribute word and ntfs-3g's special files, against a real ntfs-3g volume (tools/
// fuzz.sh mounts one and names it in FLAGWASH_FUZZ_NTFS). Each input is a word, a size and the
// first bytes of a file (or a folder):
//  - the check for special files agrees with ntfs-3g: a file it calls special is exactly one
//    that ntfs-3g shows as something other than a regular file;
//  - clearing the word through the pinned object leaves what a plain write of the word less
//    the cleared bits leaves on a twin, says "normal" exactly when no cleared bit is left, and
//    changes no byte of the file.
#include "fuzz/FuzzCheck.h"
#include "reset/linux/FileSystemCache.h"
#include "reset/linux/NtfsAttributes.h"
#include "reset/linux/PinnedObject.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

using linuxreset::NtfsAttributes;
using linuxreset::StepResult;

constexpr const char* wordName = "system.ntfs_attrib";
constexpr unsigned long fuseMagic = 0x65735546;
// Sizes up to past the longest Interix link ntfs-3g reads (its header and PATH_MAX UTF-16
// units), so that both sides of that bound are met.
constexpr std::size_t sizeRange = 8 + 2 * 4096 + 64;
constexpr std::size_t headerSize = 8;
// What Windows clears when it sets a path to normal: read-only, hidden, system, archive,
// temporary, offline, not content-indexed.
constexpr std::uint32_t windowsClears = 0x1 | 0x2 | 0x4 | 0x20 | 0x100 | 0x1000 | 0x2000;

std::string volume;

std::string hex(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

std::uint32_t littleEndian(const std::uint8_t* bytes)
{
    return std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8)
            | (std::uint32_t{bytes[2]} << 16) | (std::uint32_t{bytes[3]} << 24);
}

bool writeWord(const std::string& path, std::uint32_t word)
{
    const unsigned char bytes[4]
            = {static_cast<unsigned char>(word), static_cast<unsigned char>(word >> 8),
               static_cast<unsigned char>(word >> 16), static_cast<unsigned char>(word >> 24)};
    return ::lsetxattr(path.c_str(), wordName, bytes, sizeof bytes, 0) == 0;
}

std::uint32_t readWord(const std::string& path)
{
    std::uint8_t bytes[4] = {};
    const ssize_t got = ::lgetxattr(path.c_str(), wordName, bytes, sizeof bytes);
    fuzzCheck(got == 4, "ntfs-3g gives a 4-byte word",
              [&] { return path + ": " + std::strerror(errno); });
    return littleEndian(bytes);
}

// The object's type as ntfs-3g shows it now. A word can turn a file into what ntfs-3g shows as
// a FIFO, a link or a device; the kernel then finds its cached inode of the wrong type, fails
// that one call with EIO and looks the name up afresh on the next. 0 for a link whose target
// is longer than a path may be, which ntfs-3g takes for a link and cannot show.
mode_t freshType(const std::string& path)
{
    struct stat status = {};
    int result = ::lstat(path.c_str(), &status);
    if (result != 0 && errno == EIO)
        result = ::lstat(path.c_str(), &status);
    if (result != 0 && errno == ENAMETOOLONG)
        return 0;
    fuzzCheck(result == 0, "ntfs-3g shows the object",
              [&] { return path + ": " + std::strerror(errno); });
    return status.st_mode & S_IFMT;
}

void removeAny(const std::string& path)
{
    if (::unlink(path.c_str()) != 0 && errno == EISDIR)
        ::rmdir(path.c_str());
}

// A fresh file with these contents, or a folder; false when ntfs-3g would not have it.
bool make(const std::string& path, bool folder, const std::string& contents)
{
    removeAny(path);
    if (folder)
        return ::mkdir(path.c_str(), 0755) == 0;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, contents.data(), contents.size())
            == static_cast<ssize_t>(contents.size());
    return ::close(fd) == 0 && written;
}

std::string contentsOf(const std::string& path)
{
    std::string bytes;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW);
    if (fd < 0)
        return "<cannot open: " + std::string(std::strerror(errno)) + ">";
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, static_cast<std::size_t>(got));
    ::close(fd);
    return bytes;
}

void skip(const std::string& reason)
{
    std::printf("SKIPPED: %s\n", reason.c_str());
    std::fflush(stdout);
    std::_Exit(77);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const char* named = std::getenv("FLAGWASH_FUZZ_NTFS");
    if (!named || !*named)
        skip("FLAGWASH_FUZZ_NTFS names no ntfs-3g volume (tools/fuzz.sh mounts one; it needs "
             "root, /dev/fuse and ntfs-3g)");
    volume = named;
    struct statfs fs = {};
    if (::statfs(volume.c_str(), &fs) != 0 || static_cast<unsigned long>(fs.f_type) != fuseMagic)
        skip(volume + " is not a FUSE mount");
    std::uint8_t word[4];
    if (::lgetxattr(volume.c_str(), wordName, word, sizeof word) != 4)
        skip(volume + " shows no NTFS attribute word: not ntfs-3g");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 6)
        return 0;
    const std::uint32_t word = littleEndian(data);
    const unsigned sizeField = data[4] | (unsigned{data[5]} << 8);
    const bool folder = (sizeField & 0x8000) != 0;
    std::string contents(reinterpret_cast<const char*>(data + 6), size - 6);
    contents.resize(folder ? 0 : (sizeField & 0x7FFF) % sizeRange, '\0');

    const std::string path = volume + "/subject";
    const std::string twin = volume + "/twin";
    if (!make(path, folder, contents) || !writeWord(path, word))
        return 0;  // a word ntfs-3g refuses outright is ntfs-3g's affair
    const mode_t type = freshType(path);
    const std::uint32_t stored = readWord(path);

    if (!folder) {
        // What the reset reads of a file: its first bytes, when it has as many.
        const std::string_view header = contents.size() >= headerSize
                ? std::string_view(contents).substr(0, headerSize)
                : std::string_view();
        const bool special = NtfsAttributes::isInterixSpecial(stored, contents.size(), header);
        fuzzCheck(special == !S_ISREG(type),
                  "a file is special to the tool exactly when ntfs-3g shows it as special", [&] {
                      return "word " + hex(stored) + ", size " + std::to_string(contents.size())
                              + ", head " + escaped(header) + ": the tool says "
                              + (special ? "special" : "regular") + ", ntfs-3g shows mode 0"
                              + std::to_string(type >> 12);
                  });
        if (!S_ISREG(type))
            return 0;  // the reset refuses what is not a file or folder before this step
    }

    // The same object made again, and the word less the cleared bits written by hand.
    if (!make(twin, folder, contents) || !writeWord(twin, word) || readWord(twin) != stored)
        return 0;
    if ((stored & windowsClears) != 0)
        fuzzCheck(writeWord(twin, stored & ~windowsClears), "the twin takes its word");

    StepResult result;
    {
        linuxreset::PinnedObject pinned(path);
        fuzzCheck(pinned.pinned(), "the subject can be pinned",
                  [&] { return pinned.failure().outcome.reason; });
        linuxreset::FileSystemCache devices;
        result = NtfsAttributes::clear(pinned, devices.lookup(pinned));
    }
    const std::uint32_t after = readWord(path);
    const std::uint32_t expected = readWord(twin);
    const auto detail = [&] {
        return "word " + hex(stored) + " became " + hex(after) + ", the twin's " + hex(expected)
                + "; the step said " + result.outcome.reason;
    };
    fuzzCheck(result.kind != StepResult::Kind::NotMine && result.kind != StepResult::Kind::LeftAsIs,
              "an ntfs-3g object with a word is the NTFS step's and is never left as it is",
              detail);
    fuzzCheck(after == expected,
              "the word is what a plain write of it less the cleared bits leaves", detail);
    fuzzCheck((result.kind == StepResult::Kind::Normal) == ((after & windowsClears) == 0),
              "normal is said exactly when no cleared bit is left", detail);
    if (!folder)
        fuzzCheck(contentsOf(path) == contents, "no byte of the file changes", detail);
    return 0;
}
