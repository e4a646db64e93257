#include "QtWindowFixture.h"

#include <QLabel>
#include <QScreen>
#include <QWindow>

namespace {

using Id = Layout::ControlId;

// What a user must see, written out from the window's design in pixels at 96 dpi, so that
// a wrong value in the shared layout table shows up here.
struct Expected
{
    Id id;
    const char* name;
    QRect rect;
    bool shown;
    const char* text;
    QColor colour;
    const char* tooltip;
};

const Expected expected[] = {
        {Id::List1, "List1", {27, 147, 58, 43}, false, nullptr, {}, ""},
        {Id::Image2,
         "Image2",
         {201, 300, 169, 28},
         true,
         nullptr,
         {},
         "Click to visit Quorvane Software website for more free useful programs"},
        {Id::Image1,
         "Image1",
         {156, 144, 70, 70},
         false,
         nullptr,
         {},
         "Drag and drop your files/folders here"},
        {Id::Label4,
         "Label4",
         {18, 78, 351, 61},
         true,
         "Flagwash resets your files and folders attributes to normal mode so you can "
         "view/access them normally. You need to use Flagswash usually after malware infection "
         "because many viruses change your files' attributes to system/heddin.",
         QColor(0, 0, 64),
         ""},
        {Id::Label2,
         "Label2",
         {18, 222, 359, 47},
         true,
         "Simply drag and drop your files/folders into the cross sign above then press RESET.",
         QColor(0, 0, 64),
         ""},
        {Id::Label1,
         "Label1",
         {18, 60, 160, 16},
         true,
         "What does this tool do?",
         QColor(0, 0, 192),
         ""},
        {Id::Label3, "Label3", {18, 204, 160, 16}, true, "How to use it?", QColor(0, 0, 192), ""},
        {Id::imgExit,
         "imgExit",
         {270, 267, 90, 25},
         true,
         nullptr,
         {},
         "Click to exit this program"},
        {Id::imgAbout,
         "imgAbout",
         {150, 267, 90, 25},
         true,
         nullptr,
         {},
         "click to view information about this program"},
        {Id::imgStart,
         "imgStart",
         {15, 267, 90, 25},
         true,
         nullptr,
         {},
         "Click to reset the selected files/folders"},
};

using LayoutOnScreen = QtWindowFixture;

TEST_F(LayoutOnScreen, EveryControlAsDesigned)
{
    const QList<QWidget*> children = window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(children.size(), 10);
    for (int i = 0; i < children.size(); ++i) {
        const Expected& e = expected[i];
        SCOPED_TRACE(e.name);
        // Creation order is stacking order: later controls lie above earlier ones.
        EXPECT_EQ(children[i]->objectName(), QString::fromUtf8(e.name));
        EXPECT_EQ(children[i], control(e.id));
        EXPECT_EQ(children[i]->geometry(), e.rect);
        EXPECT_EQ(children[i]->isVisible(), e.shown);
        EXPECT_EQ(children[i]->toolTip(), QString::fromUtf8(e.tooltip));
        EXPECT_EQ(children[i]->focusPolicy(), Qt::NoFocus);
        if (auto* label = qobject_cast<QLabel*>(children[i]); label && e.text) {
            EXPECT_EQ(label->text(), QString::fromUtf8(e.text));
            EXPECT_EQ(label->palette().color(QPalette::WindowText), e.colour);
            EXPECT_FALSE(label->autoFillBackground());
            EXPECT_EQ(label->wordWrap(), e.rect.height() > 20);
            EXPECT_EQ(label->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
        }
    }
}

TEST_F(LayoutOnScreen, PicturesAtNaturalSize)
{
    for (const Id id : {Id::Image1, Id::imgStart, Id::imgAbout, Id::imgExit}) {
        auto* picture = qobject_cast<QLabel*>(control(id));
        ASSERT_TRUE(picture);
        const QPixmap pixmap = picture->pixmap();
        ASSERT_FALSE(pixmap.isNull());
        EXPECT_EQ(pixmap.deviceIndependentSize().toSize(), control(id)->size());
        EXPECT_FALSE(picture->hasScaledContents());
    }
    EXPECT_TRUE(qobject_cast<QLabel*>(control(Id::Image2)) == nullptr);
    EXPECT_FALSE(window->windowIcon().isNull());
    EXPECT_TRUE(window->windowIcon().availableSizes().contains(QSize(32, 32)));
    EXPECT_TRUE(window->windowIcon().availableSizes().contains(QSize(16, 16)));
}

TEST_F(LayoutOnScreen, TitleBarHasCloseButNoMinimizeOrMaximize)
{
    const Qt::WindowFlags flags = window->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(window->windowTitle(), QString());
}

TEST_F(LayoutOnScreen, ClientAreaShowsTheWholeBackgroundCentred)
{
    EXPECT_EQ(window->size(), QSize(385, 335));
    // Centred by the program itself: the platform here places nothing. The frame is not
    // known before the first show, so the client area is what is centred.
    const QRect screen = window->screen()->availableGeometry();
    const QMargins frame = window->windowHandle()->frameMargins();
    EXPECT_LE(std::abs(window->geometry().center().x() - screen.center().x()),
              std::max(1, frame.left()));
    EXPECT_LE(std::abs(window->geometry().center().y() - screen.center().y()),
              std::max(1, frame.top()));
}

// The rendered window: the background shows through the labels beside their letters.
TEST_F(LayoutOnScreen, LabelsAreTransparent)
{
    const Id labels[] = {Id::Label1, Id::Label2, Id::Label3, Id::Label4};
    const QImage withLabels = window->grab().toImage();
    for (const Id id : labels)
        control(id)->hide();
    const QImage withoutLabels = window->grab().toImage();
    const qreal ratio = window->devicePixelRatioF();
    // Points inside the labels' rectangles beyond the end of their text: no box behind it.
    for (const QPoint p : {QPoint(175, 68), QPoint(170, 212), QPoint(370, 262), QPoint(366, 136)}) {
        const QPoint device = p * ratio;
        EXPECT_EQ(withLabels.pixelColor(device), withoutLabels.pixelColor(device))
                << p.x() << "," << p.y();
    }
    // And the letters themselves are drawn.
    EXPECT_NE(withLabels, withoutLabels);
}

}  // namespace
