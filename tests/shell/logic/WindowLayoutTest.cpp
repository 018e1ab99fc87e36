#include <gtest/gtest.h>

#include "shell/window/WindowLayout.h"

namespace quillmere::layout {
namespace {

constexpr double kScreenWidth = 15360;  // 1024 pixels at 96 dpi
constexpr double kScreenHeight = 11520;

TEST(WindowLayout, TwipsAreFifteenToThePixelAt96Dpi) {
  EXPECT_EQ(TwipScale(96).toPixels(9525), 635);
  EXPECT_EQ(TwipScale(96).toTwips(635), 9525);
  EXPECT_EQ(TwipScale(192).toPixels(9525), 1270);
  EXPECT_EQ(TwipScale(144).toTwips(100), 1000);
}

TEST(WindowLayout, StoredGeometryIsCutDownToTheScreen) {
  // Too wide: the screen's width less one.
  EXPECT_EQ(clampToScreen({0, 0, 6575, 20000}, kScreenWidth, kScreenHeight).width, 15359);
  // Off the right edge: moved back so the window ends at the edge.
  EXPECT_EQ(clampToScreen({0, 10000, 6575, 9525}, kScreenWidth, kScreenHeight).left, 5835);
  // Off the bottom edge, and a negative top or left.
  EXPECT_EQ(clampToScreen({8000, 0, 6575, 9525}, kScreenWidth, kScreenHeight).top, 4945);
  const Geometry negative = clampToScreen({-300, -15, 6575, 9525}, kScreenWidth, kScreenHeight);
  EXPECT_EQ(negative.top, 0);
  EXPECT_EQ(negative.left, 0);
  // Too high and too wide at once: the sizes shrink first, then the edges follow.
  const Geometry both = clampToScreen({500, 500, 30000, 30000}, kScreenWidth, kScreenHeight);
  EXPECT_EQ(both, (Geometry{1, 1, 11519, 15359}));
  // A window that fits stays as it is.
  const Geometry fits{300, 450, 6575, 9525};
  EXPECT_EQ(clampToScreen(fits, kScreenWidth, kScreenHeight), fits);
}

TEST(WindowLayout, ArrangementsPlaceThePanelsInOrder) {
  EXPECT_EQ(arrangedPositions(Arrangement::Cascade, 3),
            (std::vector<Position>{{0, 0}, {300, 300}, {600, 600}}));
  EXPECT_EQ(arrangedPositions(Arrangement::SideBySide, 2),
            (std::vector<Position>{{0, 0}, {0, 9525}}));
  EXPECT_EQ(arrangedPositions(Arrangement::Stacked, 2), (std::vector<Position>{{0, 0}, {6575, 0}}));
  EXPECT_TRUE(arrangedPositions(Arrangement::Tile, 0).empty());
}

TEST(WindowLayout, TileFillsRowsUpToTheSquareRootOfTheCount) {
  // Three panels: two in the first row, one in the second.
  EXPECT_EQ(arrangedPositions(Arrangement::Tile, 3),
            (std::vector<Position>{{0, 0}, {0, 9525}, {6575, 0}}));
  // Four: two by two.
  EXPECT_EQ(arrangedPositions(Arrangement::Tile, 4),
            (std::vector<Position>{{0, 0}, {0, 9525}, {6575, 0}, {6575, 9525}}));
  // Five: three columns.
  EXPECT_EQ(arrangedPositions(Arrangement::Tile, 5),
            (std::vector<Position>{{0, 0}, {0, 9525}, {0, 19050}, {6575, 0}, {6575, 9525}}));
  EXPECT_EQ(arrangedPositions(Arrangement::Tile, 1), (std::vector<Position>{{0, 0}}));
}

TEST(WindowLayout, FitSizesTheMainWindowAroundTheOpenPanels) {
  // No open panel.
  EXPECT_EQ(fittedMainSize(0, 0, true, kScreenWidth, kScreenHeight), (Size{7433, 9700}));
  EXPECT_EQ(fittedMainSize(0, 0, false, kScreenWidth, kScreenHeight), (Size{7315, 9700}));
  // Panels out to top 600 and left 600.
  EXPECT_EQ(fittedMainSize(600, 600, true, kScreenWidth, kScreenHeight), (Size{8033, 10300}));
  // A screen lower than the height gets a vertical scroll bar's width more.
  EXPECT_EQ(fittedMainSize(6575, 0, true, kScreenWidth, 12000), (Size{14008, 9950}));
  // A screen narrower than the width gets a horizontal scroll bar's height more.
  EXPECT_EQ(fittedMainSize(0, 9525, true, kScreenWidth, kScreenHeight), (Size{7683, 19225}));
}

}  // namespace
}  // namespace quillmere::layout
