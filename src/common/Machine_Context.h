// The one shared context through which the machine's five objects reach each
// other. The machine assembly fills it as it creates them (memory, floppy
// controller, I/O decoder, processor, terminal) and clears each entry as it
// destroys them; nobody owns anything through it.
#pragma once

class TSystemMemory;
class TSystemFdc;
class TSystemInOut;
class TZ180Cpu;
class TSystemTerminal;

struct TMachineContext {
  TSystemMemory* memory = nullptr;
  TSystemFdc* fdc = nullptr;
  TSystemInOut* inOut = nullptr;
  TZ180Cpu* cpu = nullptr;
  TSystemTerminal* terminal = nullptr;
};
