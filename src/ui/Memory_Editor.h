// The memory editor (F10): the board's physical RAM as a hex dump, 16 bytes a
// row, with single-byte editing. Created by the main window on first use and
// destroyed when closed (Qt::WA_DeleteOnClose); the main window holds it in a
// QPointer, which empties itself then.
#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QStatusBar;
class TMachine;
class TSystemSettings;
class TMemoryGrid;

class TMemoryEditor : public QWidget {
  Q_OBJECT

 public:
  TMemoryEditor(TMachine& machine, TSystemSettings& settings, QWidget* parent = nullptr);

  // Takes the program counter's physical address, scrolls to it, repaints.
  void refreshMemory();
  // Row count from the RAM size, status texts.
  void refreshMemoryLayout();

  // Opens the edit box over the grid's current cell (as a double-click does).
  void editCurrentCell(const QString& typed = QString());
  // Ends editing as Enter does: writes the box's value at the current cell.
  void finishEditing();

  TMemoryGrid* grid() const { return grid_; }
  QLineEdit* editBox() const { return edit_; }
  QString statusText(int panel) const;
  // How an error reaches the user; a message box unless replaced (tests).
  void setErrorReporter(std::function<void(const QString&)> report) { report_ = std::move(report); }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void placeEditBox();

  TMachine& machine_;
  TSystemSettings& settings_;
  TMemoryGrid* grid_;
  QLineEdit* edit_;
  QStatusBar* statusBar_;
  QLabel* ramLabel_;
  QLabel* romLabel_;
  std::function<void(const QString&)> report_;
  bool reporting_ = false;
};
