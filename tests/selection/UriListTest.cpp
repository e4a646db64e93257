#include "selection/UriList.h"

#include <gtest/gtest.h>

namespace {

using Files = std::optional<std::vector<std::string>>;

struct UriCase
{
    const char* name;
    std::string list;
    Files files;
};

TEST(UriList, LocalFilesOnlyWithExactBytes)
{
    const UriCase cases[] = {
            {"plain", "file:///a/b.txt\r\n", Files{{"/a/b.txt"}}},
            {"no final line break", "file:///a\r\nfile:///b", Files{{"/a", "/b"}}},
            {"bare LF lines", "file:///a\nfile:///b\n", Files{{"/a", "/b"}}},
            {"local host names", "file://localhost/a\r\nfile://MyHost/b\r\n", Files{{"/a", "/b"}}},
            {"other host", "file://server/a\r\n", std::nullopt},
            {"remote only", "https://x.example/a\r\n", std::nullopt},
            {"mixed keeps local", "https://x.example/a\r\nfile:///b\r\n", Files{{"/b"}}},
            {"comments", "# from a file manager\r\nfile:///a\r\n", Files{{"/a"}}},
            {"escaped bytes", "file:///caf%e9%2Fx%25", Files{{"/caf\xE9/x%"}}},
            {"broken escape kept", "file:///a%zz%4", Files{{"/a%zz%4"}}},
            {"query and fragment cut", "file:///a%3Fb?q=1#f", Files{{"/a?b"}}},
            {"NUL refused", "file:///a%00b\r\nfile:///c", Files{{"/c"}}},
            {"upper-case scheme", "FILE:///A", Files{{"/A"}}},
            {"upper-case host", "file://MYHOST/a", Files{{"/a"}}},
            // Only letters differ by case: 0x1a is not ':' and 0x0f is not '/'.
            {"control bytes in the scheme", "FILE\x1a\x0f\x0f/a\r\nfile\x1a///b", std::nullopt},
            {"control byte in the host", "file://my\rhost/a\r\nfile://myhos\x14/b", std::nullopt},
            {"other bytes in the host", "file://my-host/a\r\nfile://myhost\xa0/b", std::nullopt},
            {"empty", "", std::nullopt},
    };
    for (const UriCase& c : cases)
        EXPECT_EQ(localFilesFromUriList(c.list, "myhost"), c.files) << c.name;
    // A host whose name has a '-' is not matched by a CR in its place.
    EXPECT_EQ(localFilesFromUriList("file://my\rhost/a", "my-host"), std::nullopt);
    EXPECT_EQ(localFilesFromUriList("file://MY-HOST/a", "my-host"), Files{{"/a"}});
}

}  // namespace
