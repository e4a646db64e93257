#include "app/Layout.h"

#include <gtest/gtest.h>

namespace {

// Every twips value is a whole number of pixels at 96 dpi.
TEST(Layout, RectanglesAreWholePixels)
{
    for (const Layout::Control& c : Layout::controls) {
        for (const int v : {c.rect.left, c.rect.top, c.rect.width, c.rect.height})
            EXPECT_EQ(v % 15, 0) << c.name;
    }
    EXPECT_EQ(Layout::twipsToPixels(6000, 96), 400);
    EXPECT_EQ(Layout::twipsToPixels(5565, 96), 371);
    EXPECT_EQ(Layout::twipsToPixels(2340, 144), 234);
}

TEST(Layout, EnforcedOuterSizeLeavesTheWholeBackground)
{
    const int clientWidth = Layout::enforcedOuterSize.width - Layout::referenceFrame.width;
    const int clientHeight = Layout::enforcedOuterSize.height - Layout::referenceFrame.height;
    EXPECT_EQ(Layout::twipsToPixels(clientWidth, 96), Layout::background.width);
    EXPECT_EQ(Layout::twipsToPixels(clientHeight, 96), Layout::background.height);
}

TEST(Layout, PicturesFitTheirControls)
{
    for (const Layout::Control& c : Layout::controls) {
        if (!c.picture)
            continue;
        EXPECT_EQ(Layout::twipsToPixels(c.rect.width, 96), c.picture->width) << c.name;
        EXPECT_EQ(Layout::twipsToPixels(c.rect.height, 96), c.picture->height) << c.name;
    }
}

}  // namespace
