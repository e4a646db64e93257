#pragma once
#include <QFont>

// Makes the bundled serif available (metric-compatible with the layout's font) where the
// layout's own font is not installed. Call once, after the application object exists.
void registerBundledFonts();

// The font of the four labels, in logical pixels so that it scales with the layout.
QFont labelFont();
