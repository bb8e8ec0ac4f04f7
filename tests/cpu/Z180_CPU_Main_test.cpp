// The unprefixed instructions: timing per instruction class (with and without
// memory wait states), and the behaviour of jumps, stack, loads, exchanges
// and I/O seen by a program in RAM.
#include "Test_Machine.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

constexpr uint8_t FZ = 0x40, FC = 0x01, FP = 0x04, FS = 0x80;

struct TimingRow {
  const char* name;
  std::vector<uint8_t> code;
  uint8_t f;                // flags before the instruction
  uint32_t machine, clock;  // base timing
  uint32_t memoryAccesses;  // bytes read or written, opcode fetch included
};

// Runs one instruction at 0x4000 with SP = 0x8000, HL = 0x9000, BC = 0x0102
// (B = 1 so DJNZ falls through), and returns the clocks the step took.
uint32_t runTimed(const TimingRow& r, uint8_t dcntl, uint32_t& machineOut) {
  TTestMachine m;
  m.load(0x4000, r.code);
  m.cpu.PC = 0x4000;
  m.cpu.SP = 0x8000;
  m.cpu.HL.w = 0x9000;
  m.cpu.BC.w = 0x0102;
  m.cpu.AF.b.l = r.f;
  m.cpu.DCNTL = dcntl;
  m.cpu.recomputeWaitCycles();
  const uint64_t before = m.cpu.elapsedClocks;
  m.cpu.step(1);
  machineOut = m.cpu.machineCycles;
  return uint32_t(m.cpu.elapsedClocks - before);
}

}  // namespace

TEST(Z180Unprefixed, TimingPerInstructionClass) {
  const std::vector<TimingRow> rows = {
      {"NOP", {0x00}, 0, 1, 3, 1},
      {"RLCA", {0x07}, 0, 1, 3, 1},
      {"CPL", {0x2F}, 0, 1, 3, 1},
      {"HALT", {0x76}, 0, 1, 3, 1},
      {"DI", {0xF3}, 0, 1, 3, 1},
      {"EI", {0xFB}, 0, 1, 3, 1},
      {"EXX", {0xD9}, 0, 1, 3, 1},
      {"EX DE,HL", {0xEB}, 0, 1, 3, 1},
      {"JP (HL)", {0xE9}, 0, 1, 3, 1},
      {"LD B,C", {0x41}, 0, 2, 4, 1},
      {"INC B", {0x04}, 0, 2, 4, 1},
      {"DEC BC", {0x0B}, 0, 2, 4, 1},
      {"EX AF,AF'", {0x08}, 0, 2, 4, 1},
      {"LD SP,HL", {0xF9}, 0, 2, 4, 1},
      {"DAA", {0x27}, 0, 2, 4, 1},
      {"ADD A,B", {0x80}, 0, 2, 4, 1},
      {"LD B,n", {0x06, 0x12}, 0, 2, 6, 2},
      {"LD B,(HL)", {0x46}, 0, 2, 6, 2},
      {"LD A,(BC)", {0x0A}, 0, 2, 6, 2},
      {"CP (HL)", {0xBE}, 0, 2, 6, 2},
      {"XOR n", {0xEE, 0x12}, 0, 2, 6, 2},
      {"LD (HL),B", {0x70}, 0, 3, 7, 2},
      {"LD (DE),A", {0x12}, 0, 3, 7, 2},
      {"LD HL,nn", {0x21, 0x00, 0x90}, 0, 3, 9, 3},
      {"LD (HL),n", {0x36, 0x12}, 0, 3, 9, 3},
      {"POP BC", {0xC1}, 0, 3, 9, 3},
      {"RET", {0xC9}, 0, 3, 9, 3},
      {"JP nn", {0xC3, 0x00, 0x50}, 0, 3, 9, 3},
      {"IN A,(n)", {0xDB, 0x80}, 0, 3, 9, 2},
      {"INC (HL)", {0x34}, 0, 4, 10, 3},
      {"DEC (HL)", {0x35}, 0, 4, 10, 3},
      {"OUT (n),A", {0xD3, 0x80}, 0, 4, 10, 2},
      {"ADD HL,BC", {0x09}, 0, 5, 7, 1},
      {"LD A,(nn)", {0x3A, 0x00, 0x90}, 0, 4, 12, 4},
      {"LD (nn),A", {0x32, 0x00, 0x90}, 0, 5, 13, 4},
      {"LD HL,(nn)", {0x2A, 0x00, 0x90}, 0, 5, 15, 5},
      {"LD (nn),HL", {0x22, 0x00, 0x90}, 0, 6, 16, 5},
      {"EX (SP),HL", {0xE3}, 0, 6, 16, 5},
      {"CALL nn", {0xCD, 0x00, 0x50}, 0, 6, 16, 5},
      {"PUSH BC", {0xC5}, 0, 5, 11, 3},
      {"RST 38", {0xFF}, 0, 5, 11, 3},
      {"JR d", {0x18, 0x10}, 0, 4, 8, 2},
      {"JR Z taken", {0x28, 0x10}, FZ, 4, 8, 2},
      {"JR Z not taken", {0x28, 0x10}, 0, 2, 6, 2},
      {"DJNZ falling through (B = 1)", {0x10, 0x10}, 0, 3, 7, 2},
      {"JP NZ taken", {0xC2, 0x00, 0x50}, 0, 3, 9, 3},
      {"JP NZ not taken", {0xC2, 0x00, 0x50}, FZ, 2, 6, 2},
      {"CALL C taken", {0xDC, 0x00, 0x50}, FC, 6, 16, 5},
      {"CALL C not taken", {0xDC, 0x00, 0x50}, 0, 2, 6, 2},
      {"RET PE taken", {0xE8}, FP, 4, 10, 3},
      {"RET PE not taken", {0xE8}, 0, 3, 5, 1},
      {"RET M not taken", {0xF8}, 0, 3, 5, 1},
  };
  for (const TimingRow& r : rows) {
    SCOPED_TRACE(r.name);
    uint32_t machine = 0;
    EXPECT_EQ(runTimed(r, 0x00, machine), r.clock) << "no wait states";
    EXPECT_EQ(machine, r.machine);
    // DCNTL = 0xC0: three wait cycles per memory byte, none for I/O.
    EXPECT_EQ(runTimed(r, 0xC0, machine), r.clock + 3 * r.memoryAccesses) << "3 memory wait states";
    // DCNTL = 0x30: four wait cycles per I/O access, none for memory.
    const bool io = r.code[0] == 0xDB || r.code[0] == 0xD3;
    EXPECT_EQ(runTimed(r, 0x30, machine), r.clock + (io ? 4u : 0u)) << "4 I/O wait states";
  }
}

TEST(Z180Unprefixed, DjnzTakenTiming) {
  TTestMachine m;
  m.load(0, {0x10, 0xFE});  // DJNZ $
  m.cpu.BC.b.h = 3;
  EXPECT_EQ(m.stepCycles(), 9u);
  EXPECT_EQ(m.cpu.machineCycles, 5u);
  EXPECT_EQ(m.cpu.PC, 0);
}

TEST(Z180Unprefixed, RelativeJumpsAndDjnzEdges) {
  struct Row {
    const char* name;
    std::vector<uint8_t> code;
    uint8_t b;
    uint16_t pcAfter;
    uint8_t bAfter;
  };
  const Row rows[] = {
      {"JR -2 jumps to itself", {0x18, 0xFE}, 0, 0x1000, 0},
      {"JR +127 jumps 129 bytes forward", {0x18, 0x7F}, 0, 0x1081, 0},
      {"JR -128", {0x18, 0x80}, 0, 0x0F82, 0},
      {"DJNZ with B = 1 falls through", {0x10, 0x10}, 1, 0x1002, 0},
      {"DJNZ with B = 0 jumps, B = 0xFF", {0x10, 0x10}, 0, 0x1012, 0xFF},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    TTestMachine m;
    m.load(0x1000, r.code);
    m.cpu.PC = 0x1000;
    m.cpu.BC.b.h = r.b;
    m.cpu.step(1);
    EXPECT_EQ(m.cpu.PC, r.pcAfter);
    EXPECT_EQ(m.cpu.BC.b.h, r.bAfter);
  }
}

TEST(Z180Unprefixed, JrAtTheTopOfTheAddressSpaceWraps) {
  TTestMachine m;
  m.load(0xFFFE, {0x18, 0x05});  // JR +5 from 0xFFFE: PC after operand is 0x0000
  m.cpu.PC = 0xFFFE;
  m.cpu.step(1);
  EXPECT_EQ(m.cpu.PC, 0x0005);
}

TEST(Z180Unprefixed, FailingJpCcReadsOnlyTheLowByte) {
  TTestMachine m;
  m.load(0x2000, {0xC2, 0x34, 0x12});  // JP NZ,1234
  m.cpu.PC = 0x2000;
  m.cpu.AF.b.l = FZ;
  m.cpu.DCNTL = 0x40;  // one wait cycle per memory byte
  m.cpu.recomputeWaitCycles();
  EXPECT_EQ(m.stepCycles(), 6u + 2u);
  EXPECT_EQ(m.cpu.machineCycles, 2u);
  EXPECT_EQ(m.cpu.PC, 0x2003);
}

TEST(Z180Unprefixed, ConditionsSelectByTheirFlag) {
  // JP cc,nn for all eight conditions with each flag set and clear.
  struct Row {
    uint8_t opcode;
    uint8_t flag;
    bool takenWhenSet;
  };
  const Row rows[] = {{0xC2, FZ, false}, {0xCA, FZ, true}, {0xD2, FC, false}, {0xDA, FC, true},
                      {0xE2, FP, false}, {0xEA, FP, true}, {0xF2, FS, false}, {0xFA, FS, true}};
  for (const Row& r : rows) {
    for (bool set : {false, true}) {
      SCOPED_TRACE(testing::Message() << std::hex << int(r.opcode) << (set ? " flag set" : " flag clear"));
      TTestMachine m;
      m.load(0, {r.opcode, 0x00, 0x30});
      m.cpu.AF.b.l = set ? r.flag : uint8_t(~r.flag);
      m.cpu.step(1);
      EXPECT_EQ(m.cpu.PC, (set == r.takenWhenSet) ? 0x3000 : 0x0003);
    }
  }
}

TEST(Z180Unprefixed, StackWrapsAndKeepsAllOfF) {
  TTestMachine m;
  m.load(0, {0xF5, 0xC1});  // PUSH AF; POP BC
  m.cpu.AF.w = 0x12FF;
  m.cpu.SP = 0x0000;
  m.cpu.step(1);
  EXPECT_EQ(m.cpu.SP, 0xFFFE);
  EXPECT_EQ(m.peek(0xFFFF), 0x12);
  EXPECT_EQ(m.peek(0xFFFE), 0xFF);
  m.cpu.step(1);
  EXPECT_EQ(m.cpu.BC.w, 0x12FF);  // bits 5 and 3 of F travel too
  EXPECT_EQ(m.cpu.SP, 0x0000);
}

TEST(Z180Unprefixed, CallRetAndRst) {
  TTestMachine m;
  m.load(0x1000, {0xCD, 0x00, 0x20});  // CALL 2000
  m.load(0x2000, {0xFF, 0xC9});        // RST 38; RET
  m.load(0x0038, {0xC9});              // RET
  m.cpu.PC = 0x1000;
  m.cpu.SP = 0x8000;
  m.cpu.step(1);
  EXPECT_EQ(m.cpu.PC, 0x2000);
  EXPECT_EQ(m.cpu.SP, 0x7FFE);
  EXPECT_EQ(m.peek(0x7FFE), 0x03);
  EXPECT_EQ(m.peek(0x7FFF), 0x10);
  m.cpu.step(1);
  EXPECT_EQ(m.cpu.PC, 0x0038);
  EXPECT_EQ(m.peek(0x7FFC), 0x01);
  EXPECT_EQ(m.peek(0x7FFD), 0x20);
  m.cpu.step(2);  // RET, RET
  EXPECT_EQ(m.cpu.PC, 0x1003);
  EXPECT_EQ(m.cpu.SP, 0x8000);
}

TEST(Z180Unprefixed, SixteenBitMemoryAccessesTranslateEachByte) {
  // Page 15 is Common Area 1 (CBR = 0), pages 0-14 the Bank Area at +64 KB:
  // logical 0xFFFF and 0x0000 lie in different physical places.
  TTestMachine m("128KB");
  m.cpu.CBAR = 0xF0;
  m.cpu.BBR = 0x10;
  m.cpu.CBR = 0x00;
  m.load(0x11000, {0x22, 0xFF, 0xFF});  // logical 0x1000: LD (FFFF),HL
  m.cpu.PC = 0x1000;
  m.cpu.HL.w = 0xA1B2;
  m.cpu.step(1);
  EXPECT_EQ(m.peek(0x0FFFF), 0xB2);  // L at logical 0xFFFF, Common Area 1
  EXPECT_EQ(m.peek(0x10000), 0xA1);  // H at logical 0x0000, Bank Area
}

TEST(Z180Unprefixed, LoadsAndExchanges) {
  TTestMachine m;
  m.load(0, {
                0x01, 0x34, 0x12,  // LD BC,1234
                0x11, 0x78, 0x56,  // LD DE,5678
                0x21, 0x00, 0x90,  // LD HL,9000
                0x31, 0x00, 0x80,  // LD SP,8000
                0x3E, 0xAA,        // LD A,AA
                0x77,              // LD (HL),A
                0x32, 0x01, 0x90,  // LD (9001),A
                0x2A, 0x00, 0x90,  // LD HL,(9000) -> AAAA
                0xE5,              // PUSH HL
                0x21, 0x11, 0x22,  // LD HL,2211
                0xE3,              // EX (SP),HL -> HL AAAA, (SP) 2211
                0xEB,              // EX DE,HL
                0x08,              // EX AF,AF'
                0xD9,              // EXX
            });
  m.cpu.step(14);
  EXPECT_EQ(m.cpu.HL_.w, 0x5678);
  EXPECT_EQ(m.cpu.DE_.w, 0xAAAA);
  EXPECT_EQ(m.cpu.BC_.w, 0x1234);
  EXPECT_EQ(m.cpu.AF_.b.h, 0xAA);
  EXPECT_EQ(m.peek(0x7FFE), 0x11);
  EXPECT_EQ(m.peek(0x7FFF), 0x22);
  EXPECT_EQ(m.cpu.SP, 0x7FFE);
}

TEST(Z180Unprefixed, ExAfTwiceRestores) {
  TTestMachine m;
  m.load(0, {0x08, 0x08});
  m.cpu.AF.w = 0x1234;
  m.cpu.AF_.w = 0xABCD;
  m.cpu.step(1);
  EXPECT_EQ(m.cpu.AF.w, 0xABCD);
  EXPECT_EQ(m.cpu.AF_.w, 0x1234);
  m.cpu.step(1);
  EXPECT_EQ(m.cpu.AF.w, 0x1234);
  EXPECT_EQ(m.cpu.AF_.w, 0xABCD);
}

TEST(Z180Unprefixed, InAndOutPutAOnTheHighAddressByte) {
  // OUT (FF),A reaches the boot ROM switch only with A = 0 (port 0x00FF).
  for (uint8_t a : {uint8_t(0x00), uint8_t(0x12)}) {
    TTestMachine m;
    m.memory.enableBootRom(true);
    m.load(0x4000, {0xD3, 0xFF});
    m.cpu.PC = 0x4000;
    m.cpu.AF.b.h = a;
    m.cpu.step(1);
    EXPECT_EQ(m.memory.getBootRomEnabled(), a != 0x00) << int(a);
  }
  // IN A,(70): the floppy controller's status with A = 0, open bus with A = 0x12.
  for (uint8_t a : {uint8_t(0x00), uint8_t(0x12)}) {
    TTestMachine m;
    m.load(0, {0xDB, 0x70});
    m.cpu.AF.b.h = a;
    m.cpu.step(1);
    EXPECT_EQ(m.cpu.AF.b.h, a == 0 ? m.fdc.readStatus() : 0xFF) << int(a);
  }
}

TEST(Z180Unprefixed, RefreshCountsOpcodeFetchesInSevenBits) {
  TTestMachine m;
  m.cpu.R = 0xFF;
  m.cpu.step(1);  // NOP
  EXPECT_EQ(m.cpu.R, 0x00);
  m.cpu.R = 0x85;
  m.cpu.step(128);
  EXPECT_EQ(m.cpu.R, 0x05);
  // Operand bytes do not count.
  m.load(0x200, {0x3E, 0x00, 0x21, 0x00, 0x00});
  m.cpu.PC = 0x200;
  m.cpu.R = 0;
  m.cpu.step(2);
  EXPECT_EQ(m.cpu.R, 2);
}

TEST(Z180Unprefixed, SmallProgramMultipliesByRepeatedAddition) {
  // 13 * 11 into (0x9000), then HALT.
  TTestMachine m;
  m.load(0, {
                0x21, 0x00, 0x00,  // LD HL,0
                0x11, 0x0D, 0x00,  // LD DE,13
                0x06, 0x0B,        // LD B,11
                0x19,              // loop: ADD HL,DE
                0x10, 0xFD,        // DJNZ loop
                0x22, 0x00, 0x90,  // LD (9000),HL
                0x76,              // HALT
            });
  m.cpu.step(100);
  EXPECT_TRUE(m.cpu.halted);
  EXPECT_EQ(m.peek(0x9000), 143);
  EXPECT_EQ(m.peek(0x9001), 0);
  EXPECT_EQ(m.cpu.PC, 0x000F);
}
