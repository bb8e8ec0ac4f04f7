#include "System_InOut.h"

uint8_t TSystemInOut::portRead(uint16_t port) {
  switch (port) {
    case 0x0070: return fdc_.readStatus();
    case 0x0071: return fdc_.readTrackRegister();
    case 0x0072: return fdc_.readSectorRegister();
    case 0x0073: return fdc_.readData();
    case 0x0074: return fdc_.readSignals();
    default: return 0xFF;
  }
}

void TSystemInOut::portWrite(uint16_t port, uint8_t value) {
  switch (port) {
    case 0x0070: fdc_.writeCommand(value); break;
    case 0x0071: fdc_.writeTrackRegister(value); break;
    case 0x0072: fdc_.writeSectorRegister(value); break;
    case 0x0073: fdc_.writeData(value); break;
    case 0x0078: fdc_.writeDriveControl(value); break;
    case 0x00FF: memory_.enableBootRom(false); break;
    default: break;
  }
}
