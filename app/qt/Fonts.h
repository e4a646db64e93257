#pragma once
#include <QFont>

// Makes the bundled serif available (metric-compatible with the layout's font) for where the
// layout's own font is not installed. Needed before text is first measured or drawn; safe to
// call again.
void registerBundledFonts();

// The font of the four labels, in logical pixels so that it scales with the layout.
QFont labelFont();
