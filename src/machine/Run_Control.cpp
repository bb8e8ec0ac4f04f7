#include "Run_Control.h"

#include "Machine.h"
#include "System_Settings.h"
#include "Z180_CPU.h"

TRunControl::TRunControl(TMachine& machine, TSystemSettings& settings, TTimerFactory& timers)
    : machine_(machine), settings_(settings), cpuRun_(timers.createTimer()) {}

TRunControl::~TRunControl() { shutdown(); }

uint32_t TRunControl::slowRunInterval(int value) {
  switch (value) {
    case 1: return 500;
    case 2: return 200;
    case 3: return 100;
    default: return 1000;
  }
}

void TRunControl::applySpeed(int value) {
  cpuRun_->setInterval(slowRunInterval(value));
  checkedSpeedItem_ = (value >= 0 && value <= 3) ? value : 0;
}

void TRunControl::loadSlowRunSpeed() { applySpeed(settings_.readInteger("Emulation", "SlowRunSpeed", 2)); }

void TRunControl::chooseSlowRunSpeed(int value) {
  settings_.writeInteger("Emulation", "SlowRunSpeed", value);
  applySpeed(value);
}

TRunControl::TState TRunControl::state() const { return cpuRun_->active() ? handler_ : TState::Stopped; }

uint32_t TRunControl::timerInterval() const { return cpuRun_->interval(); }

bool TRunControl::timerActive() const { return cpuRun_->active(); }

void TRunControl::stopTimer() {
  if (!cpuRun_->active()) return;
  cpuRun_->stop();
  cpuRun_->setHandler(nullptr);
  handler_ = TState::Stopped;
}

void TRunControl::setCommandsEnabled(bool enabled) {
  if (commandsEnabled_ == enabled) return;
  commandsEnabled_ = enabled;
  if (onCommandsEnabledChanged) onCommandsEnabledChanged(enabled);
}

void TRunControl::refreshViews() {
  if (onRefreshViews) onRefreshViews();
}

void TRunControl::run() {
  stopTimer();
  handler_ = TState::Running;
  cpuRun_->setHandler([this] { cpuRunTimer(); });
  cpuRun_->setInterval(RunInterval);
  cpuRun_->start();
  setCommandsEnabled(false);
}

void TRunControl::cpuRunTimer() {
  cpuRun_->stop();
  machine_.cpu().step(SliceSteps);
  if (handOverErrors()) return;
  cpuRun_->start();  // the next tick counts from the end of this slice
}

void TRunControl::slowRun() {
  stopTimer();
  handler_ = TState::SlowRunning;
  cpuRun_->setHandler([this] { cpuSlowRunTimer(); });
  applySpeed(settings_.readInteger("Emulation", "SlowRunSpeed", 2));
  cpuRun_->start();
  setCommandsEnabled(false);
}

void TRunControl::cpuSlowRunTimer() {
  machine_.cpu().step(1);
  if (handOverErrors()) return;
  refreshViews();
}

void TRunControl::singleStep() {
  stopTimer();
  machine_.cpu().step(1);
  if (handOverErrors()) return;
  refreshViews();
  setCommandsEnabled(true);
}

void TRunControl::stop() {
  stopTimer();
  refreshViews();
  setCommandsEnabled(true);
}

void TRunControl::reset() {
  try {
    machine_.reset();
  } catch (const TFileError& e) {
    // The ROM reload failed; the processor and terminal were reset anyway.
    refreshViews();
    if (onError) onError(e);
    return;
  }
  refreshViews();
}

void TRunControl::shutdown() {
  stopTimer();
  cpuRun_->setHandler(nullptr);
}

bool TRunControl::handOverErrors() {
  std::optional<TFileError> error = machine_.takePendingError();
  if (!error) return false;
  stop();
  if (onError) onError(*error);
  return true;
}
