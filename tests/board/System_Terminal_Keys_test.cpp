// The console keyboard: German-layout keys (Windows virtual-key codes) to the
// bytes serial channel 0 receives, and the local echo.
#include "System_Terminal.h"
#include "Virtual_Clock.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int None = -1;

std::string hex(int v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%02X", v);
  return buf;
}

class TerminalKeysTest : public ::testing::Test {
 protected:
  // The bytes one key press queues (the queue is emptied first).
  std::vector<int> press(uint16_t key, TShiftState shift) {
    term.keyQueue.clear();
    term.keyDown(key, shift);
    std::vector<int> got;
    while (term.keyAvailable()) got.push_back(term.readKey());
    return got;
  }
  void expectKey(uint16_t key, TShiftState shift, int expected, const char* modifier) {
    SCOPED_TRACE(std::string(modifier) + " + key " + hex(key));
    const std::vector<int> want = expected == None ? std::vector<int>{} : std::vector<int>{expected};
    EXPECT_EQ(press(key, shift), want);
  }

  TVirtualClock clock;
  TSystemTerminal term{clock};
};

// Every key of the keyboard table with what it sends alone, with Shift and
// with Alt; Ctrl is checked separately (letters only).
struct TKeyCase {
  uint16_t key;
  int plain;
  int shift;
  int alt;
};

const std::vector<TKeyCase> KeyTable = {
    {0x08, 0x7F, None, None}, {0x09, 0x09, None, None}, {0x0D, 0x0D, None, None}, {0x1B, 0x1B, None, None},
    {0x20, 0x20, None, None}, {0x21, 0x12, None, None}, {0x22, 0x03, None, None}, {0x25, 0x13, None, None},
    {0x26, 0x05, None, None}, {0x27, 0x04, None, None}, {0x28, 0x18, None, None}, {0x2D, 0x16, None, None},
    {0x2E, 0x07, None, None}, {0x30, 0x30, 0x3D, 0x7D}, {0x31, 0x31, 0x21, None}, {0x32, 0x32, 0x22, None},
    {0x33, 0x33, 0x23, None}, {0x34, 0x34, 0x24, None}, {0x35, 0x35, 0x25, None}, {0x36, 0x36, 0x26, None},
    {0x37, 0x37, 0x2F, 0x7B}, {0x38, 0x38, 0x28, 0x5B}, {0x39, 0x39, 0x29, 0x5D}, {0xBA, 0x75, None, None},
    {0xBB, 0x2B, 0x2A, 0x7E}, {0xBC, 0x2C, 0x3B, None}, {0xBD, 0x2D, 0x5F, None}, {0xBE, 0x2E, 0x3A, None},
    {0xBF, 0x23, 0x27, None}, {0xC0, 0x6F, None, None}, {0xDB, 0x73, 0x3F, 0x5C}, {0xDC, 0x5E, 0x7E, None},
    {0xDD, 0x60, 0x60, None}, {0xDE, 0x61, None, None}, {0xE2, 0x3C, 0x3E, 0x7C},
};

TEST_F(TerminalKeysTest, NonLetterKeysAloneWithShiftWithAltAndCtrl) {
  for (const TKeyCase& k : KeyTable) {
    expectKey(k.key, TShiftState(), k.plain, "none");
    expectKey(k.key, TShiftState::Shift, k.shift, "Shift");
    expectKey(k.key, TShiftState::Alt, k.alt, "Alt");
    expectKey(k.key, TShiftState::Ctrl, None, "Ctrl");  // Ctrl works on letters only
  }
}

TEST_F(TerminalKeysTest, LetterKeys) {
  for (int key = 0x41; key <= 0x5A; ++key) {
    expectKey(key, TShiftState(), key + 0x20, "none");
    expectKey(key, TShiftState::Shift, key, "Shift");
    expectKey(key, TShiftState::Ctrl, key - 0x40, "Ctrl");
    expectKey(key, TShiftState::Alt, key == 0x51 ? 0x40 : None, "Alt");  // only AltGr+Q, '@'
  }
}

TEST_F(TerminalKeysTest, KeysAndCombinationsThatSendNothing) {
  struct TSilent {
    uint16_t key;
    TShiftState shift;
    const char* what;
  };
  std::vector<TSilent> cases = {
      {vk::Shift, TShiftState::Shift, "Shift alone"},
      {vk::Control, TShiftState::Ctrl, "Ctrl alone"},
      {vk::Menu, TShiftState::Alt, "Alt alone"},
      {vk::Capital, TShiftState(), "Caps Lock"},
      {vk::Home, TShiftState(), "Home"},
      {vk::End, TShiftState(), "End"},
      {vk::Pause, TShiftState(), "Pause"},
      {vk::Space, TShiftState::Shift, "Shift+Space"},
      {vk::Return, TShiftState::Shift, "Shift+Enter"},
      {vk::Tab, TShiftState::Shift, "Shift+Tab"},
      {vk::Back, TShiftState::Shift, "Shift+Backspace"},
      {vk::Left, TShiftState::Shift, "Shift+Left"},
      {vk::Down, TShiftState::Shift, "Shift+Down"},
      {vk::Key0 + 1, TShiftState::Ctrl, "Ctrl+1"},
      {vk::Space, TShiftState::Ctrl, "Ctrl+Space"},
      {vk::Return, TShiftState::Ctrl, "Ctrl+Enter"},
      {vk::KeyA + 2, TShiftState::Shift | TShiftState::Ctrl, "Shift+Ctrl+C"},
      {vk::KeyQ, TShiftState::Ctrl | TShiftState::Alt, "Ctrl+Alt+Q (AltGr reported as both)"},
      {vk::KeyA, TShiftState::Shift | TShiftState::Alt, "Shift+Alt+A"},
      {vk::Key0, TShiftState::Shift | TShiftState::Ctrl | TShiftState::Alt, "all three + 0"},
      {0x0141, TShiftState(), "a code beyond one byte that aliases 'A'"},
  };
  for (uint16_t k = vk::F1; k <= vk::F12; ++k) cases.push_back({k, TShiftState(), "function key"});
  for (uint16_t k = vk::Numpad0; k <= vk::Divide; ++k) cases.push_back({k, TShiftState(), "keypad key"});
  for (const TSilent& c : cases) {
    SCOPED_TRACE(std::string(c.what) + " " + hex(c.key));
    EXPECT_EQ(press(c.key, c.shift), std::vector<int>{});
    EXPECT_FALSE(TSystemTerminal::translateKey(c.key, c.shift).has_value());
  }
}

TEST_F(TerminalKeysTest, TypedBytesArriveInOrderOneAtATime) {
  term.keyDown(vk::KeyA + 7, TShiftState::Shift);  // H
  term.keyDown(vk::KeyA + 8, TShiftState());       // i
  term.keyDown(vk::Return, TShiftState());
  ASSERT_TRUE(term.keyAvailable());
  EXPECT_EQ(term.readKey(), 'H');
  EXPECT_EQ(term.readKey(), 'i');
  EXPECT_TRUE(term.keyAvailable());
  EXPECT_EQ(term.readKey(), 0x0D);
  EXPECT_FALSE(term.keyAvailable());
}

TEST_F(TerminalKeysTest, EnterSendsOnlyCarriageReturnEvenWithCrLf) {
  term.setUseCrLf(true);
  EXPECT_EQ(press(vk::Return, TShiftState()), std::vector<int>{0x0D});
}

TEST_F(TerminalKeysTest, WithoutLocalEchoTheScreenStaysBlank) {
  term.keyDown(vk::KeyA, TShiftState());
  term.keyDown(vk::Return, TShiftState());
  EXPECT_EQ(term.getScreenChars()[0], ' ');
  EXPECT_EQ(term.getCursorRow(), 1);
  EXPECT_EQ(term.getCursorCol(), 1);
}

TEST_F(TerminalKeysTest, LocalEchoInterpretsTheSentBytes) {
  term.setLocalEcho(true);
  term.setUseCrLf(true);
  for (uint16_t k : {uint16_t(vk::KeyA + 1), uint16_t(vk::KeyA + 2), uint16_t(vk::KeyA + 3)})
    term.keyDown(k, TShiftState());
  EXPECT_EQ(std::string(term.getScreenChars().begin(), term.getScreenChars().begin() + 4), "bcd ");
  EXPECT_EQ(term.getCursorCol(), 4);

  term.keyDown(vk::Back, TShiftState());  // 0x7F erases the cell left of the cursor
  EXPECT_EQ(term.getScreenChars()[2], ' ');
  EXPECT_EQ(term.getCursorCol(), 3);

  term.keyDown(vk::Left, TShiftState());  // 0x13
  EXPECT_EQ(term.getCursorCol(), 2);
  term.keyDown(vk::Down, TShiftState());  // 0x18
  EXPECT_EQ(term.getCursorRow(), 2);
  term.keyDown(vk::Up, TShiftState());  // 0x05
  EXPECT_EQ(term.getCursorRow(), 1);
  term.keyDown(vk::Right, TShiftState());  // 0x04
  EXPECT_EQ(term.getCursorCol(), 3);
  term.keyDown(vk::Return, TShiftState());  // shown as a new line
  EXPECT_EQ(term.getCursorRow(), 2);
  EXPECT_EQ(term.getCursorCol(), 1);

  std::string sent;
  while (term.keyAvailable()) sent += char(term.readKey());
  EXPECT_EQ(sent, "bcd\x7f\x13\x18\x05\x04\r");
}

}  // namespace
