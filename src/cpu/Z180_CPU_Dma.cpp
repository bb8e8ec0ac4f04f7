// The two-channel DMA controller.
#include "Z180_CPU.h"

#include "Z180_CPU_Inline.h"

void TZ180Cpu::dmaTurn() {}

void TZ180Cpu::dmaService(int) {}
