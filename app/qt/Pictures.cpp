#include "Pictures.h"

#include "Utf8Text.h"
#include "app/Layout.h"

#include <QFile>
#include <QString>

QString resourcePath(std::string_view file)
{
    return QStringLiteral(":/assets/") + fromUtf8(file);
}

namespace {

QString doubleSizePath(std::string_view file)
{
    return resourcePath(Layout::doubleSizeFile(file));
}

}  // namespace

// Resources of a static library are registered by hand, outside any namespace.
static bool initAssets()
{
    Q_INIT_RESOURCE(assets);
    return true;
}

void registerPictureResources()
{
    // Once: every picture and the font ask for it, and each registration scans Qt's list.
    static const bool registered = initAssets();
    (void)registered;
}

QPixmap loadPicture(std::string_view file, qreal devicePixelRatio)
{
    registerPictureResources();
    if (devicePixelRatio > 1.0) {
        const QString large = doubleSizePath(file);
        QPixmap pixmap;
        if (QFile::exists(large) && pixmap.load(large)) {
            pixmap.setDevicePixelRatio(2.0);
            return pixmap;
        }
    }
    return QPixmap(resourcePath(file));
}

// The same drawings as the program's .ico, as PNG files: Qt reads those without loading an
// image plugin, which matters at start-up.
QIcon programIcon()
{
    registerPictureResources();
    QIcon icon;
    for (const int size : {16, 32})
        icon.addFile(QStringLiteral(":/assets/icons/flagwash-%1.png").arg(size), QSize(size, size));
    return icon;
}
