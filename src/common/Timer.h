// The timer seam between the machine and its host.
//
// The terminal's repaint and blink timers, the floppy controller's command,
// motor and lamp timers and the run control's timer count real milliseconds
// on the user-interface thread. The machine asks a TTimerFactory for them; the
// GUI hands in one backed by QTimer, the tests and the headless runner a
// TVirtualClock that advances only when told to.
//
// Semantics (those of a periodic UI timer):
// - start() (re)starts the interval from now; a running timer is re-armed.
// - stop() disarms it; a stopped timer never fires.
// - setInterval() on a running timer re-arms it with the new interval.
// - the handler runs once per elapsed interval; it may stop, start or
//   re-time any timer, itself included.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

class TTimer {
 public:
  using THandler = std::function<void()>;

  virtual ~TTimer() = default;
  virtual void start() = 0;
  virtual void stop() = 0;
  virtual bool active() const = 0;
  virtual void setInterval(uint32_t milliseconds) = 0;
  virtual uint32_t interval() const = 0;
  virtual void setHandler(THandler handler) = 0;
};

class TTimerFactory {
 public:
  virtual ~TTimerFactory() = default;
  // A new timer, stopped, with interval 1000 ms and no handler.
  virtual std::unique_ptr<TTimer> createTimer() = 0;
};
