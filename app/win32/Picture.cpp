#include "Picture.h"

#include "ResourceBytes.h"
#include "app/Layout.h"
#include "platform/WideText_windows.h"

#include <algorithm>

#include <wincodec.h>
#include <wrl/client.h>

#include <string>
#include <utility>

using Microsoft::WRL::ComPtr;

namespace {

// Resource names cannot hold "@": Flagwash.rc writes the twins with "_" in its place.
std::wstring doubleSizeName(std::string_view file)
{
    std::string name = Layout::doubleSizeFile(file);
    std::replace(name.begin(), name.end(), '@', '_');
    return toWide(name);
}

ComPtr<IWICImagingFactory> imagingFactory()
{
    ComPtr<IWICImagingFactory> factory;
    // The first factory: the later one is missing from Windows 7 without its platform update.
    CoCreateInstance(CLSID_WICImagingFactory1, nullptr, CLSCTX_INPROC_SERVER,
                     IID_PPV_ARGS(&factory));
    return factory;
}

ComPtr<IWICBitmapSource> decode(IWICImagingFactory* factory, const ResourceBytes& bytes)
{
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(factory->CreateStream(&stream))
        || FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(bytes.data), bytes.size))
        || FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr,
                                                   WICDecodeMetadataCacheOnDemand, &decoder))
        || FAILED(decoder->GetFrame(0, &frame)))
        return {};
    return frame;
}

}  // namespace

Picture::Picture(Picture&& other) noexcept
{
    *this = std::move(other);
}

Picture& Picture::operator=(Picture&& other) noexcept
{
    if (this != &other) {
        if (bitmap_)
            DeleteObject(bitmap_);
        bitmap_ = std::exchange(other.bitmap_, nullptr);
        bits_ = std::exchange(other.bits_, nullptr);
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
    }
    return *this;
}

Picture::~Picture()
{
    if (bitmap_)
        DeleteObject(bitmap_);
}

Picture Picture::load(HMODULE module, std::string_view file, int naturalWidth, int width,
                      int height)
{
    Picture picture;
    if (width <= 0 || height <= 0)
        return picture;

    ResourceBytes bytes;
    if (width > naturalWidth)
        bytes = findResource(module, doubleSizeName(file).c_str());
    if (!bytes.data)
        bytes = findResource(module, toWide(file).c_str());
    if (!bytes.data)
        return picture;

    const ComPtr<IWICImagingFactory> factory = imagingFactory();
    if (!factory)
        return picture;
    ComPtr<IWICBitmapSource> source = decode(factory.Get(), bytes);
    if (!source)
        return picture;

    UINT sourceWidth = 0;
    UINT sourceHeight = 0;
    source->GetSize(&sourceWidth, &sourceHeight);
    if (sourceWidth != static_cast<UINT>(width) || sourceHeight != static_cast<UINT>(height)) {
        ComPtr<IWICBitmapScaler> scaler;
        if (FAILED(factory->CreateBitmapScaler(&scaler))
            || FAILED(scaler->Initialize(source.Get(), static_cast<UINT>(width),
                                         static_cast<UINT>(height),
                                         WICBitmapInterpolationModeFant)))
            return picture;
        source = scaler;
    }

    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(&converter))
        || FAILED(converter->Initialize(source.Get(), GUID_WICPixelFormat32bppPBGRA,
                                        WICBitmapDitherTypeNone, nullptr, 0.0,
                                        WICBitmapPaletteTypeCustom)))
        return picture;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, as WIC delivers the rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap)
        return picture;

    const UINT stride = static_cast<UINT>(width) * 4;
    if (FAILED(converter->CopyPixels(nullptr, stride, stride * static_cast<UINT>(height),
                                     static_cast<BYTE*>(bits)))) {
        DeleteObject(bitmap);
        return picture;
    }
    picture.bitmap_ = bitmap;
    picture.bits_ = static_cast<std::uint32_t*>(bits);
    picture.width_ = width;
    picture.height_ = height;
    return picture;
}

std::uint32_t Picture::pixel(int x, int y) const
{
    if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_)
        return 0;
    return bits_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_)
                 + static_cast<std::size_t>(x)];
}

void Picture::draw(HDC target, int x, int y) const
{
    if (!bitmap_)
        return;
    HDC source = CreateCompatibleDC(target);
    if (!source)
        return;
    HGDIOBJ previous = SelectObject(source, bitmap_);
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    GdiAlphaBlend(target, x, y, width_, height_, source, 0, 0, width_, height_, blend);
    SelectObject(source, previous);
    DeleteDC(source);
}

HGLOBAL Picture::toDib() const
{
    if (!bits_)
        return nullptr;
    const std::size_t rowBytes = static_cast<std::size_t>(width_) * 4;
    const std::size_t imageBytes = rowBytes * static_cast<std::size_t>(height_);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, sizeof(BITMAPINFOHEADER) + imageBytes);
    if (!memory)
        return nullptr;
    auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(memory));
    if (!header) {
        GlobalFree(memory);
        return nullptr;
    }
    *header = {};
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = width_;
    header->biHeight = height_;  // bottom-up, what every reader of CF_DIB expects
    header->biPlanes = 1;
    header->biBitCount = 32;
    header->biCompression = BI_RGB;
    header->biSizeImage = static_cast<DWORD>(imageBytes);
    auto* rows = reinterpret_cast<std::uint8_t*>(header + 1);
    for (int y = 0; y < height_; ++y) {
        const std::uint32_t* source
                = bits_ + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
        auto* row = reinterpret_cast<std::uint32_t*>(
                rows + static_cast<std::size_t>(height_ - 1 - y) * rowBytes);
        for (int x = 0; x < width_; ++x)
            row[x] = source[x] | 0xFF000000u;
    }
    GlobalUnlock(memory);
    return memory;
}
