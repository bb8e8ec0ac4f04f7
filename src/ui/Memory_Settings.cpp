// The core first: the floppy controller's "signals" field must not meet Qt's keyword.
#include "Machine.h"
#include "System_Memory.h"

#include "Memory_Settings.h"

#include "File_Name_Edit.h"
#include "Form_Geometry.h"
#include "Memory_Editor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {
void fill(QComboBox* box, const std::vector<std::string>& entries) {
  for (const auto& e : entries) box->addItem(QString::fromStdString(e));
}
}  // namespace

TMemorySettings::TMemorySettings(TMachine& machine, TSystemSettings& settings, TMemoryEditor* editor, QWidget* parent)
    : QDialog(parent), machine_(machine), settings_(settings), editor_(editor) {
  setWindowTitle(QString::fromUtf8("System Speicher-Einstellungen"));
  report_ = [this](const QString& text) { QMessageBox::critical(this, windowTitle(), text); };

  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;

  auto* groupBootRomSize = new QGroupBox(QString::fromUtf8(" Boot-ROM Größe "), this);
  comboboxRomSize_ = new QComboBox(groupBootRomSize);
  fill(comboboxRomSize_, TMemorySettingsForm::romSizes());
  (new QVBoxLayout(groupBootRomSize))->addWidget(comboboxRomSize_);
  top->addWidget(groupBootRomSize);

  auto* groupSystemRamSize = new QGroupBox(QString::fromUtf8(" Arbeitsspeicher Größe "), this);
  comboboxRamSize_ = new QComboBox(groupSystemRamSize);
  fill(comboboxRamSize_, TMemorySettingsForm::ramSizes());
  (new QVBoxLayout(groupSystemRamSize))->addWidget(comboboxRamSize_);
  top->addWidget(groupSystemRamSize);

  auto* groupboxAdditionalSettings = new QGroupBox(this);
  auto* additional = new QVBoxLayout(groupboxAdditionalSettings);
  checkboxReloadOnEnable_ =
      new QCheckBox(QString::fromUtf8("Image erneut Laden wenn Boot-ROM aktiviert wird"), groupboxAdditionalSettings);
  checkboxFullAdressDecode_ =
      new QCheckBox(QString::fromUtf8("vollständige Speicher Adress Dekodierung"), groupboxAdditionalSettings);
  additional->addWidget(checkboxReloadOnEnable_);
  additional->addWidget(checkboxFullAdressDecode_);
  top->addWidget(groupboxAdditionalSettings);
  layout->addLayout(top);

  auto* groupBootRomFile = new QGroupBox(QString::fromUtf8(" Boot-ROM Image Datei "), this);
  auto* fileRow = new QHBoxLayout(groupBootRomFile);
  editBootRomImageFile_ =
      new TFileNameEdit(QString::fromUtf8("Lade Boot-ROM Image"),
                        QString::fromUtf8("Binär Dateien (*.bin *.BIN);;Alle Dateien (*)"), groupBootRomFile);
  buttonReloadImage_ = new QPushButton(QStringLiteral("Reload"), groupBootRomFile);
  fileRow->addWidget(editBootRomImageFile_, 1);
  fileRow->addWidget(buttonReloadImage_);
  layout->addWidget(groupBootRomFile);
  editBootRomImageFile_->setMinimumWidth(360);

  comboboxRomSize_->setObjectName(QStringLiteral("comboboxRomSize"));
  comboboxRamSize_->setObjectName(QStringLiteral("comboboxRamSize"));
  checkboxReloadOnEnable_->setObjectName(QStringLiteral("checkboxReloadOnEnable"));
  checkboxFullAdressDecode_->setObjectName(QStringLiteral("checkboxFullAdressDecode"));
  editBootRomImageFile_->setObjectName(QStringLiteral("editBootRomImageFile"));
  buttonReloadImage_->setObjectName(QStringLiteral("buttonReloadImage"));
  buttonReloadImage_->setAutoDefault(false);

  // Nothing is loaded before the dialog closes.
  connect(buttonReloadImage_, &QPushButton::clicked, this, [this] { form_.requestReload(); });
}

void TMemorySettings::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  TWidgetGeometry geometry(*this, "MemorySettings");
  settings_.restoreFormState(geometry);
  adjustSize();
  setFixedSize(size());
  editBootRomImageFile_->setInitialDirectory(QDir::homePath());
  const TMemorySettingsValues shown = form_.load(settings_);
  comboboxRomSize_->setCurrentText(QString::fromStdString(shown.romSize));
  editBootRomImageFile_->setFileName(QString::fromStdString(shown.romImageFile));
  comboboxRamSize_->setCurrentText(QString::fromStdString(shown.ramSize));
  checkboxReloadOnEnable_->setChecked(shown.reloadOnEnable);
  checkboxFullAdressDecode_->setChecked(shown.fullAddressDecode);
}

TMemorySettingsValues TMemorySettings::shownValues() const {
  TMemorySettingsValues v;
  v.romSize = comboboxRomSize_->currentText().toStdString();
  v.ramSize = comboboxRamSize_->currentText().toStdString();
  v.romImageFile = editBootRomImageFile_->fileName().toStdString();
  v.reloadOnEnable = checkboxReloadOnEnable_->isChecked();
  v.fullAddressDecode = checkboxFullAdressDecode_->isChecked();
  return v;
}

void TMemorySettings::done(int result) {
  TWidgetGeometry geometry(*this, "MemorySettings");
  settings_.saveFormState(geometry);
  TMemoryEditorHooks hooks;
  if (editor_) {
    hooks.refreshMemory = [this] {
      if (editor_) editor_->refreshMemory();
    };
    hooks.refreshMemoryLayout = [this] {
      if (editor_) editor_->refreshMemoryLayout();
    };
  }
  try {
    form_.apply(shownValues(), settings_, machine_.memory(), hooks);
  } catch (const TFileError& e) {
    report_(QString::fromStdString(e.what()));
    editBootRomImageFile_->lineEdit()->setFocus();
    return;  // stays open for a corrected path
  }
  QDialog::done(result);
}
