#pragma once

#include <cstdint>
#include <vector>

namespace quillmere::layout {

// All stored geometry is in twips: 1440 to the inch, 15 to the pixel at 96 dots per inch.
inline constexpr double kPanelWidth = 9525;
inline constexpr double kPanelHeight = 6575;

// Frame allowances of the fitted main window around its panels.
inline constexpr double kFitHeightThemed = 7433;
inline constexpr double kFitHeightClassic = 7315;
inline constexpr double kFitWidth = 9700;
inline constexpr double kFitScrollBar = 250;

// Converts between twips and the pixels of a screen with the given dots per inch.
class TwipScale {
 public:
  explicit TwipScale(double dotsPerInch)
      : m_twipsPerPixel(dotsPerInch > 0 ? 1440 / dotsPerInch : 15) {}
  int toPixels(double twips) const;
  double toTwips(int pixels) const { return pixels * m_twipsPerPixel; }

 private:
  double m_twipsPerPixel;
};

struct Geometry {
  double top = 0;
  double left = 0;
  double height = 0;
  double width = 0;
  bool operator==(const Geometry&) const = default;
};

// The main window's stored geometry cut down to the screen: a width or height larger than the
// screen becomes the screen's less one; an edge that would leave the screen moves back so the
// window ends at the screen's edge; a negative top or left becomes 0.
Geometry clampToScreen(Geometry stored, double screenWidth, double screenHeight);

struct Position {
  double top = 0;
  double left = 0;
  bool operator==(const Position&) const = default;
};

enum class Arrangement { Cascade, SideBySide, Stacked, Tile };

// The places of `count` open panels, in panel order, for one arrangement.
std::vector<Position> arrangedPositions(Arrangement arrangement, int count);

struct Size {
  double height = 0;
  double width = 0;
  bool operator==(const Size&) const = default;
};

// The main window's size around open panels whose greatest top and left edges are given
// (0 and 0 when none is open). The width grows by a scroll bar when the screen is lower than
// the height, then the height grows by one when the screen is narrower than the width.
Size fittedMainSize(double greatestTop, double greatestLeft, bool themedMetrics, double screenWidth,
                    double screenHeight);

}  // namespace quillmere::layout
