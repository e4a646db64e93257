#pragma once
#include <cstdint>
#include <string_view>

#include <windows.h>

// One of the window's pictures, decoded from the program's resources with WIC into a
// premultiplied 32-bit bitmap, so transparent pixels let the background through.
class Picture
{
public:
    Picture() = default;
    Picture(Picture&& other) noexcept;
    Picture& operator=(Picture&& other) noexcept;
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    ~Picture();

    // The picture built in under its file name, at width x height pixels. A "name@2x.ext"
    // twin, when built in too, is the source for any size larger than the natural one.
    // A null picture when it cannot be decoded.
    static Picture load(HMODULE module, std::string_view file, int naturalWidth, int width,
                        int height);

    bool isNull() const { return bitmap_ == nullptr; }
    int width() const { return width_; }
    int height() const { return height_; }
    // Premultiplied BGRA of one pixel, row 0 at the top.
    std::uint32_t pixel(int x, int y) const;

    void draw(HDC target, int x, int y) const;
    // An opaque copy as a packed device-independent bitmap (CF_DIB); null on failure.
    HGLOBAL toDib() const;

private:
    HBITMAP bitmap_ = nullptr;
    std::uint32_t* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};
