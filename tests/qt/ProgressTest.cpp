#include "QtWindowFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QProgressDialog>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <thread>

namespace {

using Id = Layout::ControlId;
using Progress = QtWindowFixture;

// A run of 200 paths on a backend that takes 5 ms for each: about a second.
TEST_F(Progress, LongRunShowsAModalProgressThatRepaintsAndTakesNoClicks)
{
    std::vector<std::filesystem::path> paths;
    for (int i = 0; i < 200; ++i)
        paths.emplace_back("/slow/file-" + std::to_string(i));
    form->Image1_OLEDragDrop({paths});
    reset.onReset = [](const std::filesystem::path&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };

    struct Seen
    {
        QString label;
        int value;
        QStringList buttons;
    };
    std::vector<Seen> seen;
    int windowPaints = 0;
    struct PaintCounter : QObject
    {
        int& paints;
        explicit PaintCounter(int& p)
            : paints(p)
        { }
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Paint)
                ++paints;
            return false;
        }
    } counter(windowPaints);

    QTimer watcher;
    watcher.setInterval(20);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        QStringList buttons;
        for (auto* button : dialog->findChildren<QAbstractButton*>())
            if (button->isVisible())
                buttons << button->text();
        seen.push_back({dialog->labelText(), dialog->value(), buttons});
        if (seen.size() == 1) {
            window->installEventFilter(&counter);
            window->update();
            // A click on ABOUT while the run goes on must not reach it.
            clickOn(Id::imgAbout);
        }
    });
    watcher.start();
    const auto boxes = whileBoxesClose([&] { clickOn(Id::imgStart); });
    watcher.stop();
    window->removeEventFilter(&counter);

    ASSERT_GE(seen.size(), 2u) << "no progress shown during a one-second run";
    EXPECT_TRUE(seen.front().label.startsWith("Resetting "));
    EXPECT_TRUE(seen.front().label.contains(" of 200 files/folders\n/slow/file-"));
    EXPECT_NE(seen.front().label, seen.back().label);
    EXPECT_LT(seen.front().value, seen.back().value);
    EXPECT_TRUE(seen.front().buttons.isEmpty()) << "a run cannot be cancelled halfway";
    EXPECT_GT(windowPaints, 0) << "the window did not repaint during the run";

    // Only the reset's own page launch and its report: the ABOUT click was dropped.
    EXPECT_EQ(launcher.launches.size(), 1u);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.startsWith("Done resetting 200 files/folders"));
    EXPECT_EQ(boxes[0].resetsWhileOpen, 200u);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
