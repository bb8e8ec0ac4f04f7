// The core first: the floppy controller's "signals" field must not meet Qt's keyword.
#include "Machine.h"
#include "Z180_CPU.h"

#include "Cpu_Io_Register.h"

#include "Form_Geometry.h"
#include "Register_Item.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {
// A register by name and internal address; an empty name is a place holder.
struct TCell {
  const char* name;
  int address;
};
constexpr TCell kEmpty{"", -1};

const QColor kGreen(0xCA, 0xE1, 0xD3);
const QColor kYellow(0xE2, 0xE4, 0xCA);
const QColor kBlue(0xB6, 0xB9, 0xD2);

QWidget* panel(const QColor& colour, QWidget* parent) {
  auto* w = new QWidget(parent);
  QPalette pal = w->palette();
  pal.setColor(QPalette::Window, colour);
  w->setPalette(pal);
  w->setAutoFillBackground(true);
  return w;
}
}  // namespace

TCpuIoRegister::TCpuIoRegister(TMachine& machine, TSystemSettings& settings, QWidget* parent)
    : QWidget(parent, Qt::Window), machine_(machine), settings_(settings) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("CPU I/O-Register"));
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setStyleHint(QFont::SansSerif);
  f.setPixelSize(15);
  setFont(f);

  // A titled group of items, perRow to a row.
  auto group = [this](QWidget* parentPanel, const char* title, int perRow, std::initializer_list<TCell> cells) {
    auto* box = new QWidget(parentPanel);
    auto* v = new QVBoxLayout(box);
    v->setContentsMargins(0, 0, 0, 0);
    auto* caption = new QLabel(QString::fromLatin1(title), box);
    caption->setAlignment(Qt::AlignCenter);
    v->addWidget(caption);
    auto* grid = new QGridLayout;
    grid->setSpacing(3);
    int n = 0;
    for (const TCell& c : cells) {
      auto* item = new TRegisterItem(QString::fromLatin1(c.name), 2, box);
      if (c.address < 0) {
        // Keeps the place of an item without showing one.
        QSizePolicy sp = item->sizePolicy();
        sp.setRetainSizeWhenHidden(true);
        item->setSizePolicy(sp);
        item->hide();
      } else {
        items_[size_t(c.address)] = item;
      }
      grid->addWidget(item, n / perRow, n % perRow);
      ++n;
    }
    v->addLayout(grid);
    v->addStretch();
    return box;
  };

  auto* columns = new QHBoxLayout(this);
  columns->setContentsMargins(4, 4, 4, 4);
  columns->setSpacing(4);

  QWidget* left = panel(kGreen, this);
  auto* leftLayout = new QVBoxLayout(left);
  leftLayout->addWidget(group(left, "ASCI", 5,
                              {{"CNTLA0", 0x00},
                               {"CNTLB0", 0x02},
                               {"STAT0", 0x04},
                               {"TDR0", 0x06},
                               {"RDR0", 0x08},
                               {"CNTLA1", 0x01},
                               {"CNTLB1", 0x03},
                               {"STAT1", 0x05},
                               {"TDR1", 0x07},
                               {"RDR1", 0x09}}));
  leftLayout->addWidget(group(left, "PRT", 4,
                              {{"TCR", 0x10},
                               kEmpty,
                               kEmpty,
                               kEmpty,
                               {"TMDR0H", 0x0D},
                               {"TMDR0L", 0x0C},
                               {"TMDR1H", 0x15},
                               {"TMDR1L", 0x14},
                               {"RLDR0H", 0x0F},
                               {"RLDR0L", 0x0E},
                               {"RLDR1H", 0x17},
                               {"RLDR1L", 0x16}}));
  leftLayout->addStretch();
  columns->addWidget(left);

  auto* right = new QVBoxLayout;
  right->setSpacing(4);
  QWidget* dma = panel(kYellow, this);
  auto* dmaLayout = new QVBoxLayout(dma);
  dmaLayout->addWidget(
      group(dma, "DMA", 8,
            {{"DMODE", 0x31}, {"DCNTL", 0x32}, {"DSTAT", 0x30}, kEmpty,          kEmpty,          kEmpty,
             kEmpty,          kEmpty,          {"SAR0B", 0x22}, {"SAR0H", 0x21}, {"SAR0L", 0x20}, {"DAR0B", 0x25},
             {"DAR0H", 0x24}, {"DAR0L", 0x23}, {"BCR0H", 0x27}, {"BCR0L", 0x26}, {"MAR1B", 0x2A}, {"MAR1H", 0x29},
             {"MAR1L", 0x28}, {"IAR1H", 0x2C}, {"IAR1L", 0x2B}, {"BCR1H", 0x2F}, {"BCR1L", 0x2E}, kEmpty}));
  right->addWidget(dma);
  QWidget* cpu = panel(kBlue, this);
  auto* cpuLayout = new QVBoxLayout(cpu);
  cpuLayout->addWidget(
      group(cpu, "CPU", 6, {{"OMCR", 0x3E}, {"ICR", 0x3F}, {"FRC", 0x18}, {"RCR", 0x36}, {"ITC", 0x34}, {"IL", 0x33}}));
  auto* lower = new QHBoxLayout;
  lower->addWidget(group(cpu, "MMU", 3, {{"CBAR", 0x3A}, {"BBR", 0x39}, {"CBR", 0x38}}));
  lower->addWidget(group(cpu, "CSI/O", 3, {{"CNTR", 0x0A}, {"TRD", 0x0B}, kEmpty}));
  cpuLayout->addLayout(lower);
  right->addWidget(cpu);
  right->addStretch();
  columns->addLayout(right);
}

void TCpuIoRegister::refreshIoRegisters() {
  const TIoSnapshot s = machine_.cpu().ioSnapshot();
  for (int i = 0; i < TIoSnapshot::kCount; ++i) {
    if (TRegisterItem* it = items_[s.index[size_t(i)] & 0x3F]) it->setValue(s.value[size_t(i)]);
  }
}

void TCpuIoRegister::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (event->spontaneous()) return;
  TWidgetGeometry geometry(*this, "CpuIoRegister");
  settings_.restoreFormState(geometry);
  adjustSize();
  setFixedSize(size());
  refreshIoRegisters();
}

void TCpuIoRegister::closeEvent(QCloseEvent* event) {
  TWidgetGeometry geometry(*this, "CpuIoRegister");
  settings_.saveFormState(geometry);
  QWidget::closeEvent(event);
}
