#pragma once
#include "app/Layout.h"

#include <windows.h>

// Pixel density: the layout is in twips and the pictures are drawn for Layout::referenceDpi, so
// both are converted with the density of the monitor the window is on.
inline constexpr int referenceDpi = Layout::referenceDpi;

int windowDpi(HWND window);
int scaleToDpi(int pixelsAt96, int dpi);
RECT pixelRect(const Layout::TwipsRect& rect, int dpi);
