#pragma once
// The real Qt window over the real core and services, as the program starts it, for the
// benchmarks that time it; only the browser is left out.
#include "FlagwashWindow.h"
#include "QtView.h"
#include "QuietServices.h"
#include "app/SystemDirectory.h"
#include "app/frmFlagwash.h"
#include "reset/AttributeReset.h"
#include "web/RegistryReader.h"

#include <QApplication>

#include <memory>

struct QuietWindow
{
    QuietWindow()
    {
        window.attach(form);
        form.Form_Load();
        form.Form_Resize();
        window.show();
        QApplication::processEvents();
    }

    std::unique_ptr<SystemDirectory> systemDirectory = makeSystemDirectory();
    std::unique_ptr<AttributeReset> reset = makeAttributeReset();
    std::unique_ptr<RegistryReader> registry = makeRegistryReader();
    QuietLauncher launcher;
    FlagwashWindow window;
    QtView view{window, [] {
                }};
    frmFlagwash form{view, *systemDirectory, *reset, *registry, launcher};
};
