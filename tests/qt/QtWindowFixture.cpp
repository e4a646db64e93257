#include "QtWindowFixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWindow>

QtWindowFixture::QtWindowFixture(std::vector<std::filesystem::path> commandLine)
{
    registerBundledFonts();
    window = std::make_unique<FlagwashWindow>();
    view = std::make_unique<QtView>(*window, [this] { ++quits; });
    form = std::make_unique<frmFlagwash>(*view, *systemDirectory, reset, registry, launcher);
    window->attach(*form);
    showAtStart(*window, *form, std::move(commandLine));
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    log.clear();
    launcher.launches.clear();
}

QtWindowFixture::~QtWindowFixture()
{
    form.reset();
    view.reset();
    window.reset();
}

std::vector<QtWindowFixture::SeenBox>
QtWindowFixture::whileBoxesClose(const std::function<void()>& action)
{
    std::vector<SeenBox> seen;
    QTimer closer;
    closer.setInterval(10);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        SeenBox s{box->windowTitle(),
                  box->text(),
                  box->detailedText(),
                  box->icon(),
                  {},
                  box->isModal(),
                  launcher.launches.size(),
                  reset.calls.size()};
        for (QAbstractButton* button : box->buttons()) {
            // The details' toggle is not an answer to the box.
            if (box->buttonRole(button) != QMessageBox::ActionRole)
                s.buttons << button->text().remove(u'&');
        }
        seen.push_back(s);
        box->button(QMessageBox::Ok)->click();
    });
    closer.start();
    action();
    closer.stop();
    return seen;
}

// Through the native window, as the platform delivers a click: modal boxes block it there.
void QtWindowFixture::clickOn(Layout::ControlId id)
{
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      control(id)->geometry().center());
}
