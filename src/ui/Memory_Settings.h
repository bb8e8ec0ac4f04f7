// The memory settings dialog (boot ROM and system RAM), shown modally. It has
// no OK or Cancel: closing applies exactly what changed, to the store and the
// machine. editor is the open memory editor, if any, refreshed after changes.
// A ROM image that cannot be read is reported and the dialog stays open, so
// the path can be corrected; nothing after the failing step is applied.
#pragma once

#include "Memory_Settings_Form.h"

#include <QDialog>
#include <QPointer>

#include <functional>

class QCheckBox;
class QComboBox;
class QPushButton;
class TMachine;
class TSystemSettings;
class TMemoryEditor;
class TFileNameEdit;

class TMemorySettings : public QDialog {
  Q_OBJECT

 public:
  TMemorySettings(TMachine& machine, TSystemSettings& settings, TMemoryEditor* editor, QWidget* parent = nullptr);

  QComboBox* romSizeBox() const { return comboboxRomSize_; }
  QComboBox* ramSizeBox() const { return comboboxRamSize_; }
  QCheckBox* reloadOnEnableBox() const { return checkboxReloadOnEnable_; }
  QCheckBox* fullAddressDecodeBox() const { return checkboxFullAdressDecode_; }
  TFileNameEdit* imageFileEdit() const { return editBootRomImageFile_; }
  QPushButton* reloadButton() const { return buttonReloadImage_; }
  // How an error reaches the user; a message box unless replaced (tests).
  void setErrorReporter(std::function<void(const QString&)> report) { report_ = std::move(report); }

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  TMemorySettingsValues shownValues() const;

  TMachine& machine_;
  TSystemSettings& settings_;
  QPointer<TMemoryEditor> editor_;
  TMemorySettingsForm form_;
  QComboBox* comboboxRomSize_;
  QComboBox* comboboxRamSize_;
  QCheckBox* checkboxReloadOnEnable_;
  QCheckBox* checkboxFullAdressDecode_;
  TFileNameEdit* editBootRomImageFile_;
  QPushButton* buttonReloadImage_;
  std::function<void(const QString&)> report_;
};
