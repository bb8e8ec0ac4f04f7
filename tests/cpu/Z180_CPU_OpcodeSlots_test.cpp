// Every second byte after CB, DD, ED and FD, and every DDCB/FDCB final byte:
// each slot either executes (no TRAP in ITC, PC moves on) or takes the
// undefined-opcode trap (TRAP set, UFO as the slot demands, the address after
// the undefined byte pushed, PC = 0). The lists below are the Z180's defined
// opcodes, written out independently of the executors.
#include "Test_Machine.h"

#include <gtest/gtest.h>

#include <bitset>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

using TSlots = std::bitset<256>;

TSlots fromRanges(std::initializer_list<std::pair<unsigned, unsigned>> ranges) {
  TSlots s;
  for (auto [first, last] : ranges)
    for (unsigned b = first; b <= last; ++b) s.set(b);
  return s;
}

// CB: everything except 0x30-0x37.
TSlots cbDefined() {
  TSlots s;
  s.set();
  for (unsigned b = 0x30; b <= 0x37; ++b) s.reset(b);
  return s;
}

// DD and FD: the index instructions proper, no IXH/IXL forms.
TSlots indexDefined() {
  return fromRanges({{0x09, 0x09}, {0x19, 0x19}, {0x21, 0x23}, {0x29, 0x2B}, {0x34, 0x36}, {0x39, 0x39},
                     {0x46, 0x46}, {0x4E, 0x4E}, {0x56, 0x56}, {0x5E, 0x5E}, {0x66, 0x66}, {0x6E, 0x6E},
                     {0x70, 0x75}, {0x77, 0x77}, {0x7E, 0x7E}, {0x86, 0x86}, {0x8E, 0x8E}, {0x96, 0x96},
                     {0x9E, 0x9E}, {0xA6, 0xA6}, {0xAE, 0xAE}, {0xB6, 0xB6}, {0xBE, 0xBE}, {0xCB, 0xCB},
                     {0xE1, 0xE1}, {0xE3, 0xE3}, {0xE5, 0xE5}, {0xE9, 0xE9}, {0xF9, 0xF9}});
}

// ED: the Z80 extended set and the Z180 additions.
TSlots edDefined() {
  return fromRanges({{0x00, 0x01}, {0x04, 0x04}, {0x08, 0x09}, {0x0C, 0x0C}, {0x10, 0x11}, {0x14, 0x14}, {0x18, 0x19},
                     {0x1C, 0x1C}, {0x20, 0x21}, {0x24, 0x24}, {0x28, 0x29}, {0x2C, 0x2C}, {0x34, 0x34}, {0x38, 0x39},
                     {0x3C, 0x3C}, {0x40, 0x4D}, {0x4F, 0x4F}, {0x50, 0x53}, {0x56, 0x5C}, {0x5E, 0x5F}, {0x60, 0x64},
                     {0x67, 0x6C}, {0x6F, 0x6F}, {0x72, 0x74}, {0x76, 0x76}, {0x78, 0x7C}, {0x83, 0x83}, {0x8B, 0x8B},
                     {0x93, 0x93}, {0x9B, 0x9B}, {0xA0, 0xA3}, {0xA8, 0xAB}, {0xB0, 0xB3}, {0xB8, 0xBB}});
}

// DDCB/FDCB final bytes: z = 6, except x = 0, y = 6.
TSlots indexCBDefined() {
  TSlots s;
  for (unsigned b = 0; b < 256; ++b) s[b] = (b & 7) == 6 && b != 0x36;
  return s;
}

std::string hex(unsigned v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X", v);
  return buf;
}

constexpr uint16_t kCode = 0x1000;
constexpr uint16_t kStack = 0xC000;

// Runs one instruction from kCode in a fresh machine and describes what is
// wrong with the outcome ("" when the slot behaves as expected).
std::string checkSlot(const std::vector<uint8_t>& code, bool defined, bool ufo, uint16_t pushed, unsigned opcodeFetches,
                      bool checkR) {
  TTestMachine m;
  TZ180Cpu& cpu = m.cpu;
  m.load(kCode, code);
  m.load(kStack, {0x34, 0x12});  // a return address for RETN/RETI
  // Pointers into RAM; B:C and the immediate operands name port 0x003B,
  // which no internal register and no board device answers.
  cpu.PC = kCode;
  cpu.SP = kStack;
  cpu.HL.w = 0x8000;
  cpu.DE.w = 0x9000;
  cpu.BC.w = 0x003B;
  cpu.IX = cpu.IY = 0x8800;
  cpu.IFF1 = cpu.IFF2 = false;
  cpu.ITC = 0x00;
  cpu.R = 0x00;

  cpu.step(1);

  std::string problems;
  const bool trapped = (cpu.ITC & 0x80) != 0;
  if (defined) {
    if (trapped) problems += " trapped";
    if (cpu.PC == 0x0000) problems += " PC=0";
  } else {
    if (!trapped) problems += " no TRAP";
    if (((cpu.ITC & 0x40) != 0) != ufo) problems += " UFO wrong";
    if (cpu.PC != 0x0000) problems += " PC not 0";
    const uint16_t top = uint16_t(m.peek(kStack - 2) | (m.peek(kStack - 1) << 8));
    if (cpu.SP != kStack - 2 || top != pushed) problems += " wrong return address";
  }
  if (checkR && cpu.R != opcodeFetches) problems += " R+" + std::to_string(cpu.R);
  return problems;
}

TEST(Z180OpcodeSlots, EverySecondByteExecutesOrTraps) {
  struct TPrefix {
    uint8_t prefix;
    TSlots defined;
  };
  const TPrefix prefixes[] = {
      {0xCB, cbDefined()},
      {0xDD, indexDefined()},
      {0xED, edDefined()},
      {0xFD, indexDefined()},
  };
  for (const TPrefix& p : prefixes) {
    std::string report;
    for (unsigned b = 0; b < 256; ++b) {
      const bool defined = p.defined[b];
      // Operand bytes: d = 0x3B, n or port 0x3B, nn = 0x063B; after DD CB /
      // FD CB the final byte 0x06 (RLC (XY+d)).
      const std::vector<uint8_t> code{p.prefix, uint8_t(b), 0x3B, 0x06, 0x00};
      const bool indexCB = (p.prefix == 0xDD || p.prefix == 0xFD) && b == 0xCB;
      const bool writesR = p.prefix == 0xED && b == 0x4F;  // LD R,A
      const std::string problems = checkSlot(code, defined, false, uint16_t(kCode + 2), indexCB ? 3 : 2, !writesR);
      if (!problems.empty()) report += " " + hex(b) + (defined ? "(defined):" : "(undefined):") + problems + ";";
    }
    EXPECT_EQ(report, "") << "slots after " << hex(p.prefix);
  }
}

TEST(Z180OpcodeSlots, EveryIndexedCBFinalByteExecutesOrTraps) {
  const TSlots defined = indexCBDefined();
  EXPECT_EQ(defined.count(), 31u);  // 7 rotates and shifts, 8 each of BIT, RES, SET
  for (const uint8_t prefix : {uint8_t(0xDD), uint8_t(0xFD)}) {
    std::string report;
    for (unsigned op = 0; op < 256; ++op) {
      const std::vector<uint8_t> code{prefix, 0xCB, 0x05, uint8_t(op)};
      const std::string problems = checkSlot(code, defined[op], true, uint16_t(kCode + 4), 3, true);
      if (!problems.empty()) report += " " + hex(op) + ":" + problems + ";";
    }
    EXPECT_EQ(report, "") << "final bytes after " << hex(prefix) << " CB 05";
  }
}

}  // namespace
