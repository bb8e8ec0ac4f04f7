// DD/FD-prefixed instructions (IX, IY) and the DDCB/FDCB bit instructions.
#include "Z180_CPU.h"

#include "Z180_CPU_Inline.h"

void TZ180Cpu::executeIndexed(bool) {
  fetchOpcode();
  undefinedOpcodeTrap(false);
}

void TZ180Cpu::executeIndexedCB(uint16_t&) {
  fetchByte();
  fetchOpcode();
  undefinedOpcodeTrap(true);
}
