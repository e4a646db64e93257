#include "QtWindowFixture.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QTimer>

namespace {

using Id = Layout::ControlId;
using Paths = std::vector<std::filesystem::path>;

std::unique_ptr<QMimeData> uriList(const QByteArray& lines)
{
    auto data = std::make_unique<QMimeData>();
    data->setData(QStringLiteral("text/uri-list"), lines);
    return data;
}

class Drops : public QtWindowFixture
{
protected:
    // A real drag: it enters the window, moves onto the drop zone and is dropped there.
    Qt::DropAction dragAndDrop(const QMimeData* data, Qt::DropActions offered,
                               bool* accepted = nullptr)
    {
        const QPoint overWindow(40, 30);
        QDragEnterEvent enter(overWindow, offered, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        EXPECT_TRUE(control(Id::Image1)->isVisible());

        QWidget* zone = control(Id::Image1);
        const QPoint inZone = zone->rect().center();
        QDragEnterEvent enterZone(inZone, offered, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(zone, &enterZone);
        EXPECT_NE(enterZone.dropAction(), Qt::MoveAction);
        QDragMoveEvent move(inZone, offered, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(zone, &move);
        EXPECT_NE(move.dropAction(), Qt::MoveAction);

        QDropEvent drop(QPointF(inZone), offered, data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(zone, &drop);
        if (accepted)
            *accepted = drop.isAccepted();
        return drop.dropAction();
    }
};

struct ActionCase
{
    Qt::DropActions offered;
    Qt::DropAction answered;
};

TEST_F(Drops, FilesAreTakenAndTheAnsweredActionIsNeverMove)
{
    const ActionCase cases[] = {
            {Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::CopyAction},
            {Qt::CopyAction | Qt::MoveAction, Qt::CopyAction},
            {Qt::MoveAction | Qt::LinkAction, Qt::LinkAction},
            {Qt::MoveAction, Qt::IgnoreAction},
    };
    for (const ActionCase& c : cases) {
        SCOPED_TRACE(int(c.offered));
        const auto data = uriList("file:///home/user/a.txt\r\nfile:///home/user/My%20Folder\r\n");
        bool accepted = false;
        EXPECT_EQ(dragAndDrop(data.get(), c.offered, &accepted), c.answered);
        EXPECT_TRUE(accepted);
        EXPECT_EQ(form->List1().paths(), (Paths{"/home/user/a.txt", "/home/user/My Folder"}));
        EXPECT_EQ(window->windowTitle(), "2 File(s)/Folder(s) selected. Click RESET");
        EXPECT_FALSE(control(Id::Image1)->isVisible());
    }
}

TEST_F(Drops, PathBytesArriveExactly)
{
    const auto data = uriList("file:///tmp/caf%E9-latin1\r\n"
                              "file://localhost/tmp/%F0%9F%93%81%20x\r\n"
                              "# a comment line\r\n"
                              "file:///tmp/100%25%3Fdone%23\r\n");
    dragAndDrop(data.get(), Qt::CopyAction);
    EXPECT_EQ(form->List1().paths(),
              (Paths{std::string("/tmp/caf\xE9-latin1"), std::string("/tmp/\xF0\x9F\x93\x81 x"),
                     std::string("/tmp/100%?done#")}));
}

TEST_F(Drops, PayloadsWithoutLocalFilesEmptyTheSelection)
{
    std::vector<std::unique_ptr<QMimeData>> payloads;
    payloads.push_back(std::make_unique<QMimeData>());
    payloads.back()->setText(QStringLiteral("/home/user/a.txt"));
    payloads.push_back(uriList("http://example.org/a.txt\r\nsmb://server/share/b\r\n"));
    payloads.push_back(uriList("file://otherhost/home/user/a.txt\r\n"));
    payloads.push_back(std::make_unique<QMimeData>());
    payloads.back()->setImageData(QImage(70, 70, QImage::Format_RGB32));

    for (const auto& payload : payloads) {
        form->Image1_OLEDragDrop({Paths{"/before"}});
        dragAndDrop(payload.get(), Qt::CopyAction);
        EXPECT_TRUE(form->List1().paths().empty());
        EXPECT_EQ(window->windowTitle(), QString());
        EXPECT_TRUE(control(Id::Image1)->isVisible());
    }
}

TEST_F(Drops, DragOverLabelsAndButtonsShowsTheDropZone)
{
    const auto data = uriList("file:///a\r\n");
    for (const Id id : {Id::Label4, Id::imgStart, Id::Image2}) {
        control(Id::Image1)->hide();
        QWidget* over = control(id);
        const QPoint inWindow = over->geometry().center();
        QWidget* target = window->childAt(inWindow);
        ASSERT_EQ(target, over);
        EXPECT_FALSE(target->acceptDrops());
        // Drag events reach the nearest widget that takes drops: the window itself.
        QDragEnterEvent enter(inWindow, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        EXPECT_TRUE(control(Id::Image1)->isVisible());
    }
}

TEST_F(Drops, DropOnTheWindowOutsideTheZoneDoesNothing)
{
    form->Image1_OLEDragDrop({Paths{"/kept"}});
    const auto data = uriList("file:///dropped\r\n");
    QDragEnterEvent enter(QPoint(30, 30), Qt::CopyAction, data.get(), Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_NE(enter.dropAction(), Qt::CopyAction);
    QDropEvent drop(QPointF(30, 30), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &drop);
    EXPECT_FALSE(drop.isAccepted());
    EXPECT_EQ(form->List1().paths(), Paths{"/kept"});
}

// What a source sees of a drag onto the zone: whether the enter, the move and the drop were
// taken, and whether the drop zone came up for it.
struct Refusal
{
    bool enterTaken = true;
    bool moveTaken = true;
    bool dropTaken = true;
    bool zoneShown = true;
};

TEST_F(Drops, DuringARunAndWhileItsReportIsUpDropsAreRefusedToTheSource)
{
    form->Image1_OLEDragDrop({Paths{"/dropped/a", "/dropped/b"}});
    const auto late = uriList("file:///late/x\r\n");
    const auto tryLateDrop = [&] {
        Refusal seen;
        control(Id::Image1)->hide();
        QDragEnterEvent enterWindow(QPoint(30, 30), Qt::CopyAction, late.get(), Qt::LeftButton,
                                    Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enterWindow);
        seen.zoneShown = control(Id::Image1)->isVisible();
        QWidget* zone = control(Id::Image1);
        const QPoint inZone = zone->rect().center();
        QDragEnterEvent enter(inZone, Qt::CopyAction, late.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(zone, &enter);
        seen.enterTaken = enter.isAccepted() || enterWindow.isAccepted();
        QDragMoveEvent move(inZone, Qt::CopyAction, late.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(zone, &move);
        seen.moveTaken = move.isAccepted();
        QDropEvent drop(QPointF(inZone), Qt::CopyAction, late.get(), Qt::LeftButton,
                        Qt::NoModifier);
        QApplication::sendEvent(zone, &drop);
        seen.dropTaken = drop.isAccepted();
        return seen;
    };
    std::vector<Refusal> duringRun;
    reset.onReset = [&](const std::filesystem::path& path) {
        if (path == "/dropped/b")
            duringRun.push_back(tryLateDrop());
    };
    std::vector<Refusal> whileReportIsUp;
    QTimer early;
    early.setInterval(5);
    QObject::connect(&early, &QTimer::timeout, [&] {
        if (whileReportIsUp.empty()
            && qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            whileReportIsUp.push_back(tryLateDrop());
    });
    early.start();
    const auto boxes = whileBoxesClose([&] { form->imgStart_Click(); });
    early.stop();

    ASSERT_EQ(duringRun.size(), 1u);
    ASSERT_EQ(whileReportIsUp.size(), 1u);
    for (const Refusal& seen : {duringRun[0], whileReportIsUp[0]}) {
        EXPECT_FALSE(seen.enterTaken);
        EXPECT_FALSE(seen.moveTaken);
        EXPECT_FALSE(seen.dropTaken);
        EXPECT_FALSE(seen.zoneShown);
    }
    EXPECT_EQ(reset.calls, (Paths{"/dropped/a", "/dropped/b"}));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.startsWith("Done resetting 2 files/folders"));
    EXPECT_TRUE(form->List1().paths().empty());
    EXPECT_EQ(window->windowTitle(), QString());
    // Once the report is closed, drops are taken again.
    dragAndDrop(late.get(), Qt::CopyAction);
    EXPECT_EQ(form->List1().paths(), Paths{"/late/x"});
}

TEST_F(Drops, DropZoneIsPreparedByStartUp)
{
    EXPECT_TRUE(control(Id::Image1)->acceptDrops());
    EXPECT_TRUE(window->acceptDrops());
}

}  // namespace
