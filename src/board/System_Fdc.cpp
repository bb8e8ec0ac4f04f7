#include "System_Fdc.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>

namespace {

// WD1770 step rates, by bits 1-0 of a Type I command.
constexpr uint32_t StepRate[4] = {6, 12, 20, 30};

// Command bits.
constexpr uint8_t BitUpdate = 0x10;    // Type I u: the track register follows the step
constexpr uint8_t BitMultiple = 0x10;  // Type II m
constexpr uint8_t BitNoSpinUp = 0x08;  // h
constexpr uint8_t BitVerify = 0x04;    // Type I V
constexpr uint8_t BitSettle = 0x04;    // Type II E
constexpr uint8_t DriveControlReset = 0x01;
constexpr uint8_t DriveControlDrive1 = 0x04;
constexpr uint8_t DriveControlDrive0 = 0x08;
constexpr uint8_t DriveControlSide = 0x10;

int32_t offered(int value, std::initializer_list<int> values, int32_t fallback) {
  return std::find(values.begin(), values.end(), value) != values.end() ? value : fallback;
}

}  // namespace

TSystemFdc::TSystemFdc(TTimerFactory& timers)
    : commandTimer(timers.createTimer()), motorTimer(timers.createTimer()), lampTimer(timers.createTimer()) {
  commandTimer->setHandler([this] { commandTimerFired(); });
  motorTimer->setInterval(MotorRunOn);
  motorTimer->setHandler([this] { motorTimerFired(); });
  lampTimer->setInterval(LampAfterGlow);
  lampTimer->setHandler([this] { lampOff(); });
  // The drives start with the default geometry, so an image attached before
  // any setter was called still has sectors of a sane size. `current` stays
  // empty (no medium, no lamp) until the program selects a drive.
  for (TFloppyDriveData* d : {&drive0, &drive1}) {
    d->sides = DefaultSides;
    d->tracks = DefaultTracks;
    d->sectors = DefaultSectors;
    d->sectorBytes = DefaultSectorBytes;
  }
  resetRegisters();
}

TSystemFdc::~TSystemFdc() {
  for (TTimer* t : {commandTimer.get(), motorTimer.get(), lampTimer.get()}) {
    t->stop();
    t->setHandler(nullptr);
  }
  closeTransferFile(false);
}

void TSystemFdc::resetRegisters() {
  status = 0;
  track = 0;
  targetTrack = 0;
  sector = 1;
  data = 0;
  signals = 0;
  stepIn = true;
  multiSector = false;
  reading = false;
  writing = false;
  commandClearsIntrq = true;
}

// ---------------------------------------------------------------------------
// Registers

uint8_t TSystemFdc::readStatus() {
  status = uint8_t((status & ~StatusMotorOn) | (current.motorOn ? StatusMotorOn : 0));
  return status;
}

uint8_t TSystemFdc::readSignals() {
  signals = uint8_t((signals & ~SignalDiskChange) | (current.mediaChanged ? SignalDiskChange : 0));
  return signals;
}

void TSystemFdc::writeCommand(uint8_t c) {
  status |= StatusBusy;
  current.mediaChanged = false;
  motorRetrigger();
  uint32_t delay = 1;

  if (c < 0x80) {  // Type I
    status &= uint8_t(~(StatusDrq | StatusCrcError | StatusSeekError | StatusSpinUp));
    signals &= uint8_t(~SignalDrq);
    if (commandClearsIntrq) signals &= uint8_t(~SignalIntrq);
    const uint32_t rate = StepRate[c & 0x03];
    const bool update = (c & BitUpdate) != 0;
    switch (c >> 5) {
      case 0:
        if ((c & 0x10) == 0) {  // Restore
          if (track > 0) stepIn = false;
          delay += rate * track;
          targetTrack = 0;
        } else {  // Seek: the error test looks at where the head is, not where it goes
          stepIn = !(track > data);
          if (int(track) < current.tracks - 1) {
            delay += rate * uint32_t(std::abs(int(track) - int(data)));
          } else {
            delay += rate * 255;
            status |= StatusSeekError;
          }
          targetTrack = data;
        }
        break;
      case 1:  // Step, in the last direction
        delay += rate;
        targetTrack = update ? uint8_t(stepIn ? track + 1 : track - 1) : track;
        break;
      case 2:  // Step-in
        stepIn = true;
        delay += rate;
        targetTrack = update ? uint8_t(track + 1) : track;
        break;
      default:  // Step-out
        stepIn = false;
        delay += rate;
        targetTrack = update ? uint8_t(track - 1) : track;
        break;
    }
    if ((c & BitNoSpinUp) == 0 && !current.motorOn) {
      motorOn();
      delay += SpinUpTime;
      status |= StatusSpinUp;
    }
    if (c & BitVerify) delay += SettleTime;
    startCommandTimer(delay, TCompletion::TypeI);
    return;
  }

  if (c < 0xC0) {  // Type II: Read Sector 0x80-0x9F, Write Sector 0xA0-0xBF
    const bool write = (c & 0x20) != 0;
    status &=
        uint8_t(~(StatusDrq | StatusLostData | StatusCrcError | StatusSeekError | StatusSpinUp | StatusWriteProtect));
    signals &= uint8_t(~SignalDrq);
    if (commandClearsIntrq) signals &= uint8_t(~SignalIntrq);
    multiSector = false;
    if (!write && (c & 0x03) != 0) return;  // not a Read Sector this controller knows: Busy stays
    if ((c & BitNoSpinUp) == 0 && !current.motorOn) {
      motorOn();
      delay += SpinUpTime;
    }
    if (c & BitSettle) delay += SettleTime;
    if (c & BitMultiple) multiSector = true;
    // One direction per transfer: a flag left over from an earlier command
    // that ended in an error must not turn data reads into image writes.
    reading = !write;
    writing = write;
    // A stream left open by an interrupted transfer is not this command's:
    // until the new transfer opens the image, data accesses find no file.
    closeTransferFile(false);
    transferLamp = write ? TLampState::Write : TLampState::Read;
    startCommandTimer(delay, TCompletion::SectorStart);
    return;
  }

  if ((c & 0xF0) == 0xD0) {  // Force Interrupt
    const uint8_t condition = c & 0x0F;
    if (condition != 0 && condition != 8) return;  // Busy stays
    reading = false;
    writing = false;
    multiSector = false;
    clearDrq();
    status &= uint8_t(~StatusBusy);
    commandClearsIntrq = true;
    if (condition == 8) {  // immediate interrupt: INTRQ holds through later commands
      signals |= SignalIntrq;
      commandClearsIntrq = false;
    }
  }
  // Read Address, Read Track, Write Track: accepted, Busy until a Force Interrupt.
}

uint8_t TSystemFdc::readData() {
  clearDrq();
  motorRetrigger();
  if (reading) {
    const int ch = transferFile != nullptr ? std::fgetc(transferFile) : EOF;
    if (ch == EOF) {
      byteFailed();
      return data;
    }
    data = uint8_t(ch);
    byteTransferred();
  }
  return data;
}

void TSystemFdc::writeData(uint8_t value) {
  clearDrq();
  motorRetrigger();
  if (writing) {
    // The image never grows: a byte beyond the size it had when the transfer
    // started is refused like a failed write.
    const bool ok = transferFile != nullptr && transferOffset + byteCount < transferLimit &&
                    std::fputc(value, transferFile) != EOF && std::fflush(transferFile) == 0;
    if (!ok) {
      byteFailed();  // the data register keeps its old value
      return;
    }
    byteTransferred();
  }
  data = value;
}

void TSystemFdc::writeDriveControl(uint8_t value) {
  const uint8_t previous = driveControl;
  driveControl = value;
  if (value & DriveControlReset) resetRegisters();
  // The copies below reuse current's string storage (see setImageFile), so a
  // selection does not allocate inside the processor's step.
  if ((value & DriveControlDrive0) && !(previous & DriveControlDrive0)) {
    lampOff();
    current = drive0;
  }
  if ((value & DriveControlDrive1) && !(previous & DriveControlDrive1)) {
    lampOff();
    current = drive1;
  }
}

// ---------------------------------------------------------------------------
// Command completion and sector transfers

void TSystemFdc::startCommandTimer(uint32_t delay, TCompletion next) {
  completion = next;
  commandTimer->setInterval(delay);
  commandTimer->start();
}

void TSystemFdc::commandTimerFired() {
  commandTimer->stop();
  const TCompletion done = completion;
  completion = TCompletion::None;
  switch (done) {
    case TCompletion::TypeI:
      track = targetTrack;
      signals |= SignalIntrq;
      status &= uint8_t(~StatusBusy);
      break;
    case TCompletion::SectorStart: startSectorTransfer(); break;
    case TCompletion::RecordNotFound: reportRecordNotFound(); break;
    case TCompletion::None: break;
  }
}

uint64_t TSystemFdc::sectorOffset(const TFloppyDriveData& d, uint32_t trackNo, uint32_t side, uint32_t sectorNo) {
  const uint64_t sectors = uint64_t(std::max(d.sectors, 0));
  const uint64_t bytes = uint64_t(std::max(d.sectorBytes, 0));
  return uint64_t(trackNo) * (2 * sectors * bytes) + (uint64_t(side) * sectors + sectorNo - 1) * bytes;
}

void TSystemFdc::startSectorTransfer() {
  if (sector == 0 || int(sector) > current.sectors) {
    // The controller searches the track for the sector until it gives up.
    startCommandTimer(SectorSearchTime, TCompletion::RecordNotFound);
    return;
  }
  const uint32_t side = ((driveControl & DriveControlSide) && current.sides == 2) ? 1 : 0;
  const uint64_t offset = sectorOffset(current, track, side, sector);
  const uint64_t bytes = uint64_t(std::max(current.sectorBytes, 0));
  if (current.imageSize == 0 || bytes == 0 || int(track) >= current.tracks || offset + bytes > current.imageSize) {
    reportRecordNotFound();
    return;
  }

  closeTransferFile(false);  // left open by an interrupted transfer
  transferPath = current.imageFile;
  transferFile = std::fopen(transferPath.c_str(), "r+b");
  // Writes go straight to the file, one byte at a time; reads use the
  // controller's own buffer, so the data accesses never allocate.
  if (transferFile != nullptr) {
    if (writing) {
      std::setvbuf(transferFile, nullptr, _IONBF, 0);
    } else {
      std::setvbuf(transferFile, transferBuffer, _IOFBF, sizeof transferBuffer);
    }
  }
  if (transferFile == nullptr || std::fseek(transferFile, long(offset), SEEK_SET) != 0) {
    closeTransferFile(false);
    signals |= SignalIntrq;
    status &= uint8_t(~StatusBusy);
    status |= StatusCrcError;
    return;
  }
  transferOffset = offset;
  transferLimit = current.imageSize;
  byteCount = 0;
  setDrq();
  lampOn(transferLamp);
}

void TSystemFdc::reportRecordNotFound() {
  commandTimer->stop();
  completion = TCompletion::None;
  signals |= SignalIntrq;
  status |= StatusSeekError;
  status &= uint8_t(~StatusBusy);
}

void TSystemFdc::byteTransferred() {
  ++byteCount;
  const int sectorBytes = current.sectorBytes;
  if (byteCount < sectorBytes) {
    setDrq();
    return;
  }
  if (multiSector && int(sector) < current.sectors) {
    // The next sector follows directly in the file; it must lie wholly
    // inside the image like the first one.
    const uint64_t next = transferOffset + uint64_t(sectorBytes);
    ++sector;
    if (next + uint64_t(sectorBytes) > transferLimit) {
      endTransfer(StatusSeekError);
      return;
    }
    transferOffset = next;
    byteCount = 0;
    setDrq();
    return;
  }
  endTransfer(0);
}

void TSystemFdc::endTransfer(uint8_t errorBits) {
  clearDrq();
  signals |= SignalIntrq;
  status &= uint8_t(~StatusBusy);
  status |= errorBits;
  reading = false;
  writing = false;
  multiSector = false;
  closeTransferFile(true);
  lampTimer->start();
}

void TSystemFdc::byteFailed() {
  status |= StatusLostData;
  lampTimer->start();
}

void TSystemFdc::closeTransferFile(bool reportFailure) {
  if (transferFile == nullptr) return;
  std::FILE* f = transferFile;
  transferFile = nullptr;
  errno = 0;
  if (std::fclose(f) != 0 && reportFailure) {
    status |= StatusLostData;
    keepError(transferPath);
  }
}

void TSystemFdc::keepError(const std::string& path) {
  if (pendingError) return;  // the first failure is the one worth telling
  try {
    pendingError = TFileError::fromErrno(path);
  } catch (...) {
    // Out of memory while describing the failure: the status bit must do.
  }
}

std::optional<TFileError> TSystemFdc::takePendingError() {
  std::optional<TFileError> e = std::move(pendingError);
  pendingError.reset();
  return e;
}

void TSystemFdc::setDrq() {
  status |= StatusDrq;
  signals |= SignalDrq;
}

void TSystemFdc::clearDrq() {
  status &= uint8_t(~StatusDrq);
  signals &= uint8_t(~SignalDrq);
}

// ---------------------------------------------------------------------------
// Motor and lamp

void TSystemFdc::motorOn() {
  current.motorOn = true;
  motorTimer->start();
}

void TSystemFdc::motorRetrigger() {
  if (motorTimer->active()) motorTimer->start();
}

void TSystemFdc::motorTimerFired() {
  motorTimer->stop();
  current.motorOn = false;
}

void TSystemFdc::lampOn(TLampState state) {
  // An after-glow still running from the previous transfer must not put out
  // the lamp of this one.
  lampTimer->stop();
  if (current.lamp != nullptr) current.lamp->setLampState(state);
}

void TSystemFdc::lampOff() {
  lampTimer->stop();
  if (current.lamp != nullptr) current.lamp->setLampState(TLampState::Off);
}

// ---------------------------------------------------------------------------
// Drive configuration

TFloppyDriveData* TSystemFdc::driveRecord(int drive) {
  if (drive == 0) return &drive0;
  if (drive == 1) return &drive1;
  return nullptr;
}

void TSystemFdc::setSides(int drive, int value) {
  if (TFloppyDriveData* d = driveRecord(drive)) d->sides = offered(value, {1, 2}, DefaultSides);
}

void TSystemFdc::setTracks(int drive, int value) {
  if (TFloppyDriveData* d = driveRecord(drive)) d->tracks = offered(value, {40, 80}, DefaultTracks);
}

void TSystemFdc::setSectors(int drive, int value) {
  if (TFloppyDriveData* d = driveRecord(drive)) d->sectors = offered(value, {8, 9, 15, 18}, DefaultSectors);
}

void TSystemFdc::setSectorBytes(int drive, int value) {
  if (TFloppyDriveData* d = driveRecord(drive)) d->sectorBytes = offered(value, {128, 256, 512}, DefaultSectorBytes);
}

void TSystemFdc::setLamp(int drive, TDriveLamp* lamp) {
  if (TFloppyDriveData* d = driveRecord(drive)) d->lamp = lamp;
}

bool TSystemFdc::setImageFile(int drive, const std::string& path) {
  TFloppyDriveData* d = driveRecord(drive);
  if (d == nullptr) return false;
  if (d->lamp != nullptr) d->lamp->setLampEnabled(false);

  std::error_code ec;
  if (path.empty() || !std::filesystem::exists(path, ec)) {
    d->imageFile.clear();
    d->imageSize = 0;
    if (d->lamp != nullptr) d->lamp->setLampHint(std::string());
    return false;
  }

  // A file that cannot be opened for writing (read-only, a directory) is not
  // attached; the caller reports the false result.
  std::FILE* f = std::fopen(path.c_str(), "r+b");
  if (f == nullptr) return false;
  const uint64_t size = std::filesystem::file_size(path, ec);
  if (ec) {
    std::fclose(f);
    return false;
  }

  if (path != d->imageFile || size != d->imageSize) {
    d->mediaChanged = true;
    const uint8_t selectBit = drive == 0 ? DriveControlDrive0 : DriveControlDrive1;
    if (driveControl & selectBit) current.mediaChanged = true;
    d->imageFile = path;
    d->imageSize = size;
    if (d->lamp != nullptr) d->lamp->setLampHint(path);
    // Selecting a drive copies its record inside the processor's step; with
    // room for the longest path already here, that copy never allocates.
    current.imageFile.reserve(std::max(drive0.imageFile.size(), drive1.imageFile.size()));
  }
  if (d->lamp != nullptr) d->lamp->setLampEnabled(true);
  std::fclose(f);
  return true;
}
