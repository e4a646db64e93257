#include "BackBuffer.h"

void paintBuffered(HDC target, int width, int height, const std::function<void(HDC)>& paint)
{
    HDC buffer = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, width, height);
    if (buffer && bitmap) {
        HGDIOBJ previous = SelectObject(buffer, bitmap);
        paint(buffer);
        BitBlt(target, 0, 0, width, height, buffer, 0, 0, SRCCOPY);
        SelectObject(buffer, previous);
    } else {
        paint(target);
    }
    if (bitmap)
        DeleteObject(bitmap);
    if (buffer)
        DeleteDC(buffer);
}
