#include "Picture.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <windows.h>

#include <cstdint>
#include <string>

namespace {

std::uint8_t alphaOf(std::uint32_t pixel)
{
    return static_cast<std::uint8_t>(pixel >> 24);
}

// The pictures built into the program, decoded by Wine's or Windows' WIC as the window does:
// at 96 dpi at their natural size, at higher densities scaled from the @2x twins.
TEST(Win32Pictures, DecodeAtEveryDensityWithTransparentCornersWhereDrawnSo)
{
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    const struct
    {
        const char* file;
        int width, height;  // natural
        bool transparentCorners;
    } pictures[] = {
            {"background.jpg", 385, 335, false}, {"dropzone.gif", 70, 70, false},
            {"reset.gif", 90, 25, true},         {"about.gif", 90, 25, true},
            {"exit.gif", 90, 25, true},
    };
    const int densities[] = {96, 120, 144, 192};
    for (const auto& p : pictures) {
        for (const int dpi : densities) {
            SCOPED_TRACE(std::string(p.file) + " at " + std::to_string(dpi) + " dpi");
            const int width = MulDiv(p.width, dpi, 96);
            const int height = MulDiv(p.height, dpi, 96);
            const Picture picture
                    = Picture::load(GetModuleHandleW(nullptr), p.file, p.width, width, height);
            ASSERT_FALSE(picture.isNull());
            EXPECT_EQ(picture.width(), width);
            EXPECT_EQ(picture.height(), height);
            EXPECT_EQ(alphaOf(picture.pixel(0, 0)), p.transparentCorners ? 0 : 255);
            EXPECT_EQ(alphaOf(picture.pixel(width - 1, height - 1)),
                      p.transparentCorners ? 0 : 255);
            EXPECT_EQ(alphaOf(picture.pixel(width / 2, height / 2)), 255);
        }
    }
    CoUninitialize();
}

TEST(Win32Pictures, DropZoneOffersItselfAsAnOpaqueBottomUpDib)
{
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    const Picture picture = Picture::load(GetModuleHandleW(nullptr), "dropzone.gif", 70, 70, 70);
    HGLOBAL dib = picture.toDib();
    ASSERT_TRUE(dib);
    const auto* header = static_cast<const BITMAPINFOHEADER*>(GlobalLock(dib));
    EXPECT_EQ(header->biWidth, 70);
    EXPECT_EQ(header->biHeight, 70);
    EXPECT_EQ(header->biBitCount, 32);
    EXPECT_EQ(header->biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(GlobalSize(dib), sizeof(BITMAPINFOHEADER) + 70u * 70u * 4u);
    // Bottom-up: the first row stored is the picture's last.
    const auto* rows = reinterpret_cast<const std::uint32_t*>(header + 1);
    EXPECT_EQ(rows[0] & 0xFFFFFFu, picture.pixel(0, 69) & 0xFFFFFFu);
    GlobalUnlock(dib);
    GlobalFree(dib);
    CoUninitialize();
}

}  // namespace
