// The console's screen model and byte interpreter, its timers and its log.
#include "System_Terminal.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Sequence parameters grow without a digit limit; they saturate instead of
// wrapping, so an absurdly long number still means "far beyond the screen".
int32_t accumulate(int32_t value, uint8_t digit) {
  const int64_t v = int64_t(value) * 10 + (digit - '0');
  return v > INT32_MAX ? INT32_MAX : int32_t(v);
}

bool isDigit(uint8_t ch) { return ch >= '0' && ch <= '9'; }

// The SGR colour order 30..37 / 40..47.
constexpr uint32_t AnsiColors[8] = {rgb::Black, rgb::Red,     rgb::Green, rgb::Yellow,
                                    rgb::Blue,  rgb::Magenta, rgb::Cyan,  rgb::White};

}  // namespace

TSystemTerminal::TSystemTerminal(TTimerFactory& timers)
    : repaintTimer(timers.createTimer()), blinkTimer(timers.createTimer()) {
  repaintTimer->setInterval(RepaintInterval);
  repaintTimer->setHandler([this] { repaintTick(); });
  blinkTimer->setInterval(BlinkInterval);
  blinkTimer->setHandler([this] { blinkTick(); });
  useCrLf = false;
  localEcho = false;
  setLogging(false);
  resetTerminal();
}

TSystemTerminal::~TSystemTerminal() {
  repaintTimer->stop();
  repaintTimer->setHandler(nullptr);
  blinkTimer->stop();
  blinkTimer->setHandler(nullptr);
  closeLog();
}

void TSystemTerminal::resetTerminal() {
  screenChars.fill(' ');
  screenStyles.fill(0);
  screenTextColors.fill(rgb::Black);
  screenBackColors.fill(rgb::White);
  cursorCol = 1;
  cursorRow = 1;
  cursorChar = '_';
  cursorShown = true;
  curTextColor = rgb::Black;
  curBackColor = rgb::White;
  curStyle = 0;
  parserState = TParserState::Ground;
  param1 = param2 = rowParam = 0;
  keyQueue.clear();
  surface1Visible = true;
  blinkTimer->start();
  repaintTimer->start();
}

// ---------------------------------------------------------------------------
// Timers

void TSystemTerminal::repaintTick() {
  repaintTimer->stop();
  if (repaintHandler) repaintHandler();
  surface1Visible = !surface1Visible;  // show the surface just drawn
  repaintTimer->start();
}

void TSystemTerminal::blinkTick() {
  blinkTimer->stop();
  cursorShown = !cursorShown;
  blinkTimer->start();
}

// ---------------------------------------------------------------------------
// Screen primitives

void TSystemTerminal::eraseCells(int from, int to) {
  // The background colour stays: it changes only when a character is put.
  std::fill(screenChars.begin() + from, screenChars.begin() + to, uint8_t(' '));
  std::fill(screenTextColors.begin() + from, screenTextColors.begin() + to, rgb::Black);
  std::fill(screenStyles.begin() + from, screenStyles.begin() + to, 0u);
}

void TSystemTerminal::copyRow(int fromRow, int toRow) {
  // Character, text colour and style travel; the background stays put.
  const int from = cellIndex(fromRow, 1);
  const int to = cellIndex(toRow, 1);
  std::copy_n(screenChars.begin() + from, Cols, screenChars.begin() + to);
  std::copy_n(screenTextColors.begin() + from, Cols, screenTextColors.begin() + to);
  std::copy_n(screenStyles.begin() + from, Cols, screenStyles.begin() + to);
}

void TSystemTerminal::putChar(uint8_t ch) {
  const int i = cellIndex(cursorRow, cursorCol);
  screenChars[i] = ch;
  screenTextColors[i] = curTextColor;
  screenBackColors[i] = curBackColor;
  screenStyles[i] = curStyle;
  if (++cursorCol > Cols) {
    cursorCol = 1;
    if (++cursorRow > Rows) scrollUp();
  }
}

void TSystemTerminal::scrollUp() {
  repaintTimer->stop();
  for (int r = 2; r <= Rows; ++r) copyRow(r, r - 1);
  eraseCells(cellIndex(Rows, 1), Cells);
  cursorRow = Rows;
  cursorCol = 1;
  repaintTimer->start();  // restarts the interval: draw once scrolling pauses
}

void TSystemTerminal::lineFeed() {
  if (++cursorRow > Rows) scrollUp();
}

void TSystemTerminal::setPosition(int32_t row, int32_t col) {
  cursorRow = std::clamp<int32_t>(row, 1, Rows);
  cursorCol = std::clamp<int32_t>(col, 1, Cols);
}

void TSystemTerminal::backspace() {
  if (cursorCol <= 1) return;
  --cursorCol;
  const int i = cellIndex(cursorRow, cursorCol);
  eraseCells(i, i + 1);
}

void TSystemTerminal::horizontalTab() {
  // Tab stops every 8 columns (8, 16 ... 80); from column 80 back to 1.
  cursorCol = (cursorCol / 8 + 1) * 8;
  if (cursorCol > Cols) cursorCol = 1;
}

void TSystemTerminal::eraseToEndOfLine() { eraseCells(cellIndex(cursorRow, cursorCol), cellIndex(cursorRow + 1, 1)); }

void TSystemTerminal::eraseToEndOfScreen() { eraseCells(cellIndex(cursorRow, cursorCol), Cells); }

void TSystemTerminal::eraseStartOfLine() {
  eraseCells(cellIndex(cursorRow, 1), cellIndex(cursorRow, cursorCol));  // the cursor cell stays
}

void TSystemTerminal::eraseStartOfScreen() { eraseCells(0, cellIndex(cursorRow, cursorCol)); }

void TSystemTerminal::eraseWholeLine() {
  eraseCells(cellIndex(cursorRow, 1), cellIndex(cursorRow + 1, 1));
  cursorCol = 1;
}

void TSystemTerminal::insertLine() {
  for (int r = Rows - 1; r >= cursorRow; --r) copyRow(r, r + 1);
  eraseCells(cellIndex(cursorRow, 1), cellIndex(cursorRow + 1, 1));
}

void TSystemTerminal::deleteLine() {
  for (int r = cursorRow; r < Rows; ++r) copyRow(r + 1, r);
  eraseCells(cellIndex(Rows, 1), Cells);
  cursorCol = 1;
}

void TSystemTerminal::reverseIndex() {
  if (cursorRow > 1)
    --cursorRow;
  else
    insertLine();  // scrolls the screen down
}

void TSystemTerminal::selectGraphicRendition(int32_t n) {
  // Every change of style also resets the colours to black on white.
  auto style = [this](uint32_t set, uint32_t clear, uint32_t text) {
    curStyle = (curStyle | set) & ~clear;
    curTextColor = text;
    curBackColor = rgb::White;
  };
  switch (n) {
    case 0:
      curStyle = 0;
      curTextColor = rgb::Black;
      curBackColor = rgb::White;
      break;
    case 1: style(StyleBold, 0, rgb::Black); break;
    case 4: style(StyleUnderline, 0, rgb::Black); break;
    case 5: style(StyleItalic, 0, rgb::Black); break;
    case 7: style(StyleBold, 0, rgb::Grey); break;
    case 22:
    case 27: style(0, StyleBold, rgb::Black); break;
    case 24: style(0, StyleUnderline, rgb::Black); break;
    case 25: style(0, StyleItalic, rgb::Black); break;
    default:
      if (n >= 30 && n <= 37)
        curTextColor = AnsiColors[n - 30];
      else if (n >= 40 && n <= 47)
        curBackColor = AnsiColors[n - 40];
      break;
  }
}

// ---------------------------------------------------------------------------
// The interpreter

void TSystemTerminal::writeChar(uint8_t ch) {
  switch (parserState) {
    case TParserState::Ground: ground(ch); break;
    case TParserState::Escape: escape(ch); break;
    case TParserState::CsiEntry: csiEntry(ch); break;
    case TParserState::CsiParam: csiParam(ch); break;
    case TParserState::CsiParam2: csiParam2(ch); break;
    case TParserState::DirectRow: directRow(ch); break;
    case TParserState::DirectColumn: directColumn(ch); break;
  }
  if (logging) appendLog(ch);
}

void TSystemTerminal::ground(uint8_t ch) {
  if (ch >= 0x20 && ch <= 0x7E) {
    putChar(ch);
    return;
  }
  switch (ch) {
    case 0x01: home(); break;
    case 0x04: cursorRight(); break;
    case 0x05: cursorUp(); break;
    case 0x08: backspace(); break;
    case 0x09: horizontalTab(); break;
    case 0x0A: lineFeed(); break;
    case 0x0C:
      eraseWholeScreen();
      home();
      param1 = param2 = rowParam = 0;
      break;
    case 0x0D:
      cursorCol = 1;
      if (useCrLf) lineFeed();
      break;
    case 0x13: cursorLeft(); break;
    case 0x16: eraseToEndOfLine(); break;
    case 0x18: cursorDown(); break;
    case 0x1B: parserState = TParserState::Escape; break;
    case 0x7F: backspace(); break;
    default: break;  // BEL and the other codes do nothing
  }
}

void TSystemTerminal::escape(uint8_t ch) {
  parserState = TParserState::Ground;
  switch (ch) {
    case 'A': cursorUp(); break;
    case 'B': cursorDown(); break;
    case 'C': cursorRight(); break;
    case 'D': cursorLeft(); break;
    case 'H': home(); break;
    case 'I': reverseIndex(); break;
    case 'J': eraseToEndOfScreen(); break;
    case 'K': eraseToEndOfLine(); break;
    case 'L': insertLine(); break;
    case 'M': deleteLine(); break;
    case 'Y': parserState = TParserState::DirectRow; break;
    case 'Z':
      // Identify as a VT52: the reply reaches the program like typed keys.
      keyQueue.push_back(0x1B);
      keyQueue.push_back('/');
      keyQueue.push_back('Z');
      break;
    case '[': parserState = TParserState::CsiEntry; break;
    case '<':
      // ESC < (the VT52's "enter ANSI mode") does nothing and keeps the
      // parser waiting for the byte after ESC: ANSI sequences are always
      // understood here.
      parserState = TParserState::Escape;
      break;
    default: break;  // consumed without effect, also a control code or ESC
  }
}

void TSystemTerminal::csiEntry(uint8_t ch) {
  if (isDigit(ch)) {
    param1 = ch - '0';
    parserState = TParserState::CsiParam;
    return;
  }
  switch (ch) {
    case 'A': cursorUp(); break;
    case 'B': cursorDown(); break;
    case 'C': cursorRight(); break;
    case 'D': cursorLeft(); break;
    case 'H':
    case 'f': home(); break;
    case 'J': eraseToEndOfScreen(); break;
    case 'K': eraseToEndOfLine(); break;
    case 'L': insertLine(); break;
    case 'M': deleteLine(); break;
    case 'm': selectGraphicRendition(0); break;
    default: break;
  }
  parserState = TParserState::Ground;
  param1 = 0;
}

void TSystemTerminal::csiParam(uint8_t ch) {
  if (isDigit(ch)) {
    param1 = accumulate(param1, ch);
    return;
  }
  if (ch == ';') {
    parserState = TParserState::CsiParam2;
    return;
  }
  const int32_t n = param1;
  switch (ch) {
    case 'A': cursorRow = cursorRow > n ? cursorRow - n : 1; break;
    case 'B': cursorRow = int64_t(cursorRow) + n < Rows ? cursorRow + n : Rows; break;
    case 'C': cursorCol = int64_t(cursorCol) + n < Cols ? cursorCol + n : Cols; break;
    case 'D': cursorCol = cursorCol > n ? cursorCol - n : 1; break;
    case 'J':
      if (n == 0)
        eraseToEndOfScreen();
      else if (n == 1)
        eraseStartOfScreen();
      else if (n == 2)
        eraseWholeScreen();
      break;
    case 'K':
      if (n == 0)
        eraseToEndOfLine();
      else if (n == 1)
        eraseStartOfLine();
      else if (n == 2)
        eraseWholeLine();
      break;
    case 'L':
      for (int32_t k = std::min<int32_t>(n, Rows); k > 0; --k) insertLine();
      break;
    case 'M':
      for (int32_t k = std::min<int32_t>(n, Rows); k > 0; --k) deleteLine();
      break;
    case 'm': selectGraphicRendition(n); break;
    default: break;  // also 'H' and 'f': one parameter does not position
  }
  parserState = TParserState::Ground;
  param1 = 0;
}

void TSystemTerminal::csiParam2(uint8_t ch) {
  if (isDigit(ch)) {
    param2 = accumulate(param2, ch);
    return;
  }
  if (ch == 'H' || ch == 'f') setPosition(param1, param2);
  parserState = TParserState::Ground;
  param1 = param2 = 0;
}

void TSystemTerminal::directRow(uint8_t ch) {
  if (ch < 0x20) {
    parserState = TParserState::Ground;
    return;
  }
  rowParam = ch - 32;
  parserState = TParserState::DirectColumn;
}

void TSystemTerminal::directColumn(uint8_t ch) {
  if (ch >= 0x20) setPosition(rowParam, ch - 32);
  parserState = TParserState::Ground;
}

// ---------------------------------------------------------------------------
// Logging

void TSystemTerminal::setLogging(bool on) {
  closeLog();
  logging = false;
  if (!on) return;
  const int fd = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return;  // logging stays off; nothing is reported
  logFd = fd;
  logging = true;
}

void TSystemTerminal::appendLog(uint8_t ch) {
  // One write per byte, straight to the OS: the log is complete up to the
  // last byte even if the emulator dies.
  for (;;) {
    errno = 0;
    const ssize_t n = ::write(logFd, &ch, 1);
    if (n == 1) return;
    if (n < 0 && errno == EINTR) continue;
    break;
  }
  // The byte is already on the screen. Stop logging rather than fail every
  // following byte, and keep the first failure for the front end to report.
  if (!pendingError) pendingError = TFileError::fromErrno(logPath);
  closeLog();
  logging = false;
}

void TSystemTerminal::closeLog() {
  if (logFd >= 0) ::close(logFd);
  logFd = -1;
}
