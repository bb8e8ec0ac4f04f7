#include "Terminal_View.h"

#include "System_Terminal.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

#include <cmath>
#include <cstring>

namespace {
// A cell's cache key: background, text colour, style bits and character.
constexpr uint64_t cellKey(uint8_t ch, uint32_t style, uint32_t text, uint32_t back) {
  return (uint64_t{back & 0xFFFFFF} << 40) | (uint64_t{text & 0xFFFFFF} << 16) | (uint64_t{style & 7} << 8) | ch;
}

constexpr int FontPixelSize = 16;  // 12 points at 96 dpi

// Room the glyph has in its cell: from the text origin to the right outline,
// and from the top edge to the bottom outline.
constexpr int GlyphRoomX = 10;
constexpr int GlyphRoomY = 21;

bool fits(const QFont& f) {
  const QFontMetrics m(f);
  return m.horizontalAdvance(QLatin1Char('M')) <= GlyphRoomX && m.height() <= GlyphRoomY;
}

QFont monospaced(const QString& family, int pixelSize) {
  QFont f(family);
  f.setPixelSize(pixelSize);
  f.setStyleHint(QFont::Monospace, QFont::PreferDefault);
  f.setFixedPitch(true);
  f.setKerning(false);
  return f;
}
}  // namespace

TTerminalView::TTerminalView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  chooseFont();
  tileKeys_.reserve(2 * 1920);
  setRenderScale(1.0);
  resize(SurfaceWidth, SurfaceHeight);
}

TTerminalView::~TTerminalView() { setTerminal(nullptr); }

void TTerminalView::chooseFont() {
  font_ = monospaced(QStringLiteral("Consolas"), FontPixelSize);
  if (QFontInfo(font_).family() != QLatin1String("Consolas")) {
    font_ = monospaced(QStringLiteral("DejaVu Sans Mono"), FontPixelSize);
    if (!QFontInfo(font_).fixedPitch()) {
      font_ = QFontDatabase::systemFont(QFontDatabase::FixedFont);
      font_.setPixelSize(FontPixelSize);
    }
  }
  // Shrink a font that would spill over the cell's outline.
  for (int size = FontPixelSize; size > 8 && !fits(font_); --size) font_.setPixelSize(size - 1);

  for (int style = 0; style < 8; ++style) {
    QFont f = font_;
    f.setBold((style & TSystemTerminal::StyleBold) != 0);
    f.setItalic((style & TSystemTerminal::StyleItalic) != 0);
    f.setUnderline((style & TSystemTerminal::StyleUnderline) != 0);
    styledFonts_[style] = f;
    const QFontMetrics m(f);
    glyphAdvance_[style] = std::min(m.horizontalAdvance(QLatin1Char('M')), GlyphRoomX);
    glyphHeight_[style] = std::min(m.height(), GlyphRoomY);
  }
}

void TTerminalView::setTerminal(TSystemTerminal* terminal) {
  if (terminal_ != nullptr) terminal_->setRepaintHandler({});
  terminal_ = terminal;
  if (terminal_ != nullptr) terminal_->setRepaintHandler([this] { repaintTick(); });
  update();
}

const QImage& TTerminalView::visibleSurface() const {
  if (terminal_ != nullptr && !terminal_->getSurface1Visible()) return surface2_;
  return surface1_;
}

QImage TTerminalView::makeSurface(qreal devicePixelRatio) {
  QImage s(static_cast<int>(std::lround(SurfaceWidth * devicePixelRatio)),
           static_cast<int>(std::lround(SurfaceHeight * devicePixelRatio)), QImage::Format_RGB32);
  s.setDevicePixelRatio(devicePixelRatio);
  s.fill(Qt::white);
  return s;
}

void TTerminalView::setRenderScale(qreal devicePixelRatio) {
  if (devicePixelRatio <= 0) devicePixelRatio = 1.0;
  if (devicePixelRatio == scale_ && !surface1_.isNull()) return;
  scale_ = devicePixelRatio;
  tileW_ = static_cast<int>(std::lround(TileWidth * scale_));
  tileH_ = static_cast<int>(std::lround(TileHeight * scale_));
  surface1_ = makeSurface(scale_);
  surface2_ = makeSurface(scale_);
  tileScratch_ = QImage(tileW_, tileH_, QImage::Format_RGB32);
  tileScratch_.setDevicePixelRatio(scale_);
  tileKeys_.clear();
  tilePixels_.clear();
  tilePixels_.reserve(std::size_t(512) * tileW_ * tileH_);
}

// The terminal's repaint tick: draw into the surface that is hidden now; the
// terminal flips surface1Visible when this returns, so the next paint shows it.
void TTerminalView::repaintTick() {
  if (terminal_ == nullptr) return;
  const qreal dpr = devicePixelRatioF();
  if (dpr != scale_) setRenderScale(dpr);
  renderScreen(*terminal_, terminal_->getSurface1Visible() ? surface2_ : surface1_);
  update();
}

void TTerminalView::renderScreen(const TSystemTerminal& terminal, QImage& target) {
  Q_ASSERT(target.format() == QImage::Format_RGB32);
  Q_ASSERT(target.width() >= std::lround((SurfaceWidth)*scale_) && target.height() >= tileH_ * 24);

  const auto& chars = terminal.getScreenChars();
  const auto& styles = terminal.getScreenStyles();
  const auto& texts = terminal.getScreenTextColors();
  const auto& backs = terminal.getScreenBackColors();
  const bool cursorShown = terminal.getCursorShown();
  const int cursorIndex = TSystemTerminal::cellIndex(terminal.getCursorRow(), terminal.getCursorCol());

  uchar* const base = target.bits();
  const qsizetype stride = target.bytesPerLine();
  const std::size_t rowBytes = std::size_t(tileW_) * sizeof(uint32_t);

  uint64_t lastKey = ~uint64_t{0};
  int lastTile = -1;
  for (int row = 1; row <= TSystemTerminal::Rows; ++row) {
    const int y = TSystemTerminal::textY(row);
    uchar* const line = base + std::lround(y * scale_) * stride;
    for (int col = 1; col <= TSystemTerminal::Cols; ++col) {
      const int i = TSystemTerminal::cellIndex(row, col);
      const uint8_t ch = (cursorShown && i == cursorIndex) ? terminal.getCursorChar() : chars[i];
      const uint64_t key = cellKey(ch, styles[i], texts[i], backs[i]);
      if (key != lastKey) {
        lastTile = tileFor(key);
        lastKey = key;
      }
      const uint32_t* src = tilePixels_.data() + std::size_t(lastTile) * tileW_ * tileH_;
      uchar* dst = line + std::lround((TSystemTerminal::textX(col) - 2) * scale_) * qsizetype(sizeof(uint32_t));
      for (int k = 0; k < tileH_; ++k, src += tileW_, dst += stride) std::memcpy(dst, src, rowBytes);
    }
  }
}

int TTerminalView::tileFor(uint64_t key) {
  if (const auto it = tileKeys_.find(key); it != tileKeys_.end()) return it->second;
  if (static_cast<int>(tileKeys_.size()) >= MaxTiles) {
    tileKeys_.clear();
    tilePixels_.clear();
  }
  const int index = static_cast<int>(tileKeys_.size());
  tilePixels_.resize(std::size_t(index + 1) * tileW_ * tileH_);
  renderTile(key, tilePixels_.data() + std::size_t(index) * tileW_ * tileH_);
  tileKeys_.emplace(key, index);
  return index;
}

// One cell as the console draws it: the rectangle outlined in white and filled
// with the background, then the glyph at the text origin (two pixels in) over
// an opaque box of the background colour.
void TTerminalView::renderTile(uint64_t key, uint32_t* pixels) {
  const uint8_t ch = key & 0xFF;
  const int style = (key >> 8) & 7;
  const QColor text = QColor::fromRgb(static_cast<QRgb>((key >> 16) & 0xFFFFFF));
  const QColor back = QColor::fromRgb(static_cast<QRgb>((key >> 40) & 0xFFFFFF));

  tileScratch_.fill(Qt::white);
  {
    QPainter p(&tileScratch_);
    p.fillRect(QRect(1, 1, TileWidth - 2, TileHeight - 2), back);
    p.fillRect(QRect(2, 0, glyphAdvance_[style], glyphHeight_[style]), back);
    if (ch > 0x20 && ch < 0x7F) {
      p.setRenderHint(QPainter::TextAntialiasing);
      p.setFont(styledFonts_[style]);
      p.setPen(text);
      p.drawText(QPointF(2, QFontMetrics(styledFonts_[style]).ascent()), QString(QLatin1Char(char(ch))));
    } else if (style & TSystemTerminal::StyleUnderline) {
      // A space carries its underline too.
      p.setFont(styledFonts_[style]);
      p.setPen(text);
      p.drawText(QPointF(2, QFontMetrics(styledFonts_[style]).ascent()), QStringLiteral(" "));
    }
  }
  for (int k = 0; k < tileH_; ++k)
    std::memcpy(pixels + std::size_t(k) * tileW_, tileScratch_.constScanLine(k),
                std::size_t(tileW_) * sizeof(uint32_t));
}

void TTerminalView::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  const QImage& surface = visibleSurface();
  p.drawImage(QPoint(0, 0), surface);
  // The strip of the panel below (and right of) the surface.
  const QRegion rest = QRegion(event->rect()).subtracted(QRect(0, 0, SurfaceWidth, SurfaceHeight));
  for (const QRect& r : rest) p.fillRect(r, palette().window());
}
