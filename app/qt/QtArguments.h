#pragma once
#include <QByteArray>

#include <vector>

// What Qt is given on its command line: the program's name and the platform to use, never
// the user's arguments. Every one of those is a file to take, byte for byte, so that a file
// named like a Qt option ("-style", "-reverse") is taken as a file and not obeyed.
class QtArguments
{
public:
    QtArguments(const char* program, const QByteArray& platform);
    QtArguments(const QtArguments&) = delete;
    QtArguments& operator=(const QtArguments&) = delete;

    // QApplication keeps both for its whole life.
    int& count() { return count_; }
    char** values() { return pointers_.data(); }

private:
    std::vector<QByteArray> values_;
    std::vector<char*> pointers_;
    int count_ = 0;
};

// The platform to ask Qt for, or empty to leave the choice to Qt. With an X server at hand the
// window goes there, through Xwayland in a Wayland session too: there it keeps its empty
// caption, its title bar without minimize and maximize buttons and its place in the middle of
// the screen, none of which a Wayland client can ask for. Native Wayland is the fallback when
// no X server is there. A platform the user named (QT_QPA_PLATFORM) is always kept.
QByteArray preferredPlatform(const QByteArray& qpaPlatform, const QByteArray& display);
