// The board's console: an 80 x 24 character screen fed by serial channel 0,
// and the keyboard queue that channel 0's receiver reads.
// (Interface outline; the screen model, key tables and logging live in
// System_Terminal*.cpp.)
#pragma once

#include "Timer.h"

#include <cstdint>
#include <deque>

class TSystemTerminal {
 public:
  explicit TSystemTerminal(TTimerFactory& timers);
  ~TSystemTerminal();
  TSystemTerminal(const TSystemTerminal&) = delete;
  TSystemTerminal& operator=(const TSystemTerminal&) = delete;

  void writeChar(uint8_t ch);
  bool keyAvailable() const { return !keyQueue.empty(); }
  uint8_t readKey() {
    const uint8_t b = keyQueue.front();
    keyQueue.pop_front();
    return b;
  }

  std::deque<uint8_t> keyQueue;
};
