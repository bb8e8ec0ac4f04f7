// A small machine for processor tests: 64 KB RAM (no ROM) or as configured,
// the board's I/O decoder with terminal and floppy controller on a virtual
// clock, and the processor. Programs are placed in RAM and run with step().
#pragma once

#include "Machine_Context.h"
#include "System_Fdc.h"
#include "System_InOut.h"
#include "System_Memory.h"
#include "System_Terminal.h"
#include "Virtual_Clock.h"
#include "Z180_CPU.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

struct TTestMachine {
  explicit TTestMachine(const char* ramSize = "64KB") {
    memory.setRomSize("8KB");
    memory.setRamSize(ramSize);
  }

  // Writes bytes into physical memory starting at address.
  void load(uint32_t address, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes) memory.writeByte(address++, b);
  }
  void load(uint32_t address, const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) memory.writeByte(address++, b);
  }
  uint8_t peek(uint32_t address) const { return memory.readByte(address); }

  // Runs one step and returns the clock cycles the step clocked into the
  // peripherals (measured on FRC, which counts every clock).
  uint32_t stepCycles() {
    const uint8_t before = cpu.FRC;
    cpu.step(1);
    return uint8_t(before - cpu.FRC);
  }

  TVirtualClock clock;
  TMachineContext context;
  TSystemMemory memory;
  TSystemFdc fdc{clock};
  TSystemTerminal terminal{clock};
  TSystemInOut inOut{context};
  TZ180Cpu cpu{memory, inOut};

 private:
  // Runs before the members above are used: fills the context.
  struct TWire {
    explicit TWire(TTestMachine& m) {
      m.context.memory = &m.memory;
      m.context.fdc = &m.fdc;
      m.context.inOut = &m.inOut;
      m.context.cpu = &m.cpu;
      m.context.terminal = &m.terminal;
    }
  } wire{*this};
};
