#include <gtest/gtest.h>

#include "app/placement.h"

namespace {
const ScreenRect kDesktop{0, 0, 1024, 768};
}

TEST(Placement, ClosingStoresByShowStateAndCutsOnlyTheRightEdge) {
  ScreenRect window{900, -20, 1300, 1000};  // off the right, the top and the bottom
  ClosingPlacement p = PlacementOnClose(WindowShowState::Maximized, window, kDesktop);
  EXPECT_TRUE(p.storeMaximized && p.maximized && !p.storeRect);
  p = PlacementOnClose(WindowShowState::Minimized, window, kDesktop);
  EXPECT_FALSE(p.storeMaximized || p.storeRect);
  p = PlacementOnClose(WindowShowState::Normal, window, kDesktop);
  EXPECT_TRUE(p.storeMaximized && !p.maximized && p.storeRect);
  EXPECT_EQ(p.rect, (ScreenRect{900, -20, 1024, 1000}));
}

TEST(Placement, OpeningFitsTheRectangleToTheDesktop) {
  struct Case {
    ScreenRect stored, fitted;
  } cases[] = {
      {{160, 80, 660, 580}, {160, 80, 660, 580}},         // fits as it is
      {{0, 0, 3000, 3000}, {0, 0, 1024, 768}},            // larger than the desktop
      {{500, 400, 3500, 3400}, {0, 0, 1024, 768}},        // larger and off to the side
      {{-100, -30, 400, 470}, {0, 0, 500, 500}},          // left and top moved in
      {{800, 600, 1100, 900}, {724, 468, 1024, 768}},     // moved back left and up
      {{2000, 1500, 2200, 1600}, {824, 668, 1024, 768}},  // wholly off the desktop
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.stored.left << "," << c.stored.top);
    EXPECT_EQ(FitToDesktop(c.stored, kDesktop), c.fitted);
  }
  EXPECT_EQ(FitToDesktop({0, 0, 200, 100}, {100, 50, 1124, 818}), (ScreenRect{100, 50, 300, 150}));
}

TEST(Placement, MaximizedTextIsTrueUnlessEmptyOrStartingWithZero) {
  for (const char* yes : {"1", "yes", " 0"}) EXPECT_TRUE(MaximizedFromText(yes)) << yes;
  for (const char* no : {"0", "01", ""}) EXPECT_FALSE(MaximizedFromText(no)) << no;
  EXPECT_FALSE(MaximizedFromText(nullptr));
}
