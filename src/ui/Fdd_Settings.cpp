// The core first: the floppy controller's "signals" field must not meet Qt's keyword.
#include "Machine.h"
#include "System_Fdc.h"

#include "Fdd_Settings.h"

#include "File_Name_Edit.h"
#include "Form_Geometry.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QShowEvent>
#include <QVBoxLayout>

TFddSettings::TFddSettings(TMachine& machine, TSystemSettings& settings, QWidget* parent)
    : QDialog(parent), machine_(machine), settings_(settings) {
  setWindowTitle(QStringLiteral("Disketten Laufwerke"));
  auto* layout = new QVBoxLayout(this);
  const char* labels[4] = {" Seiten: ", " Spuren: ", " Sektoren: ", " Bytes/Sektor: "};
  const char* names[4] = {"Sides", "Tracks", "Sectors", "SectorBytes"};
  for (int d = 0; d < 2; ++d) {
    const QString prefix = QStringLiteral("Fdd%1").arg(d);
    auto* drive = new QGroupBox(QStringLiteral(" Disketten Laufwerk %1 ").arg(d), this);
    auto* driveLayout = new QVBoxLayout(drive);
    auto* geometry = new QGroupBox(QStringLiteral(" Geometrie "), drive);
    auto* row = new QHBoxLayout(geometry);
    TDriveControls& c = drives_[size_t(d)];
    for (int i = 0; i < 4; ++i) {
      row->addWidget(new QLabel(QString::fromLatin1(labels[i]), geometry));
      auto* box = new QComboBox(geometry);
      for (const auto& e : TFddSettingsForm::entries(i)) box->addItem(QString::fromStdString(e));
      box->setObjectName(QStringLiteral("combobox") + prefix + QString::fromLatin1(names[i]));
      connect(box, &QComboBox::activated, this, [this, d] { onGeometryChange(d); });
      c.geometry[size_t(i)] = box;
      row->addWidget(box);
    }
    row->addWidget(new QLabel(QString::fromUtf8(" Größe: "), geometry));
    c.size = new QLineEdit(geometry);
    c.size->setObjectName(QStringLiteral("edit") + prefix + QStringLiteral("Size"));
    c.size->setReadOnly(true);
    c.size->setAlignment(Qt::AlignRight);
    c.size->setFocusPolicy(Qt::NoFocus);
    QPalette pal = c.size->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Button));
    c.size->setPalette(pal);
    c.size->setFixedWidth(c.size->fontMetrics().horizontalAdvance(QStringLiteral("00000KB")) + 12);
    row->addWidget(c.size);
    driveLayout->addWidget(geometry);

    auto* imageGroup = new QGroupBox(QStringLiteral(" Image Datei "), drive);
    c.image = new TFileNameEdit(QStringLiteral("Lade Disketten Image"),
                                QStringLiteral("Disketten Image Dateien (*.fdd *.FDD *.img *.IMG);;Alle Dateien (*)"),
                                imageGroup);
    c.image->setObjectName(QStringLiteral("edit") + prefix + QStringLiteral("ImageFile"));
    (new QVBoxLayout(imageGroup))->addWidget(c.image);
    driveLayout->addWidget(imageGroup);
    layout->addWidget(drive);
  }
}

void TFddSettings::onGeometryChange(int drive) {
  std::array<std::string, 4> g;
  for (int i = 0; i < 4; ++i) g[size_t(i)] = geometryBox(drive, i)->currentText().toStdString();
  sizeField(drive)->setText(QString::fromStdString(TFddSettingsForm::sizeText(g)));
}

void TFddSettings::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  TWidgetGeometry geometry(*this, "FddSettings");
  settings_.restoreFormState(geometry);
  adjustSize();
  setFixedSize(size());
  const auto shown = form_.load(settings_);
  for (int d = 0; d < 2; ++d) {
    for (int i = 0; i < 4; ++i)
      geometryBox(d, i)->setCurrentText(QString::fromStdString(shown[size_t(d)].geometry[size_t(i)]));
    imageFileEdit(d)->setFileName(QString::fromStdString(shown[size_t(d)].imageFile));
    onGeometryChange(d);
  }
}

void TFddSettings::done(int result) {
  TWidgetGeometry geometry(*this, "FddSettings");
  settings_.saveFormState(geometry);
  std::array<TFddSettingsValues, 2> shown;
  for (int d = 0; d < 2; ++d) {
    for (int i = 0; i < 4; ++i) shown[size_t(d)].geometry[size_t(i)] = geometryBox(d, i)->currentText().toStdString();
    shown[size_t(d)].imageFile = imageFileEdit(d)->fileName().toStdString();
  }
  form_.apply(shown, settings_, machine_.fdc());
  QDialog::done(result);
}
