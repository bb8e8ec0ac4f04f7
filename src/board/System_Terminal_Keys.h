// Key codes and modifiers as the console's keyboard sees them.
//
// The keyboard is described by Windows virtual-key codes (the codes a German
// PC keyboard reports), so the translation tables read like the key caps. The
// front end maps its own key events onto these codes; nothing here depends on
// a platform header.
#pragma once

#include <cstdint>

// Windows virtual-key codes used by the console (and a few more the front end
// needs to name keys that produce nothing).
namespace vk {
constexpr uint16_t Back = 0x08;
constexpr uint16_t Tab = 0x09;
constexpr uint16_t Return = 0x0D;
constexpr uint16_t Shift = 0x10;
constexpr uint16_t Control = 0x11;
constexpr uint16_t Menu = 0x12;  // Alt
constexpr uint16_t Pause = 0x13;
constexpr uint16_t Capital = 0x14;
constexpr uint16_t Escape = 0x1B;
constexpr uint16_t Space = 0x20;
constexpr uint16_t Prior = 0x21;  // Page Up
constexpr uint16_t Next = 0x22;   // Page Down
constexpr uint16_t End = 0x23;
constexpr uint16_t Home = 0x24;
constexpr uint16_t Left = 0x25;
constexpr uint16_t Up = 0x26;
constexpr uint16_t Right = 0x27;
constexpr uint16_t Down = 0x28;
constexpr uint16_t Insert = 0x2D;
constexpr uint16_t Delete = 0x2E;
constexpr uint16_t Key0 = 0x30;  // digits 0x30 to 0x39, Key0 + n
constexpr uint16_t Key9 = 0x39;
constexpr uint16_t KeyA = 0x41;  // letters 0x41 to 0x5A, KeyA + n
constexpr uint16_t KeyQ = 0x51;
constexpr uint16_t KeyZ = 0x5A;
constexpr uint16_t Numpad0 = 0x60;  // keypad digits 0x60 to 0x69
constexpr uint16_t Numpad9 = 0x69;
constexpr uint16_t Multiply = 0x6A;
constexpr uint16_t Add = 0x6B;
constexpr uint16_t Separator = 0x6C;
constexpr uint16_t Subtract = 0x6D;
constexpr uint16_t Decimal = 0x6E;
constexpr uint16_t Divide = 0x6F;
constexpr uint16_t F1 = 0x70;  // function keys 0x70 to 0x87, F1 + n - 1
constexpr uint16_t F12 = 0x7B;
// The OEM keys, named after their German caps.
constexpr uint16_t Oem1 = 0xBA;       // Ü
constexpr uint16_t OemPlus = 0xBB;    // + * ~
constexpr uint16_t OemComma = 0xBC;   // , ;
constexpr uint16_t OemMinus = 0xBD;   // - _
constexpr uint16_t OemPeriod = 0xBE;  // . :
constexpr uint16_t Oem2 = 0xBF;       // # '
constexpr uint16_t Oem3 = 0xC0;       // Ö
constexpr uint16_t Oem4 = 0xDB;       // ß ? backslash
constexpr uint16_t Oem5 = 0xDC;       // ^ °
constexpr uint16_t Oem6 = 0xDD;       // acute and grave accent
constexpr uint16_t Oem7 = 0xDE;       // Ä
constexpr uint16_t Oem102 = 0xE2;     // < > |
}  // namespace vk

// The modifier keys held with a key press, as a bit set.
struct TShiftState {
  enum TFlag : uint8_t { None = 0, Shift = 0x01, Ctrl = 0x02, Alt = 0x04 };

  constexpr TShiftState() = default;
  constexpr TShiftState(TFlag flag) : bits(flag) {}  // NOLINT: a single flag is a set

  constexpr bool has(TFlag flag) const { return (bits & flag) != 0; }
  constexpr bool empty() const { return bits == 0; }
  constexpr bool operator==(const TShiftState&) const = default;

  friend constexpr TShiftState operator|(TShiftState a, TShiftState b) { return fromBits(a.bits | b.bits); }
  friend constexpr TShiftState operator|(TFlag a, TFlag b) { return fromBits(uint8_t(a) | uint8_t(b)); }

  uint8_t bits = 0;

 private:
  static constexpr TShiftState fromBits(int b) {
    TShiftState s;
    s.bits = uint8_t(b);
    return s;
  }
};
