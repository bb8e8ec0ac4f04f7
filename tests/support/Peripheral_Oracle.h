// A per-clock reference for the processor's on-chip peripherals, for tests
// and benchmarks only.
//
// TZ180Cpu::step advances the serial channels and the timers in bulk, from
// one clock with work to the next. TZ180CpuTestAccess::referenceStep runs the
// same instruction cycle the plain way: it executes the instruction through
// the processor's own executor, DMA turn and interrupt acceptance, but clocks
// FRC, both serial channels and the prescaler one clock at a time with its
// own straightforward copy of the per-clock work. Two machines started alike,
// one stepped by step and one by referenceStep, must agree after every step.
//
// TSentBytes captures what serial channel 0 hands to the terminal, through
// the terminal's log file.
#pragma once

#include "System_Terminal.h"
#include "Z180_CPU.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

class TZ180CpuTestAccess {
 public:
  // count reference steps.
  static void referenceStep(TZ180Cpu& cpu, uint32_t count) {
    while (count-- != 0) {
      if (cpu.halted || cpu.sleeping || (cpu.dmaBurst && cpu.dmaHoldsProcessor())) {
        cpu.machineCycles = 1;
        cpu.clockCycles = 1;
      } else {
        cpu.waitCycles = 0;
        cpu.executeInstruction();
        cpu.clockCycles += cpu.waitCycles;
      }
      if (!cpu.sleeping && (cpu.DSTAT & 0x01)) cpu.dmaTurn();
      while (cpu.clockCycles >= 1) {
        --cpu.clockCycles;
        referenceClock(cpu);
      }
      if (cpu.IFF1 && (cpu.prt0Request || cpu.prt1Request || cpu.dma0Request || cpu.dma1Request || cpu.asci0Request ||
                       cpu.asci1Request))
        cpu.acceptInterrupt();
      cpu.halted = cpu.haltRequest;
      cpu.sleeping = cpu.sleepRequest;
    }
  }

  // One clock cycle of FRC, the serial channels and the timers.
  static void referenceClock(TZ180Cpu& cpu) {
    ++cpu.elapsedClocks;
    --cpu.FRC;
    for (int n = 0; n < 2; ++n)
      if (cpu.CNTLA[n] & 0x60) referenceAsciClock(cpu, n);
    if (cpu.TCR & 0x03) {
      if (++cpu.prtPrescaler >= 20) {
        cpu.prtPrescaler = 0;
        if (cpu.TCR & 0x01) referencePrtService(cpu, 0);
        if (cpu.TCR & 0x02) referencePrtService(cpu, 1);
      }
    }
  }

  static void referenceAsciClock(TZ180Cpu& cpu, int n) {
    ++cpu.asciClockCount[n];
    if (!(cpu.STAT[n] & 0x02) && cpu.asciTsrEmpty[n]) {
      cpu.asciTsr[n] = cpu.TDR[n];
      cpu.asciTsrEmpty[n] = false;
      cpu.STAT[n] |= 0x02;
    }
    if (!(cpu.STAT[n] & 0x80) && cpu.asciRsrFull[n]) {
      cpu.RDR[n] = cpu.asciRsr[n];
      cpu.asciRsrFull[n] = false;
      cpu.STAT[n] |= 0x80;
    }
    if (cpu.asciClockCount[n] >= cpu.asciClocksPerBit[n]) {
      cpu.asciClockCount[n] = 0;
      referenceAsciService(cpu, n);
    }
  }

  static void referenceAsciService(TZ180Cpu& cpu, int n) {
    TSystemInOut& io = cpu.inOut;
    if ((cpu.CNTLA[n] & 0x20) && !cpu.asciTsrEmpty[n]) {
      ++cpu.asciTxBitCount[n];
      if (cpu.asciTxBitCount[n] >= cpu.asciFrameBits[n]) {
        if (n == 0)
          io.asci0Send(cpu.asciTsr[0]);
        else
          io.asci1Send(cpu.asciTsr[1]);
        cpu.asciTsrEmpty[n] = true;
        cpu.asciTxBitCount[n] = 0;
      }
    }
    const bool waiting = n == 0 ? io.asci0HasData() : io.asci1HasData();
    if ((cpu.CNTLA[n] & 0x40) && !cpu.asciRsrFull[n] && waiting) {
      ++cpu.asciRxBitCount[n];
      if (cpu.asciRxBitCount[n] >= cpu.asciFrameBits[n]) {
        cpu.asciRsr[n] = n == 0 ? io.asci0Receive() : io.asci1Receive();
        cpu.asciRsrFull[n] = true;
        cpu.asciRxBitCount[n] = 0;
      }
    }
    bool& request = n == 0 ? cpu.asci0Request : cpu.asci1Request;
    if ((cpu.STAT[n] & 0x01) && (cpu.STAT[n] & 0x02)) request = true;
    if ((cpu.STAT[n] & 0x80) && cpu.asciRsrFull[n]) cpu.STAT[n] |= 0x40;
    if ((cpu.STAT[n] & 0x08) && (cpu.STAT[n] & 0xC0)) request = true;
  }

  static void referencePrtService(TZ180Cpu& cpu, int t) {
    --cpu.TMDR[t];
    if (cpu.TMDR[t] == 0) {
      cpu.TMDR[t] = cpu.RLDR[t];
      if (cpu.TCR & (0x10 << t)) {
        cpu.TCR |= uint8_t(0x40 << t);
        (t == 0 ? cpu.prt0Request : cpu.prt1Request) = true;
      }
    }
  }

  // The processor's own pieces, for tests that drive them one by one.
  static void dmaTurn(TZ180Cpu& cpu) { cpu.dmaTurn(); }
  static void dmaService(TZ180Cpu& cpu, int channel) { cpu.dmaService(channel); }
  static void asciService(TZ180Cpu& cpu, int channel) { cpu.asciService(channel); }
  static void prtService(TZ180Cpu& cpu, int timer) { cpu.prtService(timer); }
};

// Records every byte serial channel 0 gives the terminal, by pointing the
// terminal's log at a private temporary file.
class TSentBytes {
 public:
  explicit TSentBytes(TSystemTerminal& terminal) : terminal_(terminal) {
    static int serial = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("tess_sent_" + std::to_string(::getpid()) + "_" + std::to_string(serial++) + ".log");
    terminal_.setLogPath(path_.string());
    terminal_.setLogging(true);
  }
  ~TSentBytes() {
    terminal_.setLogging(false);
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  TSentBytes(const TSentBytes&) = delete;
  TSentBytes& operator=(const TSentBytes&) = delete;

  std::string bytes() const {
    std::ifstream in(path_, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  size_t size() const {
    std::error_code ec;
    const auto n = std::filesystem::file_size(path_, ec);
    return ec ? 0 : size_t(n);
  }

 private:
  TSystemTerminal& terminal_;
  std::filesystem::path path_;
};
