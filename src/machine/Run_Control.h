// Run control: turns Run, Slow Run, Single Step, Stop and Reset into calls of
// the processor's step, paced by one timer (`cpuRun`).
//
//   Run          step(35000) per tick, every 2 ms counted from the end of the
//                previous slice (the timer is off while a slice runs)
//   Slow Run     step(1) per tick at 1, 2, 5 or 10 steps per second, then the
//                views are refreshed
//   Single Step  stops the timer, step(1), refreshes the views
//   Stop         stops the timer, refreshes the views
//   Reset        processor, terminal, boot ROM per bootRomAtReset; the timer
//                keeps running
//
// While the machine runs, the four commands that must not change it under
// the processor's feet (memory settings, floppy drives, hard disk, load file
// to RAM) are disabled. An error a device recorded during a slice (log file,
// floppy image) stops the run, enables the commands again and is handed to
// the front end once.
#pragma once

#include "File_Error.h"
#include "Timer.h"

#include <cstdint>
#include <functional>
#include <memory>

class TMachine;
class TSystemSettings;

class TRunControl {
public:
  enum class TState { Stopped, Running, SlowRunning };

  static constexpr uint32_t SliceSteps = 35000;
  static constexpr uint32_t RunInterval = 2;  // ms

  TRunControl(TMachine& machine, TSystemSettings& settings, TTimerFactory& timers);
  ~TRunControl();
  TRunControl(const TRunControl&) = delete;
  TRunControl& operator=(const TRunControl&) = delete;

  // Start-up: reads "Emulation"/"SlowRunSpeed" and applies it (interval and
  // checked menu item); the timer stays off.
  void loadSlowRunSpeed();

  void run();
  void slowRun();
  void singleStep();
  void stop();
  void reset();
  // The slow-run speed menu: stores the value and sets the timer's interval
  // at once, whichever handler runs.
  void chooseSlowRunSpeed(int value);
  // Closing the window: the timer stops before anything is destroyed.
  void shutdown();

  TState state() const;
  bool commandsEnabled() const { return commandsEnabled_; }
  uint32_t timerInterval() const;
  bool timerActive() const;
  // Index 0 to 3 of the checked slow-run menu item ("1 Op/s" ... "10 Op/s").
  int checkedSpeedItem() const { return checkedSpeedItem_; }

  // Slow-run speed value 0 to 3 to timer interval; anything else is 1000 ms.
  static uint32_t slowRunInterval(int value);

  // Notifications for the front end.
  std::function<void()> onRefreshViews;
  std::function<void(bool enabled)> onCommandsEnabledChanged;
  std::function<void(const TFileError&)> onError;

private:
  void cpuRunTimer();
  void cpuSlowRunTimer();
  void stopTimer();
  void applySpeed(int value);
  void setCommandsEnabled(bool enabled);
  void refreshViews();
  // After every call of step: a recorded error ends the run. Returns true
  // when the run was stopped.
  bool handOverErrors();

  TMachine& machine_;
  TSystemSettings& settings_;
  std::unique_ptr<TTimer> cpuRun_;
  TState handler_ = TState::Stopped;  // which handler the timer calls
  bool commandsEnabled_ = true;
  int checkedSpeedItem_ = 0;
};
