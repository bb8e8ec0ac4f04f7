// A deterministic clock for tests and the headless runner: timers created
// from it fire only inside advance(), in order of their due time (ties in
// order of arming), each handler seeing now() equal to its due time.
#pragma once

#include "Timer.h"

#include <cstdint>
#include <memory>
#include <vector>

class TVirtualClock : public TTimerFactory {
 public:
  TVirtualClock();
  ~TVirtualClock() override;
  TVirtualClock(const TVirtualClock&) = delete;
  TVirtualClock& operator=(const TVirtualClock&) = delete;

  std::unique_ptr<TTimer> createTimer() override;

  // Milliseconds since the clock was made.
  uint64_t now() const { return now_; }

  // Moves time forward by the given milliseconds, firing every timer that
  // falls due on the way (including timers armed by handlers during the walk).
  void advance(uint64_t milliseconds);

  // Advances to the next due time of any running timer, if one falls due
  // within limit milliseconds; returns whether a timer fired.
  bool advanceToNext(uint64_t limit);

  // Milliseconds until the next running timer falls due, or -1 if none runs.
  int64_t nextDue() const;

  // Number of timers currently running.
  int activeCount() const;

 private:
  class TVirtualTimer;
  friend class TVirtualTimer;

  void attach(TVirtualTimer* t);
  void detach(TVirtualTimer* t);
  TVirtualTimer* earliest(uint64_t limitTime) const;

  uint64_t now_ = 0;
  uint64_t armSequence_ = 0;
  std::vector<TVirtualTimer*> timers_;
};
