#include "QtWindowFixture.h"

#include <QApplication>
#include <QCloseEvent>
#include <QTest>
#include <QWindow>

namespace {

using Id = Layout::ControlId;
using WindowBehaviour = QtWindowFixture;

TEST_F(WindowBehaviour, ResizeAttemptsAreUndone)
{
    for (const QSize attempt : {QSize(600, 500), QSize(100, 80), QSize(385, 500)}) {
        window->resize(attempt);
        QApplication::processEvents();
        EXPECT_EQ(window->size(), QSize(385, 335)) << attempt.width() << "x" << attempt.height();
    }
    EXPECT_EQ(window->minimumSize(), QSize(385, 335));
    EXPECT_EQ(window->maximumSize(), QSize(385, 335));
}

// A size forced on the native window, past the widget's limits, as a window manager or
// another program may do.
TEST_F(WindowBehaviour, OutsideResizeIsUndone)
{
    struct ResizeWatch : QObject
    {
        std::vector<QSize> sizes;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Resize)
                sizes.push_back(static_cast<QResizeEvent*>(event)->size());
            return false;
        }
    } watch;
    window->installEventFilter(&watch);
    window->windowHandle()->setMaximumSize(QSize(2000, 2000));
    window->windowHandle()->resize(700, 600);
    QApplication::processEvents();

    ASSERT_FALSE(watch.sizes.empty());
    EXPECT_EQ(watch.sizes.front(), QSize(700, 600));  // the change did reach the window
    EXPECT_EQ(window->size(), QSize(385, 335));
    EXPECT_EQ(window->windowHandle()->size(), QSize(385, 335));
}

TEST_F(WindowBehaviour, ResetClickShowsTheReportAndRestoresTheCaption)
{
    form->Image1_OLEDragDrop({std::vector<std::filesystem::path>{"/tmp/a", "/tmp/b"}});
    EXPECT_EQ(window->windowTitle(), "2 File(s)/Folder(s) selected. Click RESET");

    const auto boxes = whileBoxesClose([&] { clickOn(Id::imgStart); });

    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].resetsWhileOpen, 2u);  // the report comes after the run
    EXPECT_EQ(boxes[0].title, QString());
    EXPECT_EQ(boxes[0].text,
              "Done resetting 2 files/folders\n\nClick OK to reset more files/folders");
    EXPECT_EQ(boxes[0].icon, QMessageBox::Information);
    EXPECT_EQ(boxes[0].buttons, QStringList{"OK"});
    EXPECT_TRUE(boxes[0].modal);
    EXPECT_EQ(window->windowTitle(), QString());
    EXPECT_EQ(reset.calls.size(), 2u);
    ASSERT_EQ(launcher.launches.size(), 1u);
    EXPECT_EQ(launcher.launches[0].state, ShowState::MinimizedNoActivate);
}

TEST_F(WindowBehaviour, AReportWithFailuresWarnsAndHoldsEveryFailedPathInItsDetails)
{
    std::vector<std::filesystem::path> dropped{"/tmp/kept"};
    for (int i = 0; i < 12; ++i) {
        dropped.emplace_back("/tmp/gone-" + std::to_string(i));
        reset.outcomes[dropped.back()]
                = {ResetOutcome::Status::Missing, {}, ResetOutcome::Cause::NotFound};
    }
    form->Image1_OLEDragDrop({dropped});

    const auto boxes = whileBoxesClose([&] { clickOn(Id::imgStart); });

    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(boxes[0].buttons, QStringList{"OK"});
    EXPECT_TRUE(boxes[0].text.startsWith("Done resetting 1 files/folders\n\n12 files/folders "
                                         "could not be reset:\n/tmp/gone-0 (not found)\n"));
    EXPECT_TRUE(boxes[0].text.contains("and 2 more (all of them are in the details)"));
    const QStringList lines = boxes[0].details.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 12);
    EXPECT_EQ(lines.last(), "/tmp/gone-11 (not found)");
    EXPECT_FALSE(boxes[0].details.contains(u'\r'));
}

TEST_F(WindowBehaviour, AboutShowsSixteenLinesThenOpensTheDownloadPage)
{
    const auto boxes = whileBoxesClose([&] { clickOn(Id::imgAbout); });

    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].launchesWhileOpen, 0u);
    EXPECT_EQ(boxes[0].text.count(u'\n'), 16);
    EXPECT_FALSE(boxes[0].text.contains(u'\r'));
    EXPECT_TRUE(boxes[0].text.contains("Files & Folders can be easly reset by Flagwash.\n"));
    EXPECT_EQ(boxes[0].icon, QMessageBox::Information);
    EXPECT_EQ(log, (EventLog{"launchMin:" + form->state().DownloadPageCmd}));
}

TEST_F(WindowBehaviour, ClicksOnImage2AndLabelsDoNothing)
{
    for (const Id id : {Id::Image2, Id::Label1, Id::Label2, Id::Label3, Id::Label4})
        clickOn(id);
    QApplication::processEvents();
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(quits, 0);
}

TEST_F(WindowBehaviour, ShownDropZoneClickOpensTheHomePage)
{
    form->Form_OLEDragOver();
    clickOn(Id::Image1);
    ASSERT_EQ(launcher.launches.size(), 1u);
    EXPECT_EQ(launcher.launches[0].commandLine, form->state().HomePageCmd);
    EXPECT_EQ(launcher.launches[0].state, ShowState::MaximizedActive);
}

// Press, release, press, release within the double-click time, as the platform delivers them:
// Qt makes the second press a double click as well.
TEST_F(WindowBehaviour, DoubleClickOnTheDropZoneOpensTheHomePageOnce)
{
    form->Form_OLEDragOver();
    QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                       control(Id::Image1)->geometry().center());
    QApplication::processEvents();
    EXPECT_EQ(launcher.launches.size(), 1u);

    // The next click after it is a click again.
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      control(Id::Image1)->geometry().center(), 1000);
    EXPECT_EQ(launcher.launches.size(), 2u);
}

TEST_F(WindowBehaviour, ExitAndCloseEndTheProgram)
{
    clickOn(Id::imgExit);
    EXPECT_EQ(quits, 1);
    window->close();
    EXPECT_EQ(quits, 2);
    EXPECT_TRUE(reset.calls.empty());
}

}  // namespace
