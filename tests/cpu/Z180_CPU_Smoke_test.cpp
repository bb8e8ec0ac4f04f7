#include "Test_Machine.h"

#include <gtest/gtest.h>

TEST(Z180Smoke, RunsNops) {
  TTestMachine m;
  m.cpu.step(10);
  EXPECT_EQ(m.cpu.PC, 10);
}
