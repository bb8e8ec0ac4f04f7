#include "System_Terminal.h"

TSystemTerminal::TSystemTerminal(TTimerFactory&) {}
TSystemTerminal::~TSystemTerminal() = default;
void TSystemTerminal::writeChar(uint8_t) {}
