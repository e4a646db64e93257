#pragma once
#include "Fakes.h"
#include "app/frmFlagwash.h"

// The real core over recording fakes, loaded as the program loads it.
struct CoreFixture
{
    explicit CoreFixture(SystemDirectoryReport directory = {"C:\\WINDOWS\\system32", 19})
        : systemDirectory(std::move(directory))
    { }

    EventLog log;
    FakeView view{log};
    FakeSystemDirectory systemDirectory;
    FakeAttributeReset reset{log};
    FakeRegistry registry;
    RecordingLauncher launcher{log};
    frmFlagwash form{view, systemDirectory, reset, registry, launcher};

    // Form_Load, then a clean log for what the test does next.
    void load()
    {
        form.Form_Load();
        log.clear();
        launcher.launches.clear();
    }
};
