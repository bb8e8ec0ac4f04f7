// The memory editor's grid: a fixed header row and address column over 16
// byte columns, custom-painted so that only the visible rows cost anything,
// whatever the RAM size (65536 rows at 1 MB). Row r >= 1 shows the 16 bytes
// from physical (r - 1) * 16; the current cell is always a data cell.
#pragma once

#include <QAbstractScrollArea>

#include <array>
#include <cstdint>

class TSystemMemory;

class TMemoryGrid : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit TMemoryGrid(TSystemMemory& memory, QWidget* parent = nullptr);

  // Sets the font and measures the cells in it, in bold.
  void setGridFont(const QFont& font);
  int rowHeight() const { return rowHeight_; }
  int columnWidth(int column) const { return column == 0 ? addressWidth_ : byteWidth_; }

  void setRowCount(int rows);  // the header row included
  int rowCount() const { return rowCount_; }
  // Limits the row to the data rows and scrolls just enough to show it.
  void setCurrentRow(int row);
  void setCurrentCell(int column, int row);
  int currentRow() const { return currentRow_; }
  int currentColumn() const { return currentColumn_; }
  int topRow() const { return topRow_; }
  // Data rows that fit the viewport entirely.
  int visibleRows() const;
  // The cell's rectangle in viewport coordinates (may lie outside it).
  QRect cellRect(int column, int row) const;
  uint32_t cellAddress(int column, int row) const { return uint32_t(row - 1) * 16 + uint32_t(column - 1); }

  // The byte drawn light green.
  void setProgramCounter(uint32_t address) { programCounter_ = address; }
  uint32_t programCounter() const { return programCounter_; }

 signals:
  void cellDoubleClicked();
  // The user asked to edit the current cell (F2, Enter or a typed hex digit,
  // which is then the start of the new text).
  void editorRequested(const QString& typed);
  void scrolled();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void updateScrollBar();
  bool cellAt(const QPoint& p, int& column, int& row) const;

  TSystemMemory& memory_;
  QFont bold_;
  int rowHeight_ = 20;
  int byteWidth_ = 24;
  int addressWidth_ = 48;
  int ascent_ = 12;
  int textHeight_ = 16;
  int rowCount_ = 1;
  int currentRow_ = 1;
  int currentColumn_ = 1;
  int topRow_ = 1;
  uint32_t programCounter_ = 0;
  std::array<QString, 256> byteTexts_;
  std::array<int, 256> byteTextWidths_{};
};
