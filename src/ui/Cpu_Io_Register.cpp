#include "Cpu_Io_Register.h"

TCpuIoRegister::TCpuIoRegister(TMachine& machine, TSystemSettings& settings, QWidget* parent)
    : QWidget(parent, Qt::Window), machine_(machine), settings_(settings) {
  setAttribute(Qt::WA_DeleteOnClose);
}

void TCpuIoRegister::refreshIoRegisters() {}
