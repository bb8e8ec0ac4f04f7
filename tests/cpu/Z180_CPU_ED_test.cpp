// ED-prefixed instructions: one table row per instruction form with the
// registers, flags, memory and ports before and after, the timing, and the
// memory and I/O accesses the instruction is charged for. TRD (port 0x000B,
// all bits stored, no side effects) serves as the I/O device: it shows which
// port address an instruction put on the bus.
#include "Test_Machine.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

constexpr uint8_t S = 0x80, Z = 0x40, X5 = 0x20, H = 0x10, X3 = 0x08, P = 0x04, N = 0x02, C = 0x01;
constexpr uint16_t kOrigin = 0x0100;  // where every program is placed

struct TRegs {
  uint16_t AF = 0, BC = 0, DE = 0, HL = 0, SP = 0x8000;
  uint8_t I = 0;
  bool iff1 = false, iff2 = false;
  uint8_t im = 0;
  uint8_t trd = 0;  // port 0x000B
};

using TBytes = std::vector<std::pair<uint16_t, uint8_t>>;

struct TEdCase {
  const char* name;
  std::vector<uint8_t> code;
  TRegs in;
  TBytes memIn;
  TRegs out;
  TBytes memOut;
  uint16_t pc;  // after the step
  uint32_t machine, clock;
  uint32_t memAccesses, ioAccesses;  // each charged one wait
};

void setUp(TTestMachine& m, const TEdCase& c) {
  m.cpu.reset();
  m.load(kOrigin, c.code);
  for (const auto& [address, value] : c.memIn) m.memory.writeByte(address, value);
  m.cpu.PC = kOrigin;
  m.cpu.AF.w = c.in.AF;
  m.cpu.BC.w = c.in.BC;
  m.cpu.DE.w = c.in.DE;
  m.cpu.HL.w = c.in.HL;
  m.cpu.SP = c.in.SP;
  m.cpu.I = c.in.I;
  m.cpu.IFF1 = c.in.iff1;
  m.cpu.IFF2 = c.in.iff2;
  m.cpu.interruptMode = c.in.im;
  m.cpu.TRD = c.in.trd;
  m.cpu.R = 0x7F;
}

void expectState(const TTestMachine& m, const TEdCase& c) {
  EXPECT_EQ(m.cpu.AF.b.h, c.out.AF >> 8) << "A";
  EXPECT_EQ(m.cpu.AF.b.l, c.out.AF & 0xFF) << "F";
  EXPECT_EQ(m.cpu.BC.w, c.out.BC) << "BC";
  EXPECT_EQ(m.cpu.DE.w, c.out.DE) << "DE";
  EXPECT_EQ(m.cpu.HL.w, c.out.HL) << "HL";
  EXPECT_EQ(m.cpu.SP, c.out.SP) << "SP";
  EXPECT_EQ(m.cpu.PC, c.pc) << "PC";
  EXPECT_EQ(m.cpu.I, c.out.I) << "I";
  EXPECT_EQ(m.cpu.IFF1, c.out.iff1) << "IFF1";
  EXPECT_EQ(m.cpu.IFF2, c.out.iff2) << "IFF2";
  EXPECT_EQ(m.cpu.interruptMode, c.out.im) << "IM";
  EXPECT_EQ(m.cpu.TRD, c.out.trd) << "port 0x000B";
  for (const auto& [address, value] : c.memOut) EXPECT_EQ(m.peek(address), value) << "memory " << address;
}

const std::vector<TEdCase> kCases = {
    // ---- Z180 additions ----
    {"IN0 B,(0Bh)",
     {0xED, 0x00, 0x0B},
     {.AF = 0x0000 | X5 | X3 | H | N | C, .trd = 0x80},
     {},
     {.AF = 0x0000 | X5 | X3 | S | C, .BC = 0x8000, .trd = 0x80},
     {},
     0x0103,
     4,
     12,
     3,
     1},
    {"IN0 A,(0Bh) zero",
     {0xED, 0x38, 0x0B},
     {.AF = 0x5500, .trd = 0x00},
     {},
     {.AF = 0x0000 | Z | P, .trd = 0x00},
     {},
     0x0103,
     4,
     12,
     3,
     1},
    {"IN0 C,(0Bh) ignores B",
     {0xED, 0x08, 0x0B},
     {.BC = 0x1200, .trd = 0x03},
     {},
     {.AF = P, .BC = 0x1203, .trd = 0x03},
     {},
     0x0103,
     4,
     12,
     3,
     1},
    {"OUT0 (0Bh),D",
     {0xED, 0x11, 0x0B},
     {.AF = 0x00FF, .BC = 0x1200, .DE = 0x5A00},
     {},
     {.AF = 0x00FF, .BC = 0x1200, .DE = 0x5A00, .trd = 0x5A},
     {},
     0x0103,
     5,
     13,
     3,
     1},
    {"TST B",
     {0xED, 0x04},
     {.AF = 0xF0FF, .BC = 0x1800},
     {},
     {.AF = 0xF000 | X5 | X3 | H, .BC = 0x1800},
     {},
     0x0102,
     3,
     7,
     2,
     0},
    {"TST A zero", {0xED, 0x3C}, {.AF = 0x0001}, {}, {.AF = Z | H | P}, {}, 0x0102, 3, 7, 2, 0},
    {"TST (HL)",
     {0xED, 0x34},
     {.AF = 0x8100, .HL = 0x4000},
     {{0x4000, 0xC1}},
     {.AF = 0x8100 | S | H | P, .HL = 0x4000},
     {{0x4000, 0xC1}},
     0x0102,
     4,
     10,
     3,
     0},
    {"TST n", {0xED, 0x64, 0x0F}, {.AF = 0xF000}, {}, {.AF = 0xF000 | Z | H | P}, {}, 0x0103, 3, 9, 3, 0},
    {"TSTIO 80h",
     {0xED, 0x74, 0x80},
     {.AF = 0x1201, .BC = 0x120B, .trd = 0xC0},
     {},
     {.AF = 0x1200 | S | H, .BC = 0x120B, .trd = 0xC0},
     {},
     0x0103,
     4,
     12,
     3,
     1},
    {"TSTIO zero",
     {0xED, 0x74, 0x80},
     {.AF = 0xFF00, .BC = 0x000B, .trd = 0x7F},
     {},
     {.AF = 0xFF00 | Z | H | P, .BC = 0x000B, .trd = 0x7F},
     {},
     0x0103,
     4,
     12,
     3,
     1},
    {"MLT BC", {0xED, 0x4C}, {.AF = 0x00FF, .BC = 0xFFFF}, {}, {.AF = 0x00FF, .BC = 0xFE01}, {}, 0x0102, 13, 17, 2, 0},
    {"MLT DE", {0xED, 0x5C}, {.DE = 0x0C0A}, {}, {.DE = 0x0078}, {}, 0x0102, 13, 17, 2, 0},
    {"MLT HL", {0xED, 0x6C}, {.HL = 0x1010}, {}, {.HL = 0x0100}, {}, 0x0102, 13, 17, 2, 0},
    {"MLT SP", {0xED, 0x7C}, {.SP = 0x0203}, {}, {.SP = 0x0006}, {}, 0x0102, 13, 17, 2, 0},
    {"OTIM B=0",
     {0xED, 0x83},
     {.BC = 0x000B, .HL = 0x4000},
     {{0x4000, 0x80}},
     {.AF = S | H | P | N | C, .BC = 0xFF0C, .HL = 0x4001, .trd = 0x80},
     {},
     0x0102,
     6,
     14,
     3,
     1},
    {"OTDM",
     {0xED, 0x8B},
     {.AF = X5 | X3 | S | Z | H | P | N | C, .BC = 0x020B, .HL = 0x4000},
     {{0x4000, 0x01}},
     {.AF = X5 | X3, .BC = 0x010A, .HL = 0x3FFF, .trd = 0x01},
     {},
     0x0102,
     6,
     14,
     3,
     1},
    {"OTIMR repeats",
     {0xED, 0x93},
     {.BC = 0x020B, .HL = 0x4000},
     {{0x4000, 0x10}},
     {.BC = 0x010C, .HL = 0x4001, .trd = 0x10},
     {},
     0x0100,
     8,
     16,
     3,
     1},
    {"OTIMR ends",
     {0xED, 0x93},
     {.AF = C, .BC = 0x010B, .HL = 0x4000},
     {{0x4000, 0x10}},
     {.AF = Z | P, .BC = 0x000C, .HL = 0x4001, .trd = 0x10},
     {},
     0x0102,
     6,
     14,
     3,
     1},
    {"OTDMR ends",
     {0xED, 0x9B},
     {.BC = 0x010B, .HL = 0x4000},
     {{0x4000, 0x90}},
     {.AF = Z | P | N, .BC = 0x000A, .HL = 0x3FFF, .trd = 0x90},
     {},
     0x0102,
     6,
     14,
     3,
     1},

    // ---- Input and output through C ----
    {"IN D,(C)",
     {0xED, 0x50},
     {.AF = 0x00FF, .BC = 0x000B, .trd = 0x00},
     {},
     {.AF = 0x0000 | X5 | X3 | Z | P | C, .BC = 0x000B},
     {},
     0x0102,
     3,
     9,
     2,
     1},
    {"IN E,(C) with B as high byte",
     {0xED, 0x58},
     {.BC = 0x010B, .trd = 0x00},
     {},
     {.AF = S | P, .BC = 0x010B, .DE = 0x00FF},
     {},
     0x0102,
     3,
     9,
     2,
     1},
    {"OUT (C),E",
     {0xED, 0x59},
     {.AF = 0x00FF, .BC = 0x000B, .DE = 0x0042},
     {},
     {.AF = 0x00FF, .BC = 0x000B, .DE = 0x0042, .trd = 0x42},
     {},
     0x0102,
     4,
     10,
     2,
     1},
    {"OUT (C),A with B as high byte",
     {0xED, 0x79},
     {.AF = 0x4200, .BC = 0x010B},
     {},
     {.AF = 0x4200, .BC = 0x010B, .trd = 0x00},
     {},
     0x0102,
     4,
     10,
     2,
     1},

    // ---- 16-bit arithmetic ----
    {"SBC HL,DE",
     {0xED, 0x52},
     {.AF = C, .DE = 0xFFFF, .HL = 0x0000},
     {},
     {.AF = Z | H | N | C, .DE = 0xFFFF, .HL = 0x0000},
     {},
     0x0102,
     6,
     10,
     2,
     0},
    {"SBC HL,BC overflow",
     {0xED, 0x42},
     {.BC = 0x0001, .HL = 0x8000},
     {},
     {.AF = H | P | N, .BC = 0x0001, .HL = 0x7FFF},
     {},
     0x0102,
     6,
     10,
     2,
     0},
    {"SBC HL,HL",
     {0xED, 0x62},
     {.AF = C, .HL = 0x1234},
     {},
     {.AF = S | H | N | C, .HL = 0xFFFF},
     {},
     0x0102,
     6,
     10,
     2,
     0},
    {"SBC HL,SP",
     {0xED, 0x72},
     {.HL = 0x1000, .SP = 0x0800},
     {},
     {.AF = H | N, .HL = 0x0800, .SP = 0x0800},
     {},
     0x0102,
     6,
     10,
     2,
     0},
    {"ADC HL,BC",
     {0xED, 0x4A},
     {.BC = 0x0001, .HL = 0xFFFF},
     {},
     {.AF = Z | H | C, .BC = 0x0001, .HL = 0x0000},
     {},
     0x0102,
     6,
     10,
     2,
     0},
    {"ADC HL,SP overflow",
     {0xED, 0x7A},
     {.AF = X5 | X3, .HL = 0x7FFF, .SP = 0x0001},
     {},
     {.AF = X5 | X3 | S | H | P, .HL = 0x8000, .SP = 0x0001},
     {},
     0x0102,
     6,
     10,
     2,
     0},
    {"ADC HL,DE carry in",
     {0xED, 0x5A},
     {.AF = C, .DE = 0x0100, .HL = 0x0200},
     {},
     {.AF = 0, .DE = 0x0100, .HL = 0x0301},
     {},
     0x0102,
     6,
     10,
     2,
     0},
    {"ADC HL,HL", {0xED, 0x6A}, {.HL = 0x4000}, {}, {.AF = S | P, .HL = 0x8000}, {}, 0x0102, 6, 10, 2, 0},

    // ---- 16-bit loads through memory ----
    {"LD (nn),BC",
     {0xED, 0x43, 0x00, 0x50},
     {.BC = 0x1234},
     {},
     {.BC = 0x1234},
     {{0x5000, 0x34}, {0x5001, 0x12}},
     0x0104,
     7,
     19,
     6,
     0},
    {"LD (nn),DE",
     {0xED, 0x53, 0x10, 0x50},
     {.DE = 0xBEEF},
     {},
     {.DE = 0xBEEF},
     {{0x5010, 0xEF}, {0x5011, 0xBE}},
     0x0104,
     7,
     19,
     6,
     0},
    {"LD (nn),HL",
     {0xED, 0x63, 0x20, 0x50},
     {.HL = 0x4321},
     {},
     {.HL = 0x4321},
     {{0x5020, 0x21}, {0x5021, 0x43}},
     0x0104,
     7,
     19,
     6,
     0},
    {"LD (FFFFh),SP wraps",
     {0xED, 0x73, 0xFF, 0xFF},
     {.SP = 0xABCD},
     {},
     {.SP = 0xABCD},
     {{0xFFFF, 0xCD}, {0x0000, 0xAB}},
     0x0104,
     7,
     19,
     6,
     0},
    {"LD BC,(nn)",
     {0xED, 0x4B, 0x00, 0x50},
     {},
     {{0x5000, 0x34}, {0x5001, 0x12}},
     {.BC = 0x1234},
     {},
     0x0104,
     6,
     18,
     6,
     0},
    {"LD DE,(nn)",
     {0xED, 0x5B, 0x00, 0x50},
     {},
     {{0x5000, 0x78}, {0x5001, 0x56}},
     {.DE = 0x5678},
     {},
     0x0104,
     6,
     18,
     6,
     0},
    {"LD HL,(nn)",
     {0xED, 0x6B, 0x00, 0x50},
     {},
     {{0x5000, 0x9A}, {0x5001, 0xBC}},
     {.HL = 0xBC9A},
     {},
     0x0104,
     6,
     18,
     6,
     0},
    {"LD SP,(nn)",
     {0xED, 0x7B, 0x00, 0x50},
     {},
     {{0x5000, 0x00}, {0x5001, 0x90}},
     {.SP = 0x9000},
     {},
     0x0104,
     6,
     18,
     6,
     0},

    // ---- NEG, returns, interrupt modes, I and R ----
    {"NEG 80h", {0xED, 0x44}, {.AF = 0x8000}, {}, {.AF = 0x8000 | S | P | N | C}, {}, 0x0102, 2, 6, 2, 0},
    {"NEG 00h",
     {0xED, 0x44},
     {.AF = 0x0000 | X5 | X3 | C},
     {},
     {.AF = 0x0000 | X5 | X3 | Z | N},
     {},
     0x0102,
     2,
     6,
     2,
     0},
    {"NEG 01h", {0xED, 0x44}, {.AF = 0x0100}, {}, {.AF = 0xFF00 | S | H | N | C}, {}, 0x0102, 2, 6, 2, 0},
    {"NEG 10h", {0xED, 0x44}, {.AF = 0x1000}, {}, {.AF = 0xF000 | S | N | C}, {}, 0x0102, 2, 6, 2, 0},
    {"RETN copies IFF2",
     {0xED, 0x45},
     {.SP = 0x8000, .iff1 = false, .iff2 = true},
     {{0x8000, 0x34}, {0x8001, 0x12}},
     {.SP = 0x8002, .iff1 = true, .iff2 = true},
     {},
     0x1234,
     4,
     12,
     4,
     0},
    {"RETI keeps IFF1",
     {0xED, 0x4D},
     {.SP = 0x8000, .iff1 = false, .iff2 = true},
     {{0x8000, 0x34}, {0x8001, 0x12}},
     {.SP = 0x8002, .iff1 = false, .iff2 = true},
     {},
     0x1234,
     4,
     12,
     4,
     0},
    {"IM 0", {0xED, 0x46}, {.im = 2}, {}, {.im = 0}, {}, 0x0102, 2, 6, 2, 0},
    {"IM 1", {0xED, 0x56}, {}, {}, {.im = 1}, {}, 0x0102, 2, 6, 2, 0},
    {"IM 2", {0xED, 0x5E}, {}, {}, {.im = 2}, {}, 0x0102, 2, 6, 2, 0},
    {"LD I,A", {0xED, 0x47}, {.AF = 0x9C00 | S}, {}, {.AF = 0x9C00 | S, .I = 0x9C}, {}, 0x0102, 2, 6, 2, 0},
    {"LD A,I after EI",
     {0xED, 0x57},
     {.AF = C | N | H, .I = 0x80, .iff1 = true, .iff2 = true},
     {},
     {.AF = 0x8000 | S | P | C, .I = 0x80, .iff1 = true, .iff2 = true},
     {},
     0x0102,
     2,
     6,
     2,
     0},
    {"LD A,I after DI", {0xED, 0x57}, {.AF = 0xFF00 | P}, {}, {.AF = 0x0000 | Z}, {}, 0x0102, 2, 6, 2, 0},

    // ---- Digit rotates ----
    {"RRD",
     {0xED, 0x67},
     {.AF = 0x1200 | C, .HL = 0x4000},
     {{0x4000, 0x34}},
     {.AF = 0x1400 | P | C, .HL = 0x4000},
     {{0x4000, 0x23}},
     0x0102,
     8,
     16,
     4,
     0},
    {"RLD",
     {0xED, 0x6F},
     {.AF = 0x1200 | H | N, .HL = 0x4000},
     {{0x4000, 0x34}},
     {.AF = 0x1300, .HL = 0x4000},
     {{0x4000, 0x42}},
     0x0102,
     8,
     16,
     4,
     0},
    {"RLD negative",
     {0xED, 0x6F},
     {.AF = 0x8F00, .HL = 0x4000},
     {{0x4000, 0x00}},
     {.AF = 0x8000 | S, .HL = 0x4000},
     {{0x4000, 0x0F}},
     0x0102,
     8,
     16,
     4,
     0},

    // ---- Block transfer and compare, one repetition each ----
    {"LDI BC=2",
     {0xED, 0xA0},
     {.AF = 0xFF, .BC = 0x0002, .DE = 0x5000, .HL = 0x4000},
     {{0x4000, 0xAA}},
     {.AF = S | Z | X5 | X3 | P | C, .BC = 0x0001, .DE = 0x5001, .HL = 0x4001},
     {{0x5000, 0xAA}},
     0x0102,
     4,
     12,
     4,
     0},
    {"LDD BC=1",
     {0xED, 0xA8},
     {.AF = H | N | P, .BC = 0x0001, .DE = 0x5000, .HL = 0x4000},
     {{0x4000, 0xBB}},
     {.AF = 0, .BC = 0x0000, .DE = 0x4FFF, .HL = 0x3FFF},
     {{0x5000, 0xBB}},
     0x0102,
     4,
     12,
     4,
     0},
    {"LDIR repeats",
     {0xED, 0xB0},
     {.AF = P, .BC = 0x0003, .DE = 0x5000, .HL = 0x4000},
     {{0x4000, 0x11}},
     {.AF = 0, .BC = 0x0002, .DE = 0x5001, .HL = 0x4001},
     {{0x5000, 0x11}},
     0x0100,
     6,
     14,
     4,
     0},
    {"LDIR ends",
     {0xED, 0xB0},
     {.BC = 0x0001, .DE = 0x5000, .HL = 0x4000},
     {{0x4000, 0x11}},
     {.BC = 0x0000, .DE = 0x5001, .HL = 0x4001},
     {{0x5000, 0x11}},
     0x0102,
     4,
     12,
     4,
     0},
    {"LDDR repeats",
     {0xED, 0xB8},
     {.BC = 0x0002, .DE = 0x5000, .HL = 0x4000},
     {{0x4000, 0x22}},
     {.BC = 0x0001, .DE = 0x4FFF, .HL = 0x3FFF},
     {{0x5000, 0x22}},
     0x0100,
     6,
     14,
     4,
     0},
    {"CPI",
     {0xED, 0xA1},
     {.AF = 0x1000 | C, .BC = 0x0002, .HL = 0x4000},
     {{0x4000, 0x01}},
     {.AF = 0x1000 | H | P | N | C, .BC = 0x0001, .HL = 0x4001},
     {},
     0x0102,
     6,
     12,
     3,
     0},
    {"CPD found, BC ends",
     {0xED, 0xA9},
     {.AF = 0x2000, .BC = 0x0001, .HL = 0x4000},
     {{0x4000, 0x20}},
     {.AF = 0x2000 | Z | N, .BC = 0x0000, .HL = 0x3FFF},
     {},
     0x0102,
     6,
     12,
     3,
     0},
    {"CPI negative",
     {0xED, 0xA1},
     {.AF = 0x0000, .BC = 0x0000, .HL = 0xFFFF},
     {{0xFFFF, 0x01}},
     {.AF = 0x0000 | S | H | P | N, .BC = 0xFFFF, .HL = 0x0000},
     {},
     0x0102,
     6,
     12,
     3,
     0},
    {"CPIR found",
     {0xED, 0xB1},
     {.AF = 0x2000, .BC = 0x0005, .HL = 0x4000},
     {{0x4000, 0x20}},
     {.AF = 0x2000 | Z | P | N, .BC = 0x0004, .HL = 0x4001},
     {},
     0x0102,
     6,
     12,
     3,
     0},
    {"CPIR repeats",
     {0xED, 0xB1},
     {.AF = 0x2000, .BC = 0x0005, .HL = 0x4000},
     {{0x4000, 0x10}},
     {.AF = 0x2000 | P | N, .BC = 0x0004, .HL = 0x4001},
     {},
     0x0100,
     8,
     14,
     3,
     0},
    {"CPDR count runs out",
     {0xED, 0xB9},
     {.AF = 0x2000, .BC = 0x0001, .HL = 0x4000},
     {{0x4000, 0x10}},
     {.AF = 0x2000 | N, .BC = 0x0000, .HL = 0x3FFF},
     {},
     0x0102,
     6,
     12,
     3,
     0},

    // ---- Block input and output, one repetition each ----
    {"INI reads with B before the decrement",
     {0xED, 0xA2},
     {.AF = S | P | C, .BC = 0x000B, .HL = 0x4000, .trd = 0x77},
     {},
     {.AF = S | P | N | C, .BC = 0xFF0B, .HL = 0x4001, .trd = 0x77},
     {{0x4000, 0x77}},
     0x0102,
     4,
     12,
     3,
     1},
    {"IND B=1",
     {0xED, 0xAA},
     {.BC = 0x010B, .HL = 0x4000, .trd = 0x77},
     {},
     {.AF = Z | N, .BC = 0x000B, .HL = 0x3FFF, .trd = 0x77},
     {{0x4000, 0xFF}},
     0x0102,
     4,
     12,
     3,
     1},
    {"INIR repeats",
     {0xED, 0xB2},
     {.BC = 0x030B, .HL = 0x4000},
     {},
     {.AF = Z | N, .BC = 0x020B, .HL = 0x4001},
     {{0x4000, 0xFF}},
     0x0100,
     6,
     14,
     3,
     1},
    {"INDR ends",
     {0xED, 0xBA},
     {.BC = 0x010B, .HL = 0x4000},
     {},
     {.AF = Z | N, .BC = 0x000B, .HL = 0x3FFF},
     {{0x4000, 0xFF}},
     0x0102,
     4,
     12,
     3,
     1},
    {"OUTI writes with the decremented B",
     {0xED, 0xA3},
     {.BC = 0x010B, .HL = 0x4000},
     {{0x4000, 0x99}},
     {.AF = Z | N, .BC = 0x000B, .HL = 0x4001, .trd = 0x99},
     {},
     0x0102,
     4,
     12,
     3,
     1},
    {"OUTD",
     {0xED, 0xAB},
     {.AF = Z | C, .BC = 0x020B, .HL = 0x4000},
     {{0x4000, 0x99}},
     {.AF = N | C, .BC = 0x010B, .HL = 0x3FFF, .trd = 0x00},
     {},
     0x0102,
     4,
     12,
     3,
     1},
    {"OTIR repeats",
     {0xED, 0xB3},
     {.BC = 0x020B, .HL = 0x4000},
     {{0x4000, 0x99}},
     {.AF = Z | N, .BC = 0x010B, .HL = 0x4001, .trd = 0x00},
     {},
     0x0100,
     6,
     14,
     3,
     1},
    {"OTDR ends",
     {0xED, 0xBB},
     {.BC = 0x010B, .HL = 0x4000},
     {{0x4000, 0x99}},
     {.AF = Z | N, .BC = 0x000B, .HL = 0x3FFF, .trd = 0x99},
     {},
     0x0102,
     4,
     12,
     3,
     1},
};

TEST(Z180ED, InstructionTable) {
  struct TWaits {
    uint32_t memory, io;
  };
  for (const TWaits waits : {TWaits{0, 0}, TWaits{1, 3}}) {
    for (const TEdCase& c : kCases) {
      SCOPED_TRACE(testing::Message() << c.name << " waits " << waits.memory << "/" << waits.io);
      TTestMachine m;
      setUp(m, c);
      m.cpu.memoryWaitCycles = waits.memory;
      m.cpu.ioWaitCycles = waits.io;
      const uint32_t clocks = m.stepCycles();
      expectState(m, c);
      EXPECT_EQ(m.cpu.machineCycles, c.machine);
      EXPECT_EQ(clocks, c.clock + c.memAccesses * waits.memory + c.ioAccesses * waits.io);
      EXPECT_EQ(m.cpu.R, 0x01) << "two opcode fetches from R = 0x7F";
      EXPECT_EQ(m.cpu.ITC & 0x80, 0) << "no trap";
    }
  }
}

// ---- The defined set and the trap ----

bool definedSecondByte(int op) {
  static const std::vector<std::pair<int, int>> ranges = {
      {0x00, 0x01}, {0x04, 0x04}, {0x08, 0x09}, {0x0C, 0x0C}, {0x10, 0x11}, {0x14, 0x14}, {0x18, 0x19},
      {0x1C, 0x1C}, {0x20, 0x21}, {0x24, 0x24}, {0x28, 0x29}, {0x2C, 0x2C}, {0x34, 0x34}, {0x38, 0x39},
      {0x3C, 0x3C}, {0x40, 0x4D}, {0x4F, 0x4F}, {0x50, 0x53}, {0x56, 0x5C}, {0x5E, 0x5F}, {0x60, 0x64},
      {0x67, 0x6C}, {0x6F, 0x6F}, {0x72, 0x74}, {0x76, 0x76}, {0x78, 0x7C}, {0x83, 0x83}, {0x8B, 0x8B},
      {0x93, 0x93}, {0x9B, 0x9B}, {0xA0, 0xA3}, {0xA8, 0xAB}, {0xB0, 0xB3}, {0xB8, 0xBB}};
  for (const auto& [first, last] : ranges)
    if (op >= first && op <= last) return true;
  return false;
}

TEST(Z180ED, EveryUndefinedSecondByteTrapsAndNoDefinedOneDoes) {
  int undefinedCount = 0;
  for (int op = 0; op < 256; ++op) {
    SCOPED_TRACE(testing::Message() << "ED " << std::hex << op);
    TTestMachine m;
    m.cpu.reset();
    m.load(kOrigin, {0xED, uint8_t(op), 0x00, 0x00});
    m.cpu.PC = kOrigin;
    m.cpu.SP = 0x8000;
    m.cpu.BC.w = 0x0101;  // block instructions end after one repetition
    m.cpu.ITC = 0x41;     // UFO left over from an earlier DDCB trap
    m.cpu.IFF1 = m.cpu.IFF2 = true;
    m.cpu.interruptMode = 1;
    m.cpu.memoryWaitCycles = 1;
    m.cpu.R = 0;
    const uint32_t clocks = m.stepCycles();
    if (definedSecondByte(op)) {
      EXPECT_EQ(m.cpu.ITC, 0x41);
      continue;
    }
    ++undefinedCount;
    EXPECT_EQ(m.cpu.ITC, 0x81);  // TRAP set, UFO cleared
    EXPECT_EQ(m.cpu.PC, 0x0000);
    EXPECT_EQ(m.cpu.SP, 0x7FFE);
    EXPECT_EQ(m.peek(0x7FFE), 0x02);  // address after the second byte
    EXPECT_EQ(m.peek(0x7FFF), 0x01);
    EXPECT_EQ(m.cpu.machineCycles, 4u);
    EXPECT_EQ(clocks, 12u + 4u);  // two opcode fetches and two stack writes
    EXPECT_EQ(m.cpu.R, 2);
    EXPECT_TRUE(m.cpu.IFF1);
    EXPECT_TRUE(m.cpu.IFF2);
    EXPECT_EQ(m.cpu.interruptMode, 1);
  }
  EXPECT_EQ(undefinedCount, 256 - 91);  // the Z180 defines 91 second bytes
}

// ---- R and sleep ----

TEST(Z180ED, LoadAFromRSeesBothFetchesAndLoadRKeepsBit7UntilTheNextFetch) {
  TTestMachine m;
  m.load(0x0000, {0xED, 0x5F, 0xED, 0x4F, 0x00});  // LD A,R; LD R,A; NOP
  m.cpu.R = 0x10;
  m.cpu.IFF2 = true;
  m.cpu.step(1);
  EXPECT_EQ(m.cpu.AF.b.h, 0x12);
  EXPECT_EQ(m.cpu.AF.b.l, P);
  m.cpu.AF.b.h = 0xFF;
  m.cpu.step(1);
  EXPECT_EQ(m.cpu.R, 0xFF);
  m.cpu.step(1);
  EXPECT_EQ(m.cpu.R, 0x00);
}

TEST(Z180ED, SleepStopsFetchingUntilAnInterruptIsAccepted) {
  TTestMachine m;
  m.cpu.reset();
  // SLP at 0x0100; the PRT0 vector at 0x2004 points to a handler at 0x0300.
  m.load(0x0100, {0xED, 0x76, 0x00});
  m.load(0x2004, {0x00, 0x03});
  m.cpu.PC = 0x0100;
  m.cpu.SP = 0x8000;
  m.cpu.I = 0x20;
  m.cpu.IFF1 = m.cpu.IFF2 = true;
  EXPECT_EQ(m.stepCycles(), 8u);
  EXPECT_EQ(m.cpu.machineCycles, 2u);
  EXPECT_TRUE(m.cpu.sleeping);
  EXPECT_EQ(m.cpu.PC, 0x0102);
  EXPECT_EQ(m.stepCycles(), 1u);
  EXPECT_EQ(m.cpu.PC, 0x0102);
  m.cpu.prt0Request = true;
  m.cpu.step(1);
  EXPECT_FALSE(m.cpu.sleeping);
  EXPECT_EQ(m.cpu.PC, 0x0300);
  EXPECT_EQ(m.peek(0x7FFE), 0x02);
  EXPECT_EQ(m.peek(0x7FFF), 0x01);
}

// ---- Repeating instructions over several steps ----

struct TBlockRun {
  const char* name;
  uint8_t op;
  uint16_t BC, DE, HL;
  uint8_t A;
  uint32_t steps;  // until PC leaves the instruction
  uint16_t endBC, endDE, endHL;
};

TEST(Z180ED, RepeatingInstructionsRunOneRepetitionPerStep) {
  const std::vector<TBlockRun> runs = {
      {"LDIR", 0xB0, 0x0003, 0x5000, 0x4000, 0, 3, 0x0000, 0x5003, 0x4003},
      {"LDDR", 0xB8, 0x0003, 0x5002, 0x4002, 0, 3, 0x0000, 0x4FFF, 0x3FFF},
      {"CPIR found at the second byte", 0xB1, 0x0004, 0, 0x4000, 0x22, 2, 0x0002, 0, 0x4002},
      {"CPDR not found", 0xB9, 0x0003, 0, 0x4002, 0x99, 3, 0x0000, 0, 0x3FFF},
      {"INIR", 0xB2, 0x030B, 0, 0x4000, 0, 3, 0x000B, 0, 0x4003},
      {"OTDR", 0xBB, 0x030B, 0, 0x4002, 0, 3, 0x000B, 0, 0x3FFF},
      {"OTIMR", 0x93, 0x0308, 0, 0x4000, 0, 3, 0x000B, 0, 0x4003},
      {"OTDMR", 0x9B, 0x030D, 0, 0x4002, 0, 3, 0x000A, 0, 0x3FFF},
  };
  for (const TBlockRun& run : runs) {
    SCOPED_TRACE(run.name);
    TTestMachine m;
    m.cpu.reset();
    m.load(0x0100, {0xED, run.op});
    m.load(0x4000, {0x11, 0x22, 0x33});
    m.cpu.PC = 0x0100;
    m.cpu.BC.w = run.BC;
    m.cpu.DE.w = run.DE;
    m.cpu.HL.w = run.HL;
    m.cpu.AF.b.h = run.A;
    const uint32_t repeatClocks = run.op == 0x93 || run.op == 0x9B ? 16 : 14;
    const uint32_t endClocks = run.op == 0x93 || run.op == 0x9B ? 14 : 12;
    for (uint32_t i = 1; i <= run.steps; ++i) {
      const uint32_t clocks = m.stepCycles();
      EXPECT_EQ(m.cpu.R, (2 * i) & 0x7F);
      if (i < run.steps) {
        EXPECT_EQ(m.cpu.PC, 0x0100) << "step " << i;
        EXPECT_EQ(clocks, repeatClocks) << "step " << i;
      } else {
        EXPECT_EQ(m.cpu.PC, 0x0102) << "step " << i;
        EXPECT_EQ(clocks, endClocks) << "step " << i;
      }
    }
    EXPECT_EQ(m.cpu.BC.w, run.endBC);
    EXPECT_EQ(m.cpu.DE.w, run.endDE);
    EXPECT_EQ(m.cpu.HL.w, run.endHL);
  }
}

TEST(Z180ED, OtimrWritesConsecutivePorts) {
  TTestMachine m;
  m.cpu.reset();
  m.load(0x0100, {0xED, 0x93});
  m.load(0x8000, {0x12, 0x34, 0x56});
  m.cpu.PC = 0x0100;
  m.cpu.BC.w = 0x0320;  // SAR0L, SAR0H, SAR0B
  m.cpu.HL.w = 0x8000;
  m.cpu.step(3);
  EXPECT_EQ(m.cpu.PC, 0x0102);
  EXPECT_EQ(m.cpu.SAR0, 0x63412u);
  EXPECT_EQ(m.cpu.BC.w, 0x0023);
  EXPECT_EQ(m.cpu.HL.w, 0x8003);
  EXPECT_EQ(m.cpu.AF.b.l & (Z | C), Z);
}

TEST(Z180ED, InterruptBetweenRepetitionsReturnsToTheBlockInstruction) {
  TTestMachine m;
  m.cpu.reset();
  m.load(0x0100, {0xED, 0xB0, 0x76});  // LDIR; HALT
  m.load(0x2004, {0x00, 0x03});        // PRT0 vector -> 0x0300
  m.load(0x0300, {0xFB, 0xED, 0x4D});  // EI; RETI
  m.load(0x4000, {0xA1, 0xA2, 0xA3});
  m.cpu.PC = 0x0100;
  m.cpu.SP = 0x8000;
  m.cpu.I = 0x20;
  m.cpu.IFF1 = m.cpu.IFF2 = true;
  m.cpu.BC.w = 3;
  m.cpu.HL.w = 0x4000;
  m.cpu.DE.w = 0x5000;
  m.cpu.prt0Request = true;

  m.cpu.step(1);  // first repetition, then the interrupt
  EXPECT_EQ(m.cpu.PC, 0x0300);
  EXPECT_EQ(m.cpu.BC.w, 2);
  EXPECT_EQ(m.cpu.SP, 0x7FFE);
  EXPECT_EQ(m.peek(0x7FFE), 0x00);  // the LDIR's own address
  EXPECT_EQ(m.peek(0x7FFF), 0x01);

  m.cpu.step(2);  // EI; RETI
  EXPECT_EQ(m.cpu.PC, 0x0100);
  EXPECT_EQ(m.cpu.SP, 0x8000);

  m.cpu.step(2);  // the remaining two repetitions
  EXPECT_EQ(m.cpu.PC, 0x0102);
  EXPECT_EQ(m.cpu.BC.w, 0);
  EXPECT_EQ(m.peek(0x5000), 0xA1);
  EXPECT_EQ(m.peek(0x5001), 0xA2);
  EXPECT_EQ(m.peek(0x5002), 0xA3);
  EXPECT_EQ(m.peek(0x5003), 0x00);
}

// ---- Counter wrap: BC = 0 gives 65536 repetitions, B = 0 gives 256 ----

struct TWrapRun {
  const char* name;
  uint8_t op;
  uint16_t BC, HL;
  uint8_t A;
  uint32_t repetitions;
};

TEST(Z180ED, ZeroCountersWrap) {
  const std::vector<TWrapRun> runs = {
      {"LDIR", 0xB0, 0x0000, 0x4000, 0x00, 65536}, {"LDDR", 0xB8, 0x0000, 0x4000, 0x00, 65536},
      {"CPIR", 0xB1, 0x0000, 0x4000, 0x55, 65536}, {"CPDR", 0xB9, 0x0000, 0x4000, 0x55, 65536},
      {"INIR", 0xB2, 0x000B, 0x4000, 0x00, 256},   {"INDR", 0xBA, 0x000B, 0x4000, 0x00, 256},
      {"OTIR", 0xB3, 0x000B, 0x4000, 0x00, 256},   {"OTDR", 0xBB, 0x000B, 0x4000, 0x00, 256},
  };
  for (const TWrapRun& run : runs) {
    SCOPED_TRACE(run.name);
    TTestMachine m;
    m.cpu.reset();
    m.load(0x0100, {0xED, run.op});
    m.cpu.PC = 0x0100;
    m.cpu.BC.w = run.BC;
    m.cpu.HL.w = run.HL;
    m.cpu.DE.w = run.HL;  // LDIR/LDDR copy every byte onto itself
    m.cpu.AF.b.h = run.A;
    uint32_t steps = 0;
    do {
      m.cpu.step(1);
      ++steps;
    } while (m.cpu.PC == 0x0100 && steps <= run.repetitions);
    EXPECT_EQ(steps, run.repetitions);
    EXPECT_EQ(m.cpu.PC, 0x0102);
    EXPECT_EQ(m.cpu.BC.b.h, 0x00);
    if (run.repetitions == 65536) {
      EXPECT_EQ(m.cpu.BC.w, 0x0000);
      EXPECT_EQ(m.cpu.HL.w, run.HL);  // wrapped all the way round
    }
  }
}

}  // namespace
