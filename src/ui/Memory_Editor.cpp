// The core first: the floppy controller's "signals" field must not meet Qt's keyword.
#include "Machine.h"
#include "Memory_Dump.h"
#include "Z180_CPU.h"

#include "Memory_Editor.h"

#include "Form_Geometry.h"
#include "Memory_Grid.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollBar>
#include <QShowEvent>
#include <QStatusBar>
#include <QStyle>
#include <QVBoxLayout>

namespace {
QFont dumpFont() {
  QFont f;
  if (QFontDatabase::families().contains(QStringLiteral("Droid Sans Mono"))) {
    f = QFont(QStringLiteral("Droid Sans Mono"));
  } else {
    f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  }
  f.setPointSize(10);
  f.setStyleHint(QFont::Monospace);
  return f;
}
}  // namespace

TMemoryEditor::TMemoryEditor(TMachine& machine, TSystemSettings& settings, QWidget* parent)
    : QWidget(parent, Qt::Window), machine_(machine), settings_(settings) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("System-Memory Editor"));
  report_ = [this](const QString& text) { QMessageBox::critical(this, windowTitle(), text); };

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  grid_ = new TMemoryGrid(machine_.memory(), this);
  grid_->setObjectName(QStringLiteral("gridSystemMemory"));
  grid_->setGridFont(dumpFont());
  layout->addWidget(grid_);

  statusBar_ = new QStatusBar(this);
  statusBar_->setObjectName(QStringLiteral("statusBar"));
  statusBar_->setSizeGripEnabled(false);
  ramLabel_ = new QLabel(statusBar_);
  romLabel_ = new QLabel(statusBar_);
  for (QLabel* l : {ramLabel_, romLabel_}) {
    l->setTextFormat(Qt::PlainText);
    statusBar_->addWidget(l, 1);  // each half the width
  }
  layout->addWidget(statusBar_);

  edit_ = new QLineEdit(grid_->viewport());
  edit_->setObjectName(QStringLiteral("editMemoryCell"));
  edit_->setFont(grid_->font());
  edit_->setFrame(false);
  edit_->setAlignment(Qt::AlignCenter);
  edit_->setMaxLength(2);
  edit_->setStyleSheet(QStringLiteral("QLineEdit { background: #BAE6FF; border: none; padding: 0; }"));
  edit_->installEventFilter(this);
  edit_->hide();

  connect(grid_, &TMemoryGrid::cellDoubleClicked, this, [this] { editCurrentCell(); });
  connect(grid_, &TMemoryGrid::editorRequested, this, [this](const QString& typed) { editCurrentCell(typed); });
  connect(grid_, &TMemoryGrid::scrolled, this, [this] {
    if (edit_->isVisible()) placeEditBox();
  });

  // The window shows the header row and 16 data rows.
  const int rowHeight = grid_->rowHeight();
  const int gridWidth = grid_->columnWidth(0) + 16 * grid_->columnWidth(1) +
                        style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, grid_) + 2;
  const int gridHeight = 17 * rowHeight + 2;
  grid_->setFixedSize(gridWidth, gridHeight);
  setFixedSize(gridWidth, gridHeight + statusBar_->sizeHint().height());
  refreshMemoryLayout();
}

void TMemoryEditor::refreshMemoryLayout() {
  const TSystemMemory& memory = machine_.memory();
  grid_->setRowCount(TMemoryDump::rowCount(memory.getRamSize()));
  ramLabel_->setText(QString::fromStdString(TMemoryDump::ramStatusText(memory.getRamSize())));
  romLabel_->setText(QString::fromStdString(TMemoryDump::romStatusText(memory.getRomSize())));
  grid_->viewport()->update();
}

void TMemoryEditor::refreshMemory() {
  const uint32_t pc = machine_.cpu().coreSnapshot().physicalPC;
  grid_->setProgramCounter(pc);
  grid_->setUpdatesEnabled(false);
  grid_->setCurrentRow(0);
  grid_->setCurrentRow(TMemoryDump::refreshRow(pc, grid_->rowCount()));
  grid_->setUpdatesEnabled(true);
  if (edit_->isVisible()) placeEditBox();
  grid_->viewport()->update();
}

QString TMemoryEditor::statusText(int panel) const { return (panel == 0 ? ramLabel_ : romLabel_)->text(); }

void TMemoryEditor::placeEditBox() {
  const QRect cell = grid_->cellRect(grid_->currentColumn(), grid_->currentRow());
  edit_->setGeometry(cell.left() + 1, cell.top() + 1, cell.width() - 1, cell.height() - 1);
}

void TMemoryEditor::editCurrentCell(const QString& typed) {
  const int column = grid_->currentColumn(), row = grid_->currentRow();
  if (column < 1 || row < 1) {
    edit_->hide();
    return;
  }
  placeEditBox();
  const uint8_t value = machine_.memory().readByte(grid_->cellAddress(column, row));
  edit_->setText(typed.isEmpty() ? QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper() : typed);
  if (typed.isEmpty()) edit_->selectAll();
  edit_->show();
  edit_->setFocus();
}

void TMemoryEditor::finishEditing() {
  if (!edit_->isVisible() || reporting_) return;
  const auto value = TMemoryDump::parseEditText(edit_->text().toStdString());
  if (!value) {
    // Nothing written; the box stays open for another try.
    reporting_ = true;
    report_(QStringLiteral("\"%1\" ist kein gültiger Hexadezimalwert").arg(edit_->text()));
    reporting_ = false;
    edit_->setFocus();
    return;
  }
  machine_.memory().writeByte(grid_->cellAddress(grid_->currentColumn(), grid_->currentRow()), *value);
  edit_->hide();
  grid_->setFocus();
  grid_->viewport()->update();
}

bool TMemoryEditor::eventFilter(QObject* watched, QEvent* event) {
  if (watched != edit_) return QWidget::eventFilter(watched, event);
  if (event->type() == QEvent::FocusOut) {
    finishEditing();
    return false;
  }
  if (event->type() != QEvent::KeyPress) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: finishEditing(); return true;
    case Qt::Key_Escape:
      edit_->hide();
      grid_->setFocus();
      return true;
    case Qt::Key_Backspace: return false;
    default: break;
  }
  const QString t = key->text();
  if (t.isEmpty() || !t[0].isPrint()) return false;  // cursor keys and the like
  if (t.size() == 1 && t[0].unicode() < 128 && TMemoryDump::acceptsEditCharacter(char(t[0].unicode()))) {
    edit_->insert(t.toUpper());
  }
  return true;  // every other character is discarded
}

void TMemoryEditor::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (event->spontaneous()) return;
  // The size is fixed, so only the stored position takes effect.
  TWidgetGeometry geometry(*this, "MemoryEditor");
  settings_.restoreFormState(geometry);
  refreshMemoryLayout();
}

void TMemoryEditor::closeEvent(QCloseEvent* event) {
  TWidgetGeometry geometry(*this, "MemoryEditor");
  settings_.saveFormState(geometry);
  QWidget::closeEvent(event);
}
