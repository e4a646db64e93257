#include "UriList.h"

#include <QByteArray>

#include <gtest/gtest.h>

namespace {

using Files = std::optional<std::vector<std::string>>;

struct UriCase
{
    const char* name;
    QByteArray list;
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
            {"empty", "", std::nullopt},
    };
    for (const UriCase& c : cases)
        EXPECT_EQ(localFilesFromUriList(c.list, "myhost"), c.files) << c.name;
}

}  // namespace
