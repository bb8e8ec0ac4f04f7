// The console keyboard: German-layout key caps to the bytes the program sees.
#include "System_Terminal.h"

namespace {

constexpr int None = -1;

// One key with what it sends alone, with Shift and with Alt (the German
// layout's AltGr characters). Characters outside ASCII map to a neighbour.
struct TKeyRow {
  uint16_t key;
  int plain;
  int shift;
  int alt;
};

constexpr TKeyRow KeyTable[] = {
    {vk::Back, 0x7F, None, None},
    {vk::Tab, 0x09, None, None},
    {vk::Return, 0x0D, None, None},  // main and keypad Enter
    {vk::Escape, 0x1B, None, None},
    {vk::Space, 0x20, None, None},
    // Cursor and editing keys send the console's cursor-control codes.
    {vk::Prior, 0x12, None, None},
    {vk::Next, 0x03, None, None},
    {vk::Left, 0x13, None, None},
    {vk::Up, 0x05, None, None},
    {vk::Right, 0x04, None, None},
    {vk::Down, 0x18, None, None},
    {vk::Insert, 0x16, None, None},
    {vk::Delete, 0x07, None, None},
    // The digit row.
    {0x30, '0', '=', '}'},
    {0x31, '1', '!', None},
    {0x32, '2', '"', None},
    {0x33, '3', '#', None},  // the cap shows the section sign
    {0x34, '4', '$', None},
    {0x35, '5', '%', None},
    {0x36, '6', '&', None},
    {0x37, '7', '/', '{'},
    {0x38, '8', '(', '['},
    {0x39, '9', ')', ']'},
    // OEM keys.
    {vk::Oem1, 'u', None, None},  // Ü
    {vk::OemPlus, '+', '*', '~'},
    {vk::OemComma, ',', ';', None},
    {vk::OemMinus, '-', '_', None},
    {vk::OemPeriod, '.', ':', None},
    {vk::Oem2, '#', '\'', None},
    {vk::Oem3, 'o', None, None},  // Ö
    {vk::Oem4, 's', '?', '\\'},   // ß
    {vk::Oem5, '^', '~', None},   // Shift gives the degree sign
    {vk::Oem6, '`', '`', None},   // the accent key, acute and grave alike
    {vk::Oem7, 'a', None, None},  // Ä
    {vk::Oem102, '<', '>', '|'},
};

}  // namespace

std::optional<uint8_t> TSystemTerminal::translateKey(uint16_t key, TShiftState shift) {
  enum { Plain, WithShift, WithCtrl, WithAlt } column;
  if (shift == TShiftState())
    column = Plain;
  else if (shift == TShiftState::Shift)
    column = WithShift;
  else if (shift == TShiftState::Ctrl)
    column = WithCtrl;
  else if (shift == TShiftState::Alt)
    column = WithAlt;
  else
    return std::nullopt;  // two or more modifiers together send nothing

  if (key >= vk::KeyA && key <= vk::KeyZ) {
    switch (column) {
      case Plain: return uint8_t(key + 0x20);
      case WithShift: return uint8_t(key);
      case WithCtrl: return uint8_t(key - 0x40);
      case WithAlt:
        if (key == vk::KeyQ) return uint8_t('@');
        return std::nullopt;
    }
  }
  if (column == WithCtrl) return std::nullopt;  // Ctrl works on letters only

  for (const TKeyRow& row : KeyTable) {
    if (row.key != key) continue;
    const int b = column == Plain ? row.plain : column == WithShift ? row.shift : row.alt;
    if (b == None) return std::nullopt;
    return uint8_t(b);
  }
  return std::nullopt;
}

void TSystemTerminal::keyDown(uint16_t key, TShiftState shift) {
  const std::optional<uint8_t> b = translateKey(key, shift);
  if (!b) return;
  keyQueue.push_back(*b);
  if (localEcho) writeChar(*b);
}
