// user.DOSATTRIB byte for byte, as Wine and the Samba versions wrote it, before and after a
// reset, on ext4 and on tmpfs.
#include "ScratchTest.h"

#include "reset/AttributeReset.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {

using Kind = ScratchFileSystem::Kind;
using Status = ResetOutcome::Status;

std::string bytes(std::initializer_list<int> values)
{
    std::string result;
    for (const int value : values)
        result += static_cast<char>(value);
    return result;
}

struct Case
{
    const char* label;
    bool folder;
    std::string before;
    Status status;
    std::string after;  // equal to `before` when nothing may be written
};

const std::string creationTime = bytes({0x7d, 0x1e, 0x13, 0x4b, 0x68, 0x88, 0xdd, 0x01});

std::vector<Case> cases()
{
    // Samba's blobs: the hex text and its NUL, then uint16 version, uint16 level, padding to
    // a multiple of 4 counted from the start of the value, then the DosInfo struct.
    const std::string v5Head = bytes({0, 0, 5, 0, 5, 0, 0, 0, 0x11, 0, 0, 0});
    const std::string v4Head = bytes({0, 0, 4, 0, 4, 0, 0, 0, 0x11, 0, 0, 0});
    const std::string zero8(8, '\0');
    // Version 3 (Samba 3.5 to 4.10): text "0x22", NUL, pad, 3, 3, pad, valid_flags = 0x11,
    // attrib, ea_size, size, alloc_size, create_time, change_time.
    const auto v3 = [&](const char* text, std::size_t padBeforeVersion, std::size_t padBeforeInfo,
                        int attrib) {
        std::string value = std::string(text) + '\0' + std::string(padBeforeVersion, '\0')
                + bytes({3, 0, 3, 0}) + std::string(padBeforeInfo, '\0') + bytes({0x11, 0, 0, 0})
                + bytes({attrib, 0, 0, 0}) + bytes({0, 0, 0, 0}) + zero8 + zero8 + creationTime
                + creationTime;
        return value;
    };
    return {
            // Wine: "0x%x", no NUL.
            {"wine-hidden", false, "0x2", Status::Done, "0x0"},
            {"wine-all", false, "0x27", Status::Done, "0x00"},
            {"wine-hidden-temporary", false, "0x102", Status::Done, "0x100"},
            {"wine-upper-case", false, "0X2A", Status::Done, "0X08"},
            {"wine-folder", true, "0x16", Status::Done, "0x10"},
            {"wine-already-normal", false, "0x80", Status::Done, "0x80"},
            {"wine-zero", false, "0x0", Status::Done, "0x0"},
            // smbd 4.17 after "setmode +h", "setmode +rhsa" and, on a folder, "setmode +h".
            {"samba-4.17-hidden", false, v5Head + bytes({0x22, 0, 0, 0}) + creationTime,
             Status::Done, v5Head + bytes({0, 0, 0, 0}) + creationTime},
            {"samba-4.17-all", false, v5Head + bytes({0x27, 0, 0, 0}) + creationTime, Status::Done,
             v5Head + bytes({0, 0, 0, 0}) + creationTime},
            {"samba-4.17-folder", true, v5Head + bytes({0x12, 0, 0, 0}) + creationTime,
             Status::Done, v5Head + bytes({0x10, 0, 0, 0}) + creationTime},
            {"samba-4.17-normal", false, v5Head + bytes({0x80, 0, 0, 0}) + creationTime,
             Status::Done, v5Head + bytes({0x80, 0, 0, 0}) + creationTime},
            // Version 4 (Samba 4.11 to 4.14) adds an itime before the creation time.
            {"samba-v4-hidden-system", false,
             v4Head + bytes({0x26, 0x01, 0, 0}) + zero8 + creationTime, Status::Done,
             v4Head + bytes({0x00, 0x01, 0, 0}) + zero8 + creationTime},
            // Version 3 repeats the attributes in the text; the text keeps its width so the blob
            // behind it keeps its alignment.
            {"samba-v3-text-4", false, v3("0x22", 1, 2, 0x22), Status::Done, v3("0x00", 1, 2, 0)},
            {"samba-v3-text-3", false, v3("0x7", 0, 0, 0x7), Status::Done, v3("0x0", 0, 0, 0)},
            // Versions 1 and 2: the attribute word first, or after a flags word.
            {"samba-v1", false,
             "0x21" + bytes({0, 0, 1, 0, 1, 0, 0, 0, 0x21, 0, 0, 0, 0, 0, 0, 0}) + zero8 + zero8
                     + creationTime + creationTime,
             Status::Done,
             "0x00" + bytes({0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}) + zero8 + zero8
                     + creationTime + creationTime},
            {"samba-v2", false,
             "0x6" + bytes({0, 2, 0, 2, 0, 0, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0}) + zero8 + zero8
                     + creationTime + creationTime + zero8 + bytes({0}),
             Status::Done,
             "0x0" + bytes({0, 2, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}) + zero8 + zero8
                     + creationTime + creationTime + zero8 + bytes({0})},
            // Before 3.5 Samba stored the text and its NUL only.
            {"samba-text-only", false, std::string("0x23\0", 5), Status::Done,
             std::string("0x00\0", 5)},
            // Anything else is left exactly as it is.
            {"unknown-version", false, bytes({0, 0, 9, 0, 9, 0, 0, 0, 0x11, 0, 0, 0, 2, 0, 0, 0}),
             Status::Failed, bytes({0, 0, 9, 0, 9, 0, 0, 0, 0x11, 0, 0, 0, 2, 0, 0, 0})},
            {"level-differs", false,
             v5Head.substr(0, 4) + bytes({4, 0}) + v5Head.substr(6) + bytes({2, 0, 0, 0}),
             Status::Failed,
             v5Head.substr(0, 4) + bytes({4, 0}) + v5Head.substr(6) + bytes({2, 0, 0, 0})},
            {"truncated-blob", false, v5Head, Status::Failed, v5Head},
            {"not-hex", false, "hidden", Status::Failed, "hidden"},
            {"too-many-digits", false, "0x000000002", Status::Failed, "0x000000002"},
    };
}

using DosAttribBytes = ScratchTest;

TEST_P(DosAttribBytes, EveryCopyIsClearedInPlaceAndNothingElseChanges)
{
    const auto reset = makeAttributeReset();
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.label);
        const fs::path path = fileSystem_->root() / c.label;
        if (c.folder)
            fs::create_directory(path);
        else
            std::ofstream(path) << "data";
        writeXattr(path, "user.DOSATTRIB", c.before);
        struct statx before = {};
        ASSERT_EQ(::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_CTIME, &before), 0);

        const ResetOutcome outcome = reset->resetToNormal(path);

        EXPECT_EQ(outcome.status, c.status) << outcome.reason;
        EXPECT_EQ(readXattr(path, "user.DOSATTRIB"), c.after);
        if (c.after == c.before) {
            // Not even rewritten with the same bytes: the change time would show it.
            struct statx after = {};
            ASSERT_EQ(::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_CTIME, &after), 0);
            EXPECT_EQ(after.stx_ctime.tv_sec, before.stx_ctime.tv_sec);
            EXPECT_EQ(after.stx_ctime.tv_nsec, before.stx_ctime.tv_nsec);
        }
    }
}

struct SambaBlob
{
    std::string name;
    bool folder;
    std::string value;
    std::string reset;  // the value once reset
};

std::string fromHex(const std::string& hex)
{
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

std::vector<SambaBlob> sambaBlobs()
{
    std::vector<SambaBlob> blobs;
    std::ifstream table(FLAGWASH_SAMBA_BLOBS);
    std::string line;
    while (std::getline(table, line)) {
        if (line.empty() || line.front() == '#')
            continue;
        std::istringstream fields(line);
        std::string name, kind, shown, value, reset;
        fields >> name >> kind >> shown >> value >> reset;
        blobs.push_back({name, kind == "folder", fromHex(value), fromHex(reset)});
    }
    return blobs;
}

// The shorter values that are complete forms of their own: "0x" and at least one digit of the
// text (Wine's form), the text and its NUL (Samba before 3.5), and a version 2 blob without the
// padding after its name.
bool isCompleteOnItsOwn(const std::string& whole, std::size_t length)
{
    const std::size_t textLength = whole.find('\0');
    if (textLength > 0 && length >= 3 && length <= textLength + 1)
        return true;
    const bool version2 = whole.size() > textLength + 3 && whole[(textLength + 2) / 2 * 2] == 2;
    return version2 && length == whole.find_last_not_of('\0') + 2 && length < whole.size();
}

TEST_P(DosAttribBytes, SambaBlobsAreResetOnlyWhenCompleteAndLeftExactlyAsTheyAreOtherwise)
{
    const std::vector<SambaBlob> blobs = sambaBlobs();
    ASSERT_GE(blobs.size(), 5u) << FLAGWASH_SAMBA_BLOBS;
    const auto reset = makeAttributeReset();
    for (const SambaBlob& blob : blobs) {
        struct Variant
        {
            std::string label;
            std::string value;
        };
        std::vector<Variant> variants{{"complete", blob.value},
                                      {"junk-1", blob.value + "\x01"},
                                      {"junk-4", blob.value + "\x01\x02\x03\x04"}};
        for (std::size_t length = 0; length < blob.value.size(); ++length) {
            if (!isCompleteOnItsOwn(blob.value, length))
                variants.push_back({"cut-" + std::to_string(length), blob.value.substr(0, length)});
        }
        for (const Variant& variant : variants) {
            SCOPED_TRACE(blob.name + " " + variant.label);
            const fs::path path = fileSystem_->root() / (blob.name + "-" + variant.label);
            if (blob.folder)
                fs::create_directory(path);
            else
                std::ofstream(path) << "data";
            writeXattr(path, "user.DOSATTRIB", variant.value);
            struct statx before = {};
            ASSERT_EQ(::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_CTIME, &before),
                      0);

            const ResetOutcome outcome = reset->resetToNormal(path);

            if (variant.label == "complete") {
                EXPECT_EQ(outcome.status, Status::Done) << outcome.reason;
                EXPECT_EQ(readXattr(path, "user.DOSATTRIB"), blob.reset);
                continue;
            }
            EXPECT_EQ(outcome.status, Status::Failed);
            EXPECT_EQ(outcome.cause, ResetOutcome::Cause::UnknownFormat);
            EXPECT_EQ(readXattr(path, "user.DOSATTRIB"), variant.value);
            struct statx after = {};
            ASSERT_EQ(::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_CTIME, &after), 0);
            EXPECT_EQ(after.stx_ctime.tv_nsec, before.stx_ctime.tv_nsec);
            EXPECT_EQ(after.stx_ctime.tv_sec, before.stx_ctime.tv_sec);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(LinuxFileSystems, DosAttribBytes,
                         testing::Values(Kind::Ext4Wine, Kind::TmpfsWine),
                         [](const testing::TestParamInfo<Kind>& test) {
                             return test.param == Kind::Ext4Wine ? "Ext4" : "Tmpfs";
                         });

}  // namespace
