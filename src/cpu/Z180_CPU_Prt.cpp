// The two programmable reload timers and their shared divide-by-20
// prescaler.
//
// The prescaler counts the clocks of the steps while TDE0 or TDE1 is set and
// stands still otherwise; every 20th clock it gives each enabled timer one
// count. The processor defers the clocks until a timer is due to reach zero
// or software touches the timer registers, then hands them to prtClock.
#include "Z180_CPU.h"

#include "Z180_CPU_Inline.h"

void TZ180Cpu::prtClock(uint32_t cycles) {
  uint32_t prescaler = prtPrescaler;
  // Clocks until the prescaler next reaches 20 (at once if it stands beyond
  // its range, which only a direct store can do).
  uint32_t toWrap = prescaler >= 19 ? 1 : 20 - prescaler;
  while (cycles >= toWrap) {
    cycles -= toWrap;
    prescaler = 0;
    toWrap = 20;
    if (TCR & 0x01) prtService(0);
    if (TCR & 0x02) prtService(1);
  }
  prtPrescaler = uint8_t(prescaler + cycles);
}

void TZ180Cpu::prtService(int timer) {
  // The count that reaches zero also reloads, so RLDR = N expires every N
  // counts and RLDR = 0 every 65536. TIF is set only with TIE set.
  if (--TMDR[timer] != 0) return;
  TMDR[timer] = RLDR[timer];
  const uint8_t tie = uint8_t(0x10 << timer);
  if (TCR & tie) {
    TCR |= uint8_t(0x40 << timer);
    (timer == 0 ? prt0Request : prt1Request) = true;
  }
}
