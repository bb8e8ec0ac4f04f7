// ED-prefixed instructions: the Z80 extended set and the Z180 additions.
#include "Z180_CPU.h"

#include "Z180_CPU_Inline.h"

void TZ180Cpu::executeED() {
  fetchOpcode();
  undefinedOpcodeTrap(false);
}
