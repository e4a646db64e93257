#pragma once
#include <QIcon>
#include <QPixmap>
#include <string_view>

// The program's pictures, built in as Qt resources. On a high-density screen the @2x drawing
// of the same picture is used, so the picture keeps its layout size and stays crisp.
// The resource path of a file of the assets: ":/assets/<file>".
QString resourcePath(std::string_view file);
QPixmap loadPicture(std::string_view file, qreal devicePixelRatio);
QIcon programIcon();

// Makes the built-in pictures and fonts reachable (idempotent).
void registerPictureResources();
