#pragma once
#include <functional>

#include <windows.h>

// Paints width x height pixels off screen first and copies them to target in one step, so a
// change of what shows does not flicker. Paints straight to target when no buffer can be made.
void paintBuffered(HDC target, int width, int height, const std::function<void(HDC)>& paint);
