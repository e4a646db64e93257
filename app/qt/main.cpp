#include "FlagwashWindow.h"
#include "QtView.h"
#include "app/SystemDirectory.h"
#include "app/frmFlagwash.h"
#include "reset/AttributeReset.h"
#include "web/Launcher.h"
#include "web/RegistryReader.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("flagwash"));
    QApplication::setDesktopFileName(QStringLiteral("flagwash"));

    const auto systemDirectory = makeSystemDirectory();
    const auto attributeReset = makeAttributeReset();
    const auto registry = makeRegistryReader();
    const auto launcher = makeLauncher();

    FlagwashWindow window;
    QtView view(window, [] { QCoreApplication::exit(0); });
    frmFlagwash form(view, *systemDirectory, *attributeReset, *registry, *launcher);
    window.attach(form);

    form.Form_Load();
    // The size the platform reports when the window first gets one.
    form.Form_Resize();
    window.centreOnScreen();
    window.show();
    return QApplication::exec();
}
