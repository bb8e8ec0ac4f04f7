// CB-prefixed instructions: rotates, shifts, BIT, RES, SET on every operand,
// the undefined 0x30-0x37 trap, timing and memory wait cycles.
#include "Test_Machine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

constexpr uint16_t kCode = 0x1000;     // where the instruction is placed
constexpr uint16_t kData = 0x8000;     // HL for the memory operand
constexpr uint16_t kStack = 0xC000;    // SP
constexpr uint8_t kBackground = 0xA5;  // data byte when the operand is a register

// Loads the registers with distinct values so that a wrong operand shows.
void loadBackground(TZ180Cpu& cpu) {
  cpu.AF.w = 0x1100;
  cpu.BC.w = 0x2233;
  cpu.DE.w = 0x4455;
  cpu.HL.w = kData;
  cpu.IX = 0x6677;
  cpu.IY = 0x8899;
  cpu.SP = kStack;
  cpu.PC = kCode;
  cpu.R = 0x7E;  // the second fetch wraps R to 0x00
}

void setMemoryWaits(TZ180Cpu& cpu, unsigned waits) {
  cpu.DCNTL = uint8_t(waits << 6);
  cpu.recomputeWaitCycles();
}

std::string hex(unsigned v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X", v);
  return buf;
}

// One operation (x, y of the second byte), run on all eight operands z.
struct TCbCase {
  const char* name;
  uint8_t base;  // second byte with z = 0
  uint8_t value;
  uint8_t flagsIn;
  uint8_t result;
  uint8_t flagsOut;
};

// S Z - H - P N C = 0x80 0x40 0x10 0x04 0x02 0x01; 0x28 are the two bits no
// operation computes, which must survive.
const TCbCase kCbCases[] = {
    {"RLC 80", 0x00, 0x80, 0x00, 0x01, 0x01},
    {"RLC 00 keeps 5,3", 0x00, 0x00, 0xFF, 0x00, 0x6C},
    {"RRC 01", 0x08, 0x01, 0x00, 0x80, 0x81},
    {"RRC 02 clears H N", 0x08, 0x02, 0x12, 0x01, 0x00},
    {"RL 80 with C", 0x10, 0x80, 0x01, 0x01, 0x01},
    {"RL 55 without C", 0x10, 0x55, 0x00, 0xAA, 0x84},
    {"RR 01 with C", 0x18, 0x01, 0x01, 0x80, 0x81},
    {"RR 02 without C", 0x18, 0x02, 0x12, 0x01, 0x00},
    {"SLA 81", 0x20, 0x81, 0x00, 0x02, 0x01},
    {"SLA ignores C", 0x20, 0x40, 0x01, 0x80, 0x80},
    {"SRA 81", 0x28, 0x81, 0x00, 0xC0, 0x85},
    {"SRA 7E", 0x28, 0x7E, 0x01, 0x3F, 0x04},
    {"SRL 81", 0x38, 0x81, 0x00, 0x40, 0x01},
    {"SRL 01 zero", 0x38, 0x01, 0x28, 0x00, 0x6D},
    {"BIT 7 set keeps S P C", 0x78, 0x80, 0x87, 0x80, 0x95},
    {"BIT 7 clear", 0x78, 0x7F, 0x00, 0x7F, 0x50},
    {"BIT 0 clear keeps 5,3", 0x40, 0xFE, 0x28, 0xFE, 0x78},
    {"BIT 3 set clears Z N", 0x58, 0x08, 0x42, 0x08, 0x10},
    {"RES 0", 0x80, 0xFF, 0xD7, 0xFE, 0xD7},
    {"RES 7 already clear", 0xB8, 0x7F, 0x00, 0x7F, 0x00},
    {"RES 4", 0xA0, 0x10, 0x28, 0x00, 0x28},
    {"SET 3", 0xD8, 0x00, 0x00, 0x08, 0x00},
    {"SET 7 already set", 0xF8, 0x80, 0xFF, 0x80, 0xFF},
    {"SET 5", 0xE8, 0x00, 0x41, 0x20, 0x41},
};

TEST(Z180CB, EveryOperationOnEveryOperand) {
  for (const TCbCase& c : kCbCases) {
    const bool isBit = (c.base & 0xC0) == 0x40;
    for (unsigned z = 0; z < 8; ++z) {
      for (unsigned waits : {0u, 2u}) {
        const uint8_t op = uint8_t(c.base | z);
        SCOPED_TRACE(std::string(c.name) + " op CB " + hex(op) + " waits " + std::to_string(waits));
        TTestMachine m;
        TZ180Cpu& cpu = m.cpu;
        loadBackground(cpu);
        setMemoryWaits(cpu, waits);
        m.load(kCode, {0xCB, op});
        m.load(kData, {z == 6 ? c.value : kBackground});
        if (z != 6) {
          uint8_t* regs[8] = {&cpu.BC.b.h, &cpu.BC.b.l, &cpu.DE.b.h, &cpu.DE.b.l,
                              &cpu.HL.b.h, &cpu.HL.b.l, nullptr,     &cpu.AF.b.h};
          *regs[z] = c.value;
        }
        cpu.AF.b.l = c.flagsIn;
        TZ180Cpu before = cpu;

        const uint32_t clocks = m.stepCycles();

        // Expected register file: only the operand and F change.
        TZ180Cpu& expected = before;
        uint8_t* expRegs[8] = {&expected.BC.b.h, &expected.BC.b.l, &expected.DE.b.h, &expected.DE.b.l,
                               &expected.HL.b.h, &expected.HL.b.l, nullptr,          &expected.AF.b.h};
        if (z != 6) *expRegs[z] = c.result;
        expected.AF.b.l = c.flagsOut;
        EXPECT_EQ(cpu.AF.w, expected.AF.w);
        EXPECT_EQ(cpu.BC.w, expected.BC.w);
        EXPECT_EQ(cpu.DE.w, expected.DE.w);
        EXPECT_EQ(cpu.HL.w, expected.HL.w);
        EXPECT_EQ(cpu.IX, expected.IX);
        EXPECT_EQ(cpu.IY, expected.IY);
        EXPECT_EQ(cpu.SP, kStack);
        EXPECT_EQ(cpu.PC, kCode + 2);
        EXPECT_EQ(cpu.R, 0x00) << "R advances by 2 with bit 7 cleared";
        EXPECT_EQ(cpu.ITC, 0x00);
        EXPECT_EQ(m.peek(kData), z == 6 ? c.result : kBackground);

        // Timing and memory accesses: two opcode fetches, then operand read
        // and (except BIT) write for (HL).
        unsigned machine, clock, accesses;
        if (z == 6) {
          machine = isBit ? 3 : 5;
          clock = isBit ? 9 : 13;
          accesses = isBit ? 3 : 4;
        } else {
          machine = isBit ? 2 : 3;
          clock = isBit ? 6 : 7;
          accesses = 2;
        }
        EXPECT_EQ(cpu.machineCycles, machine);
        EXPECT_EQ(clocks, clock + waits * accesses);
      }
    }
  }
}

// 0x30-0x37 (SLL on the Z80) are undefined: the processor traps before any
// operand is touched.
TEST(Z180CB, UndefinedSecondBytesTrap) {
  for (uint8_t op = 0x30; op <= 0x37; ++op) {
    SCOPED_TRACE("CB " + hex(op));
    TTestMachine m;
    TZ180Cpu& cpu = m.cpu;
    loadBackground(cpu);
    setMemoryWaits(cpu, 1);
    cpu.PC = 0x1000;
    m.load(0x1000, {0xCB, op});
    m.load(kData, {0x81});
    cpu.AF.b.l = 0xD7;
    cpu.ITC = 0x41;  // UFO left over from an earlier DDCB trap, ITE0 set
    cpu.IFF1 = cpu.IFF2 = true;
    const TZ180Cpu before = cpu;

    const uint32_t clocks = m.stepCycles();

    EXPECT_EQ(cpu.ITC, 0x81) << "TRAP set, UFO cleared, enables kept";
    EXPECT_EQ(cpu.PC, 0x0000);
    EXPECT_EQ(cpu.SP, kStack - 2);
    EXPECT_EQ(m.peek(kStack - 1), 0x10);
    EXPECT_EQ(m.peek(kStack - 2), 0x02) << "pushed address is the byte after the second byte";
    EXPECT_EQ(m.peek(kData), 0x81);
    EXPECT_EQ(cpu.AF.w, before.AF.w);
    EXPECT_EQ(cpu.BC.w, before.BC.w);
    EXPECT_EQ(cpu.DE.w, before.DE.w);
    EXPECT_EQ(cpu.HL.w, before.HL.w);
    EXPECT_TRUE(cpu.IFF1);
    EXPECT_TRUE(cpu.IFF2);
    EXPECT_FALSE(cpu.halted);
    EXPECT_EQ(cpu.R, 0x00);
    EXPECT_EQ(cpu.machineCycles, 4u);
    // 12 clocks; waits for the two opcode bytes and the two stack writes,
    // none for the operand.
    EXPECT_EQ(clocks, 12u + 4u);
  }
}

// The boot ROM overlays the low addresses for reads while writes go to the
// RAM underneath, which makes every write of the operand visible: a RES of
// a bit that is already clear still writes, BIT and the trap do not.
TEST(Z180CB, MemoryOperandWriteBack) {
  struct TCase {
    const char* name;
    uint8_t op;
    uint8_t ram;  // RAM under the ROM byte 0x00 afterwards
  };
  const TCase cases[] = {
      {"RES 3,(HL) unchanged", 0x9E, 0x00},  {"SET 3,(HL)", 0xDE, 0x08},     {"RLC (HL) of 00", 0x06, 0x00},
      {"BIT 3,(HL) reads only", 0x5E, 0xFF}, {"undefined 0x36", 0x36, 0xFF},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    TTestMachine m;
    m.memory.enableBootRom(true);  // 8 KB of zeros at 0x0000
    TZ180Cpu& cpu = m.cpu;
    loadBackground(cpu);
    cpu.PC = 0x4000;
    cpu.HL.w = 0x0100;
    m.load(0x4000, {0xCB, c.op});
    m.load(0x0100, {0xFF});
    cpu.step(1);
    m.memory.enableBootRom(false);
    EXPECT_EQ(m.peek(0x0100), c.ram);
  }
}

// The operand address goes through the MMU like every other access.
TEST(Z180CB, MemoryOperandIsTranslated) {
  TTestMachine m("128KB");
  TZ180Cpu& cpu = m.cpu;
  loadBackground(cpu);
  cpu.CBAR = 0xF8;              // bank area from 0x8000, common area 1 from 0xF000
  cpu.BBR = 0x10;               // bank area at physical 0x18000
  m.load(kCode, {0xCB, 0xC6});  // SET 0,(HL)
  m.load(0x18000, {0x40});
  cpu.step(1);
  EXPECT_EQ(m.peek(0x18000), 0x41);
  EXPECT_EQ(m.peek(kData), 0x00);
}

}  // namespace
