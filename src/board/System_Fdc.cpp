#include "System_Fdc.h"

TSystemFdc::TSystemFdc(TTimerFactory&) {}
TSystemFdc::~TSystemFdc() = default;
uint8_t TSystemFdc::readStatus() { return 0; }
void TSystemFdc::writeCommand(uint8_t) {}
uint8_t TSystemFdc::readData() { return 0; }
void TSystemFdc::writeData(uint8_t) {}
uint8_t TSystemFdc::readSignals() { return 0; }
void TSystemFdc::writeDriveControl(uint8_t) {}
