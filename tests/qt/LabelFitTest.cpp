#include "QtWindowFixture.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>

namespace {

using LabelFit = QtWindowFixture;

TEST_F(LabelFit, TheLayoutFontOrItsMetricTwinIsUsed)
{
    for (const Layout::Control& c : Layout::controls) {
        if (c.kind != Layout::Kind::Label)
            continue;
        const QFontInfo used(control(c.id)->font());
        EXPECT_TRUE(used.family() == "Georgia" || used.family() == "Gelasio")
                << used.family().toStdString();
        EXPECT_EQ(used.pixelSize(), 11);
        EXPECT_FALSE(used.italic());
        EXPECT_EQ(used.weight(), QFont::Normal);
    }
}

// With the font actually in use, each text stays inside its fixed rectangle: wrapped at word
// boundaries where the label wraps, on one line where it does not.
TEST_F(LabelFit, EveryTextFitsItsRectangle)
{
    for (const Layout::Control& c : Layout::controls) {
        if (c.kind != Layout::Kind::Label)
            continue;
        SCOPED_TRACE(std::string(c.name));
        auto* label = qobject_cast<QLabel*>(control(c.id));
        ASSERT_TRUE(label);
        const QFontMetrics metrics(label->font());
        const QRect box = label->contentsRect();
        const int flags = Qt::AlignLeft | Qt::AlignTop | (c.wordWrap ? Qt::TextWordWrap : 0);
        const QRect needed
                = metrics.boundingRect(QRect(0, 0, box.width(), 10000), flags, label->text());
        EXPECT_LE(needed.width(), box.width());
        EXPECT_LE(needed.height(), box.height());
        if (!c.wordWrap) {
            EXPECT_EQ(needed.height(), metrics.height());
        }
        EXPECT_LE(label->heightForWidth(box.width()), box.height() + 2 * label->margin());
    }
}

}  // namespace
