#pragma once
#include "app/AssetFiles.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The window frmFlagwash as first shown: one table that both front ends read.
// Positions are twips from the client area's top-left corner (15 twips per pixel at 96 dpi).
namespace Layout {

struct TwipsRect
{
    int left, top, width, height;
};

struct TwipsSize
{
    int width, height;
};

struct Rgb
{
    std::uint8_t red, green, blue;
    constexpr bool operator==(const Rgb&) const = default;
};

struct Picture
{
    std::string_view file;  // in app/assets/
    int width, height;      // natural size in pixels
};

enum class Kind { ListBox, ImageArea, Image, Label, ImageButton };

enum class ControlId {
    List1,     // the selection list, never shown
    Image2,    // the area over the maker's name: a tooltip, no picture
    Image1,    // the DROP HERE zone over the cross sign
    Label4,    // the description
    Label2,    // how to use it
    Label1,    // heading "What does this tool do?"
    Label3,    // heading "How to use it?"
    imgExit,   // EXIT
    imgAbout,  // ABOUT
    imgStart   // RESET
};

struct Control
{
    ControlId id;
    std::string_view name;
    Kind kind;
    TwipsRect rect;
    bool shownAtStart = true;
    std::string_view text{};            // labels only
    std::optional<Rgb> colour{};        // labels only
    bool wordWrap = false;              // labels only
    std::string_view tooltip{};         // empty: none
    std::optional<Picture> picture{};   // image controls that draw one
    std::string_view accessibleName{};  // what a screen reader calls a picture control
};

inline constexpr int twipsPerInch = 1440;
// The density the layout and the pictures are drawn for: 15 twips a pixel.
inline constexpr int referenceDpi = 96;

constexpr int twipsToPixels(int twips, int dotsPerInch)
{
    return (twips * dotsPerInch + twipsPerInch / 2) / twipsPerInch;
}

inline constexpr TwipsSize enforcedOuterSize{6000, 5565};
// Frame and caption of the reference Windows window: 15 x 36 px at 96 dpi, which leaves a
// client area of 385 x 335 px inside the enforced outer size, the whole background picture.
inline constexpr TwipsSize referenceFrame{225, 540};

// Their files are named once, in cmake/Assets.cmake.
inline constexpr Picture background{AssetFiles::background, 385, 335};
inline constexpr Picture dropZone{AssetFiles::dropZone, 70, 70};
inline constexpr Picture resetButton{AssetFiles::resetButton, 90, 25};
inline constexpr Picture aboutButton{AssetFiles::aboutButton, 90, 25};
inline constexpr Picture exitButton{AssetFiles::exitButton, 90, 25};

// A picture's drawing at twice its size, for dense screens: "reset.gif" has "reset@2x.gif".
inline std::string doubleSizeFile(std::string_view file)
{
    const std::size_t dot = file.rfind('.');
    const std::size_t stem = dot == std::string_view::npos ? file.size() : dot;
    return std::string(file.substr(0, stem)) + "@2x" + std::string(file.substr(stem));
}

// The progress window of a long reset: its client width in pixels at the reference density,
// and the steps of its bar, which counts in thousandths since a 32-bit position would not hold
// every count.
inline constexpr int progressWidth = 420;
inline constexpr int progressSteps = 1000;

struct LabelFont
{
    std::string_view family;
    std::string_view fallbackFamily;  // bundled, metric-compatible with the family
    double pointSize;
    int weight;
};
inline constexpr LabelFont labelFont{"Georgia", "Gelasio", 8.25, 400};

inline constexpr Rgb headingBlue{0, 0, 192};
inline constexpr Rgb textNavy{0, 0, 64};

// Creation order: a control later in the table lies above an earlier one. The texts are the
// program's own, spelt as they are on purpose ("Flagswash", "heddin"): not to be corrected.
inline constexpr auto controls = std::to_array<Control>({
        {.id = ControlId::List1,
         .name = "List1",
         .kind = Kind::ListBox,
         .rect = {405, 2205, 870, 645},
         .shownAtStart = false},
        {.id = ControlId::Image2,
         .name = "Image2",
         .kind = Kind::ImageArea,
         .rect = {3015, 4500, 2535, 420},
         .shownAtStart = true,
         .tooltip = "Click to visit Quorvane Software website for more free useful programs"},
        {.id = ControlId::Image1,
         .name = "Image1",
         .kind = Kind::Image,
         .rect = {2340, 2160, 1050, 1050},
         .shownAtStart = false,
         .tooltip = "Drag and drop your files/folders here",
         .picture = dropZone,
         .accessibleName = "DROP HERE"},
        {.id = ControlId::Label4,
         .name = "Label4",
         .kind = Kind::Label,
         .rect = {270, 1170, 5265, 915},
         .shownAtStart = true,
         .text = "Flagwash resets your files and folders attributes to normal mode so you can "
                 "view/access them normally. You need to use Flagswash usually after malware "
                 "infection because many viruses change your files' attributes to system/heddin.",
         .colour = textNavy,
         .wordWrap = true},
        {.id = ControlId::Label2,
         .name = "Label2",
         .kind = Kind::Label,
         .rect = {270, 3330, 5385, 705},
         .shownAtStart = true,
         .text = "Simply drag and drop your files/folders into the cross sign above then press "
                 "RESET.",
         .colour = textNavy,
         .wordWrap = true},
        {.id = ControlId::Label1,
         .name = "Label1",
         .kind = Kind::Label,
         .rect = {270, 900, 2400, 240},
         .shownAtStart = true,
         .text = "What does this tool do?",
         .colour = headingBlue},
        {.id = ControlId::Label3,
         .name = "Label3",
         .kind = Kind::Label,
         .rect = {270, 3060, 2400, 240},
         .shownAtStart = true,
         .text = "How to use it?",
         .colour = headingBlue},
        {.id = ControlId::imgExit,
         .name = "imgExit",
         .kind = Kind::ImageButton,
         .rect = {4050, 4005, 1350, 375},
         .shownAtStart = true,
         .tooltip = "Click to exit this program",
         .picture = exitButton,
         .accessibleName = "EXIT"},
        {.id = ControlId::imgAbout,
         .name = "imgAbout",
         .kind = Kind::ImageButton,
         .rect = {2250, 4005, 1350, 375},
         .shownAtStart = true,
         // Lower-case first letter, as it has always been.
         .tooltip = "click to view information about this program",
         .picture = aboutButton,
         .accessibleName = "ABOUT"},
        {.id = ControlId::imgStart,
         .name = "imgStart",
         .kind = Kind::ImageButton,
         .rect = {225, 4005, 1350, 375},
         .shownAtStart = true,
         .tooltip = "Click to reset the selected files/folders",
         .picture = resetButton,
         .accessibleName = "RESET"},
});

constexpr const Control& control(ControlId id)
{
    for (const Control& c : controls) {
        if (c.id == id)
            return c;
    }
    return controls.front();  // unreachable: every id is in the table
}

}  // namespace Layout
