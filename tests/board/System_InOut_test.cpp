// The board's port map (all 16 bits decoded) and the peripheral wiring.
#include "Test_Machine.h"

#include <gtest/gtest.h>

#include <vector>

TEST(SystemInOut, FloppyRegistersAnswerOnlyAtTheirFullPortNumbers) {
  TTestMachine m;
  m.inOut.portWrite(0x0071, 0x27);  // track register
  m.inOut.portWrite(0x0072, 0x05);  // sector register
  EXPECT_EQ(m.inOut.portRead(0x0071), 0x27);
  EXPECT_EQ(m.inOut.portRead(0x0072), 0x05);
  EXPECT_EQ(m.fdc.readTrackRegister(), 0x27);

  // With a non-zero high byte nothing reaches the controller.
  m.inOut.portWrite(0x1271, 0x99);
  m.inOut.portWrite(0x0171, 0x99);
  EXPECT_EQ(m.fdc.readTrackRegister(), 0x27);
  EXPECT_EQ(m.inOut.portRead(0x1271), 0xFF);
}

TEST(SystemInOut, UnmappedAndWriteOnlyPortsReadOpenBus) {
  TTestMachine m;
  for (uint16_t port : {0x0000, 0x0060, 0x0075, 0x0077, 0x0078, 0x0079, 0x00FE, 0x00FF, 0x0170, 0xFFFF}) {
    EXPECT_EQ(m.inOut.portRead(port), 0xFF) << std::hex << port;
  }
  // Writing the read-only signal latch or unmapped ports changes nothing.
  const uint8_t signals = m.fdc.readSignals();
  m.inOut.portWrite(0x0074, 0xFF);
  m.inOut.portWrite(0x0075, 0xFF);
  EXPECT_EQ(m.fdc.readSignals(), signals);
}

TEST(SystemInOut, AnyWriteToPortFFSwitchesTheBootRomOff) {
  for (uint8_t value : {uint8_t(0x00), uint8_t(0x01), uint8_t(0xFF)}) {
    TTestMachine m;
    m.memory.enableBootRom(true);
    m.inOut.portWrite(0x01FF, value);
    EXPECT_TRUE(m.memory.getBootRomEnabled());
    m.inOut.portRead(0x00FF);
    EXPECT_TRUE(m.memory.getBootRomEnabled());
    m.inOut.portWrite(0x00FF, value);
    EXPECT_FALSE(m.memory.getBootRomEnabled());
  }
}

TEST(SystemInOut, SerialChannelOneIsNotConnectedAndDmaLinesAreIdle) {
  TTestMachine m;
  m.terminal.keyQueue.push_back('k');
  EXPECT_FALSE(m.inOut.asci1HasData());
  m.inOut.asci1Send('x');
  EXPECT_TRUE(m.inOut.asci0HasData());  // the terminal's queue is untouched
  EXPECT_FALSE(m.inOut.dreq0());
  EXPECT_FALSE(m.inOut.dreq1());
}

TEST(SystemInOut, ChannelZeroReachesTheTerminalAndTheTap) {
  TTestMachine m;
  std::vector<uint8_t> seen;
  m.inOut.setSendTap([&](uint8_t b) { seen.push_back(b); });
  m.inOut.asci0Send('H');
  m.inOut.asci0Send('i');
  EXPECT_EQ(seen, (std::vector<uint8_t>{'H', 'i'}));
  m.terminal.keyQueue.push_back('a');
  m.terminal.keyQueue.push_back('b');
  ASSERT_TRUE(m.inOut.asci0HasData());
  EXPECT_EQ(m.inOut.asci0Receive(), 'a');
  EXPECT_EQ(m.inOut.asci0Receive(), 'b');
  EXPECT_FALSE(m.inOut.asci0HasData());
}
