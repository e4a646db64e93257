#include "FlagwashWindow.h"
#include "QtArguments.h"
#include "QtView.h"
#include "StartUp.h"
#include "app/SystemDirectory.h"
#include "app/frmFlagwash.h"
#include "reset/AttributeReset.h"
#include "web/Launcher.h"
#include "web/RegistryReader.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    std::vector<std::filesystem::path> files = commandLineFiles(argc, argv);
    QtArguments qtArguments(argc > 0 ? argv[0] : nullptr,
                            preferredPlatform(qgetenv("QT_QPA_PLATFORM"), qgetenv("DISPLAY")));
    QApplication application(qtArguments.count(), qtArguments.values());
    QApplication::setApplicationName(QStringLiteral("flagwash"));
    QApplication::setDesktopFileName(QStringLiteral("flagwash"));

    const auto systemDirectory = makeSystemDirectory();
    const auto attributeReset = makeAttributeReset();
    const auto registry = makeRegistryReader();
    const auto launcher = makeLauncher("/");
    LaunchAfterShow launches(*launcher);

    FlagwashWindow window;
    QtView view(window, [] { QCoreApplication::exit(0); });
    frmFlagwash form(view, *systemDirectory, *attributeReset, *registry, launches);
    window.attach(form);

    showAtStart(window, form, std::move(files));
    // Qt has handed the window to the X server (or the compositor) by now: the start-up page
    // opens while the window appears.
    launches.release();
    return QApplication::exec();
}
