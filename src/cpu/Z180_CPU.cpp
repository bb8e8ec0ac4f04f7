// Construction, reset, interrupt acceptance, the peripheral catch-up and the
// snapshots of TZ180Cpu. The step loop itself is in Z180_CPU_Main.cpp.
#include "Z180_CPU.h"

#include "Z180_CPU_Inline.h"

#include <algorithm>

TZ180Cpu::TZ180Cpu(TSystemMemory& memory_, TSystemInOut& inOut_) : memory(memory_), inOut(inOut_) {}

void TZ180Cpu::reset() {
  syncPeripherals();  // the counters that reset keeps must be current
  I = 0;
  R = 0;
  PC = 0;
  SP = 0;
  IFF1 = IFF2 = false;
  interruptMode = 0;
  haltRequest = halted = false;
  sleepRequest = sleeping = false;
  dmaBurst = false;
  prt0Request = prt1Request = false;
  dma0Request = dma1Request = false;
  asci0Request = asci1Request = false;

  // Reset values of the internal registers. The derived values (frame bits,
  // clocks per bit, wait cycles), the serial shift registers and counters,
  // the prescaler and the timer latches keep what they had.
  CNTLA[0] = CNTLA[1] = 0x08;
  CNTLB[0] = CNTLB[1] = 0x07;
  STAT[0] = STAT[1] = 0x02;
  TDR[0] = TDR[1] = 0x00;
  RDR[0] = RDR[1] = 0x00;
  CNTR = 0x0F;
  TRD = 0x00;
  TMDR[0] = TMDR[1] = 0xFFFF;
  RLDR[0] = RLDR[1] = 0xFFFF;
  TCR = 0x00;
  FRC = 0xFF;
  SAR0 = DAR0 = MAR1 = 0;
  IAR1 = 0;
  BCR0 = BCR1 = 0;
  DSTAT = 0x32;
  DMODE = 0xC1;
  DCNTL = 0xF0;
  IL = 0x00;
  ITC = 0x01;
  RCR = 0xFC;
  CBR = 0x00;
  BBR = 0x00;
  CBAR = 0xF0;
  OMCR = 0xFF;
  ICR = 0x1F;
  peripheralBudget = 0;
}

void TZ180Cpu::acceptInterrupt() {
  uint8_t vector;
  bool endsSleep = true;
  if (prt0Request) {
    prt0Request = false;
    vector = 0x04;
  } else if (prt1Request) {
    prt1Request = false;
    vector = 0x06;
  } else if (dma0Request) {
    dma0Request = false;
    vector = 0x08;
    endsSleep = false;
  } else if (dma1Request) {
    dma1Request = false;
    vector = 0x0A;
    endsSleep = false;
  } else if (asci0Request) {
    asci0Request = false;
    vector = 0x0E;
  } else {
    asci1Request = false;
    vector = 0x10;
  }

  IFF1 = IFF2 = false;
  haltRequest = false;
  if (endsSleep) sleepRequest = false;
  pushWord(PC);
  const uint16_t address = uint16_t((I << 8) | (IL & 0xE0) | vector);
  const uint8_t lo = readMem(address);
  PC = uint16_t(lo | (readMem(uint16_t(address + 1)) << 8));
  // Acceptance charges no clock cycles; its wait cycles are discarded when
  // the next instruction starts.
}

void TZ180Cpu::pushWord(uint16_t value) { push(value); }

void TZ180Cpu::undefinedOpcodeTrap(bool ufo) {
  ITC = uint8_t((ITC & 0x3F) | 0x80 | (ufo ? 0x40 : 0x00));
  push(PC);
  PC = 0x0000;
  if (ufo)
    setCycles(6, 18);
  else
    setCycles(4, 12);
}

void TZ180Cpu::syncPeripherals() {
  const uint32_t cycles = peripheralDeferred;
  peripheralDeferred = 0;
  if (cycles != 0) {
    if (CNTLA[0] & 0x60) asciRun(0, cycles);  // TE or RE
    if (CNTLA[1] & 0x60) asciRun(1, cycles);
    if (TCR & 0x03) prtClock(cycles);  // TDE0 or TDE1
  }

  // Clocks from now until the first one that does more than count. Beyond
  // 2^30 nothing is due that cannot also be found then.
  uint32_t budget = 1u << 30;
  for (int n = 0; n < 2; ++n) {
    if (!(CNTLA[n] & 0x60) || asciIdle(n)) continue;
    const uint32_t count = asciClockCount[n], perBit = asciClocksPerBit[n];
    const uint32_t toWork = (count < perBit && !asciMovePending(n)) ? perBit - count : 1;
    budget = std::min(budget, toWork);
  }
  if (const uint8_t enabled = TCR & 0x03) {
    const uint32_t toWrap = prtPrescaler >= 19 ? 1 : 20u - prtPrescaler;
    for (int t = 0; t < 2; ++t) {
      if (!(enabled & (1 << t))) continue;
      const uint32_t counts = TMDR[t] != 0 ? TMDR[t] : 65536u;  // counts until it reaches zero
      budget = std::min(budget, toWrap + 20u * (counts - 1));
    }
  }
  peripheralBudget = budget;
}

uint8_t TZ180Cpu::frameBitsFor(uint8_t cntla) {
  static constexpr uint8_t kFrameBits[8] = {9, 10, 10, 11, 10, 11, 11, 12};
  return kFrameBits[cntla & 7];
}

uint32_t TZ180Cpu::clocksPerBitFor(uint8_t cntlb) {
  const uint32_t ss = cntlb & 7;
  if (ss == 7) return 0;
  return ((cntlb & 0x20) ? 30u : 10u) * ((cntlb & 0x08) ? 64u : 16u) * (1u << ss);
}

bool TZ180Cpu::burstFor(uint8_t dmode) { return (dmode & 0x02) && (dmode & 0x3C) != 0x3C; }

void TZ180Cpu::recomputeWaitCycles() {
  static constexpr uint8_t kIoWait[4] = {0, 2, 3, 4};
  memoryWaitCycles = DCNTL >> 6;
  ioWaitCycles = kIoWait[(DCNTL >> 4) & 3];
}

bool TZ180Cpu::dmaHoldsProcessor() const {
  if (!dmaBurst || (DSTAT & 0x41) != 0x41) return false;
  const unsigned dm = (DMODE >> 4) & 3, sm = (DMODE >> 2) & 3;
  // Memory-to-memory combinations: destination 00/01 with source 00/01/10,
  // destination 10 with source 00/01.
  return sm != 3 && dm != 3 && !(dm == 2 && sm == 2);
}

TCoreSnapshot TZ180Cpu::coreSnapshot() const {
  auto at = [this](uint16_t logical) { return memory.readByte(translateAddress(logical)); };
  auto set = [&at](const TRegisterPair& af, const TRegisterPair& bc, const TRegisterPair& de, const TRegisterPair& hl) {
    return TCoreSnapshot::TSet{af.b.h, af.b.l, bc.b.h, bc.b.l, de.b.h,   de.b.l,   hl.b.h,
                               hl.b.l, bc.w,   de.w,   hl.w,   at(bc.w), at(de.w), at(hl.w)};
  };
  TCoreSnapshot s{};
  s.main = set(AF, BC, DE, HL);
  s.alternate = set(AF_, BC_, DE_, HL_);
  s.I = I;
  s.R = R;
  s.IX = IX;
  s.IY = IY;
  s.SP = SP;
  s.PC = PC;
  s.IFF1 = IFF1;
  s.IFF2 = IFF2;
  s.atSP = at(SP);
  s.atPC = at(PC);
  s.physicalPC = translateAddress(PC);
  return s;
}
