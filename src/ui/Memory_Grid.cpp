#include "Memory_Grid.h"

#include "Memory_Dump.h"
#include "System_Memory.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace {
const QColor kRom(0xFF, 0xBA, 0xBA);
const QColor kProgramCounter(0x9D, 0xFF, 0xA5);
}  // namespace

TMemoryGrid::TMemoryGrid(TSystemMemory& memory, QWidget* parent) : QAbstractScrollArea(parent), memory_(memory) {
  setFocusPolicy(Qt::ClickFocus);  // not reached by tabbing
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setLineWidth(1);
  for (int i = 0; i < 256; ++i) byteTexts_[size_t(i)] = QStringLiteral("%1").arg(i, 2, 16, QLatin1Char('0')).toUpper();
  setGridFont(font());
}

void TMemoryGrid::setGridFont(const QFont& font) {
  setFont(font);
  viewport()->setFont(font);
  bold_ = font;
  bold_.setBold(true);
  const QFontMetrics m(bold_);
  rowHeight_ = m.height() + m.horizontalAdvance(QLatin1Char('|'));
  byteWidth_ = m.horizontalAdvance(QStringLiteral("XXX"));
  addressWidth_ = m.horizontalAdvance(QStringLiteral("XXXXXX"));
  const QFontMetrics normal(font);
  ascent_ = normal.ascent();
  textHeight_ = normal.height();
  for (int i = 0; i < 256; ++i) byteTextWidths_[size_t(i)] = normal.horizontalAdvance(byteTexts_[size_t(i)]);
  updateScrollBar();
  viewport()->update();
}

void TMemoryGrid::setRowCount(int rows) {
  rowCount_ = std::max(2, rows);
  currentRow_ = std::clamp(currentRow_, 1, rowCount_ - 1);
  updateScrollBar();
  viewport()->update();
}

int TMemoryGrid::visibleRows() const { return std::max(1, (viewport()->height() - rowHeight_) / rowHeight_); }

void TMemoryGrid::updateScrollBar() {
  const int dataRows = rowCount_ - 1;
  const int visible = visibleRows();
  QScrollBar* bar = verticalScrollBar();
  bar->setRange(0, std::max(0, dataRows - visible));
  bar->setPageStep(visible);
  bar->setSingleStep(1);
  topRow_ = std::clamp(topRow_, 1, std::max(1, dataRows - visible + 1));
  const QSignalBlocker block(bar);
  bar->setValue(topRow_ - 1);
}

void TMemoryGrid::setCurrentRow(int row) { setCurrentCell(currentColumn_, row); }

void TMemoryGrid::setCurrentCell(int column, int row) {
  currentColumn_ = std::clamp(column, 1, 16);
  currentRow_ = std::clamp(row, 1, rowCount_ - 1);
  const int visible = visibleRows();
  if (currentRow_ < topRow_) {
    topRow_ = currentRow_;
  } else if (currentRow_ >= topRow_ + visible) {
    topRow_ = currentRow_ - visible + 1;
  }
  updateScrollBar();
  viewport()->update();
}

QRect TMemoryGrid::cellRect(int column, int row) const {
  const int x = column == 0 ? 0 : addressWidth_ + (column - 1) * byteWidth_;
  const int y = row == 0 ? 0 : (row - topRow_ + 1) * rowHeight_;
  return {x, y, columnWidth(column), rowHeight_};
}

bool TMemoryGrid::cellAt(const QPoint& p, int& column, int& row) const {
  if (p.x() < 0 || p.y() < 0) return false;
  column = p.x() < addressWidth_ ? 0 : 1 + (p.x() - addressWidth_) / byteWidth_;
  row = p.y() < rowHeight_ ? 0 : topRow_ + (p.y() - rowHeight_) / rowHeight_;
  return column <= 16 && row < rowCount_;
}

void TMemoryGrid::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  const QPalette& pal = palette();
  const QColor fixed = pal.color(QPalette::Button);
  const QColor normal = pal.color(QPalette::Base);
  const QColor line = pal.color(QPalette::Mid);
  const QColor text = pal.color(QPalette::Text);
  const int height = viewport()->height();
  const int lastRow = std::min(rowCount_ - 1, topRow_ + (height - rowHeight_) / rowHeight_);
  const int width = addressWidth_ + 16 * byteWidth_;

  // Each cell: its background, then its text centred (offsets halved, truncated).
  auto centred = [&](const QRect& r, const QString& s, int textWidth) {
    p.drawText(r.left() + (r.width() - textWidth) / 2, r.top() + (r.height() - textHeight_) / 2 + ascent_, s);
  };
  p.setPen(text);
  p.setFont(bold_);
  const QFontMetrics boldMetrics(bold_);
  p.fillRect(QRect(0, 0, width, rowHeight_), fixed);
  for (int c = 1; c <= 16; ++c) {
    const QString& s = byteTexts_[size_t(c - 1)];
    centred(cellRect(c, 0), s, boldMetrics.horizontalAdvance(s));
  }
  for (int r = topRow_; r <= lastRow; ++r) {
    const QRect cell = cellRect(0, r);
    p.fillRect(cell, fixed);
    const QString address = QString::fromStdString(TMemoryDump::addressText(TMemoryDump::rowAddress(r)));
    centred(cell, address, boldMetrics.horizontalAdvance(address));
  }
  p.setFont(font());
  const bool romOn = memory_.getBootRomEnabled();
  const uint32_t romSize = memory_.getRomSize();
  for (int r = topRow_; r <= lastRow; ++r) {
    const uint32_t base = TMemoryDump::rowAddress(r);
    const int y = (r - topRow_ + 1) * rowHeight_;
    for (int c = 1; c <= 16; ++c) {
      const uint32_t a = base + uint32_t(c - 1);
      const QRect cell(addressWidth_ + (c - 1) * byteWidth_, y, byteWidth_, rowHeight_);
      if (a == programCounter_) {
        p.fillRect(cell, kProgramCounter);
      } else {
        p.fillRect(cell, romOn && a < romSize ? kRom : normal);
      }
      const uint8_t b = memory_.readByte(a);
      centred(cell, byteTexts_[b], byteTextWidths_[b]);
    }
  }
  // Grid lines on the right and bottom edge of every cell.
  p.setPen(line);
  const int bottom = (lastRow - topRow_ + 2) * rowHeight_;
  for (int c = 0; c <= 16; ++c) {
    const int x = cellRect(c, 0).right();
    p.drawLine(x, 0, x, bottom - 1);
  }
  for (int r = 0; r <= lastRow - topRow_ + 1; ++r) {
    const int y = (r + 1) * rowHeight_ - 1;
    p.drawLine(0, y, width - 1, y);
  }
}

void TMemoryGrid::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  updateScrollBar();
}

void TMemoryGrid::scrollContentsBy(int, int) {
  topRow_ = verticalScrollBar()->value() + 1;
  viewport()->update();
  emit scrolled();
}

void TMemoryGrid::mousePressEvent(QMouseEvent* event) {
  int column = 0, row = 0;
  // A click on a header cell leaves the current cell where it is.
  if (event->button() == Qt::LeftButton && cellAt(event->position().toPoint(), column, row) && column > 0 && row > 0)
    setCurrentCell(column, row);
  QAbstractScrollArea::mousePressEvent(event);
}

void TMemoryGrid::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    mousePressEvent(event);
    emit cellDoubleClicked();
  }
}

void TMemoryGrid::keyPressEvent(QKeyEvent* event) {
  const int page = visibleRows();
  switch (event->key()) {
    case Qt::Key_Up: setCurrentCell(currentColumn_, currentRow_ - 1); return;
    case Qt::Key_Down: setCurrentCell(currentColumn_, currentRow_ + 1); return;
    case Qt::Key_Left: setCurrentCell(currentColumn_ - 1, currentRow_); return;
    case Qt::Key_Right: setCurrentCell(currentColumn_ + 1, currentRow_); return;
    case Qt::Key_PageUp: setCurrentCell(currentColumn_, currentRow_ - page); return;
    case Qt::Key_PageDown: setCurrentCell(currentColumn_, currentRow_ + page); return;
    case Qt::Key_Home:
      setCurrentCell(currentColumn_, (event->modifiers() & Qt::ControlModifier) ? 1 : currentRow_);
      if (!(event->modifiers() & Qt::ControlModifier)) setCurrentCell(1, currentRow_);
      return;
    case Qt::Key_End:
      if (event->modifiers() & Qt::ControlModifier)
        setCurrentCell(currentColumn_, rowCount_ - 1);
      else
        setCurrentCell(16, currentRow_);
      return;
    case Qt::Key_F2:
    case Qt::Key_Return:
    case Qt::Key_Enter: emit editorRequested(QString()); return;
    default: break;
  }
  const QString t = event->text();
  if (t.size() == 1 && t[0].unicode() < 128 && t[0] != QLatin1Char('\b') &&
      TMemoryDump::acceptsEditCharacter(char(t[0].unicode()))) {
    emit editorRequested(t.toUpper());
    return;
  }
  QAbstractScrollArea::keyPressEvent(event);
}
