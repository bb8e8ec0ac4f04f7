// The core register view: texts and lamps for a table of processor states,
// the bytes under the pairs through the MMU, the look before the first refresh.
// The core first: the floppy controller's "signals" field must not meet Qt's keyword.
#include "Z180_CPU.h"

#include "Cpu_Register.h"

#include "Register_Item.h"
#include "Register_Lamp.h"
#include "Register_Views_Fixture.h"
#include "System_Memory.h"

#include <gtest/gtest.h>

#include <functional>

namespace {
const char* const kFlags[] = {"S", "Z", "H", "P", "N", "C"};

TEST(CpuRegister, ShowsFFBeforeTheFirstRefreshAndIsAWindowOfItsOwn) {
  TViewFixture f;
  TCpuRegister view(f.machine, *f.settings);
  EXPECT_EQ(view.windowTitle(), "CPU-Register");
  EXPECT_TRUE(view.testAttribute(Qt::WA_DeleteOnClose));
  EXPECT_EQ(view.item("A")->valueText(), "FF");
  EXPECT_EQ(view.item("HL'")->valueText(), "FFFF");
  EXPECT_EQ(view.item("IM")->valueText(), "FF");
  EXPECT_EQ(view.item("I")->caption(), " I ");
  EXPECT_EQ(view.item("IX")->caption(), "IX ");
}

struct TCase {
  const char* name;
  std::function<void(TZ180Cpu&, TSystemMemory&)> setUp;
  std::vector<std::pair<const char*, const char*>> texts;
  std::vector<std::pair<std::string, bool>> lamps;
};

class CpuRegisterStates : public ::testing::TestWithParam<TCase> {};

TEST_P(CpuRegisterStates, RefreshShowsTheState) {
  const TCase& c = GetParam();
  TViewFixture f("1024KB");
  c.setUp(f.machine.cpu(), f.machine.memory());
  TCpuRegister view(f.machine, *f.settings);
  view.show();  // the show handler refreshes
  for (const auto& [key, text] : c.texts) EXPECT_EQ(view.item(key)->valueText(), text) << key;
  for (const auto& [key, lit] : c.lamps) EXPECT_EQ(view.lamp(QString::fromStdString(key))->isLit(), lit) << key;
  view.close();
}

std::vector<std::pair<std::string, bool>> allFlags(const char* suffix, bool lit) {
  std::vector<std::pair<std::string, bool>> out;
  for (const char* fl : kFlags) out.emplace_back(std::string(fl) + suffix, lit);
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CpuRegisterStates,
    ::testing::Values(
        TCase{"AllFlagsLit",
              [](TZ180Cpu& cpu, TSystemMemory&) { cpu.AF.w = 0x12D7; },
              {{"A", "12"}, {"F", "D7"}},
              allFlags("", true)},
        TCase{"UnshownBitsLightNothing",
              [](TZ180Cpu& cpu, TSystemMemory&) { cpu.AF.w = 0x0028; },
              {{"F", "28"}},
              allFlags("", false)},
        TCase{"AlternateFlagsFromFPrime",
              [](TZ180Cpu& cpu, TSystemMemory&) {
                cpu.AF.w = 0x0000;
                cpu.AF_.w = 0x0A81;
              },
              {{"A'", "0A"}, {"F'", "81"}},
              {{"S'", true}, {"Z'", false}, {"C'", true}, {"S", false}}},
        TCase{"HLThroughTheMmu",
              [](TZ180Cpu& cpu, TSystemMemory& m) {
                cpu.CBAR = 0x10;  // page 1 and up: Common Area 1
                cpu.CBR = 0x40;
                cpu.HL.w = 0x1234;
                m.writeByte(0x41234, 0x5A);
                m.writeByte(0x01234, 0x11);
              },
              {{"HL", "1234"}, {"(HL)", "5A"}, {"H", "12"}, {"L", "34"}},
              {}},
        TCase{"SpecialRegisters",
              [](TZ180Cpu& cpu, TSystemMemory& m) {
                cpu.SP = 0x000F;
                cpu.PC = 0x0100;
                cpu.IX = 0xBEEF;
                cpu.IY = 0x0001;
                cpu.I = 0x0A;
                cpu.R = 0x7F;
                cpu.IFF1 = true;
                cpu.IFF2 = false;
                cpu.interruptMode = 2;
                m.writeByte(0x000F, 0xC3);
                m.writeByte(0x0100, 0x3E);
              },
              {{"SP", "000F"},
               {"(SP)", "C3"},
               {"PC", "0100"},
               {"(PC)", "3E"},
               {"IX", "BEEF"},
               {"IY", "0001"},
               {"I", "0A"},
               {"R", "7F"},
               {"IM", "02"}},
              {{"IFF1", true}, {"IFF2", false}}},
        TCase{"PairsAndTheirBytes",
              [](TZ180Cpu& cpu, TSystemMemory& m) {
                cpu.BC.w = 0x2000;
                cpu.DE.w = 0x2001;
                cpu.BC_.w = 0x2002;
                m.writeByte(0x2000, 0x01);
                m.writeByte(0x2001, 0x02);
                m.writeByte(0x2002, 0x03);
              },
              {{"BC", "2000"}, {"(BC)", "01"}, {"(DE)", "02"}, {"BC'", "2002"}, {"(BC)'", "03"}, {"B", "20"}},
              {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CpuRegister, RefreshChangesNothingAndFollowsTheProcessor) {
  TViewFixture f;
  TZ180Cpu& cpu = f.machine.cpu();
  TCpuRegister view(f.machine, *f.settings);
  view.show();
  cpu.AF.w = 0x00D7;
  EXPECT_EQ(view.item("F")->valueText(), "00") << "passive between refreshes";
  view.refreshRegisters();
  EXPECT_EQ(view.item("F")->valueText(), "D7");
  EXPECT_EQ(cpu.AF.w, 0x00D7);
  view.close();
}
}  // namespace
