// The rules of the memory editor's hex dump that need no display: rows and
// their address texts, the tint of a byte, where a refresh puts the current
// row, the status texts and what the byte editor accepts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class TSystemMemory;

enum class TDumpTint { Normal, Rom, ProgramCounter };

struct TMemoryDump {
  // Grid rows: the header row and one row of 16 bytes per 16 bytes of RAM.
  static int rowCount(uint32_t ramSize) { return int(ramSize / 16) + 1; }
  // Physical address of grid row r >= 1.
  static uint32_t rowAddress(int row) { return uint32_t(row - 1) * 16; }
  // Uppercase hex, at least four digits: "0000", "FFF0", "10000".
  static std::string addressText(uint32_t address);
  // Boot ROM (while switched on) first, the program counter's byte over it.
  static TDumpTint tint(const TSystemMemory& memory, uint32_t address, uint32_t programCounter);
  // The current row a refresh selects: the program counter's row + 7, limited
  // to the last row. Scrolled into view from the top, the program counter's
  // row is then the ninth of 16 visible rows.
  static int refreshRow(uint32_t programCounter, int rowCount);
  // The first visible data row after the minimal scroll from the top that
  // brings row into view.
  static int topRowShowing(int row, int visibleRows);
  static std::string ramStatusText(uint32_t ramSize);  // "  System-Memory Size : 64KB"
  static std::string romStatusText(uint32_t romSize);  // "  Boot-ROM Size : 8KB"
  // The byte editor takes hex digits and backspace only.
  static bool acceptsEditCharacter(char c);
  // One or two hex digits; empty (or anything else) gives nothing.
  static std::optional<uint8_t> parseEditText(const std::string& text);
};
