// The floppy drive dialog (geometry and image of each drive), shown modally.
// Closing applies exactly what changed, to the store and the drives.
#pragma once

#include "Fdd_Settings_Form.h"

#include <QDialog>

#include <array>

class QComboBox;
class QLineEdit;
class TMachine;
class TSystemSettings;
class TFileNameEdit;

class TFddSettings : public QDialog {
  Q_OBJECT

 public:
  TFddSettings(TMachine& machine, TSystemSettings& settings, QWidget* parent = nullptr);

  // field: 0 sides, 1 tracks, 2 sectors, 3 bytes per sector.
  QComboBox* geometryBox(int drive, int field) const { return drives_[size_t(drive)].geometry[size_t(field)]; }
  QLineEdit* sizeField(int drive) const { return drives_[size_t(drive)].size; }
  TFileNameEdit* imageFileEdit(int drive) const { return drives_[size_t(drive)].image; }

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  struct TDriveControls {
    std::array<QComboBox*, 4> geometry{};
    QLineEdit* size = nullptr;
    TFileNameEdit* image = nullptr;
  };
  // onFdd0GeometryChange / onFdd1GeometryChange: only the size field changes.
  void onGeometryChange(int drive);

  TMachine& machine_;
  TSystemSettings& settings_;
  TFddSettingsForm form_;
  std::array<TDriveControls, 2> drives_;
};
