// CB-prefixed instructions: rotates, shifts, BIT, RES, SET.
//
// Second byte: x = 0 rotate/shift (y selects RLC RRC RL RR SLA SRA - SRL),
// x = 1 BIT y, x = 2 RES y, x = 3 SET y; z selects the operand (B C D E H L
// (HL) A). The Z180 has no SLL: 0x30 to 0x37 are undefined and trap before
// any operand is touched. A memory operand is always written back, changed
// or not; BIT (HL) only reads it.
#include "Z180_CPU.h"

#include "Z180_CPU_Inline.h"

template <uint8_t Op>
Z180_INLINE void TZ180Cpu::opCB() {
  constexpr unsigned x = Op >> 6, y = (Op >> 3) & 7, z = Op & 7;

  if constexpr (x == 0 && y == 6) {
    undefinedOpcodeTrap(false);
  } else if constexpr (x == 1) {  // BIT y,r
    if constexpr (z == 6) {
      bitTest(y, readMem(HL.w));
      setCycles(3, 9);
    } else {
      bitTest(y, reg8(z));
      setCycles(2, 6);
    }
  } else {
    auto apply = [this](uint8_t& v) { cbModify<x, y>(v); };
    if constexpr (z == 6) {
      uint8_t v = readMem(HL.w);
      apply(v);
      writeMem(HL.w, v);
      setCycles(5, 13);
    } else {
      apply(reg8(z));
      setCycles(3, 7);
    }
  }
}

void TZ180Cpu::executeCB() {
  const uint8_t op = fetchOpcode();
  switch (op) { Z180_CASES_256(opCB) }
}
