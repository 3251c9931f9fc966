#pragma once
// Where the page's and the About box's controls go: rectangles in pixels at 96 dots per inch, and
// their scaling to the screen's resolution.
#include <array>

namespace proppage {

/// A control's rectangle in pixels.
struct Box {
    int left;
    int top;
    int width;
    int height;
    friend bool operator==(const Box&, const Box&) = default;
};

/// The reference resolution the tables are drawn at.
inline constexpr int BaseDpi = 96;

/// `value` pixels at 96 DPI as pixels at `dpi`, rounded to the nearest pixel.
int Scale(int value, int dpi) noexcept;
/// Every edge of `box` scaled to `dpi`. Right and bottom edges are scaled too, so neighbouring
/// controls stay adjacent.
Box Scale(const Box& box, int dpi) noexcept;

/// The font every control uses: its face and its size in hundredths of a point.
inline constexpr char16_t FontFace[] = u"Microsoft Sans Serif";
inline constexpr int FontSizeCentipoints = 825;
/// The font's character height in pixels at `dpi` (8.25 pt is 11 pixels at 96 DPI).
int FontPixelHeight(int dpi) noexcept;

namespace PageLayout {
inline constexpr int ClientWidth = 415;
inline constexpr int ClientHeight = 389;
/// In tab order.
inline constexpr Box ReplaceWithLinks{44, 57, 225, 25};
inline constexpr Box Frame{16, 24, 382, 84};
inline constexpr Box AboutButton{310, 313, 83, 30};
/// Below the box, inside the frame; shown only where a policy sets the box.
inline constexpr Box AdministratorNote{44, 84, 300, 16};
inline constexpr char16_t ReplaceWithLinksCaption[] = u"Replace saved attachments with links";
inline constexpr char16_t FrameCaption[] = u"Defaults";
inline constexpr char16_t AboutButtonCaption[] = u"About...";
inline constexpr char16_t AdministratorNoteText[] = u"Set by your administrator.";
}  // namespace PageLayout

namespace AboutLayout {
inline constexpr int ClientWidth = 438;
inline constexpr int ClientHeight = 262;
inline constexpr Box AppName{17, 19, 171, 18};
inline constexpr Box VersionLabel{16, 39, 39, 15};
inline constexpr Box VersionNumber{57, 39, 107, 17};
inline constexpr Box QuenmarkLink{158, 70, 258, 13};
inline constexpr Box SupportLabel{14, 89, 44, 22};
inline constexpr Box SupportEmail{59, 89, 227, 18};
inline constexpr Box DocumentationLabel{14, 107, 84, 14};
inline constexpr Box DocumentationLink{95, 107, 330, 13};
inline constexpr Box OkButton{351, 222, 75, 27};
}  // namespace AboutLayout

}  // namespace proppage
