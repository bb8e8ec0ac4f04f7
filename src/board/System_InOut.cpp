#include "System_InOut.h"

uint8_t TSystemInOut::portRead(uint16_t port) {
  switch (port) {
    case 0x0070: return context_.fdc->readStatus();
    case 0x0071: return context_.fdc->readTrackRegister();
    case 0x0072: return context_.fdc->readSectorRegister();
    case 0x0073: return context_.fdc->readData();
    case 0x0074: return context_.fdc->readSignals();
    default: return 0xFF;
  }
}

void TSystemInOut::portWrite(uint16_t port, uint8_t value) {
  switch (port) {
    case 0x0070: context_.fdc->writeCommand(value); break;
    case 0x0071: context_.fdc->writeTrackRegister(value); break;
    case 0x0072: context_.fdc->writeSectorRegister(value); break;
    case 0x0073: context_.fdc->writeData(value); break;
    case 0x0078: context_.fdc->writeDriveControl(value); break;
    case 0x00FF: context_.memory->enableBootRom(false); break;
    default: break;
  }
}
