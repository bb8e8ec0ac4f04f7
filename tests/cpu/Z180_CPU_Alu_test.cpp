// Flag behaviour of the arithmetic and logic primitives, seen through the
// instructions that use them: one table per primitive with the inputs
// (A, operand, F in) and the full expected A and F.
#include "Test_Machine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct AluRow {
  uint8_t a, n, fIn;
  uint8_t aOut, fOut;
};

std::string describe(const char* what, const AluRow& r) {
  char text[96];
  std::snprintf(text, sizeof text, "%s A=%02X n=%02X F=%02X", what, r.a, r.n, r.fIn);
  return text;
}

// Runs `opcode n` (or `opcode` alone when immediate is false) once with A and F set.
void runRows(const char* what, uint8_t opcode, bool immediate, const std::vector<AluRow>& rows) {
  for (const AluRow& r : rows) {
    SCOPED_TRACE(describe(what, r));
    TTestMachine m;
    if (immediate)
      m.load(0x0100, {opcode, r.n});
    else
      m.load(0x0100, {opcode});
    m.cpu.PC = 0x0100;
    m.cpu.AF.b.h = r.a;
    m.cpu.AF.b.l = r.fIn;
    m.cpu.step(1);
    EXPECT_EQ(m.cpu.AF.b.h, r.aOut) << "A";
    EXPECT_EQ(m.cpu.AF.b.l, r.fOut) << "F";
  }
}

constexpr uint8_t S = 0x80, Z = 0x40, X5 = 0x20, H = 0x10, X3 = 0x08, P = 0x04, N = 0x02, C = 0x01;

}  // namespace

TEST(Z180Alu, Add8) {
  runRows("ADD A,n", 0xC6, true,
          {
              {0x7F, 0x01, 0x00, 0x80, S | H | P},
              {0xFF, 0x01, 0x00, 0x00, Z | H | C},
              {0x80, 0x80, 0x00, 0x00, Z | P | C},
              {0x0F, 0x01, 0x00, 0x10, H},
              {0x12, 0x34, X5 | X3 | N | C, 0x46, X5 | X3},
          });
}

TEST(Z180Alu, Adc8) {
  runRows("ADC A,n", 0xCE, true,
          {
              {0x0F, 0x00, C, 0x10, H},
              {0x7F, 0x00, C, 0x80, S | H | P},
              {0xFF, 0xFF, C, 0xFF, S | H | C},
              {0x00, 0x00, C, 0x01, 0x00},
              {0xFF, 0x00, C | X5, 0x00, Z | H | C | X5},
          });
}

TEST(Z180Alu, Sub8) {
  runRows("SUB n", 0xD6, true,
          {
              {0x00, 0x01, 0x00, 0xFF, S | H | N | C},
              {0x80, 0x01, 0x00, 0x7F, H | P | N},
              {0x05, 0x05, C, 0x00, Z | N},
              {0x7F, 0xFF, 0x00, 0x80, S | P | N | C},
              {0x10, 0x01, X3, 0x0F, H | N | X3},
          });
}

TEST(Z180Alu, Sbc8) {
  runRows("SBC A,n", 0xDE, true,
          {
              {0x00, 0x00, C, 0xFF, S | H | N | C},
              {0x10, 0x0F, C, 0x00, Z | H | N},
              {0x80, 0x00, C, 0x7F, H | P | N},
              {0x80, 0x00, 0x00, 0x80, S | N},
          });
}

TEST(Z180Alu, Cp8LeavesA) {
  runRows("CP n", 0xFE, true,
          {
              {0x42, 0x42, 0x00, 0x42, Z | N},
              {0x00, 0x01, 0x00, 0x00, S | H | N | C},
              {0x80, 0x01, X5 | X3, 0x80, H | P | N | X5 | X3},
          });
}

TEST(Z180Alu, LogicOperations) {
  runRows("AND n", 0xE6, true,
          {
              {0xF0, 0x0F, 0x00, 0x00, Z | H | P},
              {0xFF, 0x81, 0x00, 0x81, S | H | P},
              {0xFF, 0x01, 0xFF, 0x01, H | X5 | X3},
          });
  runRows("XOR n", 0xEE, true,
          {
              {0xFF, 0xFF, 0x00, 0x00, Z | P},
              {0x55, 0x55, X5 | X3, 0x00, Z | P | X5 | X3},
              {0x01, 0x02, 0xFF, 0x03, P | X5 | X3},
          });
  runRows("OR n", 0xF6, true,
          {
              {0x00, 0x00, 0x00, 0x00, Z | P},
              {0x80, 0x01, H | N | C, 0x81, S | P},
              {0x01, 0x00, 0x00, 0x01, 0x00},
          });
  // XOR A with only bits 5 and 3 set in F.
  runRows("XOR A", 0xAF, false, {{0x5A, 0, X5 | X3, 0x00, 0x6C}});
}

TEST(Z180Alu, IncAndDecKeepCarry) {
  runRows("INC A", 0x3C, false,
          {
              {0xFF, 0, C, 0x00, Z | H | C},
              {0x7F, 0, 0x00, 0x80, S | H | P},
              {0x0E, 0, N, 0x0F, 0x00},
          });
  runRows("DEC A", 0x3D, false,
          {
              {0x80, 0, 0x00, 0x7F, H | P | N},
              {0x01, 0, C, 0x00, Z | N | C},
              {0x00, 0, 0x00, 0xFF, S | H | N},
              {0x11, 0, X5, 0x10, N | X5},
          });
}

TEST(Z180Alu, DaaCplScfCcf) {
  runRows("DAA", 0x27, false,
          {
              {0x3C, 0, 0x00, 0x42, H | P},           // 0x15 + 0x27
              {0x9A, 0, 0x00, 0x00, Z | H | P | C},   // 0x99 + 0x01
              {0x0F, 0, N, 0x09, P | N},              // after a subtraction
              {0x00, 0, C, 0x60, P | C},              // carry forces the high correction
              {0x05, 0, H | N, 0xFF, S | H | P | N},  // 0x05 - 0x06 after SUB: half borrow
              {0x91, 0, C | N, 0x31, N | C},          // DAA never clears C
          });
  runRows("CPL", 0x2F, false, {{0x5A, 0, 0x00, 0xA5, H | N}, {0x00, 0, S | Z | P | C, 0xFF, S | Z | H | P | N | C}});
  runRows("SCF", 0x37, false, {{0x00, 0, H | N, 0x00, C}, {0x00, 0, 0xFE, 0x00, 0xED}});
  runRows("CCF", 0x3F, false,
          {{0x00, 0, C, 0x00, H}, {0x00, 0, N, 0x00, C}, {0x00, 0, S | Z | H | P, 0x00, S | Z | P | C}});
}

TEST(Z180Alu, AccumulatorRotatesTouchOnlyHNC) {
  runRows("RLCA", 0x07, false, {{0x81, 0, 0xFF, 0x03, 0xED}, {0x40, 0, 0x00, 0x80, 0x00}});
  runRows("RRCA", 0x0F, false, {{0x01, 0, 0x00, 0x80, C}, {0x02, 0, C | H | N, 0x01, 0x00}});
  runRows("RLA", 0x17, false, {{0x80, 0, 0x00, 0x00, C}, {0x01, 0, C, 0x03, 0x00}});
  runRows("RRA", 0x1F, false, {{0x01, 0, C, 0x80, C}, {0x02, 0, Z | P, 0x01, Z | P}});
}

TEST(Z180Alu, Add16TouchesOnlyHNC) {
  struct Row {
    uint16_t hl, bc;
    uint8_t fIn;
    uint16_t hlOut;
    uint8_t fOut;
  };
  const Row rows[] = {
      {0x0FFF, 0x0001, S | Z | P, 0x1000, S | Z | P | H},
      {0xFFFF, 0x0001, 0x00, 0x0000, H | C},
      {0x8000, 0x8000, N, 0x0000, C},
      {0x1234, 0x1111, X5 | X3 | C, 0x2345, X5 | X3},
  };
  for (const Row& r : rows) {
    TTestMachine m;
    m.load(0, {0x09});  // ADD HL,BC
    m.cpu.HL.w = r.hl;
    m.cpu.BC.w = r.bc;
    m.cpu.AF.b.l = r.fIn;
    m.cpu.step(1);
    EXPECT_EQ(m.cpu.HL.w, r.hlOut);
    EXPECT_EQ(m.cpu.AF.b.l, r.fOut);
  }
}
