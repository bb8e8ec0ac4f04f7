// DD/FD (IX, IY) and DDCB/FDCB instructions: every defined second byte with
// both index registers, the undefined-opcode traps, timing and wait cycles.
#include "Test_Machine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr uint16_t kCode = 0x1000;
constexpr uint16_t kOtherIndex = 0x5A5A;  // the index register not in use

std::string hex(unsigned v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X", v);
  return buf;
}

void setMemoryWaits(TZ180Cpu& cpu, unsigned waits) {
  cpu.DCNTL = uint8_t(waits << 6);
  cpu.recomputeWaitCycles();
}

struct TRegs {
  uint16_t AF = 0x0000, BC = 0x2233, DE = 0x4455, HL = 0x6677, XY = 0x9000, SP = 0xC000;
};

using TBytes = std::vector<std::pair<uint16_t, uint8_t>>;  // logical address, value

// One instruction: the bytes after the DD/FD prefix, the state before and
// after, and its timing. Every row runs with IX and with IY.
struct TIndexCase {
  const char* name;
  std::vector<uint8_t> code;
  TRegs in;
  TBytes memIn;
  TRegs out;
  TBytes memOut;
  uint16_t pc;  // PC afterwards
  unsigned machine, clock;
  unsigned accesses;  // memory bytes read or written, opcode bytes included
};

// clang-format off
const std::vector<TIndexCase> kIndexCases = {
    // ADD XY,pp: S, Z, P/V and bits 5, 3 kept; H, N, C computed.
    {"ADD XY,BC", {0x09}, {.AF = 0x00FE, .BC = 0x0234}, {}, {.AF = 0x00EC, .BC = 0x0234, .XY = 0x9234}, {}, 0x1002, 6, 10, 2},
    {"ADD XY,DE half carry", {0x19}, {.DE = 0x0001, .XY = 0x0FFF}, {}, {.AF = 0x0010, .DE = 0x0001, .XY = 0x1000}, {}, 0x1002, 6, 10, 2},
    {"ADD XY,XY", {0x29}, {.AF = 0x00C4, .XY = 0x8000}, {}, {.AF = 0x00C5, .XY = 0x0000}, {}, 0x1002, 6, 10, 2},
    {"ADD XY,SP", {0x39}, {.XY = 0xFFFF, .SP = 0x0001}, {}, {.AF = 0x0011, .XY = 0x0000, .SP = 0x0001}, {}, 0x1002, 6, 10, 2},
    // 16-bit loads, INC, DEC.
    {"LD XY,nn", {0x21, 0x34, 0x12}, {}, {}, {.XY = 0x1234}, {}, 0x1004, 4, 12, 4},
    {"LD (nn),XY", {0x22, 0x00, 0x90}, {.XY = 0xBEEF}, {{0x9000, 0}, {0x9001, 0}}, {.XY = 0xBEEF}, {{0x9000, 0xEF}, {0x9001, 0xBE}}, 0x1004, 7, 19, 6},
    {"LD (FFFF),XY wraps", {0x22, 0xFF, 0xFF}, {.XY = 0xBEEF}, {{0xFFFF, 0}, {0x0000, 0}}, {.XY = 0xBEEF}, {{0xFFFF, 0xEF}, {0x0000, 0xBE}}, 0x1004, 7, 19, 6},
    {"LD XY,(nn)", {0x2A, 0x00, 0x90}, {}, {{0x9000, 0x34}, {0x9001, 0x12}}, {.XY = 0x1234}, {}, 0x1004, 6, 18, 6},
    {"INC XY wraps, no flags", {0x23}, {.AF = 0x00FF, .XY = 0xFFFF}, {}, {.AF = 0x00FF, .XY = 0x0000}, {}, 0x1002, 2, 4, 2},
    {"DEC XY wraps, no flags", {0x2B}, {.XY = 0x0000}, {}, {.XY = 0xFFFF}, {}, 0x1002, 2, 4, 2},
    // INC/DEC (XY+d), LD (XY+d),n.
    {"INC (XY+5)", {0x34, 0x05}, {.AF = 0x0001}, {{0x9005, 0x7F}}, {.AF = 0x0095}, {{0x9005, 0x80}}, 0x1003, 8, 18, 5},
    {"DEC (XY-2)", {0x35, 0xFE}, {.XY = 0x9002}, {{0x9000, 0x01}}, {.AF = 0x0042, .XY = 0x9002}, {{0x9000, 0x00}}, 0x1003, 8, 18, 5},
    {"LD (XY+10),n", {0x36, 0x10, 0xA5}, {}, {{0x9010, 0x00}}, {}, {{0x9010, 0xA5}}, 0x1004, 5, 15, 5},
    // LD r,(XY+d): H and L are the real H and L.
    {"LD B,(XY+3)", {0x46, 0x03}, {}, {{0x9003, 0x3C}}, {.BC = 0x3C33}, {}, 0x1003, 6, 14, 4},
    {"LD C,(XY+3)", {0x4E, 0x03}, {}, {{0x9003, 0x3C}}, {.BC = 0x223C}, {}, 0x1003, 6, 14, 4},
    {"LD D,(XY+3)", {0x56, 0x03}, {}, {{0x9003, 0x3C}}, {.DE = 0x3C55}, {}, 0x1003, 6, 14, 4},
    {"LD E,(XY+3)", {0x5E, 0x03}, {}, {{0x9003, 0x3C}}, {.DE = 0x443C}, {}, 0x1003, 6, 14, 4},
    {"LD H,(XY+0)", {0x66, 0x00}, {}, {{0x9000, 0x3C}}, {.HL = 0x3C77}, {}, 0x1003, 6, 14, 4},
    {"LD L,(XY+3)", {0x6E, 0x03}, {}, {{0x9003, 0x3C}}, {.HL = 0x663C}, {}, 0x1003, 6, 14, 4},
    {"LD A,(XY+3)", {0x7E, 0x03}, {}, {{0x9003, 0x3C}}, {.AF = 0x3C00}, {}, 0x1003, 6, 14, 4},
    {"LD A,(XY+1) at FFFF wraps to 0000", {0x7E, 0x01}, {.XY = 0xFFFF}, {{0x0000, 0x77}}, {.AF = 0x7700, .XY = 0xFFFF}, {}, 0x1003, 6, 14, 4},
    {"LD A,(XY-128) at 0000 wraps to FF80", {0x7E, 0x80}, {.XY = 0x0000}, {{0xFF80, 0x66}}, {.AF = 0x6600, .XY = 0x0000}, {}, 0x1003, 6, 14, 4},
    // LD (XY+d),r.
    {"LD (XY-128),B", {0x70, 0x80}, {.XY = 0x9080}, {{0x9000, 0}}, {.XY = 0x9080}, {{0x9000, 0x22}}, 0x1003, 7, 15, 4},
    {"LD (XY+7F),C", {0x71, 0x7F}, {}, {{0x907F, 0}}, {}, {{0x907F, 0x33}}, 0x1003, 7, 15, 4},
    {"LD (XY+1),D", {0x72, 0x01}, {}, {{0x9001, 0}}, {}, {{0x9001, 0x44}}, 0x1003, 7, 15, 4},
    {"LD (XY+1),E", {0x73, 0x01}, {}, {{0x9001, 0}}, {}, {{0x9001, 0x55}}, 0x1003, 7, 15, 4},
    {"LD (XY+1),H", {0x74, 0x01}, {}, {{0x9001, 0}}, {}, {{0x9001, 0x66}}, 0x1003, 7, 15, 4},
    {"LD (XY+1),L", {0x75, 0x01}, {}, {{0x9001, 0}}, {}, {{0x9001, 0x77}}, 0x1003, 7, 15, 4},
    {"LD (XY+1),A", {0x77, 0x01}, {.AF = 0x9900}, {{0x9001, 0}}, {.AF = 0x9900}, {{0x9001, 0x99}}, 0x1003, 7, 15, 4},
    // alu A,(XY+d).
    {"ADD A,(XY+2)", {0x86, 0x02}, {.AF = 0x7F00}, {{0x9002, 0x01}}, {.AF = 0x8094}, {}, 0x1003, 6, 14, 4},
    {"ADC A,(XY+2)", {0x8E, 0x02}, {.AF = 0x1001}, {{0x9002, 0x0F}}, {.AF = 0x2010}, {}, 0x1003, 6, 14, 4},
    {"SUB (XY+2)", {0x96, 0x02}, {.AF = 0x0000}, {{0x9002, 0x01}}, {.AF = 0xFF93}, {}, 0x1003, 6, 14, 4},
    {"SBC A,(XY+2)", {0x9E, 0x02}, {.AF = 0x1001}, {{0x9002, 0x0F}}, {.AF = 0x0052}, {}, 0x1003, 6, 14, 4},
    {"AND (XY+2)", {0xA6, 0x02}, {.AF = 0xF000}, {{0x9002, 0x0F}}, {.AF = 0x0054}, {}, 0x1003, 6, 14, 4},
    {"XOR (XY+2)", {0xAE, 0x02}, {.AF = 0xFF00}, {{0x9002, 0x0F}}, {.AF = 0xF084}, {}, 0x1003, 6, 14, 4},
    {"OR (XY+2)", {0xB6, 0x02}, {.AF = 0x0028}, {{0x9002, 0x00}}, {.AF = 0x006C}, {}, 0x1003, 6, 14, 4},
    {"CP (XY+2)", {0xBE, 0x02}, {.AF = 0x4200}, {{0x9002, 0x42}}, {.AF = 0x4242}, {}, 0x1003, 6, 14, 4},
    // Stack and jumps.
    {"POP XY", {0xE1}, {}, {{0xC000, 0x34}, {0xC001, 0x12}}, {.XY = 0x1234, .SP = 0xC002}, {}, 0x1002, 4, 12, 4},
    {"EX (SP),XY", {0xE3}, {.XY = 0xBEEF}, {{0xC000, 0x34}, {0xC001, 0x12}}, {.XY = 0x1234}, {{0xC000, 0xEF}, {0xC001, 0xBE}}, 0x1002, 7, 19, 6},
    {"EX (SP),XY at FFFF", {0xE3}, {.XY = 0xBEEF, .SP = 0xFFFF}, {{0xFFFF, 0x34}, {0x0000, 0x12}}, {.XY = 0x1234, .SP = 0xFFFF}, {{0xFFFF, 0xEF}, {0x0000, 0xBE}}, 0x1002, 7, 19, 6},
    {"PUSH XY", {0xE5}, {.XY = 0xBEEF}, {}, {.XY = 0xBEEF, .SP = 0xBFFE}, {{0xBFFE, 0xEF}, {0xBFFF, 0xBE}}, 0x1002, 6, 14, 4},
    {"JP (XY)", {0xE9}, {.XY = 0x4321}, {}, {.XY = 0x4321}, {}, 0x4321, 2, 6, 2},
    {"LD SP,XY", {0xF9}, {.XY = 0x4321}, {}, {.XY = 0x4321, .SP = 0x4321}, {}, 0x1002, 3, 7, 2},
    // DDCB/FDCB: prefix, CB, d, op.
    {"RLC (XY+2)", {0xCB, 0x02, 0x06}, {}, {{0x9002, 0x80}}, {.AF = 0x0001}, {{0x9002, 0x01}}, 0x1004, 7, 19, 6},
    {"RRC (XY+2)", {0xCB, 0x02, 0x0E}, {}, {{0x9002, 0x01}}, {.AF = 0x0081}, {{0x9002, 0x80}}, 0x1004, 7, 19, 6},
    {"RL (XY+2)", {0xCB, 0x02, 0x16}, {.AF = 0x0001}, {{0x9002, 0x80}}, {.AF = 0x0001}, {{0x9002, 0x01}}, 0x1004, 7, 19, 6},
    {"RR (XY+2)", {0xCB, 0x02, 0x1E}, {.AF = 0x0029}, {{0x9002, 0x02}}, {.AF = 0x00AC}, {{0x9002, 0x81}}, 0x1004, 7, 19, 6},
    {"SLA (XY+2)", {0xCB, 0x02, 0x26}, {}, {{0x9002, 0x81}}, {.AF = 0x0001}, {{0x9002, 0x02}}, 0x1004, 7, 19, 6},
    {"SRA (XY+2)", {0xCB, 0x02, 0x2E}, {}, {{0x9002, 0x81}}, {.AF = 0x0085}, {{0x9002, 0xC0}}, 0x1004, 7, 19, 6},
    {"SRL (XY-2)", {0xCB, 0xFE, 0x3E}, {.XY = 0x9004}, {{0x9002, 0x01}}, {.AF = 0x0045, .XY = 0x9004}, {{0x9002, 0x00}}, 0x1004, 7, 19, 6},
    {"BIT 7,(XY-1) clear", {0xCB, 0xFF, 0x7E}, {.AF = 0x0087, .XY = 0x9001}, {{0x9000, 0x7F}}, {.AF = 0x00D5, .XY = 0x9001}, {{0x9000, 0x7F}}, 0x1004, 5, 15, 5},
    {"BIT 0,(XY+0) set", {0xCB, 0x00, 0x46}, {.AF = 0x0042}, {{0x9000, 0x01}}, {.AF = 0x0010}, {{0x9000, 0x01}}, 0x1004, 5, 15, 5},
    {"RES 0,(XY+0)", {0xCB, 0x00, 0x86}, {.AF = 0x00D7}, {{0x9000, 0xFF}}, {.AF = 0x00D7}, {{0x9000, 0xFE}}, 0x1004, 7, 19, 6},
    {"RES 6,(XY+0)", {0xCB, 0x00, 0xB6}, {}, {{0x9000, 0x40}}, {}, {{0x9000, 0x00}}, 0x1004, 7, 19, 6},
    {"SET 0,(XY-1) at 4000", {0xCB, 0xFF, 0xC6}, {.XY = 0x4000}, {{0x3FFF, 0x00}}, {.XY = 0x4000}, {{0x3FFF, 0x01}}, 0x1004, 7, 19, 6},
    {"SET 7,(XY+0)", {0xCB, 0x00, 0xFE}, {.AF = 0x0028}, {{0x9000, 0x00}}, {.AF = 0x0028}, {{0x9000, 0x80}}, 0x1004, 7, 19, 6},
};
// clang-format on

TEST(Z180Indexed, DefinedInstructionsWithIXAndIY) {
  for (const TIndexCase& c : kIndexCases) {
    for (const uint8_t prefix : {uint8_t(0xDD), uint8_t(0xFD)}) {
      for (unsigned waits : {0u, 3u}) {
        SCOPED_TRACE(std::string(c.name) + (prefix == 0xDD ? " IX" : " IY") + " waits " + std::to_string(waits));
        TTestMachine m;
        TZ180Cpu& cpu = m.cpu;
        setMemoryWaits(cpu, waits);
        std::vector<uint8_t> code{prefix};
        code.insert(code.end(), c.code.begin(), c.code.end());
        m.load(kCode, code);
        for (auto [address, value] : c.memIn) m.load(address, {value});
        uint16_t& xy = prefix == 0xDD ? cpu.IX : cpu.IY;
        uint16_t& other = prefix == 0xDD ? cpu.IY : cpu.IX;
        cpu.AF.w = c.in.AF;
        cpu.BC.w = c.in.BC;
        cpu.DE.w = c.in.DE;
        cpu.HL.w = c.in.HL;
        cpu.SP = c.in.SP;
        xy = c.in.XY;
        other = kOtherIndex;
        cpu.PC = kCode;
        cpu.R = 0x7E;

        const uint32_t clocks = m.stepCycles();

        const TRegs& out = c.out;
        EXPECT_EQ(cpu.AF.w, out.AF);
        EXPECT_EQ(cpu.BC.w, out.BC);
        EXPECT_EQ(cpu.DE.w, out.DE);
        EXPECT_EQ(cpu.HL.w, out.HL);
        EXPECT_EQ(cpu.SP, out.SP);
        EXPECT_EQ(xy, out.XY);
        EXPECT_EQ(other, kOtherIndex);
        EXPECT_EQ(cpu.PC, c.pc);
        for (auto [address, value] : c.memOut) EXPECT_EQ(m.peek(address), value) << "at " << hex(address);
        const bool ddcb = c.code[0] == 0xCB;
        EXPECT_EQ(cpu.R, ddcb ? 0x01 : 0x00) << "R advances by 3 for DDCB, else 2";
        EXPECT_EQ(cpu.ITC, 0x00);
        EXPECT_EQ(cpu.machineCycles, c.machine);
        EXPECT_EQ(clocks, c.clock + waits * c.accesses);
      }
    }
  }
}

// Second bytes that are not index instructions trap; nothing but the stack,
// PC and ITC changes.
TEST(Z180Indexed, UndefinedSecondBytesTrap) {
  const uint8_t undefinedBytes[] = {
      0x00, 0x3E, 0x01, 0x76,              // no index register involved
      0x24, 0x25, 0x26, 0x2C, 0x2E,        // IXH/IXL forms of the Z80
      0x44, 0x45, 0x4C, 0x60, 0x6F, 0x7C,  // LD r,IXH and the like
      0x84, 0x8D, 0xBC, 0xBD,              // alu A,IXH / IXL
      0x06, 0xE6, 0xEB, 0xC9, 0xFF,        // further unrelated opcodes
      0xDD, 0xFD, 0xED,                    // prefixes do not chain
  };
  for (const uint8_t prefix : {uint8_t(0xDD), uint8_t(0xFD)}) {
    for (const uint8_t op : undefinedBytes) {
      SCOPED_TRACE(hex(prefix) + " " + hex(op));
      TTestMachine m;
      TZ180Cpu& cpu = m.cpu;
      setMemoryWaits(cpu, 1);
      m.load(0x2000, {prefix, op, 0x34, 0x12});
      cpu.PC = 0x2000;
      cpu.SP = 0xC000;
      cpu.IX = 0x1111;
      cpu.IY = 0x2222;
      cpu.AF.w = 0x33D7;
      cpu.BC.w = 0x4455;
      cpu.DE.w = 0x6677;
      cpu.HL.w = 0x8899;
      cpu.R = 0x10;
      cpu.ITC = 0x47;  // UFO from an earlier trap; ITE bits
      cpu.IFF1 = cpu.IFF2 = true;
      cpu.interruptMode = 2;

      const uint32_t clocks = m.stepCycles();

      EXPECT_EQ(cpu.ITC, 0x87) << "TRAP set, UFO cleared";
      EXPECT_EQ(cpu.PC, 0x0000);
      EXPECT_EQ(cpu.SP, 0xBFFE);
      EXPECT_EQ(m.peek(0xBFFE), 0x02);
      EXPECT_EQ(m.peek(0xBFFF), 0x20);
      EXPECT_EQ(cpu.IX, 0x1111);
      EXPECT_EQ(cpu.IY, 0x2222);
      EXPECT_EQ(cpu.AF.w, 0x33D7);
      EXPECT_EQ(cpu.BC.w, 0x4455);
      EXPECT_EQ(cpu.DE.w, 0x6677);
      EXPECT_EQ(cpu.HL.w, 0x8899);
      EXPECT_EQ(cpu.R, 0x12);
      EXPECT_TRUE(cpu.IFF1);
      EXPECT_TRUE(cpu.IFF2);
      EXPECT_EQ(cpu.interruptMode, 2);
      EXPECT_EQ(cpu.machineCycles, 4u);
      EXPECT_EQ(clocks, 12u + 4u) << "two opcode bytes and two stack writes";
    }
  }
}

TEST(Z180Indexed, PrefixesDoNotChain) {
  TTestMachine m;
  TZ180Cpu& cpu = m.cpu;
  m.load(0x2000, {0xDD, 0xDD, 0x21, 0x34, 0x12});
  cpu.PC = 0x2000;
  cpu.SP = 0xC000;
  cpu.step(1);
  EXPECT_EQ(cpu.ITC & 0xC0, 0x80);
  EXPECT_EQ(cpu.PC, 0x0000);
  EXPECT_EQ(cpu.IX, 0x0000);
  EXPECT_EQ(m.peek(0xBFFE) | (m.peek(0xBFFF) << 8), 0x2002) << "the address of the 0x21 byte";
}

// DDCB/FDCB final bytes other than the 31 defined ones trap with UFO set,
// after d and the final byte were fetched, without touching the operand.
TEST(Z180Indexed, UndefinedIndexedCBFinalBytesTrap) {
  const uint8_t undefinedBytes[] = {0x07, 0x00, 0x36, 0x30, 0x37, 0x45, 0x4F, 0x80, 0xC7, 0xFF};
  for (const uint8_t prefix : {uint8_t(0xDD), uint8_t(0xFD)}) {
    for (const uint8_t op : undefinedBytes) {
      SCOPED_TRACE(hex(prefix) + " CB 05 " + hex(op));
      TTestMachine m;
      m.memory.enableBootRom(true);  // reads at XY+d see ROM zeros, writes reach RAM
      TZ180Cpu& cpu = m.cpu;
      setMemoryWaits(cpu, 2);
      m.load(0x3000, {prefix, 0xCB, 0x05, op});
      m.load(0x0105, {0x81});
      cpu.PC = 0x3000;
      cpu.SP = 0xC000;
      cpu.IX = cpu.IY = 0x0100;
      cpu.AF.w = 0x0000;
      cpu.BC.w = 0x0000;
      cpu.ITC = 0x01;
      cpu.R = 0x00;

      const uint32_t clocks = m.stepCycles();

      EXPECT_EQ(cpu.ITC, 0xC1) << "TRAP and UFO set";
      EXPECT_EQ(cpu.PC, 0x0000);
      EXPECT_EQ(cpu.SP, 0xBFFE);
      EXPECT_EQ(m.peek(0xBFFE) | (m.peek(0xBFFF) << 8), 0x3004) << "the address after the final byte";
      EXPECT_EQ(cpu.AF.w, 0x0000);
      EXPECT_EQ(cpu.BC.w, 0x0000);
      EXPECT_EQ(cpu.IX, 0x0100);
      EXPECT_EQ(cpu.IY, 0x0100);
      EXPECT_EQ(cpu.R, 0x03);
      EXPECT_EQ(cpu.machineCycles, 6u);
      EXPECT_EQ(clocks, 18u + 2u * 6u) << "four instruction bytes and two stack writes, no operand";
      m.memory.enableBootRom(false);
      EXPECT_EQ(m.peek(0x0105), 0x81);
    }
  }
}

// The operand byte is written back even when the operation leaves it as it
// was; BIT only reads. Reads see the boot ROM, writes go to the RAM below.
TEST(Z180Indexed, IndexedCBWritesBackUnchangedByte) {
  struct TCase {
    const char* name;
    uint8_t op;
    uint8_t ram;
  };
  const TCase cases[] = {
      {"RES 0 of a clear bit", 0x86, 0x00},
      {"SET 1", 0xCE, 0x02},
      {"SRL of 00", 0x3E, 0x00},
      {"BIT 0 reads only", 0x46, 0xFF},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TTestMachine m;
    m.memory.enableBootRom(true);
    TZ180Cpu& cpu = m.cpu;
    m.load(0x4000, {0xFD, 0xCB, 0x10, c.op});
    m.load(0x0110, {0xFF});
    cpu.PC = 0x4000;
    cpu.IY = 0x0100;
    cpu.step(1);
    m.memory.enableBootRom(false);
    EXPECT_EQ(m.peek(0x0110), c.ram);
  }
}

// XY + d is a logical address; the MMU maps it like any other.
TEST(Z180Indexed, IndexedAddressIsTranslated) {
  TTestMachine m("128KB");
  TZ180Cpu& cpu = m.cpu;
  cpu.CBAR = 0xF8;                                            // bank area 0x8000-0xEFFF
  cpu.BBR = 0x10;                                             // at physical 0x18000
  m.load(kCode, {0xDD, 0x7E, 0x05, 0xFD, 0x36, 0xFF, 0x99});  // LD A,(IX+5); LD (IY-1),0x99
  m.load(0x18005, {0x5C});
  cpu.PC = kCode;
  cpu.IX = 0x8000;
  cpu.IY = 0x8001;
  cpu.step(2);
  EXPECT_EQ(cpu.AF.b.h, 0x5C);
  EXPECT_EQ(m.peek(0x18000), 0x99);
  EXPECT_EQ(m.peek(0x08000), 0x00);
}

}  // namespace
