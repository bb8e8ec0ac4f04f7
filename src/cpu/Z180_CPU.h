// TZ180Cpu: the Zilog Z180 processor of the board.
//
// One object carries the Z80-compatible register file, the instruction
// executors, the MMU, the 64-port internal I/O register file and the on-chip
// peripherals (two serial channels, two reload timers, the free-running
// counter and the two-channel DMA controller).
//
// Time exists only as clock cycles. One step:
//   1. executes one instruction, or idles one clock while halted, asleep or
//      held by a DMA burst;
//   2. gives the DMA controller its turn;
//   3. clocks the serial channels, the timers (through a divide-by-20
//      prescaler) and FRC for every clock the instruction took, wait cycles
//      included;
//   4. accepts at most one pending internal interrupt (PRT0, PRT1, DMA0, DMA1,
//      ASCI0, ASCI1 in that order), vectored through I and IL.
//
// Source files, one concern each:
//   Z180_CPU.cpp             construction, reset, interrupts, snapshots
//   Z180_CPU_Inline.h        bus helpers and the ALU primitives (inlined)
//   Z180_CPU_Main.cpp        the step loop and the unprefixed instructions
//   Z180_CPU_CB.cpp          CB: rotates, shifts, bit operations
//   Z180_CPU_Indexed.cpp     DD/FD and DDCB/FDCB: IX and IY
//   Z180_CPU_ED.cpp          ED: Z80 extended set and Z180 additions
//   Z180_CPU_IoRegisters.cpp ioRead/ioWrite and the internal register file
//   Z180_CPU_Asci.cpp        serial channels
//   Z180_CPU_Prt.cpp         reload timers and the prescaler
//   Z180_CPU_Dma.cpp         DMA controller
//
// Typical use:
//   TZ180Cpu cpu(memory, inOut);
//   cpu.reset();
//   cpu.step(35000);
#pragma once

#include "System_InOut.h"
#include "System_Memory.h"

#include <array>
#include <bit>
#include <cstdint>

static_assert(std::endian::native == std::endian::little, "register pairs assume a little-endian host");

// A 16-bit register pair whose bytes are also addressable: h is the first
// letter of the pair's name (A, B, D, H), l the second (F, C, E, L).
union TRegisterPair {
  uint16_t w;
  struct {
    uint8_t l;
    uint8_t h;
  } b;
};

// What the core register view shows.
struct TCoreSnapshot {
  // One register set (the main one or the alternate one), with the memory
  // bytes at the translated addresses of its pairs.
  struct TSet {
    uint8_t A, F, B, C, D, E, H, L;
    uint16_t BC, DE, HL;
    uint8_t atBC, atDE, atHL;
  };
  TSet main, alternate;
  uint8_t I, R;
  uint16_t IX, IY, SP, PC;
  bool IFF1, IFF2;
  uint8_t atSP, atPC;
  uint32_t physicalPC;
};

// The 48 implemented internal I/O registers, as stored, in address order.
struct TIoSnapshot {
  static constexpr int kCount = 48;
  std::array<uint8_t, kCount> index{};  // internal address of each entry
  std::array<uint8_t, kCount> value{};
};

class TZ180Cpu {
 public:
  TZ180Cpu(TSystemMemory& memory, TSystemInOut& inOut);

  // Runs count steps (0 does nothing).
  void step(uint32_t count);
  void reset();

  uint8_t ioRead(uint8_t high, uint8_t low);
  void ioWrite(uint8_t high, uint8_t low, uint8_t value);

  // MMU: 16-bit logical to 20-bit physical. Common Area 0 below BA, the Bank
  // Area (BBR) from BA up to CA, Common Area 1 (CBR) from CA up.
  uint32_t translateAddress(uint16_t logical) const {
    const uint32_t page = logical >> 12;
    uint32_t physical = logical;
    if (page >= (CBAR & 0x0Fu)) physical += uint32_t(page < (CBAR >> 4u) ? BBR : CBR) << 12;
    return physical & 0xFFFFF;
  }

  void pushWord(uint16_t value);

  TCoreSnapshot coreSnapshot() const;
  TIoSnapshot ioSnapshot() const;

  // ---- Register file (open to the views, the tests and the machine) ----
  TRegisterPair AF{}, BC{}, DE{}, HL{};
  TRegisterPair AF_{}, BC_{}, DE_{}, HL_{};  // alternate set
  uint16_t IX = 0, IY = 0, SP = 0, PC = 0;
  uint8_t I = 0, R = 0;
  bool IFF1 = false, IFF2 = false;
  uint8_t interruptMode = 0;

  // Execution state.
  bool haltRequest = false, halted = false;
  bool sleepRequest = false, sleeping = false;
  bool dmaBurst = false;

  // Interrupt requests, set by the peripherals, cleared by acceptance or reset.
  bool prt0Request = false, prt1Request = false;
  bool dma0Request = false, dma1Request = false;
  bool asci0Request = false, asci1Request = false;

  // Cycle bookkeeping of the current step.
  uint32_t machineCycles = 0;
  uint32_t clockCycles = 0;
  uint32_t waitCycles = 0;
  uint32_t memoryWaitCycles = 0;
  uint32_t ioWaitCycles = 0;
  // Clock cycles clocked since construction (statistics; reset keeps it).
  uint64_t elapsedClocks = 0;

  // ---- Internal I/O registers (index = internal address) ----
  // Serial channels, indexed by channel number.
  uint8_t CNTLA[2] = {}, CNTLB[2] = {}, STAT[2] = {}, TDR[2] = {}, RDR[2] = {};
  // Clocked serial port (stored only).
  uint8_t CNTR = 0, TRD = 0;
  // Reload timers.
  uint16_t TMDR[2] = {}, RLDR[2] = {};
  uint8_t TCR = 0;
  uint8_t FRC = 0;
  // DMA: SAR0, DAR0 and MAR1 are 20-bit physical addresses; BCR0/BCR1 hold
  // up to 65536 while a channel works (0 written means 65536).
  uint32_t SAR0 = 0, DAR0 = 0, MAR1 = 0;
  uint16_t IAR1 = 0;
  uint32_t BCR0 = 0, BCR1 = 0;
  uint8_t DSTAT = 0, DMODE = 0, DCNTL = 0;
  // Interrupt vector low, trap control, refresh, MMU, operation mode, I/O base.
  uint8_t IL = 0, ITC = 0, RCR = 0;
  uint8_t CBR = 0, BBR = 0, CBAR = 0;
  uint8_t OMCR = 0, ICR = 0;

  // ---- Peripheral working state ----
  // Serial channels.
  uint32_t asciClocksPerBit[2] = {};
  uint32_t asciClockCount[2] = {};
  uint8_t asciFrameBits[2] = {};
  uint8_t asciTxBitCount[2] = {};
  uint8_t asciRxBitCount[2] = {};
  uint8_t asciTsr[2] = {};
  bool asciTsrEmpty[2] = {true, true};
  uint8_t asciRsr[2] = {};
  bool asciRsrFull[2] = {};
  // Reload timers.
  uint8_t prtPrescaler = 0;
  uint8_t tmdrHighLatch[2] = {};
  bool tmdrLatched[2] = {};

  // Derived values, recomputed when software writes their source register.
  static uint8_t frameBitsFor(uint8_t cntla);
  static uint32_t clocksPerBitFor(uint8_t cntlb);
  static bool burstFor(uint8_t dmode);
  void recomputeWaitCycles();

  // True while DMA channel 0 holds the processor for a burst.
  bool dmaHoldsProcessor() const;

 private:
  friend class TZ180CpuTestAccess;

  TSystemMemory& memory;
  TSystemInOut& inOut;

  // ---- The instruction cycle (Z180_CPU.cpp) ----
  void acceptInterrupt();
  void undefinedOpcodeTrap(bool ufo);

  // ---- Bus helpers and ALU primitives (Z180_CPU_Inline.h) ----
  uint8_t readMem(uint16_t address);
  void writeMem(uint16_t address, uint8_t value);
  uint8_t fetchByte();
  uint8_t fetchOpcode();
  uint16_t fetchWord();
  uint16_t readWord(uint16_t address);
  void writeWord(uint16_t address, uint16_t value);
  void push(uint16_t value);
  uint16_t pop();
  void setCycles(uint32_t machine, uint32_t clock) {
    machineCycles = machine;
    clockCycles = clock;
  }

  static bool parityEven(uint8_t v);
  void add8(uint8_t n);
  void adc8(uint8_t n);
  void sub8(uint8_t n);
  void sbc8(uint8_t n);
  void and8(uint8_t n);
  void xor8(uint8_t n);
  void or8(uint8_t n);
  void cp8(uint8_t n);
  void tst8(uint8_t n);
  void alu8(unsigned operation, uint8_t n);  // the alu[y] table: ADD ADC SUB SBC AND XOR OR CP
  void inc8(uint8_t& x);
  void dec8(uint8_t& x);
  void rlc8(uint8_t& x);
  void rrc8(uint8_t& x);
  void rl8(uint8_t& x);
  void rr8(uint8_t& x);
  void sla8(uint8_t& x);
  void sra8(uint8_t& x);
  void srl8(uint8_t& x);
  void shift8(unsigned operation, uint8_t& x);  // the CB x = 0 table (y = 6 is not a shift)
  void bitTest(unsigned bit, uint8_t v);
  static void bitReset(unsigned bit, uint8_t& x) { x = uint8_t(x & ~(1u << bit)); }
  static void bitSet(unsigned bit, uint8_t& x) { x = uint8_t(x | (1u << bit)); }
  uint8_t inWithFlags(uint8_t high, uint8_t low);
  void add16(uint16_t& x, uint16_t v);
  void adcHL(uint16_t v);
  void sbcHL(uint16_t v);
  bool condition(unsigned cc) const;   // NZ Z NC C PO PE P M
  uint8_t& reg8(unsigned code);        // B C D E H L - A (code 6 is not a register)
  uint16_t& regPair(unsigned code);    // rp:  BC DE HL SP
  uint16_t& stackPair(unsigned code);  // rp2: BC DE HL AF

  // ---- Executors ----
  void executeInstruction();            // Z180_CPU_Main.cpp
  void executeCB();                     // Z180_CPU_CB.cpp
  void executeIndexed(bool useIY);      // Z180_CPU_Indexed.cpp
  void executeIndexedCB(uint16_t& xy);  // Z180_CPU_Indexed.cpp
  void executeED();                     // Z180_CPU_ED.cpp
  template <uint8_t Op>
  void opMain();  // one unprefixed opcode, specialised at compile time

  // ---- Internal I/O register file (Z180_CPU_IoRegisters.cpp) ----
  uint8_t readInternal(uint8_t index, uint8_t external);
  void writeInternal(uint8_t index, uint8_t value);

  // ---- Peripherals (Z180_CPU_Asci.cpp, Z180_CPU_Prt.cpp, Z180_CPU_Dma.cpp) ----
  void clockPeripherals(uint32_t cycles);  // step phase 3 for `cycles` clocks
  void asciService(int channel);           // one bit time
  void prtClock(uint32_t cycles);          // prescaler and timers, `cycles` clocks
  void prtService(int timer);              // one count
  void dmaTurn();                          // step phase 2
  void dmaService(int channel);

  // ---- Helpers of the register file and the ED executor ----
  // Stored byte of an internal register (no mask, no side effect), or -1
  // for an index the Z180 does not implement.
  int storedInternal(uint8_t index) const;
  template <uint8_t Op>
  void opED();  // one ED-prefixed opcode, specialised at compile time

  // ---- Helpers of the CB and index executors ----
  template <unsigned X, unsigned Y>
  void cbModify(uint8_t& v);  // rotate/shift, RES or SET of one operand
  template <uint8_t Op>
  void opCB();  // one CB second byte, specialised at compile time
  template <uint8_t Op>
  void opIndexed(uint16_t& xy);  // one defined DD/FD second byte on IX or IY
  template <uint8_t Op>
  void opIndexedCB(uint16_t address);    // one defined DDCB/FDCB final byte at XY+d
  uint16_t indexedAddress(uint16_t xy);  // fetches d; XY + d, wrapping at 16 bits

  // ---- Helpers of the serial channels, timers and DMA ----
  // The serial channels and the timers are clocked lazily: clocks that bring
  // no event (a bit time, a register move, a timer reaching zero) are only
  // counted in peripheralDeferred, and handed to the channels and timers
  // when the next event is due (peripheralBudget clocks after the last
  // catch-up), when software touches their registers, at reset, and at the
  // end of every call of step, so that between calls everything is current.
  uint32_t peripheralDeferred = 0;
  uint32_t peripheralBudget = 0;
  void syncPeripherals();                      // apply the deferred clocks, then recompute the budget
  bool asciMovePending(int channel) const;     // TDR->TSR or RSR->RDR due
  bool asciIdle(int channel) const;            // bit times would change nothing but the counter
  void asciRun(int channel, uint32_t cycles);  // one channel, event to event
  void asciTick(int channel);                  // one clock of one channel
  void dmaService0();
  void dmaService1();
};
