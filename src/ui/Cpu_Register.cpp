#include "Cpu_Register.h"

TCpuRegister::TCpuRegister(TMachine& machine, TSystemSettings& settings, QWidget* parent)
    : QWidget(parent, Qt::Window), machine_(machine), settings_(settings) {
  setAttribute(Qt::WA_DeleteOnClose);
}

void TCpuRegister::refreshRegisters() {}
