// CB-prefixed instructions: rotates, shifts, BIT, RES, SET.
#include "Z180_CPU.h"

#include "Z180_CPU_Inline.h"

void TZ180Cpu::executeCB() {
  fetchOpcode();
  undefinedOpcodeTrap(false);
}
