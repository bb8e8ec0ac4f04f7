#include "Terminal_Settings.h"

#include "Form_Geometry.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {
struct TOption {
  const char* caption;
  const char* key;
  int bit;
};
constexpr std::array<TOption, 3> kOptions{{
    {"benutze 'CRLF' anstatt 'CR'", "UseCRLF", 1},
    {"Lokales Terminal-Echo ein", "LocalEcho", 2},
    {"Terminal Ausgabe in Textdatei Schreiben", "Loggin", 4},
}};
}  // namespace

TTerminalSettings::TTerminalSettings(TSystemSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
  setWindowTitle(QStringLiteral("System-Terminal Settings"));
  QFont f = font();
  f.setPixelSize(15);
  setFont(f);
  auto* layout = new QVBoxLayout(this);
  const char* names[] = {"checkboxEnableCrLf", "checkboxEnableLocalEcho", "checkboxEnableLogging"};
  for (size_t i = 0; i < kOptions.size(); ++i) {
    auto* group = new QGroupBox(this);
    auto* inner = new QVBoxLayout(group);
    boxes_[i] = new QCheckBox(QString::fromUtf8(kOptions[i].caption), group);
    boxes_[i]->setObjectName(QString::fromLatin1(names[i]));
    inner->addWidget(boxes_[i]);
    layout->addWidget(group);
  }
}

void TTerminalSettings::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (event->spontaneous()) return;
  TWidgetGeometry geometry(*this, "TerminalSettings");
  settings_.restoreFormState(geometry);
  adjustSize();
  setFixedSize(size());
  for (size_t i = 0; i < kOptions.size(); ++i) {
    remembered_[i] = settings_.readBoolean("Terminal", kOptions[i].key, false);
    boxes_[i]->setChecked(remembered_[i]);
  }
}

void TTerminalSettings::done(int result) {
  TWidgetGeometry geometry(*this, "TerminalSettings");
  settings_.saveFormState(geometry);
  changedSettings_ = 0;
  for (size_t i = 0; i < kOptions.size(); ++i) {
    const bool state = boxes_[i]->isChecked();
    if (state == remembered_[i]) continue;
    settings_.writeBoolean("Terminal", kOptions[i].key, state);
    changedSettings_ |= kOptions[i].bit;
  }
  QDialog::done(result);
}
