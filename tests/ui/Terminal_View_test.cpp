// The terminal panel's drawing, checked on the rendered image at the pixels
// that show the cell layout: outlines, backgrounds, the opaque glyph box,
// styles, the blinking cursor, the surface swap and the last cell's edge.
#include "Terminal_View.h"

#include "System_Terminal.h"
#include "Virtual_Clock.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QImage>

#include <cstdlib>
#include <new>
#include <string>

namespace {
long allocations = 0;
}

void* operator new(std::size_t n) {
  ++allocations;
  if (void* p = std::malloc(n != 0 ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

constexpr QRgb White = 0xFFFFFFFF;
constexpr QRgb Blue = 0xFF0000FF;
constexpr QRgb Yellow = 0xFFFFFF00;

class TerminalViewTest : public ::testing::Test {
 protected:
  TerminalViewTest() { view.setTerminal(&terminal); }
  ~TerminalViewTest() override { view.setTerminal(nullptr); }

  void write(const std::string& bytes) {
    for (char c : bytes) terminal.writeChar(static_cast<uint8_t>(c));
  }
  // Runs the clock to the next repaint tick and returns what the panel shows.
  const QImage& repaint() {
    clock.advance(TSystemTerminal::RepaintInterval);
    return view.visibleSurface();
  }
  // Moves the cursor with ESC Y (row and column as 0x20 + n).
  void moveTo(int row, int col) { write(std::string{'\x1b', 'Y', char(0x20 + row), char(0x20 + col)}); }

  TVirtualClock clock;
  TSystemTerminal terminal{clock};
  TTerminalView view;
};

// The pixels of one cell's 13 x 22 rectangle.
QImage cellImage(const QImage& surface, int row, int col) {
  return surface.copy(TSystemTerminal::textX(col) - 2, TSystemTerminal::textY(row), TTerminalView::TileWidth,
                      TTerminalView::TileHeight);
}

// Pixels that are neither of the cell's two colours' exact values count as
// ink when they are closer to the text colour (dark on light here).
int inkPixels(const QImage& cell, int fromRow = 0, int toRow = TTerminalView::TileHeight) {
  int n = 0;
  for (int y = fromRow; y < toRow; ++y)
    for (int x = 1; x < cell.width() - 1; ++x)
      if (qGray(cell.pixel(x, y)) < 128) ++n;
  return n;
}

TEST_F(TerminalViewTest, CellOutlinesBackgroundsAndTheLastCellEdge) {
  // A screen of blank blue cells: every cell's background becomes blue (the
  // last space scrolls the screen, backgrounds stay on the glass).
  write("\x1b[44m");
  for (int i = 0; i < TSystemTerminal::Cells; ++i) write(" ");
  ASSERT_EQ(terminal.getScreenBackColors()[TSystemTerminal::Cells - 1], rgb::Blue);
  const QImage& s = repaint();
  ASSERT_EQ(s.size(), QSize(970, 550));

  const QFontMetrics m(view.cellFont());
  const int boxRight = 6 + std::min(m.horizontalAdvance(QLatin1Char('M')), 10) - 1;  // opaque glyph box
  struct Case {
    int x, y;
    QRgb rgb;
    const char* what;
  };
  const Case cases[] = {
      {3, 10, White, "left of the first cell"},
      {4, 10, White, "first cell's left outline (x - 2)"},
      {5, 10, Blue, "first cell's interior"},
      {5, 4, White, "top outline left of the glyph box"},
      {6, 4, Blue, "top outline covered by the glyph's opaque box"},
      {boxRight, 4, Blue, "glyph box's last column"},
      {boxRight + 1, 4, White, "top outline right of the glyph box"},
      {15, 10, Blue, "first cell's last interior column (x + 9)"},
      {16, 10, White, "outline shared by cells 1 and 2 (x + 10)"},
      {17, 10, Blue, "second cell's interior"},
      {10, 24, Blue, "last interior row of row 1"},
      {10, 25, White, "bottom outline of row 1 (y + 21)"},
      {5, 26, White, "top outline of row 2"},
      {953, 520, Blue, "last cell's interior, left"},
      {952, 520, White, "last cell's left outline"},
      {963, 530, Blue, "last cell's bottom-right interior pixel"},
      {964, 530, White, "last cell's right outline (ends before x = 965)"},
      {963, 531, White, "last cell's bottom outline (ends before y = 532)"},
      {966, 530, White, "right of the last cell"},
      {963, 540, White, "below the last row"},
  };
  for (const Case& c : cases) EXPECT_EQ(s.pixel(c.x, c.y), c.rgb) << c.what << " at (" << c.x << ", " << c.y << ")";
}

TEST_F(TerminalViewTest, DefaultScreenIsWhiteAndTextUsesTheCellColours) {
  write("\x1b[42m\x1b[31mH");  // red on green
  write("\x1b[0mH");           // black on white
  const QImage& s = repaint();
  const QImage colored = cellImage(s, 1, 1);
  const QImage plain = cellImage(s, 1, 2);

  // The default cell: white background and white outline are one colour.
  EXPECT_EQ(s.pixel(5 + 24, 10), White);
  EXPECT_EQ(s.pixel(500, 300), White);

  int red = 0, other = 0;
  for (int y = 1; y < 21; ++y)
    for (int x = 1; x < 12; ++x) {
      const QColor c = colored.pixelColor(x, y);
      if (c.red() > 200 && c.green() < 60) ++red;
      if (c.blue() > 40) ++other;  // neither red nor green nor their blends
    }
  EXPECT_GT(red, 10) << "glyph drawn in the text colour";
  EXPECT_EQ(other, 0) << "no colour but text and background inside the cell";
  EXPECT_EQ(colored.pixel(1, 20), 0xFF00FF00u) << "green background";
  EXPECT_GT(inkPixels(plain), 10) << "black glyph on the white cell";
}

TEST_F(TerminalViewTest, StylesChangeTheGlyph) {
  // Row 1 plain, row 2 styled; same characters in the same colours.
  struct Case {
    const char* sgr;
    char ch;
    const char* what;
  };
  const Case cases[] = {{"\x1b[1m", 'H', "bold"},
                        {"\x1b[4m", 'a', "underline"},
                        {"\x1b[4m", ' ', "underlined space"},
                        {"\x1b[5m", 'l', "italic"}};
  for (const Case& c : cases) {
    terminal.resetTerminal();
    write(std::string(1, c.ch));
    moveTo(2, 1);
    write(c.sgr);
    write(std::string(1, c.ch));
    const QImage& s = repaint();
    const QImage plain = cellImage(s, 1, 1);
    const QImage styled = cellImage(s, 2, 1);
    const int descender = QFontMetrics(view.cellFont()).ascent();
    const std::string what = c.what;
    if (what == "bold") {
      EXPECT_GT(inkPixels(styled), inkPixels(plain) + 5) << what;
    } else if (what == "italic") {
      EXPECT_NE(plain, styled) << what;
    } else {
      // The underline sits below the baseline, where 'a' and ' ' have no ink.
      EXPECT_EQ(inkPixels(plain, descender, 21), 0) << what;
      EXPECT_GE(inkPixels(styled, descender, 21), 6) << what;
    }
  }
}

TEST_F(TerminalViewTest, CursorShowsTheUnderscoreInTheCellColoursEveryOtherBlink) {
  write("\x1b[43mM\x13");  // yellow 'M' at (1,1), cursor back on it
  moveTo(2, 1);
  write("_");  // reference cells in the same rendition
  write("M");
  moveTo(1, 1);
  ASSERT_TRUE(terminal.getCursorShown());

  const QImage shown = repaint().copy();
  EXPECT_EQ(cellImage(shown, 1, 1), cellImage(shown, 2, 1)) << "cursor phase: the underscore";
  EXPECT_NE(cellImage(shown, 1, 1), cellImage(shown, 2, 2));
  EXPECT_EQ(shown.pixel(5, 20), Yellow) << "the cell keeps its background";

  while (terminal.getCursorShown()) clock.advance(TSystemTerminal::RepaintInterval);
  const QImage hidden = repaint().copy();
  EXPECT_EQ(cellImage(hidden, 1, 1), cellImage(hidden, 2, 2)) << "other phase: the cell's own character";

  while (!terminal.getCursorShown()) clock.advance(TSystemTerminal::RepaintInterval);
  EXPECT_EQ(cellImage(repaint(), 1, 1), cellImage(shown, 2, 1)) << "and back";
}

TEST_F(TerminalViewTest, EachTickDrawsTheHiddenSurfaceAndShowsIt) {
  ASSERT_TRUE(terminal.getSurface1Visible());
  write("\x1b[44mA");
  const QImage first = repaint().copy();
  EXPECT_FALSE(terminal.getSurface1Visible());
  EXPECT_EQ(first.pixel(5, 10), Blue);

  write("\x0c\x1b[0m");  // erase: characters go, backgrounds stay
  moveTo(1, 2);
  write("\x1b[43mB");
  const QImage& second = repaint();
  EXPECT_TRUE(terminal.getSurface1Visible());
  EXPECT_EQ(second.pixel(5, 10), Blue);
  EXPECT_EQ(second.pixel(17, 10), Yellow);
  EXPECT_NE(cellImage(second, 1, 1), cellImage(first, 1, 1)) << "'A' was erased";
}

TEST_F(TerminalViewTest, DisconnectedPanelIsNoLongerCalled) {
  auto other = std::make_unique<TTerminalView>();
  other->setTerminal(&terminal);  // takes the handler over
  other->setTerminal(nullptr);
  other.reset();
  write("X");
  clock.advance(10 * TSystemTerminal::RepaintInterval);  // would call a dead panel
  view.setTerminal(&terminal);
  EXPECT_GT(inkPixels(cellImage(repaint(), 1, 1)), 10);
}

TEST_F(TerminalViewTest, DoubleDensityIsCrisp) {
  view.setRenderScale(2.0);
  write("\x1b[44m");
  for (int i = 0; i < TSystemTerminal::Cells; ++i) write(" ");
  QImage s = TTerminalView::makeSurface(2.0);
  view.renderScreen(terminal, s);
  ASSERT_EQ(s.size(), QSize(1940, 1100));
  EXPECT_EQ(s.devicePixelRatio(), 2.0);
  // The last cell's right outline covers device columns 1928 and 1929 only.
  for (int y : {1040, 1060}) {
    EXPECT_EQ(s.pixel(1927, y), Blue);
    EXPECT_EQ(s.pixel(1928, y), White);
    EXPECT_EQ(s.pixel(1929, y), White);
    EXPECT_EQ(s.pixel(1930, y), White);
  }
  EXPECT_EQ(s.pixel(1927, 1061), Blue);
  EXPECT_EQ(s.pixel(1927, 1062), White);  // bottom outline, two device rows
  EXPECT_EQ(s.pixel(1927, 1063), White);
  EXPECT_EQ(s.pixel(1927, 1064), White);  // below the rectangle
}

TEST_F(TerminalViewTest, FontFitsTheCell) {
  const QFontMetrics m(view.cellFont());
  EXPECT_LE(m.horizontalAdvance(QLatin1Char('W')), 10);
  EXPECT_LE(m.height(), 21);
  EXPECT_TRUE(QFontInfo(view.cellFont()).fixedPitch());
}

TEST_F(TerminalViewTest, RepaintOfASeenScreenDoesNotAllocate) {
  write("\x1b[41m\x1b[1mBold red \x1b[4munder\x1b[0m plain");
  QImage s = TTerminalView::makeSurface(1.0);
  view.renderScreen(terminal, s);  // fills the tile cache
  const long before = allocations;
  for (int i = 0; i < 5; ++i) view.renderScreen(terminal, s);
  EXPECT_EQ(allocations, before);
}

}  // namespace
