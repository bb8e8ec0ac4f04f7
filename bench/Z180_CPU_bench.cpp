// Processor speed on fixed programs in RAM: steps per second and emulated
// clock cycles per second.
#include "Test_Machine.h"

#include "Bench_Rates.h"

#include <benchmark/benchmark.h>

namespace {

void runProgram(benchmark::State& state, std::initializer_list<uint8_t> program) {
  TTestMachine m;
  m.cpu.reset();
  m.load(0x0000, program);
  m.cpu.SP = 0xF000;
  constexpr uint32_t kSlice = 35000;
  const uint64_t clocksBefore = m.cpu.elapsedClocks;
  uint64_t steps = 0;
  for (auto _ : state) {
    m.cpu.step(kSlice);
    steps += kSlice;
  }
  reportRates(state, steps, m.cpu.elapsedClocks - clocksBefore);
}

// A tight ALU and branch loop: counts, adds, compares, branches.
void BM_AluBranchLoop(benchmark::State& state) {
  runProgram(state, {
                        0x06, 0x00,        // 0000 LD B,0
                        0x3E, 0x00,        // 0002 LD A,0
                        0x80,              // 0004 loop: ADD A,B
                        0xA9,              // 0005 XOR C
                        0xC6, 0x11,        // 0006 ADD A,0x11
                        0xE6, 0x7F,        // 0008 AND 0x7F
                        0xFE, 0x40,        // 000A CP 0x40
                        0x28, 0x01,        // 000C JR Z,+1
                        0x3C,              // 000E INC A
                        0x0C,              // 000F INC C
                        0x10, 0xF2,        // 0010 DJNZ loop (0x0004)
                        0xC3, 0x00, 0x00,  // 0012 JP 0
                    });
}
BENCHMARK(BM_AluBranchLoop);

// A memory-heavy loop: loads and stores through HL/DE, PUSH and POP.
void BM_MemoryLoop(benchmark::State& state) {
  runProgram(state, {
                        0x21, 0x00, 0x80,  // 0000 LD HL,0x8000
                        0x11, 0x00, 0x90,  // 0003 LD DE,0x9000
                        0x06, 0x40,        // 0006 LD B,0x40
                        0x7E,              // 0008 loop: LD A,(HL)
                        0x12,              // 0009 LD (DE),A
                        0x77,              // 000A LD (HL),A
                        0xE5,              // 000B PUSH HL
                        0xD5,              // 000C PUSH DE
                        0xD1,              // 000D POP DE
                        0xE1,              // 000E POP HL
                        0x23,              // 000F INC HL
                        0x13,              // 0010 INC DE
                        0x3A, 0x00, 0xA0,  // 0011 LD A,(0xA000)
                        0x32, 0x01, 0xA0,  // 0014 LD (0xA001),A
                        0x10, 0xEF,        // 0017 DJNZ loop (0x0008)
                        0xC3, 0x00, 0x00,  // 0019 JP 0
                    });
}
BENCHMARK(BM_MemoryLoop);

// Indexed loads, stores and arithmetic with a block move and a block
// compare every round.
void BM_IndexedAndBlockMix(benchmark::State& state) {
  runProgram(state, {
                        0xDD, 0x21, 0x00, 0x80,  // 0000 LD IX,8000
                        0xFD, 0x21, 0x00, 0x90,  // 0004 LD IY,9000
                        0x06, 0x10,              // 0008 LD B,16
                        0xDD, 0x7E, 0x00,        // 000A loop: LD A,(IX+0)
                        0xDD, 0x86, 0x01,        // 000D ADD A,(IX+1)
                        0xFD, 0x77, 0x00,        // 0010 LD (IY+0),A
                        0xDD, 0x23,              // 0013 INC IX
                        0xFD, 0x23,              // 0015 INC IY
                        0xDD, 0xCB, 0x02, 0x46,  // 0017 BIT 0,(IX+2)
                        0x10, 0xED,              // 001B DJNZ loop
                        0x21, 0x00, 0x80,        // 001D LD HL,8000
                        0x11, 0x00, 0xA0,        // 0020 LD DE,A000
                        0x01, 0x20, 0x00,        // 0023 LD BC,0020
                        0xED, 0xB0,              // 0026 LDIR
                        0x21, 0x00, 0xA0,        // 0028 LD HL,A000
                        0x01, 0x20, 0x00,        // 002B LD BC,0020
                        0x3E, 0x55,              // 002E LD A,55
                        0xED, 0xB1,              // 0030 CPIR
                        0xC3, 0x00, 0x00,        // 0032 JP 0
                    });
}
BENCHMARK(BM_IndexedAndBlockMix);

// HALT with interrupts off: every step is one idle clock.
void BM_HaltIdle(benchmark::State& state) { runProgram(state, {0xF3, 0x76}); }
BENCHMARK(BM_HaltIdle);

}  // namespace
