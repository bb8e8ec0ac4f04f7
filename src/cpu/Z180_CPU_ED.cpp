// ED-prefixed instructions: the Z80 extended set and the Z180 additions.
//
// As in Z180_CPU_Main.cpp, each second byte is a specialisation of opED<Op>
// with its fields x, y, z, p, q as compile-time constants. Second bytes the
// Z180 does not define trap (UFO = 0) with the address after the second byte
// pushed.
//
// Block instructions make one repetition per call: a repeating one that is
// not finished steps PC back to its ED prefix, so the next step fetches it
// again (two more R increments and opcode wait cycles) and an interrupt can
// be taken in between with the instruction's own address pushed.
//
// Port forms: IN0/OUT0/TSTIO/OTIM* use 00:m or 00:C; IN/OUT (C) and
// INI*/OUTI* put B on the high address lines.
#include "Z180_CPU.h"

#include "Z180_CPU_Inline.h"

using namespace z180;

namespace {

// The second bytes the Z180 defines after ED.
constexpr std::array<bool, 256> kDefinedED = [] {
  std::array<bool, 256> t{};
  constexpr uint8_t singles[] = {0x00, 0x01, 0x04, 0x08, 0x09, 0x0C, 0x10, 0x11, 0x14, 0x18, 0x19,
                                 0x1C, 0x20, 0x21, 0x24, 0x28, 0x29, 0x2C, 0x34, 0x38, 0x39, 0x3C,
                                 0x4F, 0x5E, 0x5F, 0x6F, 0x76, 0x83, 0x8B, 0x93, 0x9B};
  for (uint8_t op : singles) t[op] = true;
  constexpr uint8_t ranges[][2] = {{0x40, 0x4D}, {0x50, 0x53}, {0x56, 0x5C}, {0x60, 0x64}, {0x67, 0x6C}, {0x72, 0x74},
                                   {0x78, 0x7C}, {0xA0, 0xA3}, {0xA8, 0xAB}, {0xB0, 0xB3}, {0xB8, 0xBB}};
  for (const auto& r : ranges)
    for (int op = r[0]; op <= r[1]; ++op) t[op] = true;
  return t;
}();

template <uint8_t>
constexpr bool kNoHandler = false;

}  // namespace

template <uint8_t Op>
Z180_INLINE void TZ180Cpu::opED() {
  constexpr unsigned x = Op >> 6, y = (Op >> 3) & 7, z = Op & 7, p = y >> 1, q = y & 1;

  if constexpr (!kDefinedED[Op]) {
    undefinedOpcodeTrap(false);
  } else if constexpr (x == 0) {
    if constexpr (z == 0) {  // IN0 r,(m)
      const uint8_t m = fetchByte();
      reg8(y) = inWithFlags(0x00, m);
      setCycles(4, 12);
    } else if constexpr (z == 1) {  // OUT0 (m),r
      const uint8_t m = fetchByte();
      ioWrite(0x00, m, reg8(y));
      setCycles(5, 13);
    } else if constexpr (y == 6) {  // TST (HL)
      tst8(readMem(HL.w));
      setCycles(4, 10);
    } else {  // TST r
      tst8(reg8(y));
      setCycles(3, 7);
    }
  } else if constexpr (x == 1) {
    if constexpr (z == 0) {  // IN r,(C)
      reg8(y) = inWithFlags(BC.b.h, BC.b.l);
      setCycles(3, 9);
    } else if constexpr (z == 1) {  // OUT (C),r
      ioWrite(BC.b.h, BC.b.l, reg8(y));
      setCycles(4, 10);
    } else if constexpr (z == 2) {  // SBC HL,ss / ADC HL,ss
      if constexpr (q == 0)
        sbcHL(regPair(p));
      else
        adcHL(regPair(p));
      setCycles(6, 10);
    } else if constexpr (z == 3) {
      const uint16_t nn = fetchWord();
      if constexpr (q == 0) {  // LD (nn),ss
        writeWord(nn, regPair(p));
        setCycles(7, 19);
      } else {  // LD ss,(nn)
        regPair(p) = readWord(nn);
        setCycles(6, 18);
      }
    } else if constexpr (Op == 0x44) {  // NEG
      const uint8_t a = AF.b.h;
      const uint8_t r = uint8_t(0 - a);
      uint8_t f = uint8_t((AF.b.l & kUnused) | (kSZP[r] & (FS | FZ)) | FN);
      if (a != 0) f |= FC;
      if (a == 0x80) f |= FP;
      if (a & 0x0F) f |= FH;
      AF.b.h = r;
      AF.b.l = f;
      setCycles(2, 6);
    } else if constexpr (z == 4 && q == 1) {  // MLT ss
      uint16_t& ss = regPair(p);
      ss = uint16_t((ss >> 8) * (ss & 0xFF));
      setCycles(13, 17);
    } else if constexpr (Op == 0x64) {  // TST n
      tst8(fetchByte());
      setCycles(3, 9);
    } else if constexpr (Op == 0x74) {  // TSTIO m
      const uint8_t m = fetchByte();
      const uint8_t t = uint8_t(m & ioRead(0x00, BC.b.l));
      AF.b.l = uint8_t((AF.b.l & kUnused) | kSZP[t] | FH);
      setCycles(4, 12);
    } else if constexpr (Op == 0x45 || Op == 0x4D) {  // RETN / RETI
      PC = pop();
      if constexpr (Op == 0x45) IFF1 = IFF2;
      setCycles(4, 12);
    } else if constexpr (Op == 0x46 || Op == 0x56 || Op == 0x5E) {  // IM 0/1/2
      interruptMode = Op == 0x46 ? 0 : Op == 0x56 ? 1 : 2;
      setCycles(2, 6);
    } else if constexpr (Op == 0x76) {  // SLP
      sleepRequest = true;
      setCycles(2, 8);
    } else if constexpr (Op == 0x47) {  // LD I,A
      I = AF.b.h;
      setCycles(2, 6);
    } else if constexpr (Op == 0x4F) {  // LD R,A: all eight bits until the next fetch
      R = AF.b.h;
      setCycles(2, 6);
    } else if constexpr (Op == 0x57 || Op == 0x5F) {  // LD A,I / LD A,R
      AF.b.h = Op == 0x57 ? I : R;
      AF.b.l = uint8_t((AF.b.l & (kUnused | FC)) | (kSZP[AF.b.h] & (FS | FZ)) | (IFF2 ? FP : 0));
      setCycles(2, 6);
    } else if constexpr (Op == 0x67 || Op == 0x6F) {  // RRD / RLD
      const uint8_t m = readMem(HL.w);
      const uint8_t a = AF.b.h;
      uint8_t nm;
      if constexpr (Op == 0x67) {
        AF.b.h = uint8_t((a & 0xF0) | (m & 0x0F));
        nm = uint8_t(((a & 0x0F) << 4) | (m >> 4));
      } else {
        AF.b.h = uint8_t((a & 0xF0) | (m >> 4));
        nm = uint8_t((m << 4) | (a & 0x0F));
      }
      writeMem(HL.w, nm);
      AF.b.l = uint8_t((AF.b.l & (kUnused | FC)) | kSZP[AF.b.h]);
      setCycles(8, 16);
    } else {
      static_assert(kNoHandler<Op>, "defined ED opcode without a handler");
    }
  } else if constexpr (z == 3 && y < 4) {  // OTIM, OTDM, OTIMR, OTDMR
    constexpr bool down = q == 1, repeat = p == 1;
    const uint8_t v = readMem(HL.w);
    ioWrite(0x00, BC.b.l, v);
    HL.w = uint16_t(down ? HL.w - 1 : HL.w + 1);
    BC.b.l = uint8_t(down ? BC.b.l - 1 : BC.b.l + 1);
    const uint8_t b = --BC.b.h;
    uint8_t f = uint8_t((AF.b.l & kUnused) | (kSZP[b] & (FS | FZ | FP)));
    if (b == 0xFF) f |= FC;
    if (v & 0x80) f |= FN;
    if ((b & 0x0F) == 0x0F) f |= FH;
    AF.b.l = f;
    if (repeat && b != 0) {
      PC = uint16_t(PC - 2);
      setCycles(8, 16);
    } else {
      setCycles(6, 14);
    }
  } else if constexpr (x == 2 && y >= 4) {  // block transfer, compare, input, output
    constexpr bool down = q == 1, repeat = p == 3;
    constexpr uint16_t step = down ? 0xFFFF : 0x0001;
    bool again;
    if constexpr (z == 0) {  // LDI LDD LDIR LDDR
      writeMem(DE.w, readMem(HL.w));
      DE.w = uint16_t(DE.w + step);
      HL.w = uint16_t(HL.w + step);
      --BC.w;
      const bool pv = !repeat && BC.w != 0;
      AF.b.l = uint8_t((AF.b.l & (FS | FZ | FC | kUnused)) | (pv ? FP : 0));
      again = repeat && BC.w != 0;
    } else if constexpr (z == 1) {  // CPI CPD CPIR CPDR
      const uint8_t v = readMem(HL.w);
      HL.w = uint16_t(HL.w + step);
      --BC.w;
      const uint8_t a = AF.b.h;
      const uint8_t t = uint8_t(a - v);
      uint8_t f = uint8_t((AF.b.l & (FC | kUnused)) | (kSZP[t] & (FS | FZ)) | FN);
      if ((a & 0x0F) < (v & 0x0F)) f |= FH;
      if (BC.w != 0) f |= FP;
      AF.b.l = f;
      again = repeat && BC.w != 0 && t != 0;
    } else if constexpr (z == 2) {  // INI IND INIR INDR
      const uint8_t v = ioRead(BC.b.h, BC.b.l);
      writeMem(HL.w, v);
      HL.w = uint16_t(HL.w + step);
      const uint8_t b = --BC.b.h;
      const bool zero = repeat || b == 0;
      AF.b.l = uint8_t((AF.b.l & ~FZ) | (zero ? FZ : 0) | FN);
      again = repeat && b != 0;
    } else {  // OUTI OUTD OTIR OTDR
      const uint8_t b = --BC.b.h;
      const uint8_t v = readMem(HL.w);
      ioWrite(b, BC.b.l, v);
      HL.w = uint16_t(HL.w + step);
      const bool zero = repeat || b == 0;
      AF.b.l = uint8_t((AF.b.l & ~FZ) | (zero ? FZ : 0) | FN);
      again = repeat && b != 0;
    }
    if constexpr (!repeat) {
      setCycles(z == 1 ? 6 : 4, 12);
    } else if (again) {
      PC = uint16_t(PC - 2);
      setCycles(z == 1 ? 8 : 6, 14);
    } else {
      setCycles(z == 1 ? 6 : 4, 12);
    }
  } else {
    static_assert(kNoHandler<Op>, "defined ED opcode without a handler");
  }
}

void TZ180Cpu::executeED() {
  const uint8_t op = fetchOpcode();
  switch (op) { Z180_CASES_256(opED) }
}
