#include "Fonts.h"

#include "Pictures.h"
#include "Utf8Text.h"
#include "app/Layout.h"

#include <QFontDatabase>
#include <QString>
#include <QStringList>

void registerBundledFonts()
{
    // Registered whether or not the layout's own font is installed: labelFont() names that
    // one first, so it still wins where it exists, and no font list has to be read here.
    static const bool registered = [] {
        registerPictureResources();
        return QFontDatabase::addApplicationFont(resourcePath(AssetFiles::labelFont)) >= 0;
    }();
    (void)registered;
}

QFont labelFont()
{
    QFont font;
    font.setFamilies(
            {fromUtf8(Layout::labelFont.family), fromUtf8(Layout::labelFont.fallbackFamily)});
    // Points at the layout's density: 8.25 pt is 11 px at 96 dpi.
    font.setPixelSize(qRound(Layout::labelFont.pointSize * Layout::referenceDpi / 72.0));
    font.setWeight(static_cast<QFont::Weight>(Layout::labelFont.weight));
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    font.setStyleStrategy(QFont::PreferMatch);
    return font;
}
