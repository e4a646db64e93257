#include "QtWindowFixture.h"

#include <QAccessible>
#include <QAccessibleInterface>

namespace {

using Id = Layout::ControlId;
using Accessibility = QtWindowFixture;

struct Named
{
    Id id;
    const char* name;
    const char* description;
};

// What a screen reader announces for each picture control.
TEST_F(Accessibility, PictureButtonsAreNamedControls)
{
    form->Form_OLEDragOver();  // the drop zone is reachable only while shown
    const Named named[] = {
            {Id::imgStart, "RESET", "Click to reset the selected files/folders"},
            {Id::imgAbout, "ABOUT", "click to view information about this program"},
            {Id::imgExit, "EXIT", "Click to exit this program"},
            {Id::Image1, "DROP HERE", "Drag and drop your files/folders here"},
    };
    for (const Named& n : named) {
        SCOPED_TRACE(n.name);
        QAccessibleInterface* item = QAccessible::queryAccessibleInterface(control(n.id));
        ASSERT_TRUE(item);
        EXPECT_EQ(item->text(QAccessible::Name), n.name);
        EXPECT_EQ(item->text(QAccessible::Description), n.description);
        EXPECT_FALSE(item->state().invisible);
        // Reachable from the window, as a reader walks it.
        QAccessibleInterface* parent = item->parent();
        ASSERT_TRUE(parent);
        EXPECT_GE(parent->indexOfChild(item), 0);
        EXPECT_EQ(control(n.id)->focusPolicy(), Qt::NoFocus);
    }
}

TEST_F(Accessibility, LabelsReadTheirText)
{
    QAccessibleInterface* item = QAccessible::queryAccessibleInterface(control(Id::Label3));
    ASSERT_TRUE(item);
    EXPECT_EQ(item->text(QAccessible::Name), "How to use it?");
}

}  // namespace
