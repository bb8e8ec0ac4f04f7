// The two asynchronous serial channels (ASCI0 is the console, ASCI1 is not
// connected).
//
// Per clock an enabled channel (TE or RE set) counts toward its next bit
// time, moves TDR into an empty transmit shift register while TDRE is clear,
// moves a held received character into RDR while RDRF is clear, and every
// asciClocksPerBit clocks (every clock when that is 0) runs asciService: one
// bit time of the character shifting out, one of the character shifting in,
// and the interrupt conditions.
//
// Nearly all clocks only count. The processor defers them until a bit time
// or a register move is due (or software touches the registers) and then
// hands them over at once; asciRun jumps from one clock with work to the
// next. The channels share no state (channel 1 never reaches the terminal),
// so each one runs through the clocks on its own.
#include "Z180_CPU.h"

#include "Z180_CPU_Inline.h"

namespace {

// CNTLA
constexpr uint8_t kRe = 0x40, kTe = 0x20;
// STAT
constexpr uint8_t kRdrf = 0x80, kOvrn = 0x40, kRie = 0x08, kTdre = 0x02, kTie = 0x01;

}  // namespace

bool TZ180Cpu::asciMovePending(int channel) const {
  const uint8_t stat = STAT[channel];
  return (!(stat & kTdre) && asciTsrEmpty[channel]) || (!(stat & kRdrf) && asciRsrFull[channel]);
}

bool TZ180Cpu::asciIdle(int channel) const {
  const uint8_t cntla = CNTLA[channel], stat = STAT[channel];
  if (asciMovePending(channel)) return false;
  if ((cntla & kTe) && !asciTsrEmpty[channel]) return false;  // a character is shifting out
  if ((cntla & kRe) && !asciRsrFull[channel] && (channel == 0 ? inOut.asci0HasData() : inOut.asci1HasData()))
    return false;                                               // one is shifting in
  if ((stat & (kTie | kTdre)) == (kTie | kTdre)) return false;  // a request at every bit time
  if ((stat & kRie) && (stat & (kRdrf | kOvrn))) return false;  // likewise
  if ((stat & kRdrf) && asciRsrFull[channel]) return false;     // overrun would be flagged
  return true;
}

void TZ180Cpu::asciRun(int channel, uint32_t cycles) {
  uint32_t& count = asciClockCount[channel];
  while (cycles != 0) {
    if (asciIdle(channel)) {
      // Nothing but the bit-time counter moves until software or a typed
      // key changes something, and both hand the clocks over first.
      const uint32_t perBit = asciClocksPerBit[channel];
      // A count at or beyond the bit time (after a CNTLB write shortened it)
      // wraps at the very next clock.
      if (perBit == 0)
        count = 0;
      else if (count < perBit)
        count = uint32_t((uint64_t(count) + cycles) % perBit);
      else
        count = (cycles - 1) % perBit;
      return;
    }
    // Clocks up to and including the next one that does more than count:
    // the bit time, or at once when a register move is waiting. Nothing
    // outside the channel changes that in between.
    const uint32_t perBit = asciClocksPerBit[channel];
    const uint32_t toWork = (count < perBit && !asciMovePending(channel)) ? perBit - count : 1;
    if (toWork > cycles) {
      count += cycles;
      return;
    }
    count += toWork - 1;
    cycles -= toWork;
    asciTick(channel);
  }
}

void TZ180Cpu::asciTick(int channel) {
  uint8_t& stat = STAT[channel];
  ++asciClockCount[channel];
  if (!(stat & kTdre) && asciTsrEmpty[channel]) {
    asciTsr[channel] = TDR[channel];
    asciTsrEmpty[channel] = false;
    stat |= kTdre;
  }
  if (!(stat & kRdrf) && asciRsrFull[channel]) {
    RDR[channel] = asciRsr[channel];
    asciRsrFull[channel] = false;
    stat |= kRdrf;
  }
  if (asciClockCount[channel] >= asciClocksPerBit[channel]) {
    asciClockCount[channel] = 0;
    asciService(channel);
  }
}

void TZ180Cpu::asciService(int channel) {
  const uint8_t cntla = CNTLA[channel];
  uint8_t& stat = STAT[channel];

  // Transmit: the character leaves after a whole frame of bit times. A frame
  // length of 0 (never written since construction) sends at every bit time.
  if ((cntla & kTe) && !asciTsrEmpty[channel]) {
    if (++asciTxBitCount[channel] >= asciFrameBits[channel]) {
      if (channel == 0)
        inOut.asci0Send(asciTsr[0]);
      else
        inOut.asci1Send(asciTsr[1]);
      asciTsrEmpty[channel] = true;
      asciTxBitCount[channel] = 0;
    }
  }

  // Receive: bits arrive only while a character waits, and a full shift
  // register leaves further characters in the sender's buffer.
  if ((cntla & kRe) && !asciRsrFull[channel] && (channel == 0 ? inOut.asci0HasData() : inOut.asci1HasData())) {
    if (++asciRxBitCount[channel] >= asciFrameBits[channel]) {
      asciRsr[channel] = channel == 0 ? inOut.asci0Receive() : inOut.asci1Receive();
      asciRsrFull[channel] = true;
      asciRxBitCount[channel] = 0;
    }
  }

  bool& request = channel == 0 ? asci0Request : asci1Request;
  if ((stat & (kTie | kTdre)) == (kTie | kTdre)) request = true;
  // Overrun keeps the held character: it moves on once RDR has been read.
  if ((stat & kRdrf) && asciRsrFull[channel]) stat |= kOvrn;
  if ((stat & kRie) && (stat & (kRdrf | kOvrn))) request = true;
}
