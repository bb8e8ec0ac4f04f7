// The unprefixed instructions.
//
// Each of the 256 opcodes is a specialisation of opMain<Op>; the opcode's
// fields x, y, z, p, q are compile-time constants, so every case of the
// dispatch switch compiles to straight-line code for that one instruction.
// Timing is (machine cycles, clock cycles) from the Z180's table; where two
// values exist, the first is the taken branch. Memory wait cycles are added
// by the bus helpers for every byte actually accessed.
#include "Z180_CPU.h"

#include "Z180_CPU_Inline.h"

using namespace z180;

template <uint8_t Op>
Z180_INLINE void TZ180Cpu::opMain() {
  constexpr unsigned x = Op >> 6, y = (Op >> 3) & 7, z = Op & 7, p = y >> 1, q = y & 1;

  if constexpr (x == 1) {
    if constexpr (Op == 0x76) {  // HALT
      haltRequest = true;
      setCycles(1, 3);
    } else if constexpr (z == 6) {  // LD r,(HL)
      reg8(y) = readMem(HL.w);
      setCycles(2, 6);
    } else if constexpr (y == 6) {  // LD (HL),r
      writeMem(HL.w, reg8(z));
      setCycles(3, 7);
    } else {  // LD r,r'
      reg8(y) = reg8(z);
      setCycles(2, 4);
    }
  } else if constexpr (x == 2) {  // alu A,r
    if constexpr (z == 6) {
      alu8(y, readMem(HL.w));
      setCycles(2, 6);
    } else {
      alu8(y, reg8(z));
      setCycles(2, 4);
    }
  } else if constexpr (x == 0) {
    if constexpr (z == 0) {
      if constexpr (y == 0) {  // NOP
        setCycles(1, 3);
      } else if constexpr (y == 1) {  // EX AF,AF'
        std::swap(AF, AF_);
        setCycles(2, 4);
      } else if constexpr (y == 2) {  // DJNZ d
        const int8_t d = int8_t(fetchByte());
        if (--BC.b.h != 0) {
          PC = uint16_t(PC + d);
          setCycles(5, 9);
        } else {
          setCycles(3, 7);
        }
      } else if constexpr (y == 3) {  // JR d
        const int8_t d = int8_t(fetchByte());
        PC = uint16_t(PC + d);
        setCycles(4, 8);
      } else {  // JR cc,d (NZ Z NC C)
        const int8_t d = int8_t(fetchByte());
        if (condition(y - 4)) {
          PC = uint16_t(PC + d);
          setCycles(4, 8);
        } else {
          setCycles(2, 6);
        }
      }
    } else if constexpr (z == 1) {
      if constexpr (q == 0) {  // LD rp,nn
        regPair(p) = fetchWord();
        setCycles(3, 9);
      } else {  // ADD HL,rp
        add16(HL.w, regPair(p));
        setCycles(5, 7);
      }
    } else if constexpr (z == 2) {
      if constexpr (Op == 0x02) {  // LD (BC),A
        writeMem(BC.w, AF.b.h);
        setCycles(3, 7);
      } else if constexpr (Op == 0x12) {  // LD (DE),A
        writeMem(DE.w, AF.b.h);
        setCycles(3, 7);
      } else if constexpr (Op == 0x22) {  // LD (nn),HL
        writeWord(fetchWord(), HL.w);
        setCycles(6, 16);
      } else if constexpr (Op == 0x32) {  // LD (nn),A
        writeMem(fetchWord(), AF.b.h);
        setCycles(5, 13);
      } else if constexpr (Op == 0x0A) {  // LD A,(BC)
        AF.b.h = readMem(BC.w);
        setCycles(2, 6);
      } else if constexpr (Op == 0x1A) {  // LD A,(DE)
        AF.b.h = readMem(DE.w);
        setCycles(2, 6);
      } else if constexpr (Op == 0x2A) {  // LD HL,(nn)
        HL.w = readWord(fetchWord());
        setCycles(5, 15);
      } else {  // LD A,(nn)
        AF.b.h = readMem(fetchWord());
        setCycles(4, 12);
      }
    } else if constexpr (z == 3) {  // INC rp / DEC rp
      if constexpr (q == 0)
        ++regPair(p);
      else
        --regPair(p);
      setCycles(2, 4);
    } else if constexpr (z == 4 || z == 5) {  // INC r / DEC r
      if constexpr (y == 6) {
        uint8_t v = readMem(HL.w);
        if constexpr (z == 4)
          inc8(v);
        else
          dec8(v);
        writeMem(HL.w, v);
        setCycles(4, 10);
      } else {
        if constexpr (z == 4)
          inc8(reg8(y));
        else
          dec8(reg8(y));
        setCycles(2, 4);
      }
    } else if constexpr (z == 6) {  // LD r,n
      if constexpr (y == 6) {
        const uint8_t n = fetchByte();
        writeMem(HL.w, n);
        setCycles(3, 9);
      } else {
        reg8(y) = fetchByte();
        setCycles(2, 6);
      }
    } else {  // z == 7: accumulator and flag operations
      const uint8_t a = AF.b.h;
      const uint8_t f = AF.b.l;
      if constexpr (y == 0) {  // RLCA
        AF.b.h = uint8_t((a << 1) | (a >> 7));
        AF.b.l = uint8_t((f & (FS | FZ | FP | kUnused)) | (a >> 7));
      } else if constexpr (y == 1) {  // RRCA
        AF.b.h = uint8_t((a >> 1) | (a << 7));
        AF.b.l = uint8_t((f & (FS | FZ | FP | kUnused)) | (a & 1));
      } else if constexpr (y == 2) {  // RLA
        AF.b.h = uint8_t((a << 1) | (f & FC));
        AF.b.l = uint8_t((f & (FS | FZ | FP | kUnused)) | (a >> 7));
      } else if constexpr (y == 3) {  // RRA
        AF.b.h = uint8_t((a >> 1) | ((f & FC) << 7));
        AF.b.l = uint8_t((f & (FS | FZ | FP | kUnused)) | (a & 1));
      } else if constexpr (y == 4) {  // DAA
        uint8_t correction = 0;
        uint8_t nf = f;
        if ((f & FH) || (a & 0x0F) > 9) correction |= 0x06;
        if ((f & FC) || a > 0x9F) correction |= 0x60;
        if (a > 0x8F && (a & 0x0F) > 9) correction |= 0x60;
        if (a > 0x99) nf |= FC;
        uint8_t result;
        unsigned half;
        if (f & FN) {
          half = unsigned(a & 0x0F) - unsigned(correction & 0x0F);
          result = uint8_t(a - correction);
        } else {
          half = unsigned(a & 0x0F) + unsigned(correction & 0x0F);
          result = uint8_t(a + correction);
        }
        nf = uint8_t((nf & (FN | FC | kUnused)) | (half & FH) | kSZP[result]);
        AF.b.h = result;
        AF.b.l = nf;
      } else if constexpr (y == 5) {  // CPL
        AF.b.h = uint8_t(~a);
        AF.b.l = uint8_t(f | FH | FN);
      } else if constexpr (y == 6) {  // SCF
        AF.b.l = uint8_t((f & (FS | FZ | FP | kUnused)) | FC);
      } else {  // CCF
        AF.b.l = uint8_t((f & (FS | FZ | FP | kUnused)) | ((f & FC) ? FH : FC));
      }
      if constexpr (y == 4)
        setCycles(2, 4);
      else
        setCycles(1, 3);
    }
  } else {                   // x == 3
    if constexpr (z == 0) {  // RET cc
      if (condition(y)) {
        PC = pop();
        setCycles(4, 10);
      } else {
        setCycles(3, 5);
      }
    } else if constexpr (z == 1) {
      if constexpr (q == 0) {  // POP rp2
        stackPair(p) = pop();
        setCycles(3, 9);
      } else if constexpr (p == 0) {  // RET
        PC = pop();
        setCycles(3, 9);
      } else if constexpr (p == 1) {  // EXX
        std::swap(BC, BC_);
        std::swap(DE, DE_);
        std::swap(HL, HL_);
        setCycles(1, 3);
      } else if constexpr (p == 2) {  // JP (HL)
        PC = HL.w;
        setCycles(1, 3);
      } else {  // LD SP,HL
        SP = HL.w;
        setCycles(2, 4);
      }
    } else if constexpr (z == 2) {  // JP cc,nn
      const uint8_t lo = fetchByte();
      if (condition(y)) {
        PC = uint16_t(lo | (fetchByte() << 8));
        setCycles(3, 9);
      } else {
        ++PC;  // the high byte is skipped, not read
        setCycles(2, 6);
      }
    } else if constexpr (z == 3) {
      if constexpr (y == 0) {  // JP nn
        PC = fetchWord();
        setCycles(3, 9);
      } else if constexpr (y == 1) {
        executeCB();
      } else if constexpr (y == 2) {  // OUT (n),A
        const uint8_t n = fetchByte();
        ioWrite(AF.b.h, n, AF.b.h);
        setCycles(4, 10);
      } else if constexpr (y == 3) {  // IN A,(n): A supplies the port's high byte
        const uint8_t n = fetchByte();
        AF.b.h = ioRead(AF.b.h, n);
        setCycles(3, 9);
      } else if constexpr (y == 4) {  // EX (SP),HL
        const uint8_t lo = readMem(SP);
        const uint8_t hi = readMem(uint16_t(SP + 1));
        writeMem(uint16_t(SP + 1), HL.b.h);
        writeMem(SP, HL.b.l);
        HL.w = uint16_t(lo | (hi << 8));
        setCycles(6, 16);
      } else if constexpr (y == 5) {  // EX DE,HL
        std::swap(DE, HL);
        setCycles(1, 3);
      } else if constexpr (y == 6) {  // DI
        IFF1 = IFF2 = false;
        setCycles(1, 3);
      } else {  // EI: effective at once, no one-instruction delay
        IFF1 = IFF2 = true;
        setCycles(1, 3);
      }
    } else if constexpr (z == 4) {  // CALL cc,nn
      const uint8_t lo = fetchByte();
      if (condition(y)) {
        const uint8_t hi = fetchByte();
        push(PC);
        PC = uint16_t(lo | (hi << 8));
        setCycles(6, 16);
      } else {
        ++PC;
        setCycles(2, 6);
      }
    } else if constexpr (z == 5) {
      if constexpr (q == 0) {  // PUSH rp2
        push(stackPair(p));
        setCycles(5, 11);
      } else if constexpr (p == 0) {  // CALL nn
        const uint16_t nn = fetchWord();
        push(PC);
        PC = nn;
        setCycles(6, 16);
      } else if constexpr (p == 1) {
        executeIndexed(false);
      } else if constexpr (p == 2) {
        executeED();
      } else {
        executeIndexed(true);
      }
    } else if constexpr (z == 6) {  // alu A,n
      alu8(y, fetchByte());
      setCycles(2, 6);
    } else {  // RST y*8
      push(PC);
      PC = uint16_t(y * 8);
      setCycles(5, 11);
    }
  }
}

void TZ180Cpu::executeInstruction() {
  const uint8_t op = fetchOpcode();
  switch (op) { Z180_CASES_256(opMain) }
}

// The instruction cycle lives beside the unprefixed executor so that the
// executor and the clock phase are inlined into the step loop (flatten):
// no call and no register saving per instruction.
__attribute__((flatten)) void TZ180Cpu::step(uint32_t count) {
  // Registers may have been set directly since the last call: look afresh
  // for the next peripheral event at the first clock phase.
  peripheralBudget = 0;
  while (count-- != 0) {
    // 1. Execute one instruction, or idle one clock.
    if (halted || sleeping || (dmaBurst && dmaHoldsProcessor())) {
      machineCycles = 1;
      clockCycles = 1;
    } else {
      waitCycles = 0;
      executeInstruction();
      clockCycles += waitCycles;
    }

    // 2. The DMA controller's turn.
    if (!sleeping && (DSTAT & 0x01)) dmaTurn();

    // 3. Clock the serial channels, the timers and FRC.
    clockPeripherals(clockCycles);
    clockCycles = 0;

    // 4. At most one interrupt.
    if (IFF1 && (prt0Request | prt1Request | dma0Request | dma1Request | asci0Request | asci1Request))
      acceptInterrupt();

    // 5. End of step.
    halted = haltRequest;
    sleeping = sleepRequest;
  }
  // Bring the channels and timers up to date for whoever looks next; no
  // event is due within the deferred clocks, so this only counts.
  syncPeripherals();
}
