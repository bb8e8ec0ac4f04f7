// DD/FD-prefixed instructions (IX, IY) and the DDCB/FDCB bit instructions.
//
// The Z180 decodes only the index forms proper: there are no instructions on
// IXH/IXL/IYH/IYL, H and L in LD r,(XY+d) and LD (XY+d),r are the real H and
// L, and a DD/FD prefix in front of an opcode that does not use the index
// register (or in front of another prefix) is an undefined opcode. Every
// second byte missing from the dispatch switch traps.
//
// DDCB/FDCB: prefix, 0xCB, displacement d, final opcode. d is an operand
// (no refresh count), the final byte an opcode fetch, so R advances by 3.
// Only final bytes with z = 6 exist; x = 0, y = 6 (the Z80's SLL) does not.
// An undefined final byte sets UFO in ITC and touches no operand.
#include "Z180_CPU.h"

#include "Z180_CPU_Inline.h"

namespace {
template <uint8_t>
constexpr bool kNotAnIndexInstruction = false;
}  // namespace

Z180_INLINE uint16_t TZ180Cpu::indexedAddress(uint16_t xy) {
  const int8_t d = int8_t(fetchByte());
  return uint16_t(xy + d);
}

template <uint8_t Op>
Z180_INLINE void TZ180Cpu::opIndexed(uint16_t& xy) {
  constexpr unsigned x = Op >> 6, y = (Op >> 3) & 7, z = Op & 7;

  if constexpr ((Op & 0xCF) == 0x09) {  // ADD XY,pp: BC DE XY SP
    constexpr unsigned p = (Op >> 4) & 3;
    const uint16_t v = p == 2 ? xy : regPair(p);
    add16(xy, v);
    setCycles(6, 10);
  } else if constexpr (Op == 0x21) {  // LD XY,nn
    xy = fetchWord();
    setCycles(4, 12);
  } else if constexpr (Op == 0x22) {  // LD (nn),XY
    writeWord(fetchWord(), xy);
    setCycles(7, 19);
  } else if constexpr (Op == 0x23) {  // INC XY
    ++xy;
    setCycles(2, 4);
  } else if constexpr (Op == 0x2A) {  // LD XY,(nn)
    xy = readWord(fetchWord());
    setCycles(6, 18);
  } else if constexpr (Op == 0x2B) {  // DEC XY
    --xy;
    setCycles(2, 4);
  } else if constexpr (Op == 0x34 || Op == 0x35) {  // INC (XY+d) / DEC (XY+d)
    const uint16_t address = indexedAddress(xy);
    uint8_t v = readMem(address);
    if constexpr (Op == 0x34)
      inc8(v);
    else
      dec8(v);
    writeMem(address, v);
    setCycles(8, 18);
  } else if constexpr (Op == 0x36) {  // LD (XY+d),n: d comes before n
    const uint16_t address = indexedAddress(xy);
    writeMem(address, fetchByte());
    setCycles(5, 15);
  } else if constexpr (x == 1 && z == 6 && y != 6) {  // LD r,(XY+d)
    reg8(y) = readMem(indexedAddress(xy));
    setCycles(6, 14);
  } else if constexpr (x == 1 && y == 6 && z != 6) {  // LD (XY+d),r
    writeMem(indexedAddress(xy), reg8(z));
    setCycles(7, 15);
  } else if constexpr (x == 2 && z == 6) {  // alu A,(XY+d)
    alu8(y, readMem(indexedAddress(xy)));
    setCycles(6, 14);
  } else if constexpr (Op == 0xE1) {  // POP XY
    xy = pop();
    setCycles(4, 12);
  } else if constexpr (Op == 0xE3) {  // EX (SP),XY
    const uint16_t sp1 = uint16_t(SP + 1);
    const uint8_t lo = readMem(SP);
    const uint8_t hi = readMem(sp1);
    writeMem(SP, uint8_t(xy));
    writeMem(sp1, uint8_t(xy >> 8));
    xy = uint16_t(lo | (hi << 8));
    setCycles(7, 19);
  } else if constexpr (Op == 0xE5) {  // PUSH XY
    push(xy);
    setCycles(6, 14);
  } else if constexpr (Op == 0xE9) {  // JP (XY)
    PC = xy;
    setCycles(2, 6);
  } else if constexpr (Op == 0xF9) {  // LD SP,XY
    SP = xy;
    setCycles(3, 7);
  } else {
    static_assert(kNotAnIndexInstruction<Op>, "not an index instruction");
  }
}

template <uint8_t Op>
Z180_INLINE void TZ180Cpu::opIndexedCB(uint16_t address) {
  constexpr unsigned x = Op >> 6, y = (Op >> 3) & 7;
  static_assert((Op & 7) == 6 && Op != 0x36, "not a DDCB/FDCB instruction");

  uint8_t v = readMem(address);
  if constexpr (x == 1) {  // BIT y,(XY+d): read only
    bitTest(y, v);
    setCycles(5, 15);
  } else {
    cbModify<x, y>(v);
    writeMem(address, v);  // also when unchanged
    setCycles(7, 19);
  }
}

void TZ180Cpu::executeIndexed(bool useIY) {
  uint16_t& xy = useIY ? IY : IX;
  const uint8_t op = fetchOpcode();
  // clang-format off
  switch (op) {
#define Z180_OP(n) case (n): opIndexed<(n)>(xy); return;
    Z180_OP(0x09) Z180_OP(0x19) Z180_OP(0x29) Z180_OP(0x39)  // ADD XY,pp
    Z180_OP(0x21) Z180_OP(0x22) Z180_OP(0x23)                // LD XY,nn; LD (nn),XY; INC XY
    Z180_OP(0x2A) Z180_OP(0x2B)                              // LD XY,(nn); DEC XY
    Z180_OP(0x34) Z180_OP(0x35) Z180_OP(0x36)                // INC (XY+d); DEC (XY+d); LD (XY+d),n
    Z180_OP(0x46) Z180_OP(0x4E) Z180_OP(0x56) Z180_OP(0x5E)  // LD r,(XY+d)
    Z180_OP(0x66) Z180_OP(0x6E) Z180_OP(0x7E)
    Z180_OP(0x70) Z180_OP(0x71) Z180_OP(0x72) Z180_OP(0x73)  // LD (XY+d),r
    Z180_OP(0x74) Z180_OP(0x75) Z180_OP(0x77)
    Z180_OP(0x86) Z180_OP(0x8E) Z180_OP(0x96) Z180_OP(0x9E)  // alu A,(XY+d)
    Z180_OP(0xA6) Z180_OP(0xAE) Z180_OP(0xB6) Z180_OP(0xBE)
    Z180_OP(0xE1) Z180_OP(0xE3) Z180_OP(0xE5)                // POP XY; EX (SP),XY; PUSH XY
    Z180_OP(0xE9) Z180_OP(0xF9)                              // JP (XY); LD SP,XY
#undef Z180_OP
    case 0xCB:
      executeIndexedCB(xy);
      return;
    default:  // includes the index-half forms and further prefixes
      undefinedOpcodeTrap(false);
      return;
  }
  // clang-format on
}

void TZ180Cpu::executeIndexedCB(uint16_t& xy) {
  const uint16_t address = indexedAddress(xy);
  const uint8_t op = fetchOpcode();
  // clang-format off
  switch (op) {
#define Z180_OP(n) case (n): opIndexedCB<(n)>(address); return;
#define Z180_ROW(n) Z180_OP((n) + 0x06) Z180_OP((n) + 0x0E) Z180_OP((n) + 0x16) Z180_OP((n) + 0x1E)
    Z180_ROW(0x00) Z180_OP(0x26) Z180_OP(0x2E) Z180_OP(0x3E)  // RLC RRC RL RR SLA SRA SRL (no 0x36)
    Z180_ROW(0x40) Z180_ROW(0x60)                             // BIT
    Z180_ROW(0x80) Z180_ROW(0xA0)                             // RES
    Z180_ROW(0xC0) Z180_ROW(0xE0)                             // SET
#undef Z180_ROW
#undef Z180_OP
    default:
      undefinedOpcodeTrap(true);
      return;
  }
  // clang-format on
}
