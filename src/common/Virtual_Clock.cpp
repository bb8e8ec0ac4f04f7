#include "Virtual_Clock.h"

#include <algorithm>

class TVirtualClock::TVirtualTimer : public TTimer {
 public:
  explicit TVirtualTimer(TVirtualClock* clock) : clock_(clock) { clock_->attach(this); }
  ~TVirtualTimer() override {
    if (clock_ != nullptr) clock_->detach(this);
  }

  void start() override {
    if (clock_ == nullptr) return;
    active_ = true;
    due_ = clock_->now_ + interval_;
    sequence_ = ++clock_->armSequence_;
  }
  void stop() override { active_ = false; }
  bool active() const override { return active_; }
  void setInterval(uint32_t milliseconds) override {
    interval_ = milliseconds;
    if (active_) start();
  }
  uint32_t interval() const override { return interval_; }
  void setHandler(THandler handler) override { handler_ = std::move(handler); }

  TVirtualClock* clock_;
  bool active_ = false;
  uint32_t interval_ = 1000;
  uint64_t due_ = 0;
  uint64_t sequence_ = 0;
  THandler handler_;
};

TVirtualClock::TVirtualClock() = default;

TVirtualClock::~TVirtualClock() {
  // Timers may outlive the clock in a careless test; make them inert.
  for (TVirtualTimer* t : timers_) t->clock_ = nullptr;
}

std::unique_ptr<TTimer> TVirtualClock::createTimer() { return std::make_unique<TVirtualTimer>(this); }

void TVirtualClock::attach(TVirtualTimer* t) { timers_.push_back(t); }

void TVirtualClock::detach(TVirtualTimer* t) { std::erase(timers_, t); }

TVirtualClock::TVirtualTimer* TVirtualClock::earliest(uint64_t limitTime) const {
  TVirtualTimer* best = nullptr;
  for (TVirtualTimer* t : timers_) {
    if (!t->active_ || t->due_ > limitTime) continue;
    if (best == nullptr || t->due_ < best->due_ || (t->due_ == best->due_ && t->sequence_ < best->sequence_)) best = t;
  }
  return best;
}

void TVirtualClock::advance(uint64_t milliseconds) {
  const uint64_t end = now_ + milliseconds;
  while (TVirtualTimer* t = earliest(end)) {
    now_ = t->due_;
    // Re-arm before the handler runs, so a handler that stops or restarts
    // the timer has the last word. A zero interval fires at most once per
    // millisecond, so the walk always ends.
    t->due_ = now_ + std::max<uint32_t>(t->interval_, 1);
    t->sequence_ = ++armSequence_;
    if (t->handler_) {
      TTimer::THandler handler = t->handler_;  // the handler may replace itself
      handler();
    }
  }
  now_ = end;
}

bool TVirtualClock::advanceToNext(uint64_t limit) {
  TVirtualTimer* t = earliest(now_ + limit);
  if (t == nullptr) return false;
  advance(t->due_ - now_);
  return true;
}

int64_t TVirtualClock::nextDue() const {
  TVirtualTimer* t = earliest(UINT64_MAX);
  return t == nullptr ? -1 : static_cast<int64_t>(t->due_ - now_);
}

int TVirtualClock::activeCount() const {
  return static_cast<int>(std::count_if(timers_.begin(), timers_.end(), [](TVirtualTimer* t) { return t->active_; }));
}
