#pragma once
#include <array>
#include <cstdint>
#include <optional>
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
    List1,
    Image2,
    Image1,
    Label4,
    Label2,
    Label1,
    Label3,
    imgExit,
    imgAbout,
    imgStart
};

struct Control
{
    ControlId id;
    std::string_view name;
    Kind kind;
    TwipsRect rect;
    bool shownAtStart;
    std::string_view text;              // labels only
    std::optional<Rgb> colour;          // labels only
    bool wordWrap;                      // labels only
    std::string_view tooltip;           // empty: none
    std::optional<Picture> picture;     // image controls that draw one
    std::string_view accessibleName{};  // what a screen reader calls a picture control
};

inline constexpr int twipsPerInch = 1440;

constexpr int twipsToPixels(int twips, int dotsPerInch)
{
    return (twips * dotsPerInch + twipsPerInch / 2) / twipsPerInch;
}

inline constexpr TwipsSize enforcedOuterSize{6000, 5565};
// Frame and caption of the reference Windows window: 15 x 36 px at 96 dpi, which leaves a
// client area of 385 x 335 px inside the enforced outer size, the whole background picture.
inline constexpr TwipsSize referenceFrame{225, 540};

inline constexpr Picture background{"background.jpg", 385, 335};
inline constexpr Picture dropZone{"dropzone.gif", 70, 70};
inline constexpr Picture resetButton{"reset.gif", 90, 25};
inline constexpr Picture aboutButton{"about.gif", 90, 25};
inline constexpr Picture exitButton{"exit.gif", 90, 25};

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

// Creation order: a control later in the table lies above an earlier one.
inline constexpr std::array<Control, 10> controls{{
        {ControlId::List1,
         "List1",
         Kind::ListBox,
         {405, 2205, 870, 645},
         false,
         {},
         {},
         false,
         {},
         {}},
        {ControlId::Image2,
         "Image2",
         Kind::ImageArea,
         {3015, 4500, 2535, 420},
         true,
         {},
         {},
         false,
         "Click to visit Quorvane Software website for more free useful programs",
         {}},
        {ControlId::Image1,
         "Image1",
         Kind::Image,
         {2340, 2160, 1050, 1050},
         false,
         {},
         {},
         false,
         "Drag and drop your files/folders here",
         dropZone,
         "DROP HERE"},
        {ControlId::Label4,
         "Label4",
         Kind::Label,
         {270, 1170, 5265, 915},
         true,
         "Flagwash resets your files and folders attributes to normal mode so you can view/access "
         "them normally. You need to use Flagswash usually after malware infection because many "
         "viruses change your files' attributes to system/heddin.",
         textNavy,
         true,
         {},
         {}},
        {ControlId::Label2,
         "Label2",
         Kind::Label,
         {270, 3330, 5385, 705},
         true,
         "Simply drag and drop your files/folders into the cross sign above then press RESET.",
         textNavy,
         true,
         {},
         {}},
        {ControlId::Label1,
         "Label1",
         Kind::Label,
         {270, 900, 2400, 240},
         true,
         "What does this tool do?",
         headingBlue,
         false,
         {},
         {}},
        {ControlId::Label3,
         "Label3",
         Kind::Label,
         {270, 3060, 2400, 240},
         true,
         "How to use it?",
         headingBlue,
         false,
         {},
         {}},
        {ControlId::imgExit,
         "imgExit",
         Kind::ImageButton,
         {4050, 4005, 1350, 375},
         true,
         {},
         {},
         false,
         "Click to exit this program",
         exitButton,
         "EXIT"},
        {ControlId::imgAbout,
         "imgAbout",
         Kind::ImageButton,
         {2250, 4005, 1350, 375},
         true,
         {},
         {},
         false,
         "click to view information about this program",
         aboutButton,
         "ABOUT"},
        {ControlId::imgStart,
         "imgStart",
         Kind::ImageButton,
         {225, 4005, 1350, 375},
         true,
         {},
         {},
         false,
         "Click to reset the selected files/folders",
         resetButton,
         "RESET"},
}};

constexpr const Control& control(ControlId id)
{
    for (const Control& c : controls) {
        if (c.id == id)
            return c;
    }
    return controls.front();  // unreachable: every id is in the table
}

}  // namespace Layout
