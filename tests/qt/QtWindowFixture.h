#pragma once
#include "CoreFixture.h"
#include "DropZone.h"
#include "FlagwashWindow.h"
#include "Fonts.h"
#include "QtView.h"
#include "StartUp.h"

#include <QMessageBox>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

// The real Qt window and View over the real core, wired as main wires them; only the seams
// that would open a browser or touch files record instead, and quitting is counted.
class QtWindowFixture : public ::testing::Test
{
protected:
    // Brings the window up as the program does, given these files on its command line.
    explicit QtWindowFixture(std::vector<std::filesystem::path> commandLine = {});
    ~QtWindowFixture() override;

    QWidget* control(Layout::ControlId id) const { return window->control(id); }
    // Runs action; the modal box it opens is read, then closed with its OK button.
    struct SeenBox
    {
        QString title;
        QString text;
        QString details;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QStringList buttons;
        bool modal = false;
        std::size_t launchesWhileOpen = 0;
        std::size_t resetsWhileOpen = 0;
    };
    std::vector<SeenBox> whileBoxesClose(const std::function<void()>& action);
    void clickOn(Layout::ControlId id);

    EventLog log;
    std::unique_ptr<SystemDirectory> systemDirectory = makeSystemDirectory();
    FakeAttributeReset reset{log};
    FakeRegistry registry;
    RecordingLauncher launcher{log};
    int quits = 0;
    std::unique_ptr<FlagwashWindow> window;
    std::unique_ptr<QtView> view;
    std::unique_ptr<frmFlagwash> form;
};
