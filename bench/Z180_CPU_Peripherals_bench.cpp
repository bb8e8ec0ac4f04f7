// Processor speed with the on-chip peripherals running: ordinary code (ALU,
// loads and stores, jumps, calls, a block move) with serial channel 0
// receiving and transmitting at a realistic divisor and reload timer 0
// counting. Reported as steps and emulated clock cycles per second; the
// per-clock reference of the tests is measured alongside for comparison.
#include "Peripheral_Oracle.h"
#include "Test_Machine.h"

#include "Bench_Rates.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

// A fixed program of ordinary code at address 0, running forever.
std::vector<uint8_t> ordinaryProgram() {
  return {
      0x31, 0x00, 0xF0,  // 0000 LD SP,0xF000
      0x21, 0x00, 0x80,  // 0003 start: LD HL,0x8000
      0x11, 0x00, 0x90,  // 0006 LD DE,0x9000
      0x06, 0x20,        // 0009 LD B,0x20
      0x7E,              // 000B loop: LD A,(HL)
      0x80,              // 000C ADD A,B
      0xA9,              // 000D XOR C
      0x12,              // 000E LD (DE),A
      0x23,              // 000F INC HL
      0x13,              // 0010 INC DE
      0xCD, 0x40, 0x00,  // 0011 CALL sub
      0xFE, 0x40,        // 0014 CP 0x40
      0x20, 0x01,        // 0016 JR NZ,+1
      0x0C,              // 0018 INC C
      0x10, 0xF0,        // 0019 DJNZ loop
      // Block move of 32 bytes, 0x9000 -> 0xA000.
      0x21, 0x00, 0x90,  // 001B LD HL,0x9000
      0x11, 0x00, 0xA0,  // 001E LD DE,0xA000
      0x01, 0x20, 0x00,  // 0021 LD BC,0x0020
      0xED, 0xB0,        // 0024 LDIR
      0xC3, 0x03, 0x00,  // 0026 JP start
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x00,  // 0029..003F
      0xC5,                    // 0040 sub: PUSH BC
      0x47,                    // 0041 LD B,A
      0x3A, 0x00, 0xB0,        // 0042 LD A,(0xB000)
      0x80,                    // 0045 ADD A,B
      0x32, 0x00, 0xB0,        // 0046 LD (0xB000),A
      0xC1,                    // 0049 POP BC
      0xC9,                    // 004A RET
  };
}

enum class TPeripherals { Off, Asci0Prt0, Asci0, Prt0 };

void setUp(TTestMachine& m, TPeripherals peripherals, uint8_t cntlb0) {
  m.cpu.reset();
  m.load(0x0000, ordinaryProgram());
  if (peripherals == TPeripherals::Asci0Prt0 || peripherals == TPeripherals::Asci0) {
    m.cpu.ioWrite(0, 0x00, 0x64);    // CNTLA0: RE, TE, 8 data bits, 1 stop bit
    m.cpu.ioWrite(0, 0x02, cntlb0);  // CNTLB0: the divisor
  }
  if (peripherals == TPeripherals::Asci0Prt0 || peripherals == TPeripherals::Prt0) {
    m.cpu.ioWrite(0, 0x0E, 0xE8);  // RLDR0 = 1000
    m.cpu.ioWrite(0, 0x0F, 0x03);
    m.cpu.ioWrite(0, 0x10, 0x11);  // TCR: TIE0, TDE0 (interrupts stay off)
  }
}

// Argument: CNTLB0 where serial channel 0 runs.
template <bool Reference>
void runOrdinary(benchmark::State& state, TPeripherals peripherals) {
  TTestMachine m;
  setUp(m, peripherals, uint8_t(state.range(0)));
  constexpr uint32_t kSlice = 35000;
  const uint64_t clocksBefore = m.cpu.elapsedClocks;
  uint64_t steps = 0;
  for (auto _ : state) {
    if constexpr (Reference)
      TZ180CpuTestAccess::referenceStep(m.cpu, kSlice);
    else
      m.cpu.step(kSlice);
    steps += kSlice;
  }
  reportRates(state, steps, m.cpu.elapsedClocks - clocksBefore);
}

void BM_OrdinaryPeripheralsOff(benchmark::State& state) { runOrdinary<false>(state, TPeripherals::Off); }
BENCHMARK(BM_OrdinaryPeripheralsOff)->Arg(0);

// CNTLB0 0x00: 160 clocks per bit, 0x01: 320, 0x02: 640.
void BM_OrdinaryAsci0Prt0(benchmark::State& state) { runOrdinary<false>(state, TPeripherals::Asci0Prt0); }
BENCHMARK(BM_OrdinaryAsci0Prt0)->Arg(0x00)->Arg(0x01)->Arg(0x02);

// Each unit on its own, to show what it costs.
void BM_OrdinaryAsci0(benchmark::State& state) { runOrdinary<false>(state, TPeripherals::Asci0); }
BENCHMARK(BM_OrdinaryAsci0)->Arg(0x01);
void BM_OrdinaryPrt0(benchmark::State& state) { runOrdinary<false>(state, TPeripherals::Prt0); }
BENCHMARK(BM_OrdinaryPrt0)->Arg(0);

// The same machine clocked one clock at a time by the tests' reference.

void BM_OrdinaryAsci0Prt0PerClockReference(benchmark::State& state) {
  runOrdinary<true>(state, TPeripherals::Asci0Prt0);
}
BENCHMARK(BM_OrdinaryAsci0Prt0PerClockReference)->Arg(0x01);

}  // namespace
