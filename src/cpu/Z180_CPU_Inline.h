// Bus helpers and ALU primitives of TZ180Cpu, inlined into every executor.
// Only the processor's own source files include this header.
//
// Cycle accounting lives here and nowhere else: every memory byte the
// processor touches goes through readMem/writeMem/fetchByte, which add
// memoryWaitCycles; ioRead/ioWrite add ioWaitCycles. Instruction bodies only
// assign their base timing with setCycles.
//
// Flags: S Z - H - P/V N C. Bits 5 and 3 are never computed: every primitive
// keeps them (and every flag it does not list) as they were.
#pragma once

#include "Z180_CPU.h"

#include <array>

namespace z180 {

constexpr uint8_t FS = 0x80, FZ = 0x40, FH = 0x10, FP = 0x04, FN = 0x02, FC = 0x01;
constexpr uint8_t kUnused = 0x28;  // bits 5 and 3

// S, Z and even parity of every byte value.
inline constexpr std::array<uint8_t, 256> kSZP = [] {
  std::array<uint8_t, 256> t{};
  for (int v = 0; v < 256; ++v) {
    uint8_t f = uint8_t(v & 0x80);
    if (v == 0) f |= FZ;
    if ((std::popcount(unsigned(v)) & 1) == 0) f |= FP;
    t[v] = f;
  }
  return t;
}();

}  // namespace z180

#define Z180_INLINE inline __attribute__((always_inline))

// The 256 case labels of a switch on an opcode byte: each calls the handler
// specialised for its opcode, Handler<Op>(), and returns.
#define Z180_CASE(Handler, n) \
  case (n):                   \
    Handler<(n)>();           \
    return;
#define Z180_CASE4(H, n) Z180_CASE(H, n) Z180_CASE(H, (n) + 1) Z180_CASE(H, (n) + 2) Z180_CASE(H, (n) + 3)
#define Z180_CASE16(H, n) Z180_CASE4(H, n) Z180_CASE4(H, (n) + 4) Z180_CASE4(H, (n) + 8) Z180_CASE4(H, (n) + 12)
#define Z180_CASE64(H, n) Z180_CASE16(H, n) Z180_CASE16(H, (n) + 16) Z180_CASE16(H, (n) + 32) Z180_CASE16(H, (n) + 48)
#define Z180_CASES_256(H) Z180_CASE64(H, 0x00) Z180_CASE64(H, 0x40) Z180_CASE64(H, 0x80) Z180_CASE64(H, 0xC0)

// ---- Bus ----

Z180_INLINE uint8_t TZ180Cpu::readMem(uint16_t address) {
  waitCycles += memoryWaitCycles;
  return memory.readByte(translateAddress(address));
}

Z180_INLINE void TZ180Cpu::writeMem(uint16_t address, uint8_t value) {
  waitCycles += memoryWaitCycles;
  memory.writeByte(translateAddress(address), value);
}

Z180_INLINE uint8_t TZ180Cpu::fetchByte() { return readMem(PC++); }

Z180_INLINE uint8_t TZ180Cpu::fetchOpcode() {
  R = uint8_t((R + 1) & 0x7F);
  return fetchByte();
}

Z180_INLINE uint16_t TZ180Cpu::fetchWord() {
  const uint8_t lo = fetchByte();
  return uint16_t(lo | (fetchByte() << 8));
}

Z180_INLINE uint16_t TZ180Cpu::readWord(uint16_t address) {
  const uint8_t lo = readMem(address);
  return uint16_t(lo | (readMem(uint16_t(address + 1)) << 8));
}

Z180_INLINE void TZ180Cpu::writeWord(uint16_t address, uint16_t value) {
  writeMem(address, uint8_t(value));
  writeMem(uint16_t(address + 1), uint8_t(value >> 8));
}

Z180_INLINE void TZ180Cpu::push(uint16_t value) {
  writeMem(--SP, uint8_t(value >> 8));
  writeMem(--SP, uint8_t(value));
}

Z180_INLINE uint16_t TZ180Cpu::pop() {
  const uint8_t lo = readMem(SP++);
  return uint16_t(lo | (readMem(SP++) << 8));
}

// ---- ALU ----

Z180_INLINE bool TZ180Cpu::parityEven(uint8_t v) { return (z180::kSZP[v] & z180::FP) != 0; }

Z180_INLINE void TZ180Cpu::add8(uint8_t n) {
  using namespace z180;
  const uint8_t a = AF.b.h;
  const unsigned r = a + n;
  const uint8_t v = uint8_t(r);
  uint8_t f = uint8_t(AF.b.l & kUnused);
  f |= kSZP[v] & (FS | FZ);
  f |= (a ^ n ^ r) & FH;
  if (((a ^ ~n) & (a ^ r)) & 0x80) f |= FP;
  f |= uint8_t(r >> 8) & FC;
  AF.b.h = v;
  AF.b.l = f;
}

Z180_INLINE void TZ180Cpu::adc8(uint8_t n) {
  using namespace z180;
  const uint8_t a = AF.b.h;
  const unsigned r = a + n + (AF.b.l & FC);
  const uint8_t v = uint8_t(r);
  uint8_t f = uint8_t(AF.b.l & kUnused);
  f |= kSZP[v] & (FS | FZ);
  f |= (a ^ n ^ r) & FH;
  if (((a ^ ~n) & (a ^ r)) & 0x80) f |= FP;
  f |= uint8_t(r >> 8) & FC;
  AF.b.h = v;
  AF.b.l = f;
}

// Flags of a - n - carry; returns the 8-bit result.
#define Z180_SUB_FLAGS(a, n, carry, result, flags)                 \
  const unsigned r_ = unsigned(a) - unsigned(n) - unsigned(carry); \
  const uint8_t result = uint8_t(r_);                              \
  uint8_t flags = uint8_t(AF.b.l & z180::kUnused);                 \
  flags |= z180::kSZP[result] & (z180::FS | z180::FZ);             \
  flags |= (a ^ n ^ r_) & z180::FH;                                \
  if (((a ^ n) & (a ^ r_)) & 0x80) flags |= z180::FP;              \
  flags |= z180::FN;                                               \
  if (r_ & 0x100) flags |= z180::FC;

Z180_INLINE void TZ180Cpu::sub8(uint8_t n) {
  const uint8_t a = AF.b.h;
  Z180_SUB_FLAGS(a, n, 0, v, f)
  AF.b.h = v;
  AF.b.l = f;
}

Z180_INLINE void TZ180Cpu::sbc8(uint8_t n) {
  const uint8_t a = AF.b.h;
  Z180_SUB_FLAGS(a, n, (AF.b.l & z180::FC), v, f)
  AF.b.h = v;
  AF.b.l = f;
}

Z180_INLINE void TZ180Cpu::cp8(uint8_t n) {
  const uint8_t a = AF.b.h;
  Z180_SUB_FLAGS(a, n, 0, v, f)
  (void)v;
  AF.b.l = f;
}

#undef Z180_SUB_FLAGS

Z180_INLINE void TZ180Cpu::and8(uint8_t n) {
  AF.b.h &= n;
  AF.b.l = uint8_t((AF.b.l & z180::kUnused) | z180::kSZP[AF.b.h] | z180::FH);
}

Z180_INLINE void TZ180Cpu::xor8(uint8_t n) {
  AF.b.h ^= n;
  AF.b.l = uint8_t((AF.b.l & z180::kUnused) | z180::kSZP[AF.b.h]);
}

Z180_INLINE void TZ180Cpu::or8(uint8_t n) {
  AF.b.h |= n;
  AF.b.l = uint8_t((AF.b.l & z180::kUnused) | z180::kSZP[AF.b.h]);
}

Z180_INLINE void TZ180Cpu::tst8(uint8_t n) {
  const uint8_t t = AF.b.h & n;
  AF.b.l = uint8_t((AF.b.l & z180::kUnused) | z180::kSZP[t] | z180::FH);
}

Z180_INLINE void TZ180Cpu::alu8(unsigned operation, uint8_t n) {
  switch (operation & 7) {
    case 0: add8(n); break;
    case 1: adc8(n); break;
    case 2: sub8(n); break;
    case 3: sbc8(n); break;
    case 4: and8(n); break;
    case 5: xor8(n); break;
    case 6: or8(n); break;
    default: cp8(n); break;
  }
}

Z180_INLINE void TZ180Cpu::inc8(uint8_t& x) {
  using namespace z180;
  const uint8_t y = uint8_t(x + 1);
  uint8_t f = uint8_t(AF.b.l & (kUnused | FC));
  f |= kSZP[y] & (FS | FZ);
  if ((y & 0x0F) == 0) f |= FH;
  if (y == 0x80) f |= FP;
  x = y;
  AF.b.l = f;
}

Z180_INLINE void TZ180Cpu::dec8(uint8_t& x) {
  using namespace z180;
  const uint8_t y = uint8_t(x - 1);
  uint8_t f = uint8_t(AF.b.l & (kUnused | FC));
  f |= kSZP[y] & (FS | FZ);
  if ((y & 0x0F) == 0x0F) f |= FH;
  if (y == 0x7F) f |= FP;
  f |= FN;
  x = y;
  AF.b.l = f;
}

// Rotates and shifts: S, Z, P/V from the result, H = N = 0, C as given.
#define Z180_SHIFT_RESULT(value, carry) \
  x = uint8_t(value);                   \
  AF.b.l = uint8_t((AF.b.l & z180::kUnused) | z180::kSZP[x] | ((carry) ? z180::FC : 0));

Z180_INLINE void TZ180Cpu::rlc8(uint8_t& x) {
  const unsigned c = x >> 7;
  Z180_SHIFT_RESULT((x << 1) | c, c)
}
Z180_INLINE void TZ180Cpu::rrc8(uint8_t& x) {
  const unsigned c = x & 1;
  Z180_SHIFT_RESULT((x >> 1) | (c << 7), c)
}
Z180_INLINE void TZ180Cpu::rl8(uint8_t& x) {
  const unsigned c = x >> 7;
  Z180_SHIFT_RESULT((x << 1) | (AF.b.l & z180::FC), c)
}
Z180_INLINE void TZ180Cpu::rr8(uint8_t& x) {
  const unsigned c = x & 1;
  Z180_SHIFT_RESULT((x >> 1) | ((AF.b.l & z180::FC) << 7), c)
}
Z180_INLINE void TZ180Cpu::sla8(uint8_t& x) {
  const unsigned c = x >> 7;
  Z180_SHIFT_RESULT(x << 1, c)
}
Z180_INLINE void TZ180Cpu::sra8(uint8_t& x) {
  const unsigned c = x & 1;
  Z180_SHIFT_RESULT((x >> 1) | (x & 0x80), c)
}
Z180_INLINE void TZ180Cpu::srl8(uint8_t& x) {
  const unsigned c = x & 1;
  Z180_SHIFT_RESULT(x >> 1, c)
}

#undef Z180_SHIFT_RESULT

Z180_INLINE void TZ180Cpu::shift8(unsigned operation, uint8_t& x) {
  switch (operation & 7) {
    case 0: rlc8(x); break;
    case 1: rrc8(x); break;
    case 2: rl8(x); break;
    case 3: rr8(x); break;
    case 4: sla8(x); break;
    case 5: sra8(x); break;
    case 7: srl8(x); break;
    default: break;  // 6 is an undefined opcode, trapped by the executor
  }
}

// The CB operation groups that change their operand: x = 0 rotate/shift
// (y selects which), x = 2 RES y, x = 3 SET y. Shared by CB and DDCB/FDCB.
template <unsigned X, unsigned Y>
Z180_INLINE void TZ180Cpu::cbModify(uint8_t& v) {
  static_assert(X != 1, "BIT does not modify its operand");
  if constexpr (X == 0)
    shift8(Y, v);
  else if constexpr (X == 2)
    bitReset(Y, v);
  else
    bitSet(Y, v);
}

Z180_INLINE void TZ180Cpu::bitTest(unsigned bit, uint8_t v) {
  using namespace z180;
  uint8_t f = uint8_t((AF.b.l & ~(FZ | FH | FN)) | FH);
  if ((v & (1u << bit)) == 0) f |= FZ;
  AF.b.l = f;
}

Z180_INLINE uint8_t TZ180Cpu::inWithFlags(uint8_t high, uint8_t low) {
  const uint8_t v = ioRead(high, low);
  AF.b.l = uint8_t((AF.b.l & (z180::kUnused | z180::FC)) | z180::kSZP[v]);
  return v;
}

Z180_INLINE void TZ180Cpu::add16(uint16_t& x, uint16_t v) {
  using namespace z180;
  const uint32_t r = uint32_t(x) + v;
  uint8_t f = uint8_t(AF.b.l & (FS | FZ | FP | kUnused));
  if ((x & 0x0FFF) + (v & 0x0FFF) > 0x0FFF) f |= FH;
  if (r > 0xFFFF) f |= FC;
  x = uint16_t(r);
  AF.b.l = f;
}

Z180_INLINE void TZ180Cpu::adcHL(uint16_t v) {
  using namespace z180;
  const uint16_t hl = HL.w;
  const uint32_t c = AF.b.l & FC;
  const uint32_t r = uint32_t(hl) + v + c;
  uint8_t f = uint8_t(AF.b.l & kUnused);
  if (r & 0x8000) f |= FS;
  if ((r & 0xFFFF) == 0) f |= FZ;
  if (((hl & 0x0FFF) + (v & 0x0FFF) + c) & 0x1000) f |= FH;
  if (((hl ^ ~v) & (hl ^ r)) & 0x8000) f |= FP;
  if (r & 0x10000) f |= FC;
  HL.w = uint16_t(r);
  AF.b.l = f;
}

Z180_INLINE void TZ180Cpu::sbcHL(uint16_t v) {
  using namespace z180;
  const uint16_t hl = HL.w;
  const uint32_t c = AF.b.l & FC;
  const uint32_t r = uint32_t(hl) - v - c;
  uint8_t f = uint8_t((AF.b.l & kUnused) | FN);
  if (r & 0x8000) f |= FS;
  if ((r & 0xFFFF) == 0) f |= FZ;
  if (((hl & 0x0FFF) - (v & 0x0FFF) - c) & 0x1000) f |= FH;
  if (((hl ^ v) & (hl ^ r)) & 0x8000) f |= FP;
  if (r & 0x10000) f |= FC;
  HL.w = uint16_t(r);
  AF.b.l = f;
}

Z180_INLINE bool TZ180Cpu::condition(unsigned cc) const {
  using namespace z180;
  const uint8_t f = AF.b.l;
  switch (cc & 7) {
    case 0: return !(f & FZ);
    case 1: return f & FZ;
    case 2: return !(f & FC);
    case 3: return f & FC;
    case 4: return !(f & FP);
    case 5: return f & FP;
    case 6: return !(f & FS);
    default: return f & FS;
  }
}

Z180_INLINE uint8_t& TZ180Cpu::reg8(unsigned code) {
  switch (code & 7) {
    case 0: return BC.b.h;
    case 1: return BC.b.l;
    case 2: return DE.b.h;
    case 3: return DE.b.l;
    case 4: return HL.b.h;
    case 5: return HL.b.l;
    default: return AF.b.h;  // 7; code 6 is memory and never reaches here
  }
}

Z180_INLINE uint16_t& TZ180Cpu::regPair(unsigned code) {
  switch (code & 3) {
    case 0: return BC.w;
    case 1: return DE.w;
    case 2: return HL.w;
    default: return SP;
  }
}

Z180_INLINE uint16_t& TZ180Cpu::stackPair(unsigned code) {
  switch (code & 3) {
    case 0: return BC.w;
    case 1: return DE.w;
    case 2: return HL.w;
    default: return AF.w;
  }
}

// Inlined into step: this is the hot path of every step. FRC counts at once;
// the serial channels and timers only when their next event is due.
Z180_INLINE void TZ180Cpu::clockPeripherals(uint32_t cycles) {
  elapsedClocks += cycles;
  FRC = uint8_t(FRC - cycles);
  peripheralDeferred += cycles;
  if (peripheralDeferred >= peripheralBudget) syncPeripherals();
}
