// Sector transfers against real image files in a temporary directory: the
// offset layout, multi-sector runs, bounds, file failures, attaching images
// and the drive lamps.
#include "System_Fdc_Fixture.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace {

using F = TSystemFdc;
namespace fs = std::filesystem;

class FdcImageTest : public TFdcFixture {
 protected:
  // Reads the rest of the current sector through the data register.
  std::vector<uint8_t> readBytes(size_t n) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < n; ++i) {
      EXPECT_TRUE(drq()) << "no DRQ before byte " << i;
      bytes.push_back(fdc.readData());
    }
    return bytes;
  }

  static std::vector<uint8_t> slice(const std::vector<uint8_t>& v, uint64_t offset, uint64_t n) {
    return std::vector<uint8_t>(v.begin() + long(offset), v.begin() + long(offset + n));
  }

  // The transfer ended cleanly: INTRQ, nothing pending, no error bit.
  void expectCleanEnd() {
    EXPECT_FALSE(busy());
    EXPECT_FALSE(drq());
    EXPECT_EQ(fdc.getSignals() & (F::SignalIntrq | F::SignalDrq), F::SignalIntrq);
    EXPECT_EQ(fdc.getStatus() & 0x7F, 0) << "error bits";
    EXPECT_FALSE(fdc.getReading());
    EXPECT_FALSE(fdc.getWriting());
    EXPECT_FALSE(fdc.getTransferOpen());
  }

  // The descriptor through which the controller holds the file at path.
  static int descriptorOf(const std::string& path) {
    const fs::path target = fs::canonical(path);
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator("/proc/self/fd", ec)) {
      std::error_code linkError;
      if (fs::read_symlink(e.path(), linkError) == target) return std::stoi(e.path().filename().string());
    }
    return -1;
  }
};

// ---------------------------------------------------------------------------
// Where a sector lies in the image

struct TOffsetCase {
  const char* name;
  int sides, tracks, sectors, bytes;
  bool sideBit;
  uint8_t track, sector;
  uint64_t offset;
};

const TOffsetCase offsetCases[] = {
    {"first sector", 2, 80, 9, 512, false, 0, 1, 0},
    {"last sector of side 0", 2, 80, 9, 512, false, 0, 9, 4096},
    {"side 1 follows side 0", 2, 80, 9, 512, true, 0, 1, 4608},
    {"track 1", 2, 80, 9, 512, false, 1, 1, 9216},
    {"last sector of the disk", 2, 80, 9, 512, true, 79, 9, 79 * 9216 + 17 * 512},
    {"one-sided: side bit ignored, track 1 at 9216", 1, 80, 9, 512, true, 1, 1, 9216},
    {"one-sided 40 x 18 x 128", 1, 40, 18, 128, true, 5, 3, 5 * 2 * 18 * 128 + 2 * 128},
    {"two-sided 40 x 15 x 256, side 1", 2, 40, 15, 256, true, 39, 15, 39 * 2 * 15 * 256 + 29 * 256},
    {"two-sided 80 x 8 x 512, side 1", 2, 80, 8, 512, true, 2, 8, 2 * 8192 + 15 * 512},
    {"two-sided 80 x 18 x 512, side 1", 2, 80, 18, 512, true, 79, 18, 79ull * 18432 + 35 * 512},
};

TEST_F(FdcImageTest, ReadSectorFromItsOffset) {
  for (const TOffsetCase& c : offsetCases) {
    SCOPED_TRACE(c.name);
    fdc.setSides(0, c.sides);
    fdc.setTracks(0, c.tracks);
    fdc.setSectors(0, c.sectors);
    fdc.setSectorBytes(0, c.bytes);
    const uint64_t size = uint64_t(c.tracks) * 2 * c.sectors * c.bytes;
    const std::string path = makeImage(std::string(c.name) + ".img", size);
    const std::vector<uint8_t> image = fileBytes(path);
    ASSERT_TRUE(fdc.setImageFile(0, path));
    select(0);

    fdc.writeTrackRegister(c.track);
    fdc.writeSectorRegister(c.sector);
    fdc.writeCommand(0x88);
    // The side is taken when the transfer starts, not when the command is written.
    fdc.writeDriveControl(c.sideBit ? 0x18 : 0x08);
    clock.advance(1);
    ASSERT_TRUE(drq());
    EXPECT_EQ(readBytes(size_t(c.bytes)), slice(image, c.offset, uint64_t(c.bytes)));
    expectCleanEnd();
    EXPECT_EQ(fdc.readSectorRegister(), c.sector);
    EXPECT_EQ(fdc.readTrackRegister(), c.track);
  }
}

TEST_F(FdcImageTest, MultiSectorReadRunsToTheEndOfTheTrackSide) {
  const std::string path = attachDefault();
  const std::vector<uint8_t> image = fileBytes(path);
  struct TCase {
    uint8_t side, sector;
  };
  for (const TCase c : {TCase{0, 8}, TCase{1, 1}, TCase{1, 9}}) {
    SCOPED_TRACE(testing::Message() << "side " << int(c.side) << " sector " << int(c.sector));
    fdc.writeDriveControl(c.side ? 0x18 : 0x08);
    startTransfer(0x98, 3, c.sector);
    const uint64_t count = uint64_t(10 - c.sector) * 512;
    const uint64_t offset = 3 * 9216 + (c.side * 9 + c.sector - 1) * 512;
    EXPECT_EQ(readBytes(count), slice(image, offset, count));
    expectCleanEnd();
    EXPECT_FALSE(fdc.getMultiSector());
    EXPECT_EQ(fdc.readSectorRegister(), 9);
  }
}

TEST_F(FdcImageTest, WriteSectorsChangeExactlyTheirBytes) {
  const std::string path = attachDefault();
  std::vector<uint8_t> expected = fileBytes(path);
  struct TCase {
    uint8_t command, track, sector;
    bool side;
    int sectorsWritten;
  };
  const TCase cases[] = {
      {0xA8, 0, 1, false, 1},   // one sector
      {0xA0, 79, 9, true, 1},   // the last sector of the disk
      {0xB8, 2, 4, true, 6},    // multi-sector from 4 to 9 on side 1
      {0xBC, 40, 9, false, 1},  // multi-sector starting at the last sector
  };
  uint8_t value = 0;
  for (const TCase& c : cases) {
    SCOPED_TRACE(int(c.command));
    fdc.writeDriveControl(c.side ? 0x18 : 0x08);
    startTransfer(c.command, c.track, c.sector);
    const uint64_t offset = c.track * 9216ull + ((c.side ? 9 : 0) + c.sector - 1) * 512ull;
    for (int i = 0; i < c.sectorsWritten * 512; ++i) {
      ASSERT_TRUE(drq()) << "byte " << i;
      value = uint8_t(value * 5 + 3);
      fdc.writeData(value);
      expected[offset + uint64_t(i)] = value;
    }
    expectCleanEnd();
    EXPECT_EQ(fdc.getData(), value);
    EXPECT_EQ(fdc.readSectorRegister(), c.sector + c.sectorsWritten - 1);
  }
  EXPECT_EQ(fileBytes(path), expected);
}

TEST_F(FdcImageTest, WrittenBytesAreOnDiskBeforeTheTransferEnds) {
  const std::string path = attachDefault();
  fdc.writeDriveControl(0x18);
  startTransfer(0xA0, 7, 5);
  const uint64_t offset = 7 * 9216 + 13 * 512;
  for (int i = 0; i < 512; ++i) {
    const uint8_t v = uint8_t(0xA5 ^ i);
    fdc.writeData(v);
    if (i < 511) {
      ASSERT_TRUE(busy());
    }
    std::ifstream check(path, std::ios::binary);  // a reader of its own, as another program would be
    check.seekg(std::streamoff(offset + uint64_t(i)));
    char onDisk = 0;
    ASSERT_TRUE(check.read(&onDisk, 1));
    ASSERT_EQ(uint8_t(onDisk), v) << "byte " << i << " not on disk yet";
  }
  expectCleanEnd();
}

// ---------------------------------------------------------------------------
// Bounds

TEST_F(FdcImageTest, ShortImageFindsOnlyWholeSectors) {
  const std::string path = makeImage("short.img", 3000);  // sectors 1-5 of track 0 side 0, and a piece of 6
  ASSERT_TRUE(fdc.setImageFile(0, path));
  select(0);
  spinUp();
  for (uint8_t t : {0, 1, 79}) {
    for (uint8_t side : {0, 1}) {
      for (uint8_t s = 1; s <= 9; ++s) {
        SCOPED_TRACE(testing::Message() << "track " << int(t) << " side " << int(side) << " sector " << int(s));
        fdc.writeDriveControl(side ? 0x18 : 0x08);
        fdc.writeTrackRegister(t);
        fdc.writeSectorRegister(s);
        fdc.writeCommand(s % 2 ? 0x80 : 0xA0);
        clock.advance(1);
        const uint64_t offset = t * 9216ull + (side * 9ull + s - 1) * 512;
        if (offset + 512 <= 3000) {
          EXPECT_TRUE(drq());
          EXPECT_TRUE(busy());
          fdc.writeCommand(0xD0);
        } else {
          EXPECT_FALSE(busy()) << "Record Not Found at once, no search";
          EXPECT_EQ(fdc.readStatus() & 0x1F, F::StatusSeekError);
          EXPECT_TRUE(intrq());
        }
      }
    }
  }
  fdc.writeCommand(0xD0);
  EXPECT_EQ(fs::file_size(path), 3000u);
}

TEST_F(FdcImageTest, NoMediumOrTrackBeyondTheDriveIsRecordNotFound) {
  select(1);  // drive 1 has no image
  fdc.writeCommand(0x88);
  clock.advance(1);
  EXPECT_FALSE(busy());
  EXPECT_EQ(fdc.readStatus(), F::StatusSeekError);

  fdc.setTracks(0, 40);
  attachDefault();  // 80 tracks of data, but the drive has 40
  fdc.writeTrackRegister(40);
  fdc.writeCommand(0x88);
  clock.advance(1);
  EXPECT_FALSE(busy());
  EXPECT_EQ(fdc.readStatus(), F::StatusSeekError);
  fdc.writeTrackRegister(39);
  fdc.writeCommand(0x88);
  clock.advance(1);
  EXPECT_TRUE(drq());
}

// Multi-sector write on an image that ends inside the next sector: the image
// must not grow, and the run ends with Record Not Found at that sector.
TEST_F(FdcImageTest, MultiSectorWriteNeverExtendsTheImage) {
  const std::string path = makeImage("two-and-a-bit.img", 1124);
  std::vector<uint8_t> expected = fileBytes(path);
  ASSERT_TRUE(fdc.setImageFile(0, path));
  select(0);
  startTransfer(0xB0, 0, 1);
  for (int i = 0; i < 1024; ++i) {
    ASSERT_TRUE(drq()) << "byte " << i;
    fdc.writeData(0xEE);
    expected[size_t(i)] = 0xEE;
  }
  EXPECT_FALSE(busy());
  EXPECT_TRUE(intrq());
  EXPECT_EQ(fdc.readStatus() & 0x7F, F::StatusSeekError);
  EXPECT_EQ(fdc.readSectorRegister(), 3);
  EXPECT_FALSE(fdc.getWriting());
  for (int i = 0; i < 600; ++i) fdc.writeData(0x11);
  EXPECT_EQ(fileBytes(path), expected);

  // A multi-sector read stops the same way.
  startTransfer(0x90, 0, 2);
  readBytes(512);
  EXPECT_FALSE(busy());
  EXPECT_EQ(fdc.readStatus() & 0x7F, F::StatusSeekError);
}

// ---------------------------------------------------------------------------
// File failures

TEST_F(FdcImageTest, ImageThatCannotBeOpenedGivesCrcErrorThenLostData) {
  const std::string path = attachDefault();
  ASSERT_TRUE(fs::remove(path));
  fdc.writeData(0x42);
  fdc.writeCommand(0x80);
  clock.advance(1001);
  EXPECT_FALSE(busy());
  EXPECT_TRUE(intrq());
  EXPECT_FALSE(drq());
  EXPECT_EQ(fdc.readStatus() & 0x7F, F::StatusCrcError);
  EXPECT_TRUE(fdc.getReading()) << "the transfer flag stays set";

  // The data register then tries the closed file: Lost Data, nothing else.
  EXPECT_EQ(fdc.readData(), 0x42);
  EXPECT_EQ(fdc.readStatus() & 0x7F, F::StatusCrcError | F::StatusLostData);
  EXPECT_FALSE(fdc.takePendingError().has_value());
}

TEST_F(FdcImageTest, ReadFailureMidSectorIsLostDataAndKeepsTheTransfer) {
  fdc.setLamp(0, &lamp0);
  const std::string path = attachDefault();
  const std::vector<uint8_t> image = fileBytes(path);
  fs::resize_file(path, 100);  // shrunk behind the drive's back
  startTransfer(0x80, 0, 1);
  EXPECT_EQ(readBytes(100), slice(image, 0, 100));
  EXPECT_EQ(fdc.readData(), image[99]) << "the data register keeps its value";
  EXPECT_EQ(fdc.readStatus() & 0x7F, F::StatusBusy | F::StatusLostData);
  EXPECT_FALSE(intrq());
  EXPECT_TRUE(fdc.getReading());
  EXPECT_EQ(lamp0.state, TLampState::Read);
  clock.advance(49);
  EXPECT_EQ(lamp0.state, TLampState::Read);
  clock.advance(1);
  EXPECT_EQ(lamp0.state, TLampState::Off) << "the lamp goes out 50 ms after the failure";
  fdc.writeCommand(0xD0);
  EXPECT_FALSE(busy());
  EXPECT_FALSE(fdc.getReading());
}

TEST_F(FdcImageTest, WriteFailureIsLostDataAndKeepsTheDataRegister) {
  attachDefault();
  startTransfer(0xA0, 0, 1);
  fdc.writeData(0x11);
  const int fd = descriptorOf(fdc.drive(0).imageFile);
  ASSERT_GE(fd, 0);
  const int full = ::open("/dev/full", O_WRONLY);
  if (full < 0) GTEST_SKIP() << "no /dev/full";
  ASSERT_GE(::dup2(full, fd), 0);  // every further write fails with ENOSPC
  ::close(full);

  fdc.writeData(0x22);
  EXPECT_EQ(fdc.getData(), 0x11);
  EXPECT_EQ(fdc.readStatus() & 0x7F, F::StatusBusy | F::StatusLostData);
  EXPECT_FALSE(intrq());
  EXPECT_TRUE(fdc.getWriting());
  EXPECT_EQ(fdc.getByteCount(), 1);
}

// Closing the image after the last byte fails: the data access still returns
// normally, the transfer ends, Lost Data flags it and the error waits for the
// front end.
TEST_F(FdcImageTest, CloseFailureAtTheEndOfATransferIsReportedNotThrown) {
  const std::string path = attachDefault();
  const std::vector<uint8_t> image = fileBytes(path);
  startTransfer(0x80, 0, 1);
  EXPECT_EQ(fdc.readData(), image[0]);  // the stream has buffered the sector now
  const int fd = descriptorOf(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::close(fd), 0);  // pulled from under the stream: its close will fail

  std::vector<uint8_t> rest;
  EXPECT_NO_THROW(rest = readBytes(511));
  EXPECT_EQ(rest, slice(image, 1, 511));
  EXPECT_FALSE(busy());
  EXPECT_TRUE(intrq());
  EXPECT_FALSE(drq());
  EXPECT_EQ(fdc.readStatus() & 0x7F, F::StatusLostData);
  EXPECT_FALSE(fdc.getReading());
  EXPECT_FALSE(fdc.getTransferOpen());

  std::optional<TFileError> error = fdc.takePendingError();
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->path(), path);
  EXPECT_FALSE(error->message().empty());
  EXPECT_FALSE(fdc.takePendingError().has_value()) << "taken once";

  // The drive works on.
  startTransfer(0x80, 0, 2);
  EXPECT_EQ(readBytes(512), slice(image, 512, 512));
  expectCleanEnd();
}

// After Record Not Found the transfer flag stays set and data accesses fail as
// Lost Data, also when an earlier, interrupted transfer left its stream open.
TEST_F(FdcImageTest, DataAccessAfterRecordNotFoundIsLostData) {
  attachDefault();
  startTransfer(0x80, 0, 1);
  const uint8_t first = fdc.readData();
  fdc.writeCommand(0xD0);  // interrupted: the stream stays open
  fdc.writeSectorRegister(10);
  fdc.writeCommand(0x80);
  EXPECT_EQ(fdc.readData(), first) << "no file to read while the sector is searched";
  clock.advance(601);
  ASSERT_EQ(fdc.readStatus() & 0x7F, F::StatusSeekError | F::StatusLostData);
  EXPECT_TRUE(fdc.getReading());
  EXPECT_EQ(fdc.readData(), first);
  EXPECT_EQ(fdc.getByteCount(), 1) << "nothing was counted";
  EXPECT_FALSE(busy());

  fdc.writeCommand(0xA0);  // a write that finds no sector either
  clock.advance(601);
  fdc.writeData(0x99);
  EXPECT_EQ(fdc.readStatus() & 0x7F, F::StatusSeekError | F::StatusLostData);
  EXPECT_EQ(fdc.getData(), first) << "a failed write keeps the data register";
}

// A Write Sector that ended in Record Not Found leaves its flag set; the next
// Read Sector must not write data register stores into the image.
TEST_F(FdcImageTest, ReadSectorAfterFailedWriteDoesNotWrite) {
  const std::string path = attachDefault();
  const std::vector<uint8_t> image = fileBytes(path);
  fdc.writeSectorRegister(10);
  fdc.writeCommand(0xA0);
  clock.advance(1601);
  ASSERT_TRUE(fdc.getWriting());
  startTransfer(0x80, 0, 1);
  EXPECT_FALSE(fdc.getWriting());
  for (int i = 0; i < 512; ++i) {
    fdc.writeData(0x77);
    fdc.readData();
  }
  expectCleanEnd();
  EXPECT_EQ(fileBytes(path), image);
}

// ---------------------------------------------------------------------------
// Attaching images

TEST_F(FdcImageTest, MissingImageRemovesTheMedium) {
  fdc.setLamp(0, &lamp0);
  const std::string path = makeImage("a.img", FullImage);
  ASSERT_TRUE(fdc.setImageFile(0, path));
  EXPECT_EQ(lamp0.log, (std::vector<std::string>{"disabled", "hint:" + path, "enabled"}));
  EXPECT_TRUE(lamp0.enabled);

  lamp0.log.clear();
  EXPECT_FALSE(fdc.setImageFile(0, dir + "/missing.img"));
  EXPECT_EQ(lamp0.log, (std::vector<std::string>{"disabled", "hint:"}));
  EXPECT_TRUE(fdc.drive(0).imageFile.empty());
  EXPECT_EQ(fdc.drive(0).imageSize, 0u);
  EXPECT_FALSE(fdc.takePendingError().has_value()) << "a missing file is no error";

  EXPECT_FALSE(fdc.setImageFile(0, ""));
  EXPECT_TRUE(fdc.drive(0).imageFile.empty());
}

TEST_F(FdcImageTest, ReadOnlyImageIsNotAttached) {
  fdc.setLamp(0, &lamp0);
  const std::string good = makeImage("good.img", FullImage);
  const std::string locked = makeImage("locked.img", 4096);
  ASSERT_TRUE(fdc.setImageFile(0, good));
  ASSERT_EQ(::chmod(locked.c_str(), 0444), 0);
  if (std::FILE* probe = std::fopen(locked.c_str(), "r+b")) {
    std::fclose(probe);
    GTEST_SKIP() << "read-only files are writable here (running as root)";
  }
  lamp0.log.clear();
  EXPECT_FALSE(fdc.setImageFile(0, locked));
  EXPECT_EQ(fdc.drive(0).imageFile, good) << "the drive record is unchanged";
  EXPECT_EQ(fdc.drive(0).imageSize, FullImage);
  EXPECT_EQ(lamp0.log, (std::vector<std::string>{"disabled"}));
  EXPECT_FALSE(fdc.takePendingError().has_value()) << "the caller reports the false result";
}

// Unlike the read-only file, a directory cannot be opened for writing even by
// root, so this case always runs.
TEST_F(FdcImageTest, ImageThatCannotBeOpenedLeavesTheDriveAsItWas) {
  fdc.setLamp(0, &lamp0);
  const std::string good = makeImage("good.img", FullImage);
  ASSERT_TRUE(fdc.setImageFile(0, good));
  select(0);
  fdc.writeCommand(0xD0);
  const std::string folder = dir + "/folder.img";
  ASSERT_TRUE(fs::create_directory(folder));
  lamp0.log.clear();
  EXPECT_FALSE(fdc.setImageFile(0, folder));
  EXPECT_EQ(fdc.drive(0).imageFile, good);
  EXPECT_EQ(fdc.drive(0).imageSize, FullImage);
  EXPECT_EQ(fdc.readSignals() & F::SignalDiskChange, 0);
  EXPECT_EQ(lamp0.log, (std::vector<std::string>{"disabled"}));
  EXPECT_FALSE(fdc.takePendingError().has_value()) << "the caller reports the false result";
  select(0);
  EXPECT_EQ(fdc.currentDrive().imageFile, good) << "the old image stays in use";
}

TEST_F(FdcImageTest, NewImageReachesTheSelectedDriveOnlyOnReselection) {
  const std::string a = makeImage("a.img", FullImage);
  const std::string b = makeImage("b.img", FullImage);
  const std::vector<uint8_t> imageA = fileBytes(a);
  const std::vector<uint8_t> imageB = fileBytes(b);
  ASSERT_TRUE(fdc.setImageFile(0, a));
  EXPECT_EQ(fdc.readSignals() & F::SignalDiskChange, 0) << "drive 0 is not selected";
  select(0);
  EXPECT_EQ(fdc.readSignals() & F::SignalDiskChange, F::SignalDiskChange) << "the selection brings the change";
  fdc.writeCommand(0xD0);
  EXPECT_EQ(fdc.readSignals() & F::SignalDiskChange, 0) << "the next command clears it";

  // The same image again is no change.
  ASSERT_TRUE(fdc.setImageFile(0, a));
  EXPECT_EQ(fdc.readSignals() & F::SignalDiskChange, 0);
  // Another drive's image is not this drive's change.
  ASSERT_TRUE(fdc.setImageFile(1, b));
  EXPECT_EQ(fdc.readSignals() & F::SignalDiskChange, 0);

  // A new image on the selected drive: flagged at once, used after reselection.
  ASSERT_TRUE(fdc.setImageFile(0, b));
  EXPECT_EQ(fdc.readSignals() & F::SignalDiskChange, F::SignalDiskChange);
  EXPECT_EQ(fdc.currentDrive().imageFile, a);
  startTransfer(0x80, 0, 1);
  EXPECT_EQ(readBytes(512), slice(imageA, 0, 512));
  EXPECT_EQ(fdc.readSignals() & F::SignalDiskChange, 0);
  select(0);
  EXPECT_EQ(fdc.readSignals() & F::SignalDiskChange, F::SignalDiskChange);
  EXPECT_EQ(fdc.currentDrive().imageFile, b);
  startTransfer(0x80, 0, 1);
  EXPECT_EQ(readBytes(512), slice(imageB, 0, 512));

  // The drive record keeps its flag: every later selection reports a change.
  select(0);
  EXPECT_EQ(fdc.readSignals() & F::SignalDiskChange, F::SignalDiskChange);

  // A same-named image of another size is a change too.
  fs::resize_file(b, FullImage / 2);
  fdc.writeCommand(0xD0);
  ASSERT_TRUE(fdc.setImageFile(0, b));
  EXPECT_EQ(fdc.readSignals() & F::SignalDiskChange, F::SignalDiskChange);
  EXPECT_EQ(fdc.drive(0).imageSize, FullImage / 2);
}

// ---------------------------------------------------------------------------
// Lamps

TEST_F(FdcImageTest, LampLightsForTransfersAndGoesOutAfterwards) {
  fdc.setLamp(0, &lamp0);
  fdc.setLamp(1, &lamp1);
  attachDefault();
  spinUp();
  EXPECT_TRUE(lamp0.states.empty()) << "selecting from no drive draws nothing";

  // Read: green from the first DRQ until 50 ms after the last byte.
  fdc.writeCommand(0x80);
  EXPECT_TRUE(lamp0.states.empty());
  clock.advance(1);
  EXPECT_EQ(lamp0.state, TLampState::Read);
  readBytes(512);
  EXPECT_EQ(lamp0.state, TLampState::Read);
  clock.advance(49);
  EXPECT_EQ(lamp0.state, TLampState::Read);
  clock.advance(1);
  EXPECT_EQ(lamp0.state, TLampState::Off);

  // Write: red. A transfer started within the after-glow of the previous one
  // keeps its lamp lit.
  startTransfer(0xA0, 0, 2);
  EXPECT_EQ(lamp0.state, TLampState::Write);
  for (int i = 0; i < 512; ++i) fdc.writeData(0);
  clock.advance(10);
  startTransfer(0x80, 0, 3);
  EXPECT_EQ(lamp0.state, TLampState::Read);
  clock.advance(100);
  EXPECT_EQ(lamp0.state, TLampState::Read) << "the old after-glow put the lamp out mid-transfer";
  EXPECT_EQ(lamp0.states,
            (std::vector<TLampState>{TLampState::Read, TLampState::Off, TLampState::Write, TLampState::Read}));

  // Selecting another drive puts the lamp out at once; drive 1's lamp is not lit.
  fdc.writeDriveControl(0x00);
  fdc.writeDriveControl(0x04);
  EXPECT_EQ(lamp0.state, TLampState::Off);
  EXPECT_TRUE(lamp1.states.empty());
}

TEST_F(FdcImageTest, DriveWithoutLampTransfersQuietly) {
  fdc.setLamp(0, &lamp0);
  const std::string path = makeImage("b.img", FullImage);
  ASSERT_TRUE(fdc.setImageFile(1, path));
  select(1);
  startTransfer(0x80, 0, 1);
  readBytes(512);
  expectCleanEnd();
  clock.advance(100);
  EXPECT_TRUE(lamp0.states.empty());
  EXPECT_TRUE(lamp0.log.empty());
}

}  // namespace
