#include "Memory_Editor.h"

TMemoryEditor::TMemoryEditor(TMachine& machine, TSystemSettings& settings, QWidget* parent)
    : QWidget(parent, Qt::Window), machine_(machine), settings_(settings) {
  setAttribute(Qt::WA_DeleteOnClose);
}

void TMemoryEditor::refreshMemory() {}
void TMemoryEditor::refreshMemoryLayout() {}
