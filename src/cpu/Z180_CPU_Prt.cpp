// The two programmable reload timers and their shared divide-by-20 prescaler.
#include "Z180_CPU.h"

#include "Z180_CPU_Inline.h"

void TZ180Cpu::prtClock(uint32_t cycles) {
  // The prescaler is shared and stands still while both timers are disabled
  // (the caller only clocks it while TDE0 or TDE1 is set).
  uint32_t p = prtPrescaler + cycles;
  while (p >= 20) {
    p -= 20;
    if (TCR & 0x01) prtService(0);
    if (TCR & 0x02) prtService(1);
  }
  prtPrescaler = uint8_t(p);
}

void TZ180Cpu::prtService(int) {}
