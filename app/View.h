#pragma once
#include <cstddef>
#include <string>

// What the core asks of a front end. All texts are UTF-8; line breaks are CR LF.
class View
{
public:
    virtual ~View() = default;

    virtual void setCaption(const std::string& text) = 0;
    // Makes Image1 a drop target and a drag source of its own picture.
    virtual void prepareDropZone() = 0;
    virtual void setDropZoneVisible(bool visible) = 0;
    // Outer window size in twips, as a Windows frame measures it; toolkits that size only
    // the client area subtract Layout::referenceFrame.
    virtual void setOuterSizeTwips(int width, int height) = 0;
    // Modal to the window, information icon, one OK button; returns when it is closed.
    virtual void showInformation(const std::string& title, const std::string& text) = 0;
    // The report of a reset run, modal, one OK button. With `warning` it carries the warning
    // icon and `details`, more text the user can open and copy; without, it is exactly
    // showInformation's box.
    virtual void showReport(const std::string& title, const std::string& text,
                            const std::string& details, bool warning)
            = 0;
    // A long reset run shows how far it has got: modal, repainted while the run goes on, no
    // cancel button; the window takes no input meanwhile.
    // done of total paths are finished; heading says so in words, currentPath is being worked on.
    virtual void showProgress(std::size_t done, std::size_t total, const std::string& heading,
                              const std::string& currentPath)
            = 0;
    virtual void hideProgress() = 0;
    // Ends the program at once: no further handler runs.
    virtual void quit() = 0;
};
