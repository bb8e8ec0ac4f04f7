// The bulk peripheral clocking of step against the per-clock reference.
//
// Two machines start alike: one runs TZ180Cpu::step, the other
// TZ180CpuTestAccess::referenceStep, which clocks FRC, the serial channels
// and the timers one clock at a time. Seeded random setups and programs
// drive them: serial and timer registers programmed with random but valid
// values (from the program and between steps), keys arriving in the
// terminal, programs transmitting, reading RDR, TCR and TMDR, interrupt
// handlers that echo, HALT, SLP, EI/DI, wait states and DMA bursts that make
// single steps thousands of clocks long. After every step the whole register
// file, the working state and the requests must agree; at the end the bytes
// sent, the screens and the RAM must agree.
#include "Peripheral_Oracle.h"
#include "Test_Machine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using TState = std::vector<std::pair<const char*, uint64_t>>;

TState stateOf(const TZ180Cpu& c, const TSystemTerminal& t) {
  TState s;
  s.reserve(100);
  auto add = [&s](const char* name, uint64_t v) { s.emplace_back(name, v); };
#define TESS_FIELD(f) add(#f, uint64_t(c.f))
#define TESS_PAIR(f)   \
  add(#f "0", c.f[0]); \
  add(#f "1", c.f[1])
  TESS_FIELD(AF.w);
  TESS_FIELD(BC.w);
  TESS_FIELD(DE.w);
  TESS_FIELD(HL.w);
  TESS_FIELD(AF_.w);
  TESS_FIELD(BC_.w);
  TESS_FIELD(DE_.w);
  TESS_FIELD(HL_.w);
  TESS_FIELD(IX);
  TESS_FIELD(IY);
  TESS_FIELD(SP);
  TESS_FIELD(PC);
  TESS_FIELD(I);
  TESS_FIELD(R);
  TESS_FIELD(IFF1);
  TESS_FIELD(IFF2);
  TESS_FIELD(haltRequest);
  TESS_FIELD(halted);
  TESS_FIELD(sleepRequest);
  TESS_FIELD(sleeping);
  TESS_FIELD(dmaBurst);
  TESS_FIELD(prt0Request);
  TESS_FIELD(prt1Request);
  TESS_FIELD(dma0Request);
  TESS_FIELD(dma1Request);
  TESS_FIELD(asci0Request);
  TESS_FIELD(asci1Request);
  TESS_FIELD(machineCycles);
  TESS_FIELD(clockCycles);
  TESS_FIELD(memoryWaitCycles);
  TESS_FIELD(ioWaitCycles);
  TESS_FIELD(elapsedClocks);
  TESS_PAIR(CNTLA);
  TESS_PAIR(CNTLB);
  TESS_PAIR(STAT);
  TESS_PAIR(TDR);
  TESS_PAIR(RDR);
  TESS_PAIR(TMDR);
  TESS_PAIR(RLDR);
  TESS_FIELD(TCR);
  TESS_FIELD(FRC);
  TESS_FIELD(SAR0);
  TESS_FIELD(DAR0);
  TESS_FIELD(BCR0);
  TESS_FIELD(DSTAT);
  TESS_FIELD(DMODE);
  TESS_FIELD(DCNTL);
  TESS_PAIR(asciClocksPerBit);
  TESS_PAIR(asciClockCount);
  TESS_PAIR(asciFrameBits);
  TESS_PAIR(asciTxBitCount);
  TESS_PAIR(asciRxBitCount);
  TESS_PAIR(asciTsr);
  TESS_PAIR(asciTsrEmpty);
  TESS_PAIR(asciRsr);
  TESS_PAIR(asciRsrFull);
  TESS_FIELD(prtPrescaler);
  TESS_PAIR(tmdrHighLatch);
  TESS_PAIR(tmdrLatched);
#undef TESS_FIELD
#undef TESS_PAIR
  add("keys waiting", t.keyQueue.size());
  return s;
}

// The first field that differs, or "" when the states agree.
std::string firstDifference(const TState& fast, const TState& reference) {
  for (size_t i = 0; i < fast.size(); ++i)
    if (fast[i].second != reference[i].second) {
      std::ostringstream o;
      o << fast[i].first << ": fast " << fast[i].second << ", per-clock " << reference[i].second;
      return o.str();
    }
  return "";
}

// Internal ports.
constexpr uint8_t kCntla0 = 0x00, kCntlb0 = 0x02, kStat0 = 0x04, kTdr0 = 0x06, kRdr0 = 0x08, kTmdr0L = 0x0C,
                  kTcr = 0x10, kFrc = 0x18, kSar0L = 0x20, kDstat = 0x30, kDmode = 0x31, kDcntl = 0x32;

class TScenario {
 public:
  explicit TScenario(uint32_t seed) : rng(seed) {}

  uint32_t below(uint32_t n) { return uint32_t(rng() % n); }
  bool chance(uint32_t percent) { return below(100) < percent; }
  uint8_t byte() { return uint8_t(rng()); }

  uint8_t cntlb() {
    static constexpr uint8_t kUsual[] = {0x07, 0x07, 0x00, 0x00, 0x01, 0x20, 0x27};
    return chance(90) ? kUsual[below(sizeof kUsual)] : byte();
  }
  uint8_t txByte() {
    static constexpr uint8_t kSpecial[] = {0x1B, 'Z', 0x0D, 0x0A, 0x08, '[', '2', 'J'};
    return chance(30) ? kSpecial[below(sizeof kSpecial)] : uint8_t(0x20 + below(0x5F));
  }
  // A random but valid value for a serial or timer register.
  std::pair<uint8_t, uint8_t> registerWrite() {
    switch (below(12)) {
      case 0: return {uint8_t(kCntla0 + below(2)), uint8_t(byte() & 0x7F)};
      case 1: return {uint8_t(kCntlb0 + below(2)), cntlb()};
      case 2: return {uint8_t(kStat0 + below(2)), byte()};
      case 3:
      case 4: return {uint8_t(kTdr0 + (chance(80) ? 0 : 1)), txByte()};
      case 5: return {kTcr, uint8_t(byte() & 0x3F)};
      case 6: return {uint8_t(kTmdr0L + (chance(50) ? 0 : 8) + (chance(50) ? 0 : 2)), uint8_t(below(6))};
      case 7: return {uint8_t(kTmdr0L + 1 + (chance(50) ? 0 : 8) + (chance(50) ? 0 : 2)), uint8_t(chance(80) ? 0 : 1)};
      case 8: return {kDcntl, byte()};
      default: return {uint8_t(kCntla0 + below(2)), uint8_t(0x60 | below(8))};
    }
  }
  uint8_t registerRead() {
    static constexpr uint8_t kPorts[] = {kRdr0, kRdr0 + 1, kTcr, kTmdr0L, kTmdr0L + 1, kTmdr0L + 8, kStat0, kFrc};
    return kPorts[below(sizeof kPorts)];
  }

  // A program at 0 that runs forever, and the interrupt handlers.
  void buildProgram(TTestMachine& m) {
    std::vector<uint8_t> p;
    auto emit = [&p](std::initializer_list<uint8_t> bytes) { p.insert(p.end(), bytes); };
    emit({0x31, 0x00, 0xF0});  // LD SP,0xF000
    const uint32_t blocks = 20 + below(60);
    for (uint32_t i = 0; i < blocks; ++i) {
      switch (below(16)) {
        case 0: emit({0x00}); break;
        case 1: emit({0x3E, byte(), 0xC6, byte(), 0x04, 0x0D}); break;                 // LD A,n; ADD A,n; INC B; DEC C
        case 2: emit({0x21, byte(), uint8_t(0x80 + below(0x40)), 0x77, 0x7E}); break;  // LD HL,nn; LD (HL),A; LD A,(HL)
        case 3: emit({0xC5, 0xD5, 0xD1, 0xC1}); break;                                 // PUSH/POP
        case 4:
        case 5: emit({0xAF, 0xDB, registerRead()}); break;  // XOR A; IN A,(n)
        case 6: emit({0xED, 0x38, registerRead()}); break;  // IN0 A,(m)
        case 7:
        case 8: {
          const auto [port, value] = registerWrite();
          emit({0x3E, value, 0xED, 0x39, port});  // LD A,v; OUT0 (m),A
          break;
        }
        case 9: emit({0xFB}); break;         // EI
        case 10: emit({0xF3}); break;        // DI
        case 11: emit({0xFB, 0x76}); break;  // EI; HALT
        case 12:
          if (chance(20)) emit({0x76});  // HALT, perhaps for good
          break;
        case 13: emit({0xFB, 0xED, 0x76}); break;  // EI; SLP
        case 14:
          emit({0x21, 0x00, 0x90, 0x11, 0x00, 0xA0, 0x01, uint8_t(1 + below(40)), 0x00, 0xED, 0xB0});
          break;                                                    // LDIR
        default: emit({0x3E, txByte(), 0xED, 0x39, kTdr0}); break;  // transmit
      }
    }
    emit({0xC3, 0x03, 0x00});  // JP to the first block
    m.load(0x0000, p);

    // Vectors at I = 0x01: PRT0, PRT1, DMA0, DMA1, -, ASCI0, ASCI1.
    const uint16_t handlers[] = {0x0300, 0x0310, 0x0320, 0x0320, 0x0320, 0x0330, 0x0320};
    for (int i = 0; i < 7; ++i) m.load(0x0104 + 2 * i, {uint8_t(handlers[i]), uint8_t(handlers[i] >> 8)});
    // PRT0: read TCR and TMDR0.
    m.load(0x0300, {0xF5, 0xAF, 0xDB, kTcr, 0xED, 0x38, kTmdr0L, 0xED, 0x38, kTmdr0L + 1, 0xF1, 0xFB, 0xC9});
    // PRT1: read TCR only.
    m.load(0x0310, {0xF5, 0xAF, 0xDB, kTcr, 0xF1, 0xFB, 0xC9});
    // DMA and ASCI1: just return.
    m.load(0x0320, {0xFB, 0xC9});
    // ASCI0: read STAT0 and RDR0, echo the byte.
    m.load(0x0330, {0xF5, 0xAF, 0xDB, kStat0, 0xDB, kRdr0, 0xED, 0x39, kTdr0, 0xF1, 0xFB, 0xC9});
    m.cpu.I = 0x01;
  }

  // Register setup between steps, applied to both machines alike.
  template <typename Apply>
  void setUp(Apply apply) {
    for (int n = 0; n < 2; ++n) {
      if (chance(70)) apply(uint8_t(kCntla0 + n), uint8_t((chance(80) ? 0x60 : byte() & 0x60) | below(8) | 0x08));
      if (chance(80)) apply(uint8_t(kCntlb0 + n), cntlb());
      if (chance(60)) apply(uint8_t(kStat0 + n), byte());
    }
    if (chance(70)) {
      apply(kTmdr0L, uint8_t(below(8)));
      apply(kTmdr0L + 1, 0);
      apply(kTmdr0L + 2, uint8_t(below(8)));
      apply(kTmdr0L + 3, uint8_t(chance(90) ? 0 : byte()));
      apply(kTmdr0L + 8, uint8_t(below(8)));
      apply(kTmdr0L + 9, 0);
      apply(kTmdr0L + 10, uint8_t(below(8)));
      apply(kTmdr0L + 11, 0);
      apply(kTcr, uint8_t(byte() & 0x33));
    }
    if (chance(50)) apply(kDcntl, uint8_t(byte() & 0xF0));
  }

  // A DMA copy inside 0x8000-0xBFFF, burst or cycle steal.
  template <typename Apply>
  void startDma(Apply apply) {
    const uint16_t sar = uint16_t(0x8000 + below(0x1000)), dar = uint16_t(0xA000 + below(0x1000));
    apply(kDmode, chance(50) ? 0x02 : 0x00);
    apply(kSar0L, uint8_t(sar));
    apply(kSar0L + 1, uint8_t(sar >> 8));
    apply(kSar0L + 2, 0);
    apply(kSar0L + 3, uint8_t(dar));
    apply(kSar0L + 4, uint8_t(dar >> 8));
    apply(kSar0L + 5, 0);
    const uint16_t count = uint16_t(1 + below(chance(20) ? 3000 : 60));
    apply(kSar0L + 6, uint8_t(count));
    apply(kSar0L + 7, uint8_t(count >> 8));
    apply(kDstat, chance(50) ? 0x44 : 0x40);
  }

  std::mt19937 rng;
};

struct TTwin {
  TTestMachine fast, reference;
  TSentBytes fastSent{fast.terminal}, referenceSent{reference.terminal};
};

struct TTotals {
  size_t bytesSent = 0, keysTaken = 0;
  uint32_t accepted = 0, longSteps = 0;
};

// Runs one seeded scenario; returns "" or a description of the first
// disagreement.
std::string runScenario(uint32_t seed, uint32_t steps, TTotals& totals) {
  TScenario s(seed);
  TTwin twin;
  auto both = [&twin](auto f) {
    f(twin.fast);
    f(twin.reference);
  };
  const bool reset = s.chance(80);
  both([&](TTestMachine& m) {
    if (reset) m.cpu.reset();
  });
  // The same program in both: build it once, copy the bytes.
  s.buildProgram(twin.fast);
  for (uint32_t a = 0; a < 0x400; ++a) twin.reference.memory.writeByte(a, twin.fast.peek(a));
  twin.reference.cpu.I = twin.fast.cpu.I;
  auto apply = [&](uint8_t port, uint8_t value) { both([&](TTestMachine& m) { m.cpu.ioWrite(0, port, value); }); };
  s.setUp(apply);

  size_t keysPushed = 0;
  for (uint32_t i = 0; i < steps; ++i) {
    // Between steps: keys, register accesses from outside, DMA.
    if (s.chance(3)) {
      const uint8_t key = s.chance(80) ? uint8_t('a' + s.below(26)) : s.byte();
      both([&](TTestMachine& m) { m.terminal.keyQueue.push_back(key); });
      ++keysPushed;
    }
    if (s.chance(2)) {
      const auto [port, value] = s.registerWrite();
      apply(port, value);
    }
    if (s.chance(2)) {
      const uint8_t port = s.registerRead();
      both([&](TTestMachine& m) { m.cpu.ioRead(0, port); });
    }
    if (s.chance(1) && !(twin.fast.cpu.DSTAT & 0x40)) s.startDma(apply);

    const uint64_t before = twin.fast.cpu.elapsedClocks;
    const uint16_t pcBefore = twin.fast.cpu.PC;
    // Calls of several steps let the fast path defer clocks across steps.
    const uint32_t count = s.chance(60) ? 1 : 1 + s.below(200);
    twin.fast.cpu.step(count);
    TZ180CpuTestAccess::referenceStep(twin.reference.cpu, count);
    if (twin.fast.cpu.elapsedClocks - before > 200 * count) ++totals.longSteps;
    const uint16_t pc = twin.fast.cpu.PC;
    if (pc != pcBefore && (pc == 0x0300 || pc == 0x0310 || pc == 0x0320 || pc == 0x0330)) ++totals.accepted;

    const std::string diff = firstDifference(stateOf(twin.fast.cpu, twin.fast.terminal),
                                             stateOf(twin.reference.cpu, twin.reference.terminal));
    if (!diff.empty()) {
      std::ostringstream o;
      o << "seed " << seed << ", after step " << i << ": " << diff;
      return o.str();
    }
  }
  const std::string fastBytes = twin.fastSent.bytes(), referenceBytes = twin.referenceSent.bytes();
  if (fastBytes != referenceBytes) return "seed " + std::to_string(seed) + ": different bytes sent";
  if (twin.fast.terminal.getScreenChars() != twin.reference.terminal.getScreenChars())
    return "seed " + std::to_string(seed) + ": different screens";
  for (uint32_t a = 0; a < 0x10000; ++a)
    if (twin.fast.peek(a) != twin.reference.peek(a)) return "seed " + std::to_string(seed) + ": different RAM";
  totals.bytesSent += fastBytes.size();
  totals.keysTaken += keysPushed - twin.fast.terminal.keyQueue.size();
  return "";
}

TEST(PeripheralOracle, StepAgreesWithThePerClockReferenceOnRandomPrograms) {
  TTotals totals;
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    const std::string failure = runScenario(seed, 3000, totals);
    ASSERT_EQ(failure, "");
  }
  // The scenarios did exercise the channels, the timers and long steps.
  EXPECT_GT(totals.bytesSent, 1000u);
  EXPECT_GT(totals.keysTaken, 1000u);
  EXPECT_GT(totals.accepted, 1000u);
  EXPECT_GT(totals.longSteps, 10u);
}

}  // namespace
