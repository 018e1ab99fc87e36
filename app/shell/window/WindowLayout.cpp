#include "shell/window/WindowLayout.h"

#include <cmath>

namespace quillmere::layout {

int TwipScale::toPixels(double twips) const {
  return static_cast<int>(std::lround(twips / m_twipsPerPixel));
}

Geometry clampToScreen(Geometry stored, double screenWidth, double screenHeight) {
  if (stored.width > screenWidth) stored.width = screenWidth - 1;
  if (stored.height > screenHeight) stored.height = screenHeight - 1;
  if (stored.left + stored.width > screenWidth)
    stored.left = std::trunc(screenWidth - stored.width);
  if (stored.top + stored.height > screenHeight)
    stored.top = std::trunc(screenHeight - stored.height);
  if (stored.top < 0) stored.top = 0;
  if (stored.left < 0) stored.left = 0;
  return stored;
}

namespace {

// Tile: cells filled left to right, a new row once the column reaches the square root of the
// number of panels (two columns for 3 or 4 panels, three for 5 to 9).
std::vector<Position> tiledPositions(int count) {
  std::vector<Position> out;
  const double columns = std::sqrt(static_cast<double>(count));
  int row = 0;
  int column = 0;
  for (int n = 0; n < count; ++n) {
    out.push_back({row * kPanelHeight, column * kPanelWidth});
    ++column;
    if (!(column < columns)) {
      column = 0;
      ++row;
    }
  }
  return out;
}

}  // namespace

std::vector<Position> arrangedPositions(Arrangement arrangement, int count) {
  if (arrangement == Arrangement::Tile) return tiledPositions(count);
  std::vector<Position> out;
  for (int n = 0; n < count; ++n) {
    switch (arrangement) {
      case Arrangement::Cascade:
        out.push_back({n * 300.0, n * 300.0});
        break;
      case Arrangement::SideBySide:
        out.push_back({0, n * kPanelWidth});
        break;
      case Arrangement::Stacked:
        out.push_back({n * kPanelHeight, 0});
        break;
      case Arrangement::Tile:
        break;
    }
  }
  return out;
}

Size fittedMainSize(double greatestTop, double greatestLeft, bool themedMetrics, double screenWidth,
                    double screenHeight) {
  Size size;
  size.height = greatestTop + (themedMetrics ? kFitHeightThemed : kFitHeightClassic);
  size.width = greatestLeft + kFitWidth;
  if (screenHeight < size.height) size.width = greatestLeft + kFitWidth + kFitScrollBar;
  if (screenWidth < size.width) size.height += kFitScrollBar;
  return size;
}

}  // namespace quillmere::layout
