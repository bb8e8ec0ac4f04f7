// The board's WD1770-style floppy disk controller with two image-backed drives.
//
// Registers (ports 0x70-0x73): status/command, track, sector, data. Carried
// out: Restore, Seek, Step, Step-in, Step-out (Type I, with the h, V and
// step-rate bits), Read Sector and Write Sector (Type II, with the m and E
// bits) and Force Interrupt. Read Address, Read Track and Write Track are
// accepted and hold Busy until a Force Interrupt ends them.
//
// Two board latches sit beside the controller: the signal latch (port 0x74:
// bit 0 INTRQ, bit 1 DRQ, bit 3 disk change) and the drive control latch
// (port 0x78: bit 0 resets the registers, a rising bit 3 selects drive 0, a
// rising bit 2 drive 1, bit 4 picks side 1 of a two-sided medium). Nothing
// interrupts the processor; the software polls.
//
// Selecting a drive copies its record (geometry, image, lamp) into `current`;
// every command and transfer works on that copy, so configuration changes and
// newly attached images take effect only when the drive is selected again.
//
// Timing runs in real milliseconds on three timers from the timer seam:
// commandTimer (stepping, spin-up, settling, searching a missing sector),
// motorTimer (1800 ms run-on after the last command or data access) and
// lampTimer (50 ms lamp after-glow). Within a sector transfer there is no
// timing: DRQ is set again as soon as a data access has been served.
//
// Image files are raw sectors; every track holds room for both sides, also on
// a one-sided drive:
//   offset = t * (2 * sectors * sectorBytes) + (h * sectors + s - 1) * sectorBytes
// A transfer keeps the image open from its first to its last byte; written
// bytes are flushed one by one, so nothing is lost if the emulator dies
// mid-sector. Writing never extends the image.
//
// The register accessors run inside the processor's step: they never throw
// and do not allocate (a failure closing an image is the one exception: it is
// kept for the front end in takePendingError()).
#pragma once

#include "File_Error.h"
#include "Timer.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

// What a drive lamp shows: off, green while reading, red while writing.
enum class TLampState { Off, Read, Write };

// A drive's lamp on the status bar, drawn by the front end. Enabled means the
// drive holds a medium; the hint is the image path.
class TDriveLamp {
 public:
  virtual ~TDriveLamp() = default;
  virtual void setLampState(TLampState s) = 0;
  virtual void setLampEnabled(bool enabled) = 0;
  virtual void setLampHint(const std::string& hint) = 0;
};

// One drive: its geometry, its medium and its lamp.
struct TFloppyDriveData {
  int32_t sides = 0;        // 1 or 2
  int32_t tracks = 0;       // per side, 40 or 80
  int32_t sectors = 0;      // per track and side, 8, 9, 15 or 18
  int32_t sectorBytes = 0;  // 128, 256 or 512
  std::string imageFile;    // empty: no medium
  uint64_t imageSize = 0;   // bytes, taken when the image was attached
  bool mediaChanged = false;
  bool motorOn = false;
  TDriveLamp* lamp = nullptr;  // not owned
};

class TSystemFdc {
 public:
  // The geometry a drive gets when it is given no (or an unusable) value.
  static constexpr int32_t DefaultSides = 2;
  static constexpr int32_t DefaultTracks = 80;
  static constexpr int32_t DefaultSectors = 9;
  static constexpr int32_t DefaultSectorBytes = 512;

  static constexpr uint32_t MotorRunOn = 1800;       // ms
  static constexpr uint32_t LampAfterGlow = 50;      // ms
  static constexpr uint32_t SpinUpTime = 1000;       // ms
  static constexpr uint32_t SettleTime = 30;         // ms, V or E bit
  static constexpr uint32_t SectorSearchTime = 600;  // ms until Record Not Found

  // Status register bits.
  static constexpr uint8_t StatusBusy = 0x01;
  static constexpr uint8_t StatusDrq = 0x02;
  static constexpr uint8_t StatusLostData = 0x04;
  static constexpr uint8_t StatusCrcError = 0x08;
  static constexpr uint8_t StatusSeekError = 0x10;  // Record Not Found for Type II
  static constexpr uint8_t StatusSpinUp = 0x20;
  static constexpr uint8_t StatusWriteProtect = 0x40;
  static constexpr uint8_t StatusMotorOn = 0x80;

  // Signal latch bits.
  static constexpr uint8_t SignalIntrq = 0x01;
  static constexpr uint8_t SignalDrq = 0x02;
  static constexpr uint8_t SignalDiskChange = 0x08;

  explicit TSystemFdc(TTimerFactory& timers);
  ~TSystemFdc();
  TSystemFdc(const TSystemFdc&) = delete;
  TSystemFdc& operator=(const TSystemFdc&) = delete;

  // Registers, reached through the board's port decoder.
  uint8_t readStatus();
  void writeCommand(uint8_t command);
  uint8_t readTrackRegister() const { return track; }
  void writeTrackRegister(uint8_t value) { track = value; }
  uint8_t readSectorRegister() const { return sector; }
  void writeSectorRegister(uint8_t value) { sector = value; }
  uint8_t readData();
  void writeData(uint8_t value);
  uint8_t readSignals();
  void writeDriveControl(uint8_t value);

  // Drive configuration (drive 0 or 1; other numbers are ignored). Values
  // outside the offered sets fall back to the default of their field.
  void setSides(int drive, int value);
  void setTracks(int drive, int value);
  void setSectors(int drive, int value);
  void setSectorBytes(int drive, int value);
  // Attaches the image at path: true when it exists and opens for reading and
  // writing. A missing file removes the medium; a file that cannot be opened
  // leaves the drive record as it was (its lamp shows no medium).
  bool setImageFile(int drive, const std::string& path);
  void setLamp(int drive, TDriveLamp* lamp);

  // A file failure that could not be reported where it happened (closing the
  // image at the end of a transfer, inside a data register access); empty
  // when none is waiting.
  std::optional<TFileError> takePendingError();

  // Read access for the front end and tests.
  const TFloppyDriveData& drive(int index) const { return index == 0 ? drive0 : drive1; }
  const TFloppyDriveData& currentDrive() const { return current; }
  uint8_t getStatus() const { return status; }  // as stored, without refreshing bit 7
  uint8_t getSignals() const { return signals; }
  uint8_t getData() const { return data; }
  uint8_t getDriveControl() const { return driveControl; }
  uint8_t getTargetTrack() const { return targetTrack; }
  uint16_t getByteCount() const { return byteCount; }
  bool getStepIn() const { return stepIn; }
  bool getMultiSector() const { return multiSector; }
  bool getReading() const { return reading; }
  bool getWriting() const { return writing; }
  bool getCommandClearsIntrq() const { return commandClearsIntrq; }
  bool getTransferOpen() const { return transferFile != nullptr; }

 private:
  // What commandTimer completes when it fires.
  enum class TCompletion { None, TypeI, SectorStart, RecordNotFound };

  TFloppyDriveData* driveRecord(int drive);
  void resetRegisters();
  void startCommandTimer(uint32_t delay, TCompletion completion);
  void commandTimerFired();
  void startSectorTransfer();
  void reportRecordNotFound();
  // One byte of the transfer has been served: move on to the next byte,
  // the next sector or the end of the transfer.
  void byteTransferred();
  void endTransfer(uint8_t errorBits);
  void byteFailed();
  void setDrq();
  void clearDrq();
  void motorOn();
  void motorRetrigger();
  void motorTimerFired();
  void lampOn(TLampState state);
  void lampOff();
  void closeTransferFile(bool reportFailure);
  void keepError(const std::string& path);
  static uint64_t sectorOffset(const TFloppyDriveData& d, uint32_t trackNo, uint32_t side, uint32_t sectorNo);

  std::unique_ptr<TTimer> commandTimer;
  std::unique_ptr<TTimer> motorTimer;
  std::unique_ptr<TTimer> lampTimer;
  TCompletion completion = TCompletion::None;
  TLampState transferLamp = TLampState::Read;  // colour of the sector command's lamp

  uint8_t status = 0;
  uint8_t track = 0;
  uint8_t targetTrack = 0;
  uint8_t sector = 1;
  uint8_t data = 0;
  uint16_t byteCount = 0;
  uint8_t signals = 0;
  uint8_t driveControl = 0;
  bool stepIn = true;
  bool multiSector = false;
  bool reading = false;
  bool writing = false;
  bool commandClearsIntrq = true;

  TFloppyDriveData drive0;
  TFloppyDriveData drive1;
  TFloppyDriveData current;

  std::FILE* transferFile = nullptr;
  char transferBuffer[4096];    // the read stream's buffer, so reading does not allocate
  std::string transferPath;     // the path transferFile was opened from
  uint64_t transferOffset = 0;  // where the sector being transferred starts
  uint64_t transferLimit = 0;   // image size when the transfer started
  std::optional<TFileError> pendingError;
};
