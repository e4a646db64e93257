#include "QtWindowFixture.h"

#include <QLabel>
#include <QWindow>

namespace {

using Id = Layout::ControlId;
using HiDpi = QtWindowFixture;

// At any scale (QT_SCALE_FACTOR) the layout keeps its logical size, dense screens get the
// double-size drawings, and the shown drop zone still covers the whole cross sign.
TEST_F(HiDpi, PicturesStayCrispAndTheDropZoneCoversTheCross)
{
    const qreal ratio = window->devicePixelRatioF();
    const qreal expectedPictureRatio = ratio > 1.0 ? 2.0 : 1.0;
    for (const Id id : {Id::Image1, Id::imgStart, Id::imgAbout, Id::imgExit}) {
        const QPixmap pixmap = static_cast<QLabel*>(control(id))->pixmap();
        EXPECT_EQ(pixmap.devicePixelRatio(), expectedPictureRatio);
        EXPECT_EQ(pixmap.deviceIndependentSize().toSize(), control(id)->size());
    }
    EXPECT_EQ(window->size(), QSize(385, 335));

    form->Form_OLEDragOver();
    const QImage shot = window->grab().toImage();
    ASSERT_EQ(shot.size(), (QSize(385, 335) * ratio));
    // Inside Image1 only the drop zone's two colours (scaled smoothly at odd ratios): no dark
    // rim or cross-hair of the background shows through.
    const QRect zone(QPoint(156, 144) * ratio, QSize(70, 70) * ratio);
    int dark = 0;
    for (int y = zone.top(); y <= zone.bottom(); ++y) {
        for (int x = zone.left(); x <= zone.right(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            if (c.red() < 20 && c.green() < 20 && c.blue() < 20)
                ++dark;
        }
    }
    EXPECT_EQ(dark, 0);
}

}  // namespace
