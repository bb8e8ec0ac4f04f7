// The terminal settings dialog, shown modally. Closing writes what changed to
// the store; changedSettings() tells the main window which options to apply:
// 1 CR/LF, 2 local echo, 4 logging.
#pragma once

#include <QDialog>

#include <array>

class QCheckBox;
class TSystemSettings;

class TTerminalSettings : public QDialog {
  Q_OBJECT

 public:
  explicit TTerminalSettings(TSystemSettings& settings, QWidget* parent = nullptr);

  int changedSettings() const { return changedSettings_; }

  // The three options in mask order: "UseCRLF", "LocalEcho", "Loggin".
  QCheckBox* checkbox(int index) const { return boxes_[size_t(index)]; }

 protected:
  void showEvent(QShowEvent* event) override;
  // Every way of closing (the close button, Escape) ends here.
  void done(int result) override;

 private:
  TSystemSettings& settings_;
  std::array<QCheckBox*, 3> boxes_{};
  std::array<bool, 3> remembered_{};
  int changedSettings_ = 0;
};
