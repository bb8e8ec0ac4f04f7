// The console's screen model and byte interpreter: control codes, VT52 and
// ANSI sequences, driven byte by byte as serial channel 0 delivers them.
#include "System_Terminal.h"
#include "Virtual_Clock.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>

namespace {

using TState = TSystemTerminal::TParserState;
constexpr char ESC = '\x1b';

std::string csi(const std::string& body) { return std::string(1, ESC) + "[" + body; }
// ESC Y addressing of (row, col).
std::string directTo(int row, int col) { return std::string{ESC, 'Y', char(row + 32), char(col + 32)}; }
std::string at(int row, int col) { return csi(std::to_string(row) + ";" + std::to_string(col) + "H"); }

std::string stateName(TState s) {
  static const char* const names[] = {"Ground",    "Escape",    "CsiEntry",    "CsiParam",
                                      "CsiParam2", "DirectRow", "DirectColumn"};
  return names[int(s)];
}

struct TSnapshot {
  TSystemTerminal::TScreenArray<uint8_t> chars;
  TSystemTerminal::TScreenArray<uint32_t> styles, text, back;
};

class TerminalTest : public ::testing::Test {
 protected:
  void send(std::string_view bytes) {
    for (char c : bytes) term.writeChar(uint8_t(c));
  }

  // Row r as its 80 characters.
  std::string row(int r) const {
    const auto& chars = term.getScreenChars();
    const int i = TSystemTerminal::cellIndex(r, 1);
    return std::string(chars.begin() + i, chars.begin() + i + TSystemTerminal::Cols);
  }
  std::string rowTrimmed(int r) const {
    std::string s = row(r);
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
  }
  uint8_t charAt(int r, int c) const { return term.getScreenChars()[TSystemTerminal::cellIndex(r, c)]; }
  uint32_t textAt(int r, int c) const { return term.getScreenTextColors()[TSystemTerminal::cellIndex(r, c)]; }
  uint32_t backAt(int r, int c) const { return term.getScreenBackColors()[TSystemTerminal::cellIndex(r, c)]; }
  uint32_t styleAt(int r, int c) const { return term.getScreenStyles()[TSystemTerminal::cellIndex(r, c)]; }

  void expectCursor(int r, int c) const {
    EXPECT_EQ(term.getCursorRow(), r);
    EXPECT_EQ(term.getCursorCol(), c);
  }

  TSnapshot snapshot() const {
    return {term.getScreenChars(), term.getScreenStyles(), term.getScreenTextColors(), term.getScreenBackColors()};
  }

  // Fills every row with its own letter ('a' for row 1 ... 'x' for row 24)
  // and a rendition per row: rows alternate bold red-background and italic
  // blue-on-yellow, row 9 has green text, row 10 a cyan background. The last
  // cell (24,80) stays empty: writing it would scroll.
  void fillScreen() {
    for (int r = 1; r <= TSystemTerminal::Rows; ++r) {
      send(directTo(r, 1));
      send(r % 2 ? csi("1m") + csi("41m") : csi("5m") + csi("34m") + csi("43m"));
      if (r == 9) send(csi("32m"));
      if (r == 10) send(csi("46m"));
      send(std::string(r == TSystemTerminal::Rows ? 79 : 80, char('a' + r - 1)));
    }
    send(csi("0m"));
    ASSERT_EQ(row(10), std::string(80, 'j'));
    ASSERT_EQ(backAt(10, 1), rgb::Cyan);
    ASSERT_EQ(textAt(9, 1), rgb::Green);
  }

  // After a line operation: screen row r shows what was in row layout[r-1]
  // ('a' = row 1 ...) or is blank ('.'); characters, text colours and styles
  // travel with their lines, background colours stay at their positions.
  void expectLayout(const TSnapshot& before, const std::string& layout) const {
    ASSERT_EQ(layout.size(), size_t(TSystemTerminal::Rows));
    for (int r = 1; r <= TSystemTerminal::Rows; ++r) {
      const char src = layout[r - 1];
      for (int c = 1; c <= TSystemTerminal::Cols; ++c) {
        const int i = TSystemTerminal::cellIndex(r, c);
        SCOPED_TRACE("row " + std::to_string(r) + " col " + std::to_string(c));
        EXPECT_EQ(term.getScreenBackColors()[i], before.back[i]);
        if (src == '.') {
          EXPECT_EQ(term.getScreenChars()[i], ' ');
          EXPECT_EQ(term.getScreenTextColors()[i], rgb::Black);
          EXPECT_EQ(term.getScreenStyles()[i], 0u);
        } else {
          const int j = TSystemTerminal::cellIndex(src - 'a' + 1, c);
          EXPECT_EQ(term.getScreenChars()[i], before.chars[j]);
          EXPECT_EQ(term.getScreenTextColors()[i], before.text[j]);
          EXPECT_EQ(term.getScreenStyles()[i], before.styles[j]);
        }
        if (::testing::Test::HasFailure()) return;  // one cell is enough to see the fault
      }
    }
  }

  // After an erase: the cells the predicate names are blank with black text
  // and no style but keep their backgrounds; every other cell is unchanged.
  void expectErased(const TSnapshot& before, const std::function<bool(int, int)>& erased) const {
    for (int r = 1; r <= TSystemTerminal::Rows; ++r) {
      for (int c = 1; c <= TSystemTerminal::Cols; ++c) {
        const int i = TSystemTerminal::cellIndex(r, c);
        SCOPED_TRACE("row " + std::to_string(r) + " col " + std::to_string(c));
        EXPECT_EQ(term.getScreenBackColors()[i], before.back[i]);
        if (erased(r, c)) {
          EXPECT_EQ(term.getScreenChars()[i], ' ');
          EXPECT_EQ(term.getScreenTextColors()[i], rgb::Black);
          EXPECT_EQ(term.getScreenStyles()[i], 0u);
        } else {
          EXPECT_EQ(term.getScreenChars()[i], before.chars[i]);
          EXPECT_EQ(term.getScreenTextColors()[i], before.text[i]);
          EXPECT_EQ(term.getScreenStyles()[i], before.styles[i]);
        }
        if (::testing::Test::HasFailure()) return;
      }
    }
  }

  TVirtualClock clock;
  TSystemTerminal term{clock};
};

// ---------------------------------------------------------------------------
// Cursor movement and parser states

struct TCursorCase {
  const char* name;
  std::string bytes;
  int row;
  int col;
  TState state = TState::Ground;
  int32_t param1 = 0;
  int32_t param2 = 0;
};

TEST_F(TerminalTest, CursorMovesAndParserStates) {
  const std::string from10_30 = at(10, 30);
  const std::vector<TCursorCase> cases = {
      // Single control codes.
      {"SOH homes", from10_30 + "\x01", 1, 1},
      {"EOT right", from10_30 + "\x04", 10, 31},
      {"EOT stops at col 80", at(10, 80) + "\x04", 10, 80},
      {"ENQ up", from10_30 + "\x05", 9, 30},
      {"ENQ stops at row 1", at(1, 30) + "\x05", 1, 30},
      {"DC3 left", from10_30 + "\x13", 10, 29},
      {"DC3 stops at col 1", at(10, 1) + "\x13", 10, 1},
      {"CAN down", from10_30 + "\x18", 11, 30},
      {"CAN stops at row 24 without scrolling", at(24, 30) + "\x18", 24, 30},
      {"LF keeps the column", from10_30 + "\n", 11, 30},
      {"CR without CR/LF only returns", from10_30 + "\r", 10, 1},
      {"FF homes", from10_30 + "\x0c", 1, 1},
      {"BS moves left", from10_30 + "\x08", 10, 29},
      {"DEL moves left", from10_30 + "\x7f", 10, 29},
      {"BS in col 1 stays", at(10, 1) + "\x08", 10, 1},
      {"TAB from col 1", at(5, 1) + "\t", 5, 8},
      {"TAB from col 7", at(5, 7) + "\t", 5, 8},
      {"TAB from col 8", at(5, 8) + "\t", 5, 16},
      {"TAB from col 79", at(5, 79) + "\t", 5, 80},
      {"TAB from col 80 wraps on the same row", at(5, 80) + "\t", 5, 1},
      {"text advances", at(5, 79) + "x", 5, 80},
      {"text wraps after col 80", at(5, 80) + "x", 6, 1},
      // VT52 escapes.
      {"ESC A",
       from10_30 + "\x1b"
                   "A",
       9, 30},
      {"ESC A at row 1",
       at(1, 30) + "\x1b"
                   "A",
       1, 30},
      {"ESC B",
       from10_30 + "\x1b"
                   "B",
       11, 30},
      {"ESC B at row 24",
       at(24, 30) + "\x1b"
                    "B",
       24, 30},
      {"ESC C",
       from10_30 + "\x1b"
                   "C",
       10, 31},
      {"ESC D",
       from10_30 + "\x1b"
                   "D",
       10, 29},
      {"ESC H",
       from10_30 + "\x1b"
                   "H",
       1, 1},
      {"ESC Y row col", "\x1bY\x25\x2a", 5, 10},
      {"ESC Y 0x20 and 0x21 both mean 1", from10_30 + "\x1bY\x20\x21", 1, 1},
      {"ESC Y 0x22 means 2", from10_30 + "\x1bY\x22\x22", 2, 2},
      {"ESC Y clamps to the screen", "\x1bY\xff\xff", 24, 80},
      {"ESC Y waits for the row", from10_30 + "\x1bY", 10, 30, TState::DirectRow},
      {"ESC Y waits for the column", from10_30 + "\x1bY\x25", 10, 30, TState::DirectColumn},
      {"ESC Y abandoned by a control code, CR not done", from10_30 + "\x1bY\r", 10, 30},
      {"ESC Y row then control code, CR not done", from10_30 + "\x1bY\x25\r", 10, 30},
      {"ESC waits", from10_30 + "\x1b", 10, 30, TState::Escape},
      {"ESC < keeps waiting for the byte after ESC", from10_30 + "\x1b<", 10, 30, TState::Escape},
      {"ESC < A still moves up", from10_30 + "\x1b<A", 9, 30},
      {"ESC ESC is consumed, next byte is text", from10_30 + "\x1b\x1bx", 10, 31},
      {"ESC then CR is consumed", from10_30 + "\x1b\r", 10, 30},
      {"ESC unknown letter is consumed", from10_30 + "\x1bQx", 10, 31},
      // ANSI sequences without a parameter.
      {"CSI waits", from10_30 + csi(""), 10, 30, TState::CsiEntry},
      {"CSI A", from10_30 + csi("A"), 9, 30},
      {"CSI B", from10_30 + csi("B"), 11, 30},
      {"CSI C", from10_30 + csi("C"), 10, 31},
      {"CSI D", from10_30 + csi("D"), 10, 29},
      {"CSI H", from10_30 + csi("H"), 1, 1},
      {"CSI f", from10_30 + csi("f"), 1, 1},
      {"CSI ; ends the sequence", from10_30 + csi(";"), 10, 30},
      {"CSI ; ends the sequence, H is text", from10_30 + csi(";H"), 10, 31},
      // ANSI sequences with one parameter.
      {"CSI digits accumulate", from10_30 + csi("123"), 10, 30, TState::CsiParam, 123},
      {"CSI 3 A", from10_30 + csi("3A"), 7, 30},
      {"CSI 9 A", from10_30 + csi("9A"), 1, 30},
      {"CSI 10 A from row 10", from10_30 + csi("10A"), 1, 30},
      {"CSI 0 A does not move", from10_30 + csi("0A"), 10, 30},
      {"CSI 5 B", from10_30 + csi("5B"), 15, 30},
      {"CSI 14 B reaches row 24", from10_30 + csi("14B"), 24, 30},
      {"CSI huge B stops at row 24", from10_30 + csi("99999999999999B"), 24, 30},
      {"CSI 5 C", from10_30 + csi("5C"), 10, 35},
      {"CSI 50 C reaches col 80", from10_30 + csi("50C"), 10, 80},
      {"CSI 2^32 C stops at col 80", from10_30 + csi("4294967296C"), 10, 80},
      {"CSI 3 D", from10_30 + csi("3D"), 10, 27},
      {"CSI 100 D", from10_30 + csi("100D"), 10, 1},
      {"CSI 5 H alone does not move", from10_30 + csi("5H"), 10, 30},
      {"CSI 5 f alone does not move", from10_30 + csi("5f"), 10, 30},
      {"CSI 1 CR ends silently, no CR", from10_30 + csi("1\r"), 10, 30},
      // Two parameters.
      {"CSI n ; waits", from10_30 + csi("12;"), 10, 30, TState::CsiParam2, 12},
      {"CSI n ; m waits", from10_30 + csi("12;34"), 10, 30, TState::CsiParam2, 12, 34},
      {"CSI 5;10 H", csi("5;10H"), 5, 10},
      {"CSI 5;10 f", csi("5;10f"), 5, 10},
      {"CSI 30;100 H clamps", csi("30;100H"), 24, 80},
      {"CSI 0;0 H is home", from10_30 + csi("0;0H"), 1, 1},
      {"CSI 5; H gives column 1", from10_30 + csi("5;H"), 5, 1},
      {"CSI huge;huge H clamps", csi("99999999999;99999999999H"), 24, 80},
      {"CSI 5;10 A is ignored", from10_30 + csi("5;10A"), 10, 30},
      {"CSI 5;10;2H: the second ; ends it, 2H is text", from10_30 + csi("5;10;2H"), 10, 32},
  };
  for (const TCursorCase& tc : cases) {
    SCOPED_TRACE(tc.name);
    term.resetTerminal();
    send(tc.bytes);
    expectCursor(tc.row, tc.col);
    EXPECT_EQ(stateName(term.getParserState()), stateName(tc.state));
    EXPECT_EQ(term.getParam1(), tc.param1);
    EXPECT_EQ(term.getParam2(), tc.param2);
  }
}

TEST_F(TerminalTest, CarriageReturnWithCrLfAlsoFeedsTheLine) {
  term.setUseCrLf(true);
  send(at(10, 30) + "\r");
  expectCursor(11, 1);
  send(at(24, 30) + "ab\r");
  expectCursor(24, 1);
  EXPECT_EQ(rowTrimmed(23), std::string(29, ' ') + "ab");  // scrolled up
  term.setUseCrLf(false);
  send("\r");
  expectCursor(24, 1);
  EXPECT_EQ(rowTrimmed(23), std::string(29, ' ') + "ab");
}

TEST_F(TerminalTest, FormFeedClearsTheSequenceParameters) {
  send("\x1bY\x25\x2a");
  EXPECT_EQ(term.getRowParam(), 5);
  send("\x0c");
  EXPECT_EQ(term.getRowParam(), 0);
  EXPECT_EQ(term.getParam1(), 0);
}

// ---------------------------------------------------------------------------
// Text and scrolling

TEST_F(TerminalTest, TextTakesTheCurrentRendition) {
  send(csi("4m") + csi("35m") + csi("42m") + "Hi" + csi("0m") + "!");
  EXPECT_EQ(rowTrimmed(1), "Hi!");
  EXPECT_EQ(styleAt(1, 1), TSystemTerminal::StyleUnderline);
  EXPECT_EQ(textAt(1, 2), rgb::Magenta);
  EXPECT_EQ(backAt(1, 2), rgb::Green);
  EXPECT_EQ(styleAt(1, 3), 0u);
  EXPECT_EQ(textAt(1, 3), rgb::Black);
  EXPECT_EQ(backAt(1, 3), rgb::White);
  expectCursor(1, 4);
}

TEST_F(TerminalTest, EightyCharactersInRow24ScrollOnce) {
  send(at(2, 1) + "top" + at(24, 1) + std::string(80, 'x'));
  expectCursor(24, 1);
  EXPECT_EQ(rowTrimmed(1), "top");
  EXPECT_EQ(row(23), std::string(80, 'x'));
  EXPECT_EQ(rowTrimmed(24), "");
  send("y");
  EXPECT_EQ(rowTrimmed(24), "y");
  expectCursor(24, 2);
}

TEST_F(TerminalTest, OnlyPrintableAsciiReachesTheScreen) {
  // Every byte without a meaning in Ground leaves screen and cursor alone.
  fillScreen();
  const std::string meaningful = "\x01\x04\x05\x08\x09\x0a\x0c\x0d\x13\x16\x18\x1b\x7f";
  for (int b = 0; b < 256; ++b) {
    if ((b >= 0x20 && b <= 0x7e) || meaningful.find(char(b)) != std::string::npos) continue;
    SCOPED_TRACE(b);
    send(at(5, 10));
    const TSnapshot before = snapshot();
    term.writeChar(uint8_t(b));
    expectCursor(5, 10);
    EXPECT_EQ(term.getParserState(), TState::Ground);
    EXPECT_EQ(term.getScreenChars(), before.chars);
    EXPECT_EQ(term.getScreenTextColors(), before.text);
    EXPECT_EQ(term.getScreenStyles(), before.styles);
    EXPECT_EQ(term.getScreenBackColors(), before.back);
  }
}

TEST_F(TerminalTest, DestructiveBackspace) {
  send("abcdef" + at(1, 5) + "\x08");
  EXPECT_EQ(rowTrimmed(1), "abc ef");
  expectCursor(1, 4);
  send("\x7f");
  EXPECT_EQ(rowTrimmed(1), "ab  ef");
  send("\x01\x08");
  EXPECT_EQ(rowTrimmed(1), "ab  ef");
  expectCursor(1, 1);
}

TEST_F(TerminalTest, ErasingAndScrollingKeepBackgroundsInPlace) {
  send(csi("41m") + "red" + "\x0c");
  EXPECT_EQ(rowTrimmed(1), "");
  EXPECT_EQ(backAt(1, 1), rgb::Red);
  EXPECT_EQ(backAt(1, 3), rgb::Red);
  EXPECT_EQ(backAt(1, 4), rgb::White);
  send(csi("0m") + at(2, 1) + "moved" + at(24, 1) + "\n");
  EXPECT_EQ(rowTrimmed(1), "moved");
  EXPECT_EQ(backAt(1, 1), rgb::Red);    // stays on row 1 under "moved"
  EXPECT_EQ(backAt(1, 4), rgb::White);  // and "moved" brings no background along
}

// ---------------------------------------------------------------------------
// Erasing

struct TEraseCase {
  const char* name;
  std::string bytes;
  std::function<bool(int, int)> erased;
  int row;
  int col;
};

TEST_F(TerminalTest, EraseVariants) {
  const auto eol = [](int r, int c) { return r == 10 && c >= 40; };
  const auto eos = [](int r, int c) { return (r == 10 && c >= 40) || r > 10; };
  const auto sol = [](int r, int c) { return r == 10 && c < 40; };
  const auto sos = [](int r, int c) { return (r == 10 && c < 40) || r < 10; };
  const auto line = [](int r, int) { return r == 10; };
  const auto all = [](int, int) { return true; };
  const auto none = [](int, int) { return false; };
  const std::vector<TEraseCase> cases = {
      {"SYN", "\x16", eol, 10, 40},
      {"ESC K", "\x1bK", eol, 10, 40},
      {"CSI K", csi("K"), eol, 10, 40},
      {"CSI 0 K", csi("0K"), eol, 10, 40},
      {"CSI 1 K", csi("1K"), sol, 10, 40},
      {"CSI 2 K", csi("2K"), line, 10, 1},
      {"CSI 3 K", csi("3K"), none, 10, 40},
      {"ESC J", "\x1bJ", eos, 10, 40},
      {"CSI J", csi("J"), eos, 10, 40},
      {"CSI 0 J", csi("0J"), eos, 10, 40},
      {"CSI 1 J", csi("1J"), sos, 10, 40},
      {"CSI 2 J", csi("2J"), all, 10, 40},
      {"CSI 3 J", csi("3J"), none, 10, 40},
      {"CSI 4294967298 J (no wrap to 2)", csi("4294967298J"), none, 10, 40},
      {"FF", "\x0c", all, 1, 1},
  };
  for (const TEraseCase& tc : cases) {
    SCOPED_TRACE(tc.name);
    term.resetTerminal();
    fillScreen();
    send(at(10, 40));
    const TSnapshot before = snapshot();
    send(tc.bytes);
    expectErased(before, tc.erased);
    expectCursor(tc.row, tc.col);
    EXPECT_EQ(term.getParserState(), TState::Ground);
  }
}

TEST_F(TerminalTest, EraseStartOfLineInColumnOneErasesNothing) {
  fillScreen();
  send(at(10, 1));
  const TSnapshot before = snapshot();
  send(csi("1K"));
  expectErased(before, [](int, int) { return false; });
}

// ---------------------------------------------------------------------------
// Inserting, deleting and scrolling lines

struct TLineCase {
  const char* name;
  int startRow;
  int startCol;
  std::string bytes;
  std::string layout;  // source row letter per screen row, '.' blank
  int row;
  int col;
};

TEST_F(TerminalTest, LineOperations) {
  const std::string same = "abcdefghijklmnopqrstuvwx";
  const std::vector<TLineCase> cases = {
      {"ESC L", 10, 40, "\x1bL", "abcdefghi.jklmnopqrstuvw", 10, 40},
      {"CSI L", 10, 40, csi("L"), "abcdefghi.jklmnopqrstuvw", 10, 40},
      {"CSI 1 L", 10, 40, csi("1L"), "abcdefghi.jklmnopqrstuvw", 10, 40},
      {"CSI 2 L", 10, 40, csi("2L"), "abcdefghi..jklmnopqrstuv", 10, 40},
      {"CSI 0 L", 10, 40, csi("0L"), same, 10, 40},
      {"CSI 99 L", 10, 40, csi("99L"), "abcdefghi...............", 10, 40},
      {"ESC L in row 24", 24, 40, "\x1bL", "abcdefghijklmnopqrstuvw.", 24, 40},
      {"ESC M", 10, 40, "\x1bM", "abcdefghiklmnopqrstuvwx.", 10, 1},
      {"CSI M", 10, 40, csi("M"), "abcdefghiklmnopqrstuvwx.", 10, 1},
      {"CSI 3 M in row 23", 23, 40, csi("3M"), "abcdefghijklmnopqrstuv..", 23, 1},
      {"CSI 0 M", 10, 40, csi("0M"), same, 10, 40},
      {"CSI 99 M from row 1", 1, 40, csi("99M"), "........................", 1, 1},
      {"ESC M in row 24", 24, 40, "\x1bM", "abcdefghijklmnopqrstuvw.", 24, 1},
      {"ESC I in row 10 only moves up", 10, 40, "\x1bI", same, 9, 40},
      {"ESC I in row 1 scrolls down", 1, 40, "\x1bI", ".abcdefghijklmnopqrstuvw", 1, 40},
      {"LF in row 24 scrolls up", 24, 40, "\n", "bcdefghijklmnopqrstuvwx.", 24, 1},
      {"LF in row 10 only moves down", 10, 40, "\n", same, 11, 40},
  };
  for (const TLineCase& tc : cases) {
    SCOPED_TRACE(tc.name);
    term.resetTerminal();
    fillScreen();
    send(at(tc.startRow, tc.startCol));
    const TSnapshot before = snapshot();
    send(tc.bytes);
    expectLayout(before, tc.layout);
    expectCursor(tc.row, tc.col);
  }
}

// ---------------------------------------------------------------------------
// Select graphic rendition

struct TSgrCase {
  std::string bytes;
  uint32_t style;
  uint32_t text;
  uint32_t back;
};

TEST_F(TerminalTest, SelectGraphicRendition) {
  constexpr uint32_t B = TSystemTerminal::StyleBold, I = TSystemTerminal::StyleItalic,
                     U = TSystemTerminal::StyleUnderline;
  const uint32_t colours[8] = {rgb::Black, rgb::Red,     rgb::Green, rgb::Yellow,
                               rgb::Blue,  rgb::Magenta, rgb::Cyan,  rgb::White};
  // Most cases start from bold italic red on blue, to show what is kept.
  const std::string busy = csi("1m") + csi("5m") + csi("31m") + csi("44m");
  std::vector<TSgrCase> cases = {
      {csi("31m") + csi("1m"), B, rgb::Black, rgb::White},  // style resets colours
      {csi("36m"), 0, rgb::Cyan, rgb::White},
      {csi("46m"), 0, rgb::Black, rgb::Cyan},
      {csi("1m") + csi("4m") + csi("5m"), B | U | I, rgb::Black, rgb::White},
      {busy, B | I, rgb::Red, rgb::Blue},
      {busy + csi("0m"), 0, rgb::Black, rgb::White},
      {busy + csi("m"), 0, rgb::Black, rgb::White},
      {busy + csi("1m"), B | I, rgb::Black, rgb::White},
      {busy + csi("4m"), B | I | U, rgb::Black, rgb::White},
      {busy + csi("7m"), B | I, rgb::Grey, rgb::White},
      {csi("7m"), B, rgb::Grey, rgb::White},
      {busy + csi("22m"), I, rgb::Black, rgb::White},
      {busy + csi("27m"), I, rgb::Black, rgb::White},
      {busy + csi("25m"), B, rgb::Black, rgb::White},
      {busy + csi("4m") + csi("24m"), B | I, rgb::Black, rgb::White},
      {busy + csi("24m"), B | I, rgb::Black, rgb::White},
      // Selected by value: anything else has no effect.
      {busy + csi("2m"), B | I, rgb::Red, rgb::Blue},
      {busy + csi("38m"), B | I, rgb::Red, rgb::Blue},
      {busy + csi("48m"), B | I, rgb::Red, rgb::Blue},
      {busy + csi("103m"), B | I, rgb::Red, rgb::Blue},
      {busy + csi("4294967297m"), B | I, rgb::Red, rgb::Blue},
      {busy + csi("0;1m"), B | I, rgb::Red, rgb::Blue},  // one parameter only
  };
  for (int k = 0; k < 8; ++k) {
    cases.push_back({busy + csi(std::to_string(30 + k) + "m"), B | I, colours[k], rgb::Blue});
    cases.push_back({busy + csi(std::to_string(40 + k) + "m"), B | I, rgb::Red, colours[k]});
  }
  for (const TSgrCase& tc : cases) {
    std::string shown = tc.bytes;
    for (char& c : shown)
      if (c == ESC) c = '^';
    SCOPED_TRACE(shown);
    term.resetTerminal();
    send(tc.bytes);
    EXPECT_EQ(term.getCurStyle(), tc.style);
    EXPECT_EQ(term.getCurTextColor(), tc.text);
    EXPECT_EQ(term.getCurBackColor(), tc.back);
    EXPECT_EQ(term.getParserState(), TState::Ground);
    send("z");
    EXPECT_EQ(styleAt(1, 1), tc.style);
    EXPECT_EQ(textAt(1, 1), tc.text);
    EXPECT_EQ(backAt(1, 1), tc.back);
  }
}

// ---------------------------------------------------------------------------
// Identification and the receive queue

TEST_F(TerminalTest, IdentifyQueuesTheReplyBehindTypedKeys) {
  term.keyQueue.push_back('k');
  send("\x1bZ");
  EXPECT_EQ(term.getParserState(), TState::Ground);
  expectCursor(1, 1);
  EXPECT_EQ(rowTrimmed(1), "");
  std::string got;
  while (term.keyAvailable()) got += char(term.readKey());
  EXPECT_EQ(got, "k\x1b/Z");
  EXPECT_EQ(term.readKey(), 0);  // empty queue: harmless
  EXPECT_FALSE(term.keyAvailable());
}

TEST_F(TerminalTest, ResetRestoresEverythingButTheOptions) {
  term.setUseCrLf(true);
  term.setLocalEcho(true);
  send(csi("1m") + csi("31m") + csi("44m") + "text" + at(7, 9) + "\x1bZ" + csi("12"));
  clock.advance(TSystemTerminal::BlinkInterval);
  ASSERT_FALSE(term.getCursorShown());
  term.resetTerminal();
  for (int i = 0; i < TSystemTerminal::Cells; ++i) {
    ASSERT_EQ(term.getScreenChars()[i], ' ');
    ASSERT_EQ(term.getScreenStyles()[i], 0u);
    ASSERT_EQ(term.getScreenTextColors()[i], rgb::Black);
    ASSERT_EQ(term.getScreenBackColors()[i], rgb::White);
  }
  expectCursor(1, 1);
  EXPECT_EQ(term.getCursorChar(), '_');
  EXPECT_TRUE(term.getCursorShown());
  EXPECT_EQ(term.getCurStyle(), 0u);
  EXPECT_EQ(term.getCurTextColor(), rgb::Black);
  EXPECT_EQ(term.getCurBackColor(), rgb::White);
  EXPECT_EQ(term.getParserState(), TState::Ground);
  EXPECT_EQ(term.getParam1(), 0);
  EXPECT_FALSE(term.keyAvailable());
  EXPECT_TRUE(term.getUseCrLf());
  EXPECT_TRUE(term.getLocalEcho());
}

TEST_F(TerminalTest, GlyphShowsTheCursorOnlyWhileShown) {
  send("ab" + at(1, 2));
  EXPECT_EQ(term.glyphAt(1, 1), 'a');
  EXPECT_EQ(term.glyphAt(1, 2), '_');
  clock.advance(TSystemTerminal::BlinkInterval);
  EXPECT_EQ(term.glyphAt(1, 2), 'b');
}

}  // namespace
