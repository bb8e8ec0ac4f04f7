// The board's console: an 80 x 24 character screen fed by serial channel 0,
// and the keyboard queue that channel 0's receiver reads.
//
// Bytes the program transmits arrive in writeChar and are interpreted at once:
// printable ASCII goes to the screen at the cursor; control codes, VT52 escape
// sequences (ESC A ... ESC Z, direct addressing with ESC Y row col) and a small
// set of ANSI sequences (ESC [ n A..D, J, K, L, M, m and ESC [ r ; c H) move the
// cursor, erase, scroll and colour. All three sets are understood at all times.
//
// The screen is four parallel arrays of 24 x 80 cells, row by row; positions
// are 1-based. A cell's background colour changes only when a character is
// written into it (or at resetTerminal): erasing and scrolling leave
// backgrounds where they are on the glass.
//
// Display: the front end draws from the arrays. repaintTimer (50 ms) calls the
// repaint handler, which draws into the hidden surface, then the visible
// surface flips (surface1Visible). blinkTimer (600 ms) toggles cursorShown.
// Scrolling restarts repaintTimer, so a continuously scrolling screen is
// redrawn once it pauses for a full interval.
//
// Keyboard: keyDown translates a virtual-key code with its modifiers (German
// layout) into at most one byte for keyQueue; with local echo on the byte is
// also interpreted here.
//
// Logging: with logging on every interpreted byte is appended, unbuffered, to
// "Terminal.log" in the working directory. A failed log write never escapes
// writeChar: logging switches itself off and the error waits in
// takePendingError() for the front end or runner.
//
// writeChar, keyAvailable and readKey are called from inside the processor's
// step: they do not allocate in the common case and do not throw.
#pragma once

#include "File_Error.h"
#include "System_Terminal_Keys.h"
#include "Timer.h"

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

// The console's colours, 0xRRGGBB.
namespace rgb {
constexpr uint32_t Black = 0x000000;
constexpr uint32_t Red = 0xFF0000;
constexpr uint32_t Green = 0x00FF00;
constexpr uint32_t Yellow = 0xFFFF00;
constexpr uint32_t Blue = 0x0000FF;
constexpr uint32_t Magenta = 0xFF00FF;
constexpr uint32_t Cyan = 0x00FFFF;
constexpr uint32_t White = 0xFFFFFF;
constexpr uint32_t Grey = 0x808080;
}  // namespace rgb

class TSystemTerminal {
 public:
  static constexpr int Cols = 80;
  static constexpr int Rows = 24;
  static constexpr int Cells = Cols * Rows;

  // Font style bits of a cell (strike-out, bit 3, is never used).
  static constexpr uint32_t StyleBold = 0x01;
  static constexpr uint32_t StyleItalic = 0x02;
  static constexpr uint32_t StyleUnderline = 0x04;

  // Display geometry for the front end: two surfaces of 970 x 550 pixels,
  // cells 12 x 22 pixels; the text of cell (row, col) starts at
  // (textX(col), textY(row)), its rectangle spans x - 2 .. x + 11 (exclusive)
  // and y .. y + 22 (exclusive).
  static constexpr int SurfaceWidth = 970;
  static constexpr int SurfaceHeight = 550;
  static constexpr int textX(int col) { return 12 * col - 6; }
  static constexpr int textY(int row) { return 22 * row - 18; }

  static constexpr uint32_t BlinkInterval = 600;   // ms
  static constexpr uint32_t RepaintInterval = 50;  // ms

  enum class TParserState : int {
    Ground = 0,
    Escape = 1,
    CsiEntry = 2,
    CsiParam = 3,
    CsiParam2 = 4,
    DirectRow = 5,
    DirectColumn = 6,
  };

  template <typename T>
  using TScreenArray = std::array<T, Cells>;

  explicit TSystemTerminal(TTimerFactory& timers);
  ~TSystemTerminal();
  TSystemTerminal(const TSystemTerminal&) = delete;
  TSystemTerminal& operator=(const TSystemTerminal&) = delete;

  // --- the serial channel 0 side (called from the processor's step) ---

  // Interprets one byte, then appends it to the log when logging is on.
  void writeChar(uint8_t ch);
  bool keyAvailable() const { return !keyQueue.empty(); }
  // Takes the oldest queued byte. The receiver always asks keyAvailable
  // first; on an empty queue this returns 0 and changes nothing.
  uint8_t readKey() {
    if (keyQueue.empty()) return 0;
    const uint8_t b = keyQueue.front();
    keyQueue.pop_front();
    return b;
  }

  // --- commands and options ---

  // Blank white screen, cursor home, default rendition, parser in Ground,
  // empty key queue, surface 1 visible, both timers (re)started. The options
  // (CR/LF, local echo, logging) stay as they are.
  void resetTerminal();
  void setUseCrLf(bool on) { useCrLf = on; }
  void setLocalEcho(bool on) { localEcho = on; }
  // On: creates or truncates the log file and opens it; if that fails,
  // logging silently stays off. Switching on while on starts a new, empty
  // file. Off: closes the file.
  void setLogging(bool on);
  // The log file's path, "Terminal.log" in the working directory unless
  // changed; a new path takes effect the next time logging is switched on.
  void setLogPath(std::string path) { logPath = std::move(path); }

  // A failed log write, once; empty afterwards until the next failure.
  std::optional<TFileError> takePendingError() {
    std::optional<TFileError> e = std::move(pendingError);
    pendingError.reset();
    return e;
  }

  // Translates one key press (Windows virtual-key code, modifiers) into at
  // most one byte for the key queue, echoing it when local echo is on.
  void keyDown(uint16_t key, TShiftState shift);
  // The byte a key press produces, if any (the translation keyDown uses).
  static std::optional<uint8_t> translateKey(uint16_t key, TShiftState shift);

  // The front end's drawing routine, called by each repaint tick to draw the
  // screen into the hidden surface (surface 2 while surface1Visible, else
  // surface 1); afterwards the surfaces swap. May be empty.
  void setRepaintHandler(std::function<void()> handler) { repaintHandler = std::move(handler); }

  // --- the screen, for the front end and tests ---

  static constexpr int cellIndex(int row, int col) { return (row - 1) * Cols + (col - 1); }
  const TScreenArray<uint8_t>& getScreenChars() const { return screenChars; }
  const TScreenArray<uint32_t>& getScreenStyles() const { return screenStyles; }
  const TScreenArray<uint32_t>& getScreenTextColors() const { return screenTextColors; }
  const TScreenArray<uint32_t>& getScreenBackColors() const { return screenBackColors; }
  // The glyph to draw in a cell: the cursor's underscore while the cursor is
  // shown and stands there, otherwise the cell's character.
  uint8_t glyphAt(int row, int col) const {
    if (cursorShown && row == cursorRow && col == cursorCol) return cursorChar;
    return screenChars[cellIndex(row, col)];
  }

  int getCursorCol() const { return cursorCol; }
  int getCursorRow() const { return cursorRow; }
  uint8_t getCursorChar() const { return cursorChar; }
  bool getCursorShown() const { return cursorShown; }
  uint32_t getCurTextColor() const { return curTextColor; }
  uint32_t getCurBackColor() const { return curBackColor; }
  uint32_t getCurStyle() const { return curStyle; }
  TParserState getParserState() const { return parserState; }
  int32_t getParam1() const { return param1; }
  int32_t getParam2() const { return param2; }
  int32_t getRowParam() const { return rowParam; }
  bool getUseCrLf() const { return useCrLf; }
  bool getLocalEcho() const { return localEcho; }
  bool getLogging() const { return logging; }
  bool getSurface1Visible() const { return surface1Visible; }

  // Bytes waiting for serial channel 0's receiver, oldest first. keyDown and
  // the ESC Z identification reply append here; a headless runner may append
  // scripted input directly.
  std::deque<uint8_t> keyQueue;

 private:
  // Screen primitives (none of them changes the current rendition).
  void eraseCells(int from, int to);  // cell indices, to exclusive
  void copyRow(int fromRow, int toRow);
  void putChar(uint8_t ch);
  void scrollUp();
  void lineFeed();
  void cursorUp() {
    if (cursorRow > 1) --cursorRow;
  }
  void cursorDown() {
    if (cursorRow < Rows) ++cursorRow;
  }
  void cursorLeft() {
    if (cursorCol > 1) --cursorCol;
  }
  void cursorRight() {
    if (cursorCol < Cols) ++cursorCol;
  }
  void home() { cursorRow = cursorCol = 1; }
  void setPosition(int32_t row, int32_t col);
  void backspace();
  void horizontalTab();
  void eraseToEndOfLine();
  void eraseToEndOfScreen();
  void eraseStartOfLine();
  void eraseStartOfScreen();
  void eraseWholeScreen() { eraseCells(0, Cells); }
  void eraseWholeLine();
  void insertLine();
  void deleteLine();
  void reverseIndex();
  void selectGraphicRendition(int32_t n);

  // One byte in each parser state.
  void ground(uint8_t ch);
  void escape(uint8_t ch);
  void csiEntry(uint8_t ch);
  void csiParam(uint8_t ch);
  void csiParam2(uint8_t ch);
  void directRow(uint8_t ch);
  void directColumn(uint8_t ch);

  void appendLog(uint8_t ch);
  void closeLog();
  void repaintTick();
  void blinkTick();

  TScreenArray<uint8_t> screenChars{};
  TScreenArray<uint32_t> screenStyles{};
  TScreenArray<uint32_t> screenTextColors{};
  TScreenArray<uint32_t> screenBackColors{};

  int cursorCol = 1;
  int cursorRow = 1;
  uint8_t cursorChar = '_';
  bool cursorShown = true;
  uint32_t curTextColor = rgb::Black;
  uint32_t curBackColor = rgb::White;
  uint32_t curStyle = 0;

  TParserState parserState = TParserState::Ground;
  int32_t param1 = 0;
  int32_t param2 = 0;
  int32_t rowParam = 0;

  bool useCrLf = false;
  bool localEcho = false;
  bool logging = false;
  std::string logPath = "Terminal.log";
  int logFd = -1;
  std::optional<TFileError> pendingError;

  bool surface1Visible = true;
  std::function<void()> repaintHandler;
  std::unique_ptr<TTimer> repaintTimer;
  std::unique_ptr<TTimer> blinkTimer;
};
