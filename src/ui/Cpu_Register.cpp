// The core first: the floppy controller's "signals" field must not meet Qt's keyword.
#include "Machine.h"
#include "Z180_CPU.h"

#include "Cpu_Register.h"

#include "Form_Geometry.h"
#include "Register_Item.h"
#include "Register_Lamp.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {
const char* const kFlagNames[] = {"S", "Z", "H", "P", "N", "C"};
constexpr uint8_t kFlagBits[] = {0x80, 0x40, 0x10, 0x04, 0x02, 0x01};

// Three flag lamps, each under its letter, in one outlined panel.
class TFlagPanel : public QWidget {
 public:
  TFlagPanel(int first, const QString& suffix, QMap<QString, TRegisterLamp*>& lamps, QWidget* parent)
      : QWidget(parent) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 2, 4, 4);
    grid->setSpacing(2);
    for (int i = 0; i < 3; ++i) {
      auto* caption = new QLabel(QString::fromLatin1(kFlagNames[first + i]), this);
      caption->setAlignment(Qt::AlignCenter);
      auto* lamp = new TRegisterLamp(this);
      lamps.insert(QString::fromLatin1(kFlagNames[first + i]) + suffix, lamp);
      grid->addWidget(caption, 0, i, Qt::AlignCenter);
      grid->addWidget(lamp, 1, i, Qt::AlignCenter);
    }
  }

 protected:
  void paintEvent(QPaintEvent*) override { paintRoundedPanel(*this, palette().color(QPalette::Window)); }
};

// An interrupt enable lamp to the right of its caption.
class TIffPanel : public QWidget {
 public:
  TIffPanel(const QString& caption, QMap<QString, TRegisterLamp*>& lamps, QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 2, 6, 2);
    auto* label = new QLabel(caption, this);
    label->setAlignment(Qt::AlignCenter);
    row->addWidget(label);
    auto* lamp = new TRegisterLamp(this);
    row->addWidget(lamp);
    lamps.insert(caption, lamp);
  }

 protected:
  void paintEvent(QPaintEvent*) override { paintRoundedPanel(*this, palette().color(QPalette::Window)); }
};

QWidget* colouredGroup(const QColor& colour, const QString& title, QGridLayout*& grid, QWidget* parent) {
  auto* w = new QWidget(parent);
  QPalette pal = w->palette();
  pal.setColor(QPalette::Window, colour);
  w->setPalette(pal);
  w->setAutoFillBackground(true);
  auto* v = new QVBoxLayout(w);
  v->setContentsMargins(6, 4, 6, 6);
  auto* caption = new QLabel(title, w);
  caption->setAlignment(Qt::AlignCenter);
  v->addWidget(caption);
  grid = new QGridLayout;
  grid->setSpacing(4);
  v->addLayout(grid);
  return w;
}

}  // namespace

TCpuRegister::TCpuRegister(TMachine& machine, TSystemSettings& settings, QWidget* parent)
    : QWidget(parent, Qt::Window), machine_(machine), settings_(settings) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("CPU-Register"));
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(15);
  setFont(f);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(4);

  // The two register sets: the same items, the alternate keys end in "'".
  auto registerSet = [&](const QColor& colour, const QString& title, const QString& suffix) {
    QGridLayout* grid = nullptr;
    QWidget* g = colouredGroup(colour, title, grid, this);
    auto add = [&](const char* caption, int digits, int row, int column) {
      auto* it = new TRegisterItem(QString::fromLatin1(caption), digits, g);
      items_.insert(QString::fromLatin1(caption) + suffix, it);
      grid->addWidget(it, row, column);
    };
    add("A", 2, 0, 0);
    add("F", 2, 0, 1);
    grid->addWidget(new TFlagPanel(0, suffix, lamps_, g), 0, 2);
    grid->addWidget(new TFlagPanel(3, suffix, lamps_, g), 0, 3);
    const char* pairs[3][4] = {{"B", "C", "BC", "(BC)"}, {"D", "E", "DE", "(DE)"}, {"H", "L", "HL", "(HL)"}};
    for (int r = 0; r < 3; ++r) {
      add(pairs[r][0], 2, r + 1, 0);
      add(pairs[r][1], 2, r + 1, 1);
      add(pairs[r][2], 4, r + 1, 2);
      add(pairs[r][3], 2, r + 1, 3);
    }
    layout->addWidget(g);
  };
  registerSet(QColor(0xCA, 0xE1, 0xD3), QStringLiteral("Register Set 1"), QString());
  registerSet(QColor(0xE2, 0xE4, 0xCA), QStringLiteral("Register Set 2"), QStringLiteral("'"));

  QGridLayout* grid = nullptr;
  QWidget* special = colouredGroup(QColor(0xB6, 0xB9, 0xD2), QStringLiteral("Special Registers"), grid, this);
  auto add = [&](const char* caption, const char* key, int digits, int row, int column) {
    auto* it = new TRegisterItem(QString::fromLatin1(caption), digits, special);
    items_.insert(QString::fromLatin1(key), it);
    grid->addWidget(it, row, column);
  };
  add(" I ", "I", 2, 0, 0);
  add(" R ", "R", 2, 0, 1);
  add("IX ", "IX", 4, 1, 0);
  add("IY ", "IY", 4, 1, 1);
  grid->addWidget(new TIffPanel(QStringLiteral("IFF1"), lamps_, special), 1, 2);
  add("SP", "SP", 4, 2, 0);
  add("(SP)", "(SP)", 2, 2, 1);
  grid->addWidget(new TIffPanel(QStringLiteral("IFF2"), lamps_, special), 2, 2);
  add("PC", "PC", 4, 3, 0);
  add("(PC)", "(PC)", 2, 3, 1);
  add("Int Mode", "IM", 2, 3, 2);
  layout->addWidget(special);
}

void TCpuRegister::refreshRegisters() {
  const TZ180Cpu& cpu = machine_.cpu();
  const TCoreSnapshot s = cpu.coreSnapshot();
  auto set = [this](const QString& key, unsigned value) { items_.value(key)->setValue(value); };
  auto fill = [&](const TCoreSnapshot::TSet& r, const QString& x) {
    set("A" + x, r.A);
    set("F" + x, r.F);
    set("B" + x, r.B);
    set("C" + x, r.C);
    set("D" + x, r.D);
    set("E" + x, r.E);
    set("H" + x, r.H);
    set("L" + x, r.L);
    set("BC" + x, r.BC);
    set("DE" + x, r.DE);
    set("HL" + x, r.HL);
    set("(BC)" + x, r.atBC);
    set("(DE)" + x, r.atDE);
    set("(HL)" + x, r.atHL);
    for (int i = 0; i < 6; ++i) lamps_.value(QString::fromLatin1(kFlagNames[i]) + x)->setLit(r.F & kFlagBits[i]);
  };
  fill(s.main, QString());
  fill(s.alternate, QStringLiteral("'"));
  set("I", s.I);
  set("R", s.R);
  set("IX", s.IX);
  set("IY", s.IY);
  set("SP", s.SP);
  set("(SP)", s.atSP);
  set("PC", s.PC);
  set("(PC)", s.atPC);
  set("IM", cpu.interruptMode);
  lamps_.value("IFF1")->setLit(s.IFF1);
  lamps_.value("IFF2")->setLit(s.IFF2);
}

void TCpuRegister::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (event->spontaneous()) return;
  TWidgetGeometry geometry(*this, "CpuRegister");
  settings_.restoreFormState(geometry);
  adjustSize();
  setFixedSize(size());
  refreshRegisters();
}

void TCpuRegister::closeEvent(QCloseEvent* event) {
  TWidgetGeometry geometry(*this, "CpuRegister");
  settings_.saveFormState(geometry);
  QWidget::closeEvent(event);
}
