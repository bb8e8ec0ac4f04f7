// The two asynchronous serial channels.
#include "Z180_CPU.h"

#include "Z180_CPU_Inline.h"

void TZ180Cpu::asciClock(uint32_t) {}

void TZ180Cpu::asciService(int) {}
