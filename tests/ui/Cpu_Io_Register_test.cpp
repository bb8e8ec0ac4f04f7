// The I/O register view: all 48 registers, the reset values, place holders
// and that refreshing never changes the machine.
// The core first: the floppy controller's "signals" field must not meet Qt's keyword.
#include "Z180_CPU.h"

#include "Cpu_Io_Register.h"

#include "Register_Item.h"
#include "Register_Views_Fixture.h"

#include <gtest/gtest.h>

#include <QLabel>

#include <set>

namespace {
TEST(CpuIoRegister, ShowsEveryImplementedRegisterOnce) {
  TViewFixture f;
  TCpuIoRegister view(f.machine, *f.settings);
  EXPECT_EQ(view.windowTitle(), "CPU I/O-Register");
  const TIoSnapshot s = f.machine.cpu().ioSnapshot();
  std::set<int> implemented(s.index.begin(), s.index.end());
  ASSERT_EQ(implemented.size(), 48u);
  std::set<TRegisterItem*> distinct;
  for (int a = 0; a < 64; ++a) {
    EXPECT_EQ(view.item(a) != nullptr, implemented.count(a) == 1) << "address " << a;
    if (view.item(a)) {
      distinct.insert(view.item(a));
      EXPECT_EQ(view.item(a)->valueText(), "FF");
    }
  }
  EXPECT_EQ(distinct.size(), 48u);
}

TEST(CpuIoRegister, NamesSitAtTheirAddresses) {
  TViewFixture f;
  TCpuIoRegister view(f.machine, *f.settings);
  const std::pair<int, const char*> names[] = {
      {0x00, "CNTLA0"}, {0x09, "RDR1"},  {0x0A, "CNTR"},  {0x0B, "TRD"},   {0x0C, "TMDR0L"}, {0x0D, "TMDR0H"},
      {0x17, "RLDR1H"}, {0x18, "FRC"},   {0x22, "SAR0B"}, {0x25, "DAR0B"}, {0x2A, "MAR1B"},  {0x2C, "IAR1H"},
      {0x2F, "BCR1H"},  {0x30, "DSTAT"}, {0x31, "DMODE"}, {0x33, "IL"},    {0x34, "ITC"},    {0x36, "RCR"},
      {0x38, "CBR"},    {0x39, "BBR"},   {0x3A, "CBAR"},  {0x3E, "OMCR"},  {0x3F, "ICR"}};
  for (const auto& [address, name] : names) EXPECT_EQ(view.item(address)->caption(), name);
}

TEST(CpuIoRegister, ShowsTheStoredBytesAfterReset) {
  TViewFixture f;
  TZ180Cpu& cpu = f.machine.cpu();
  cpu.reset();
  cpu.TMDR[1] = 0x0512;
  cpu.SAR0 = 0x5ABCD;
  TCpuIoRegister view(f.machine, *f.settings);
  view.show();
  EXPECT_EQ(view.item(0x00)->valueText(), "08");  // CNTLA0 after reset
  EXPECT_EQ(view.item(0x3A)->valueText(), "F0");  // CBAR after reset
  EXPECT_EQ(view.item(0x15)->valueText(), "05");
  EXPECT_EQ(view.item(0x14)->valueText(), "12");
  EXPECT_EQ(view.item(0x22)->valueText(), "05");
  EXPECT_EQ(view.item(0x21)->valueText(), "AB");
  EXPECT_EQ(view.item(0x20)->valueText(), "CD");
  view.close();
}

TEST(CpuIoRegister, RefreshingTwiceChangesNothing) {
  TViewFixture f;
  TZ180Cpu& cpu = f.machine.cpu();
  cpu.reset();
  cpu.RDR[0] = 0x41;
  cpu.STAT[0] |= 0x80;  // a received character waits
  cpu.TMDR[0] = 0x1234;
  cpu.tmdrLatched[0] = false;
  const TIoSnapshot before = cpu.ioSnapshot();
  TCpuIoRegister view(f.machine, *f.settings);
  view.show();
  std::vector<QString> first;
  for (int a = 0; a < 64; ++a)
    if (view.item(a)) first.push_back(view.item(a)->valueText());
  view.refreshIoRegisters();
  std::vector<QString> second;
  for (int a = 0; a < 64; ++a)
    if (view.item(a)) second.push_back(view.item(a)->valueText());
  EXPECT_EQ(first, second);
  const TIoSnapshot after = cpu.ioSnapshot();
  EXPECT_EQ(before.value, after.value);
  EXPECT_EQ(cpu.STAT[0] & 0x80, 0x80) << "the received character is still there";
  EXPECT_FALSE(cpu.tmdrLatched[0]) << "no high-byte latch taken";
  EXPECT_EQ(view.item(0x08)->valueText(), "41");
  view.close();
}
}  // namespace
