// The board's external I/O decoder and the wiring of the Z180's on-chip
// peripherals to the board.
//
// Port map (all 16 bits compared):
//   0x0070-0x0073  floppy controller status/command, track, sector, data
//   0x0074         floppy signal latch (read only)
//   0x0078         floppy drive control latch (write only)
//   0x00FF         any write switches the boot ROM off
//   elsewhere      reads 0xFF, writes ignored
//
// Serial channel 0 is the console terminal; channel 1 is not connected. No
// device drives the DMA request lines. The hooks are plain inline calls: the
// processor reaches them without virtual dispatch.
//
// The decoder reaches the other devices through the machine context, so it
// can be created before the terminal exists; the devices must be in place
// before the processor first runs.
#pragma once

#include "Machine_Context.h"
#include "System_Fdc.h"
#include "System_Memory.h"
#include "System_Terminal.h"

#include <cstdint>
#include <functional>

class TSystemInOut {
 public:
  explicit TSystemInOut(const TMachineContext& context) : context_(context) {}

  uint8_t portRead(uint16_t port);
  void portWrite(uint16_t port, uint8_t value);

  // Serial channel 0: the console terminal.
  void asci0Send(uint8_t value) {
    if (sendTap_) sendTap_(value);
    context_.terminal->writeChar(value);
  }
  bool asci0HasData() const { return context_.terminal->keyAvailable(); }
  uint8_t asci0Receive() { return context_.terminal->readKey(); }

  // An observer of every byte serial channel 0 sends to the terminal (the
  // headless runner copies them to its output). Called once per character.
  void setSendTap(std::function<void(uint8_t)> tap) { sendTap_ = std::move(tap); }

  // Serial channel 1: transmits into nothing, never receives.
  void asci1Send(uint8_t) {}
  bool asci1HasData() const { return asci1RxReady; }
  uint8_t asci1Receive() {
    asci1RxReady = false;
    return asci1RxData;
  }

  // DMA request and end-of-transfer lines: nothing is connected.
  bool dreq0() const { return false; }
  bool dreq1() const { return false; }
  void tend0() {}
  void tend1() {}

 private:
  const TMachineContext& context_;
  std::function<void(uint8_t)> sendTap_;
  bool asci1RxReady = false;
  uint8_t asci1RxData = 0;
};
