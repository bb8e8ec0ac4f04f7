// The deterministic clock behind every timing test: timers fire in due-time
// order inside advance(), handlers may re-time or stop timers, and nothing
// fires outside advance().
#include "Virtual_Clock.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(VirtualClock, FiresPeriodicTimersInDueOrder) {
  TVirtualClock clock;
  std::vector<std::string> log;
  auto a = clock.createTimer();
  auto b = clock.createTimer();
  a->setInterval(30);
  b->setInterval(20);
  a->setHandler([&] { log.push_back("a@" + std::to_string(clock.now())); });
  b->setHandler([&] { log.push_back("b@" + std::to_string(clock.now())); });
  a->start();
  b->start();
  EXPECT_EQ(clock.nextDue(), 20);
  clock.advance(60);
  // At 60 both fall due; b was re-armed later (at 40) than a (at 30).
  EXPECT_EQ(log, (std::vector<std::string>{"b@20", "a@30", "b@40", "a@60", "b@60"}));
  EXPECT_EQ(clock.now(), 60u);
}

TEST(VirtualClock, StartRestartsAndStoppedTimersNeverFire) {
  TVirtualClock clock;
  int fired = 0;
  auto t = clock.createTimer();
  EXPECT_FALSE(t->active());
  EXPECT_EQ(t->interval(), 1000u);
  t->setInterval(50);
  t->setHandler([&] { ++fired; });
  clock.advance(100);
  EXPECT_EQ(fired, 0);  // never started
  t->start();
  clock.advance(40);
  t->start();  // re-armed: due at 140 + 50
  clock.advance(40);
  EXPECT_EQ(fired, 0);
  clock.advance(10);
  EXPECT_EQ(fired, 1);
  t->setInterval(5);  // re-arms a running timer from now
  clock.advance(4);
  EXPECT_EQ(fired, 1);
  clock.advance(1);
  EXPECT_EQ(fired, 2);
  t->stop();
  clock.advance(100);
  EXPECT_EQ(fired, 2);
  EXPECT_EQ(clock.nextDue(), -1);
}

TEST(VirtualClock, HandlersMayRetimeStopAndStartTimers) {
  TVirtualClock clock;
  std::vector<std::string> log;
  auto oneShot = clock.createTimer();
  auto other = clock.createTimer();
  oneShot->setInterval(10);
  other->setInterval(100);
  oneShot->setHandler([&] {
    log.push_back("one@" + std::to_string(clock.now()));
    oneShot->stop();
    other->setInterval(5);
    other->start();
  });
  other->setHandler([&] { log.push_back("other@" + std::to_string(clock.now())); });
  oneShot->start();
  clock.advance(21);
  EXPECT_EQ(log, (std::vector<std::string>{"one@10", "other@15", "other@20"}));
  EXPECT_EQ(clock.activeCount(), 1);
}

TEST(VirtualClock, ZeroIntervalFiresAtMostOncePerMillisecond) {
  TVirtualClock clock;
  int fired = 0;
  auto t = clock.createTimer();
  t->setInterval(0);
  t->setHandler([&] { ++fired; });
  t->start();
  clock.advance(3);
  EXPECT_EQ(fired, 4);  // at 0, 1, 2 and 3
}

TEST(VirtualClock, AdvanceToNextStopsAtTheFirstDueTimer) {
  TVirtualClock clock;
  int fired = 0;
  auto t = clock.createTimer();
  t->setInterval(250);
  t->setHandler([&] { ++fired; });
  t->start();
  EXPECT_FALSE(clock.advanceToNext(100));
  EXPECT_EQ(clock.now(), 0u);
  EXPECT_TRUE(clock.advanceToNext(1000));
  EXPECT_EQ(clock.now(), 250u);
  EXPECT_EQ(fired, 1);
}

TEST(VirtualClock, ATimerMayOutliveOrPrecedeItsClock) {
  std::unique_ptr<TTimer> survivor;
  {
    TVirtualClock clock;
    survivor = clock.createTimer();
    auto shortLived = clock.createTimer();
    shortLived->setInterval(1);
    shortLived->start();
  }  // shortLived detached itself; the clock made survivor inert
  survivor->start();
  survivor->stop();
  SUCCEED();
}
