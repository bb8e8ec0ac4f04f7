// The terminal panel: draws the console's 80 x 24 screen model on the main
// window. The main window creates the panel first; the terminal is handed in
// when the machine is built and taken away (nullptr) before it is destroyed.
//
// Drawing follows the console's own layout: two 970 x 550 surfaces at the
// panel's top left corner, one shown while the other is drawn. Every repaint
// tick of the terminal redraws all 1920 cells into the hidden surface; the
// terminal then flips surface1Visible and the panel shows the new one.
//
// Cell (row, col) has its text origin at x = 12 col - 6, y = 22 row - 18 and
// its rectangle from (x - 2, y) to (x + 11, y + 22), right and bottom
// exclusive: a one-pixel white outline filled with the background colour;
// the glyph is drawn at (x, y) over an opaque box of the background colour as
// wide as the font's advance and as high as its line. Neighbouring rectangles
// share one column, so coloured cells show thin white lines between them.
//
// Glyph cells are rendered once per (character, style, text colour,
// background colour) into a cache of device-pixel tiles and copied row by row
// into the surface; a repaint of an already seen screen allocates nothing.
#pragma once

#include <QFont>
#include <QImage>
#include <QWidget>

#include <cstdint>
#include <unordered_map>
#include <vector>

class TSystemTerminal;

class TTerminalView : public QWidget {
  Q_OBJECT

 public:
  static constexpr int SurfaceWidth = 970;
  static constexpr int SurfaceHeight = 550;
  // One cell's tile: its rectangle, 13 x 22 logical pixels.
  static constexpr int TileWidth = 13;
  static constexpr int TileHeight = 22;
  // The cache starts over when it holds this many tiles (a screen uses at
  // most 1920 distinct cells, so only a long run of changing colours gets
  // there).
  static constexpr int MaxTiles = 8192;

  explicit TTerminalView(QWidget* parent = nullptr);
  ~TTerminalView() override;

  // Connects the panel to the terminal (installs its repaint handler), or
  // disconnects it with nullptr.
  void setTerminal(TSystemTerminal* terminal);
  TSystemTerminal* terminal() const { return terminal_; }

  // The surface the panel shows now, at the panel's device pixel ratio.
  const QImage& visibleSurface() const;

  // Draws the whole screen of terminal into target, which must be a
  // Format_RGB32 image of 970 x 550 logical pixels at the device pixel ratio
  // given to setRenderScale (1 unless changed). Used by the repaint tick, the
  // tests and the benchmark.
  void renderScreen(const TSystemTerminal& terminal, QImage& target);

  // Device pixel ratio the surfaces and tiles are rendered at; follows the
  // panel's screen when it is shown. Changing it drops the tile cache.
  void setRenderScale(qreal devicePixelRatio);
  qreal renderScale() const { return scale_; }

  // The font the cells are drawn in ("Consolas" where installed, otherwise a
  // monospaced font whose glyphs fit the cell).
  const QFont& cellFont() const { return font_; }
  int cachedTiles() const { return static_cast<int>(tileKeys_.size()); }

  // A blank surface of the panel's size, white, at the given ratio.
  static QImage makeSurface(qreal devicePixelRatio);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void repaintTick();
  // Index of the tile for key, rendering it on first use.
  int tileFor(uint64_t key);
  void renderTile(uint64_t key, uint32_t* pixels);
  void chooseFont();

  TSystemTerminal* terminal_ = nullptr;
  QImage surface1_;
  QImage surface2_;
  qreal scale_ = 1.0;
  int tileW_ = TileWidth;   // device pixels
  int tileH_ = TileHeight;  // device pixels

  QFont font_;
  QFont styledFonts_[8];  // by style bits: bold, italic, underline
  int glyphAdvance_[8] = {};
  int glyphHeight_[8] = {};

  std::unordered_map<uint64_t, int> tileKeys_;
  std::vector<uint32_t> tilePixels_;  // tiles one after the other, ARGB32
  // Scratch image the tiles are painted in before they go to tilePixels_.
  QImage tileScratch_;
};
