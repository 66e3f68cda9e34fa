#include "playback/player_plan.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string TimeText(int32_t ms) {
  char text[32];
  formatPlayTime(ms, text);
  return text;
}

TEST(PlayerPlan, TimeTextRoundsToHundredthsAndCarries) {
  EXPECT_EQ(TimeText(0), "0:00:00.00");
  EXPECT_EQ(TimeText(4), "0:00:00.00");
  EXPECT_EQ(TimeText(5), "0:00:00.01");
  EXPECT_EQ(TimeText(59995), "0:01:00.00");
  EXPECT_EQ(TimeText(3723456), "1:02:03.46");
  EXPECT_EQ(TimeText(-700), "0:00:00.00");
  EXPECT_EQ(TimeText(INT32_MAX), "596:31:23.65");
}

TEST(PlayerPlan, PositionBarCodes) {
  EXPECT_EQ(positionBarMove(0, 0, 1500, 10000).ms, 0);
  EXPECT_EQ(positionBarMove(2, 0, 2500, 10000).ms, 500);
  EXPECT_EQ(positionBarMove(3, 0, 9500, 10000).ms, 11500);  // past the end on purpose
  EXPECT_EQ(positionBarMove(1, 0, INT32_MAX - 10, 10000).ms, INT32_MAX);
  EXPECT_EQ(positionBarMove(5, 37, 0, 10001).ms, 3700);
  EXPECT_EQ(positionBarMove(6, 0, 5000, 10000).kind, PositionBarMove::JumpStart);
  EXPECT_EQ(positionBarMove(7, 0, 5000, 10000).kind, PositionBarMove::JumpEnd);
  EXPECT_EQ(positionBarMove(8, 0, 5000, 10000).kind, PositionBarMove::None);
  EXPECT_EQ(positionBarValue(9999, 10000), 99);
  EXPECT_EQ(positionBarValue(10000, 10000), 100);
  EXPECT_EQ(positionBarValue(500, 0), 0);
}

TEST(PlayerPlan, WaveColumnsAndValues) {
  EXPECT_EQ(waveColumnsOfWidth(2), 1);
  EXPECT_EQ(waveColumnsOfWidth(334), 332);
  EXPECT_EQ(waveColumnsOfWidth(5000), 2048);
  EXPECT_EQ(waveColumnValue(261120), 255);
  EXPECT_EQ(waveColumnValue(261121), 255);
  EXPECT_EQ(waveColumnValue(1023), 0);
  EXPECT_EQ(waveColumnValue(0x7FFF0), 255);
  EXPECT_EQ(waveColumnValue(2048), 2);
}

// A view scrolled forward and back keeps every column at the value it had for
// its frames, and only the newly exposed columns are left to compute.
TEST(PlayerPlan, WaveViewScrollsColumnsWithTheFrames) {
  WaveMapping view;
  view.width = 200;
  uint8_t columns[kMaxWaveColumns] = {};
  WaveUpdate u = updateWaveView(view, columns, 0, 88200, true);
  EXPECT_EQ(u.lo, 0);
  EXPECT_EQ(u.hi, 200);
  const auto fill = [&](int lo, int hi) {
    for (int c = lo; c < hi; ++c) columns[c] = uint8_t(view.frameOf(c) / 441);
  };
  fill(0, 200);
  // A tenth of a second forward: 4410 frames at 200 / 88200 pixels a frame.
  u = updateWaveView(view, columns, 4410, 88200, true);
  EXPECT_TRUE(u.scrolled);
  EXPECT_EQ(u.dx, -10);
  EXPECT_EQ(u.lo, 189);
  EXPECT_EQ(u.hi, 200);
  for (int c = 0; c < u.lo; ++c) EXPECT_EQ(columns[c], uint8_t((c + 10) * 441 / 441)) << c;
  fill(u.lo, u.hi);
  // Back again.
  u = updateWaveView(view, columns, 0, 88200, true);
  EXPECT_EQ(u.dx, 10);
  EXPECT_EQ(u.lo, 0);
  EXPECT_EQ(u.hi, 11);
  for (int c = 11; c < 200; ++c) EXPECT_EQ(columns[c], uint8_t(c)) << c;
  // A move by the whole width or more recomputes without scrolling.
  u = updateWaveView(view, columns, 88200, 88200, true);
  EXPECT_FALSE(u.scrolled);
  EXPECT_EQ(u.dx, -200);
  EXPECT_EQ(u.hi, 200);
  // Same place: nothing; another length: everything.
  u = updateWaveView(view, columns, 88200, 88200, true);
  EXPECT_EQ(u.hi, 0);
  u = updateWaveView(view, columns, 88200, 44100, true);
  EXPECT_EQ(u.hi, 200);
  EXPECT_EQ(view.xOf(88200), 0);
  EXPECT_EQ(view.xOf(88199), -1);
  EXPECT_EQ(view.xOf(88200 + 44100), 200);
  EXPECT_EQ(view.xOf(1 << 30), 200);
}

TEST(PlayerPlan, MeterAndSliderGeometry) {
  // 0 dB: green to three quarters, no red; +1 dB adds red.
  EXPECT_EQ(meterBar(0, 111).green, 83);
  EXPECT_EQ(meterBar(0, 111).red, 83);
  EXPECT_EQ(meterBar(1, 111).red, 85);
  EXPECT_EQ(meterBar(-36, 111).green, 0);
  EXPECT_EQ(meterBar(12, 111).red, 111);
  const PixelSpan change = meterChange(1, 2, 111, 15, -6, -12);
  EXPECT_EQ(change.left, 24 * 111 / 48);
  EXPECT_EQ(change.right, 30 * 111 / 48 + 1);
  EXPECT_EQ(change.top, 7);
  EXPECT_EQ(change.bottom, 15);
  EXPECT_EQ(clampMeterDb(-127), -36);
  // Dragging past either end holds the value at the range's end.
  EXPECT_EQ(sliderValueAt(500, 212, -36, 12), 12);
  EXPECT_EQ(sliderValueAt(-40, 212, -36, 12), -36);
  EXPECT_EQ(sliderValueAt(159, 212, -36, 12), 0);
  EXPECT_EQ(sliderX(0, -36, 12, 0, 211), 158);
  EXPECT_EQ(sliderKnobLeft(sliderX(12, -36, 12, 0, 211), 0, 211), 198);
  EXPECT_EQ(sliderKnobLeft(sliderX(-36, -36, 12, 0, 211), 0, 211), 1);
}

}  // namespace
