#include "Memory_Dump.h"

#include "System_Memory.h"

#include <algorithm>
#include <cstdio>

std::string TMemoryDump::addressText(uint32_t address) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04X", unsigned(address));
  return buffer;
}

TDumpTint TMemoryDump::tint(const TSystemMemory& memory, uint32_t address, uint32_t programCounter) {
  if (address == programCounter) return TDumpTint::ProgramCounter;
  if (memory.getBootRomEnabled() && address < memory.getRomSize()) return TDumpTint::Rom;
  return TDumpTint::Normal;
}

int TMemoryDump::refreshRow(uint32_t programCounter, int rowCount) {
  const int row = int(programCounter / 16) + 8;
  return std::max(1, std::min(row, rowCount - 1));
}

int TMemoryDump::topRowShowing(int row, int visibleRows) { return std::max(1, row - std::max(1, visibleRows) + 1); }

std::string TMemoryDump::ramStatusText(uint32_t ramSize) {
  return "  System-Memory Size : " + std::to_string(ramSize / 1024) + "KB";
}

std::string TMemoryDump::romStatusText(uint32_t romSize) {
  return "  Boot-ROM Size : " + std::to_string(romSize / 1024) + "KB";
}

bool TMemoryDump::acceptsEditCharacter(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f') || c == '\b';
}

std::optional<uint8_t> TMemoryDump::parseEditText(const std::string& text) {
  if (text.empty() || text.size() > 2) return std::nullopt;
  unsigned value = 0;
  for (char c : text) {
    if (c == '\b' || !acceptsEditCharacter(c)) return std::nullopt;
    value = value * 16 + unsigned(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
  }
  return uint8_t(value);
}
