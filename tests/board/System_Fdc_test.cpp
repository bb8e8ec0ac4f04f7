// The floppy controller's registers, command timing, Force Interrupt, motor
// run-on and drive control latch, on a virtual clock.
#include "System_Fdc_Fixture.h"

#include <gtest/gtest.h>

namespace {

using F = TSystemFdc;

class FdcTest : public TFdcFixture {};

// ---------------------------------------------------------------------------
// Command timing: from the command write to completion (Busy clear, or the
// first DRQ of a sector transfer), on drive 0 with a full default image.

struct TTimingCase {
  const char* name;
  bool motorRunning;  // the motor is running when the command is written
  int direction;      // +1 / -1: a Step-in / Step-out precedes; 0: none
  uint8_t track;
  uint8_t dataReg;
  uint8_t sectorReg;
  uint8_t command;
  uint32_t time;  // ms to completion
  uint8_t trackAfter;
  uint8_t statusAfter;  // readStatus() at completion
  uint8_t signalsAfter;
};

const TTimingCase timingCases[] = {
    // Type I: 1 + rate x distance + 1000 on spin-up + 30 with V.
    {"restore from 40 at 6 ms, motor running", true, 0, 40, 0, 1, 0x00, 241, 0, 0x80, 0x01},
    {"restore from 10 at 30 ms with spin-up", false, 0, 10, 0, 1, 0x03, 1301, 0, 0xA0, 0x01},
    {"restore with h, motor off: no spin-up", false, 0, 5, 0, 1, 0x08, 31, 0, 0x00, 0x01},
    {"restore on track 0 with verify", true, 0, 0, 0, 1, 0x04, 31, 0, 0x80, 0x01},
    {"seek up at 12 ms", true, 0, 10, 20, 1, 0x11, 121, 20, 0x80, 0x01},
    {"seek down at 20 ms with verify", true, 0, 50, 45, 1, 0x16, 131, 45, 0x80, 0x01},
    {"seek from 78 to 79", true, 0, 78, 79, 1, 0x10, 7, 79, 0x80, 0x01},
    {"seek from 79: seek error, 255 steps", true, 0, 79, 0, 1, 0x10, 1531, 0, 0x90, 0x01},
    {"seek from 200 at 30 ms: error, motor off by then", true, 0, 200, 3, 1, 0x13, 7651, 3, 0x10, 0x01},
    {"seek with spin-up", false, 0, 0, 2, 1, 0x10, 1013, 2, 0xA0, 0x01},
    {"step-in with update", true, 0, 5, 0, 1, 0x50, 7, 6, 0x80, 0x01},
    {"step-in without update", true, 0, 5, 0, 1, 0x40, 7, 5, 0x80, 0x01},
    {"step-in with update wraps at 255", true, 0, 255, 0, 1, 0x51, 13, 0, 0x80, 0x01},
    {"step-out with update wraps at 0", true, 0, 0, 0, 1, 0x70, 7, 255, 0x80, 0x01},
    {"step-out with update, verify", true, 0, 9, 0, 1, 0x76, 51, 8, 0x80, 0x01},
    {"step after step-out goes out", true, -1, 10, 0, 1, 0x31, 13, 9, 0x80, 0x01},
    {"step after step-in goes in", true, +1, 10, 0, 1, 0x32, 21, 11, 0x80, 0x01},
    {"step without update", true, +1, 10, 0, 1, 0x23, 31, 10, 0x80, 0x01},
    // Type II, until the first DRQ: 1 + 1000 on spin-up + 30 with E.
    {"read sector, motor running", true, 0, 3, 0, 1, 0x80, 1, 3, 0x83, 0x02},
    {"read sector with spin-up (no spin-up bit)", false, 0, 3, 0, 1, 0x80, 1001, 3, 0x83, 0x02},
    {"read sector with E", true, 0, 3, 0, 9, 0x84, 31, 3, 0x83, 0x02},
    {"read sector with h, motor off", false, 0, 3, 0, 9, 0x88, 1, 3, 0x03, 0x02},
    {"write sector, motor running", true, 0, 3, 0, 1, 0xA0, 1, 3, 0x83, 0x02},
    {"write sector with spin-up and E", false, 0, 79, 0, 5, 0xA4, 1031, 79, 0x83, 0x02},
    // A sector number not on the track: the search gives up 600 ms later.
    {"read sector 10 of 9", true, 0, 3, 0, 10, 0x80, 601, 3, 0x90, 0x01},
    {"read sector 0 with spin-up", false, 0, 3, 0, 0, 0x80, 1601, 3, 0x90, 0x01},
    {"write sector 200 with E", true, 0, 3, 0, 200, 0xA4, 631, 3, 0x90, 0x01},
    // Outside the medium: Record Not Found at once.
    {"read sector on track 80 of 80", true, 0, 80, 0, 1, 0x80, 1, 80, 0x90, 0x01},
};

TEST_F(FdcTest, CommandTimingTable) {
  const std::string path = makeImage("timing.img", FullImage);
  for (const TTimingCase& c : timingCases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(fdc.setImageFile(0, path));
    fdc.writeDriveControl(0x01);  // reset the registers
    select(0);
    clock.advance(5000);  // let the motor of the previous case run out
    ASSERT_FALSE(fdc.currentDrive().motorOn);
    if (c.motorRunning) spinUp();
    if (c.direction != 0) {
      fdc.writeCommand(c.direction > 0 ? 0x48 : 0x68);  // without update, h set
      clock.advance(7);
      ASSERT_FALSE(busy());
    }
    fdc.writeTrackRegister(c.track);
    fdc.writeData(c.dataReg);
    fdc.writeSectorRegister(c.sectorReg);

    fdc.writeCommand(c.command);
    EXPECT_TRUE(busy());
    EXPECT_EQ(fdc.getStatus() & F::StatusSpinUp, c.statusAfter & F::StatusSpinUp) << "spin-up is shown at once";
    EXPECT_FALSE(intrq());

    const auto done = [&] { return !busy() || drq(); };
    clock.advance(c.time - 1);
    EXPECT_FALSE(done()) << "completed before " << c.time << " ms";
    EXPECT_EQ(fdc.readTrackRegister(), c.track) << "the track register changes only at completion";
    clock.advance(1);
    EXPECT_TRUE(done()) << "not completed at " << c.time << " ms";
    EXPECT_EQ(fdc.readTrackRegister(), c.trackAfter);
    EXPECT_EQ(fdc.readStatus(), c.statusAfter);
    EXPECT_EQ(fdc.readSignals(), c.signalsAfter);
    fdc.writeCommand(0xD0);  // end any transfer before the next case
  }
}

TEST_F(FdcTest, CommandWithoutSelectedDriveSeeksIntoError) {
  // Nothing selected: `current` has no geometry, so every Seek reports a
  // seek error, and a sector command finds no medium.
  fdc.writeData(5);
  fdc.writeCommand(0x18);
  clock.advance(1 + 6 * 255);
  EXPECT_FALSE(busy());
  EXPECT_EQ(fdc.readStatus(), F::StatusSeekError);
  EXPECT_EQ(fdc.readTrackRegister(), 5);

  fdc.writeSectorRegister(1);
  fdc.writeCommand(0x88);
  clock.advance(600);
  EXPECT_TRUE(busy());
  clock.advance(1);
  EXPECT_EQ(fdc.readStatus(), F::StatusSeekError);
  EXPECT_EQ(fdc.readSignals(), F::SignalIntrq);
}

TEST_F(FdcTest, LaterCommandReplacesPendingCompletion) {
  attachDefault();
  spinUp();
  fdc.writeData(50);
  fdc.writeCommand(0x10);  // 301 ms
  clock.advance(100);
  fdc.writeData(2);
  fdc.writeCommand(0x10);  // from track 0: 13 ms
  clock.advance(12);
  EXPECT_TRUE(busy());
  clock.advance(1);
  EXPECT_FALSE(busy());
  EXPECT_EQ(fdc.readTrackRegister(), 2);
  clock.advance(1000);
  EXPECT_EQ(fdc.readTrackRegister(), 2) << "the replaced seek must not complete later";
}

// ---------------------------------------------------------------------------
// Force Interrupt

TEST_F(FdcTest, ForceInterruptDuringSeekLetsTheSeekComplete) {
  attachDefault();
  spinUp();
  fdc.writeData(10);
  fdc.writeCommand(0x10);  // 61 ms
  clock.advance(20);
  fdc.writeCommand(0xD0);
  EXPECT_FALSE(busy()) << "Busy clears at once";
  EXPECT_FALSE(intrq()) << "0xD0 leaves INTRQ alone";
  clock.advance(40);
  EXPECT_EQ(fdc.readTrackRegister(), 0);
  EXPECT_FALSE(intrq());
  clock.advance(1);
  EXPECT_EQ(fdc.readTrackRegister(), 10);
  EXPECT_TRUE(intrq());
  EXPECT_FALSE(busy());
}

TEST_F(FdcTest, ImmediateInterruptHoldsIntrqUntilRearmed) {
  attachDefault();
  spinUp();
  fdc.writeCommand(0xD8);
  EXPECT_TRUE(intrq());
  EXPECT_FALSE(busy());
  EXPECT_FALSE(fdc.getCommandClearsIntrq());

  fdc.writeData(4);
  fdc.writeCommand(0x10);
  EXPECT_TRUE(intrq()) << "INTRQ stays set through a Seek after 0xD8";
  clock.advance(25);
  EXPECT_FALSE(busy());
  fdc.writeSectorRegister(1);
  fdc.writeCommand(0x80);
  EXPECT_TRUE(intrq()) << "and through a Read Sector";
  clock.advance(1);
  ASSERT_TRUE(drq());

  fdc.writeCommand(0xD0);  // re-arms the clearing, INTRQ unchanged
  EXPECT_TRUE(intrq());
  EXPECT_TRUE(fdc.getCommandClearsIntrq());
  EXPECT_FALSE(drq());
  EXPECT_FALSE(fdc.getReading());
  fdc.writeData(0);
  fdc.writeCommand(0x10);
  EXPECT_FALSE(intrq()) << "the next command clears INTRQ again";
}

TEST_F(FdcTest, CommandsThatNeverCompleteHoldBusyUntilForceInterrupt) {
  attachDefault();
  spinUp();
  struct TCase {
    uint8_t command;
    uint8_t ending;
  };
  const TCase cases[] = {
      {0xC0, 0xD0},  // Read Address
      {0xE4, 0xD0},  // Read Track
      {0xF0, 0xD8},  // Write Track
      {0x81, 0xD0},  // Read Sector with bit 0
      {0x82, 0xD8},  // Read Sector with bit 1
      {0xD4, 0xD0},  // Force Interrupt on index pulse
      {0xD1, 0xD8},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(int(c.command));
    fdc.writeCommand(c.command);
    clock.advance(100000);
    EXPECT_TRUE(busy());
    EXPECT_FALSE(drq());
    fdc.writeCommand(c.ending);
    EXPECT_FALSE(busy());
  }
}

TEST_F(FdcTest, Type2CommandClearsItsStatusBitsAndDrq) {
  attachDefault();
  fdc.writeSectorRegister(10);
  fdc.writeCommand(0x80);
  clock.advance(1601);
  ASSERT_EQ(fdc.getStatus() & F::StatusSeekError, F::StatusSeekError);
  fdc.writeSectorRegister(1);
  fdc.writeCommand(0x90);
  EXPECT_EQ(fdc.getStatus() & 0x7F, F::StatusBusy);
  EXPECT_EQ(fdc.getSignals(), 0);
  EXPECT_TRUE(fdc.getMultiSector());
}

// ---------------------------------------------------------------------------
// Motor run-on

TEST_F(FdcTest, MotorRunsOnAfterLastCommandOrDataAccess) {
  attachDefault();
  fdc.writeCommand(0x00);  // Restore with spin-up
  EXPECT_EQ(fdc.readStatus() & F::StatusMotorOn, F::StatusMotorOn);
  clock.advance(1799);
  EXPECT_EQ(fdc.readStatus() & F::StatusMotorOn, F::StatusMotorOn) << "status reads do not retrigger";
  fdc.readData();  // retrigger
  clock.advance(1799);
  EXPECT_TRUE(fdc.currentDrive().motorOn);
  fdc.writeData(0);  // retrigger
  clock.advance(1799);
  EXPECT_TRUE(fdc.currentDrive().motorOn);
  fdc.writeCommand(0xD0);  // any command retriggers
  clock.advance(1799);
  EXPECT_TRUE(fdc.currentDrive().motorOn);
  clock.advance(1);
  EXPECT_FALSE(fdc.currentDrive().motorOn);
  EXPECT_EQ(fdc.readStatus() & F::StatusMotorOn, 0);

  // A stopped motor is not started by a retrigger.
  fdc.writeCommand(0x08);
  fdc.readData();
  clock.advance(10000);
  EXPECT_FALSE(fdc.currentDrive().motorOn);
  EXPECT_EQ(fdc.readStatus() & F::StatusMotorOn, 0);
}

// ---------------------------------------------------------------------------
// Data register without a transfer

TEST_F(FdcTest, DataRegisterWithoutTransferKeepsLastValueAndClearsDrq) {
  attachDefault();
  fdc.writeData(0x5A);
  EXPECT_EQ(fdc.readData(), 0x5A);
  EXPECT_EQ(fdc.readData(), 0x5A);

  // A transfer ended by Force Interrupt: DRQ clears, the register stays.
  startTransfer(0x80, 0, 1);
  const uint8_t first = fdc.readData();
  fdc.writeCommand(0xD0);
  EXPECT_EQ(fdc.readData(), first);
  EXPECT_FALSE(drq());
  EXPECT_EQ(fdc.getSignals() & F::SignalDrq, 0);
}

// ---------------------------------------------------------------------------
// Drive control latch

TEST_F(FdcTest, ResetBitResetsRegistersButNotTimersOrDrive) {
  attachDefault();
  spinUp();
  fdc.writeSectorRegister(5);
  fdc.writeTrackRegister(60);
  fdc.writeData(50);
  fdc.writeCommand(0x18);  // seek outwards, pending for 61 ms
  ASSERT_FALSE(fdc.getStepIn());
  fdc.writeCommand(0xD8);  // INTRQ held

  fdc.writeDriveControl(0x09);  // reset, drive 0 stays selected (no edge)
  EXPECT_EQ(fdc.readTrackRegister(), 0);
  EXPECT_EQ(fdc.readSectorRegister(), 1);
  EXPECT_EQ(fdc.getData(), 0);
  EXPECT_EQ(fdc.getStatus(), 0);
  EXPECT_EQ(fdc.getSignals(), 0);
  EXPECT_EQ(fdc.getTargetTrack(), 0);
  EXPECT_TRUE(fdc.getStepIn());
  EXPECT_TRUE(fdc.getCommandClearsIntrq());
  EXPECT_TRUE(fdc.currentDrive().motorOn) << "the motor is not touched";
  EXPECT_EQ(fdc.currentDrive().imageFile, fdc.drive(0).imageFile);

  // The pending seek still completes, onto the reset target.
  fdc.writeTrackRegister(33);
  clock.advance(60);
  EXPECT_EQ(fdc.readTrackRegister(), 33);
  clock.advance(1);
  EXPECT_EQ(fdc.readTrackRegister(), 0);
  EXPECT_TRUE(intrq());

  // Each write with bit 0 resets again.
  fdc.writeSectorRegister(4);
  fdc.writeDriveControl(0x09);
  EXPECT_EQ(fdc.readSectorRegister(), 1);
}

TEST_F(FdcTest, SelectionCopiesTheRecordOnRisingEdgesOnly) {
  fdc.setTracks(0, 40);
  fdc.setTracks(1, 80);
  fdc.setLamp(0, &lamp0);
  fdc.setLamp(1, &lamp1);
  EXPECT_EQ(fdc.currentDrive().tracks, 0) << "nothing selected yet";
  EXPECT_EQ(fdc.currentDrive().lamp, nullptr);

  fdc.writeDriveControl(0x08);
  EXPECT_EQ(fdc.currentDrive().tracks, 40);
  EXPECT_EQ(fdc.currentDrive().lamp, &lamp0);

  // Configuration reaches `current` only on a new selection.
  fdc.setTracks(0, 80);
  fdc.writeDriveControl(0x08);
  EXPECT_EQ(fdc.currentDrive().tracks, 40) << "bit 3 set twice selects once";
  fdc.writeDriveControl(0x18);  // side bit: no edge on bit 3
  EXPECT_EQ(fdc.currentDrive().tracks, 40);
  fdc.writeDriveControl(0x00);
  EXPECT_EQ(fdc.currentDrive().tracks, 40) << "deselecting changes nothing";
  fdc.writeDriveControl(0x08);
  EXPECT_EQ(fdc.currentDrive().tracks, 80);

  // Both select bits rising in one write: drive 0, then drive 1; each
  // selection first puts out the lamp of the drive selected before it.
  fdc.setTracks(1, 40);
  fdc.writeDriveControl(0x04);
  EXPECT_EQ(fdc.currentDrive().lamp, &lamp1);
  fdc.writeDriveControl(0x00);
  lamp0.states.clear();
  lamp1.states.clear();
  fdc.writeDriveControl(0x0C);
  EXPECT_EQ(fdc.currentDrive().lamp, &lamp1);
  EXPECT_EQ(fdc.currentDrive().tracks, 40);
  EXPECT_EQ(lamp1.states, std::vector<TLampState>({TLampState::Off}));
  EXPECT_EQ(lamp0.states, std::vector<TLampState>({TLampState::Off})) << "drive 0 was selected on the way";
}

TEST_F(FdcTest, SelectionShowsTheMotorOffAndSpinsUpAgain) {
  attachDefault();
  spinUp();
  fdc.writeDriveControl(0x00);
  EXPECT_TRUE(fdc.currentDrive().motorOn) << "deselecting alone changes nothing";
  fdc.writeDriveControl(0x08);
  EXPECT_FALSE(fdc.currentDrive().motorOn);
  fdc.writeCommand(0x00);
  EXPECT_EQ(fdc.readStatus() & (F::StatusSpinUp | F::StatusMotorOn), F::StatusSpinUp | F::StatusMotorOn);
  clock.advance(1000);
  EXPECT_TRUE(busy());
  clock.advance(1);
  EXPECT_FALSE(busy());
}

TEST_F(FdcTest, GeometryOutsideTheOfferedSetsFallsBackToDefaults) {
  struct TCase {
    void (TSystemFdc::*set)(int, int);
    int32_t TFloppyDriveData::*field;
    std::vector<int> good;
    std::vector<int> bad;
    int32_t fallback;
  };
  const TCase cases[] = {
      {&TSystemFdc::setSides, &TFloppyDriveData::sides, {1, 2}, {0, -1, 3, 256}, 2},
      {&TSystemFdc::setTracks, &TFloppyDriveData::tracks, {40, 80}, {0, 1, 35, 81, 255, 100000, -80}, 80},
      {&TSystemFdc::setSectors, &TFloppyDriveData::sectors, {8, 9, 15, 18}, {0, 1, 10, 26, 255, -9, 65536}, 9},
      {&TSystemFdc::setSectorBytes,
       &TFloppyDriveData::sectorBytes,
       {128, 256, 512},
       {0, 1, 1024, 4096, -512, 1 << 30},
       512},
  };
  for (const TCase& c : cases) {
    for (int drive : {0, 1}) {
      for (int v : c.good) {
        (fdc.*c.set)(drive, v);
        EXPECT_EQ(fdc.drive(drive).*c.field, v);
      }
      for (int v : c.bad) {
        (fdc.*c.set)(drive, c.good.front());
        (fdc.*c.set)(drive, v);
        EXPECT_EQ(fdc.drive(drive).*c.field, c.fallback) << "value " << v << " drive " << drive;
      }
    }
  }
  // Drive numbers other than 0 and 1 are ignored.
  fdc.setSectors(2, 8);
  fdc.setSectors(-1, 8);
  EXPECT_EQ(fdc.drive(0).sectors, 9);
  EXPECT_EQ(fdc.drive(1).sectors, 9);
  EXPECT_FALSE(fdc.setImageFile(2, "/nonexistent"));
}

TEST_F(FdcTest, DrivesStartWithDefaultGeometryAndNoMedium) {
  for (int d : {0, 1}) {
    EXPECT_EQ(fdc.drive(d).sides, 2);
    EXPECT_EQ(fdc.drive(d).tracks, 80);
    EXPECT_EQ(fdc.drive(d).sectors, 9);
    EXPECT_EQ(fdc.drive(d).sectorBytes, 512);
    EXPECT_TRUE(fdc.drive(d).imageFile.empty());
    EXPECT_EQ(fdc.drive(d).imageSize, 0u);
  }
  EXPECT_EQ(fdc.readStatus(), 0);
  EXPECT_EQ(fdc.readSignals(), 0);
  EXPECT_EQ(fdc.readSectorRegister(), 1);
  EXPECT_EQ(clock.activeCount(), 0);
}

}  // namespace
