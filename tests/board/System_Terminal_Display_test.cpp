// The console's display timers on a virtual clock: the 600 ms cursor blink and
// the 50 ms double-buffered repaint, which scrolling holds off.
#include "System_Terminal.h"
#include "Virtual_Clock.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class TerminalDisplayTest : public ::testing::Test {
 protected:
  TerminalDisplayTest() {
    term.setRepaintHandler([this] {
      drawnWhileSurface1Visible.push_back(term.getSurface1Visible());
      drawTimes.push_back(clock.now());
    });
  }

  void scroll() {
    for (char c : std::string("\x1bY\x38\x20\n")) term.writeChar(uint8_t(c));  // LF in row 24
  }

  TVirtualClock clock;
  TSystemTerminal term{clock};
  std::vector<bool> drawnWhileSurface1Visible;
  std::vector<uint64_t> drawTimes;
};

TEST_F(TerminalDisplayTest, BothTimersRunFromConstruction) {
  EXPECT_EQ(clock.activeCount(), 2);
  EXPECT_TRUE(term.getSurface1Visible());
  EXPECT_TRUE(term.getCursorShown());
  EXPECT_EQ(clock.nextDue(), 50);
}

TEST_F(TerminalDisplayTest, CursorBlinksEvery600Ms) {
  const std::vector<std::pair<uint64_t, bool>> steps = {{599, true}, {1, false}, {599, false}, {1, true}, {600, false}};
  for (const auto& [ms, shown] : steps) {
    clock.advance(ms);
    SCOPED_TRACE(clock.now());
    EXPECT_EQ(term.getCursorShown(), shown);
  }
}

TEST_F(TerminalDisplayTest, RepaintDrawsTheHiddenSurfaceThenShowsIt) {
  clock.advance(49);
  EXPECT_TRUE(drawTimes.empty());
  clock.advance(151);
  EXPECT_EQ(drawTimes, (std::vector<uint64_t>{50, 100, 150, 200}));
  // Each tick draws while the other surface is still shown, then swaps.
  EXPECT_EQ(drawnWhileSurface1Visible, (std::vector<bool>{true, false, true, false}));
  EXPECT_TRUE(term.getSurface1Visible());
  clock.advance(50);
  EXPECT_FALSE(term.getSurface1Visible());
}

TEST_F(TerminalDisplayTest, RepaintWithoutADrawRoutineStillSwaps) {
  term.setRepaintHandler(nullptr);
  clock.advance(50);
  EXPECT_FALSE(term.getSurface1Visible());
  EXPECT_EQ(clock.activeCount(), 2);
}

TEST_F(TerminalDisplayTest, ScrollingRestartsTheRepaintInterval) {
  clock.advance(30);
  scroll();
  clock.advance(49);  // would have been due at 50 without the scroll
  EXPECT_TRUE(drawTimes.empty());
  clock.advance(1);
  EXPECT_EQ(drawTimes, (std::vector<uint64_t>{80}));
}

TEST_F(TerminalDisplayTest, ContinuousScrollingHoldsTheRepaintOff) {
  for (int i = 0; i < 20; ++i) {
    clock.advance(40);
    scroll();
  }
  EXPECT_TRUE(drawTimes.empty());
  clock.advance(50);
  EXPECT_EQ(drawTimes, (std::vector<uint64_t>{850}));
}

TEST_F(TerminalDisplayTest, TextWithoutScrollingDoesNotDelayTheRepaint) {
  clock.advance(30);
  for (char c : std::string("hello\n\r\x1b[2J\x1bL")) term.writeChar(uint8_t(c));
  clock.advance(20);
  EXPECT_EQ(drawTimes, (std::vector<uint64_t>{50}));
}

TEST_F(TerminalDisplayTest, ResetStartsTheDisplayAfresh) {
  clock.advance(650);  // odd number of repaints, cursor hidden
  ASSERT_FALSE(term.getSurface1Visible());
  ASSERT_FALSE(term.getCursorShown());
  term.resetTerminal();
  EXPECT_TRUE(term.getSurface1Visible());
  EXPECT_TRUE(term.getCursorShown());
  drawTimes.clear();
  clock.advance(599);
  EXPECT_TRUE(term.getCursorShown());  // the blink interval restarted at the reset
  EXPECT_EQ(drawTimes.front(), 700u);  // and so did the repaint interval
  clock.advance(1);
  EXPECT_FALSE(term.getCursorShown());
}

TEST_F(TerminalDisplayTest, DestructionStopsBothTimers) {
  TVirtualClock own;
  auto t = std::make_unique<TSystemTerminal>(own);
  EXPECT_EQ(own.activeCount(), 2);
  t.reset();
  EXPECT_EQ(own.activeCount(), 0);
  own.advance(1000);  // nothing left to fire
}

}  // namespace
