#pragma once
#include <windows.h>

// The font of the four labels at a density: the layout's own family where it is installed,
// otherwise the bundled serif of the same metrics, made available to this process on first
// use. Null when no font can be made; the caller deletes it.
HFONT createLabelFont(HINSTANCE instance, int dpi);
