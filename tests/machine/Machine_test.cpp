// Assembling the machine from the settings, and running it: run control's
// states on the virtual clock.
#include "Machine.h"
#include "Run_Control.h"
#include "System_Fdc.h"
#include "System_InOut.h"
#include "System_Memory.h"
#include "System_Settings.h"
#include "System_Terminal.h"
#include "Virtual_Clock.h"
#include "Z180_CPU.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class MachineFixture : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/tess-machine-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    previous = fs::current_path();
    fs::current_path(dir);
  }
  void TearDown() override {
    fs::current_path(previous);
    fs::remove_all(dir);
  }

  std::string file(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream f(dir / name, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return (dir / name).string();
  }

  fs::path dir, previous;
};

struct TRecordingLamp : TDriveLamp {
  void setLampState(TLampState) override {}
  void setLampEnabled(bool e) override { enabled = e; }
  void setLampHint(const std::string& h) override { hint = h; }
  bool enabled = false;
  std::string hint;
};

}  // namespace

TEST_F(MachineFixture, FirstStartWithoutSettingsUsesTheDefaults) {
  TSystemSettings settings;
  TVirtualClock clock;
  TMachine machine(clock);
  EXPECT_TRUE(machine.configure(settings).empty());
  EXPECT_EQ(machine.memory().getRomSize(), 0x2000u);
  EXPECT_EQ(machine.memory().getRamSize(), 0x10000u);
  EXPECT_FALSE(machine.memory().getBootRomEnabled());
  EXPECT_TRUE(machine.memory().getFullAddressDecode());
  EXPECT_FALSE(machine.memory().getReloadOnEnable());
  EXPECT_FALSE(machine.bootRomAtReset);
  for (int d = 0; d < 2; ++d) {
    const TFloppyDriveData& drive = machine.fdc().drive(d);
    EXPECT_EQ(drive.sides, 2);
    EXPECT_EQ(drive.tracks, 80);
    EXPECT_EQ(drive.sectors, 9);
    EXPECT_EQ(drive.sectorBytes, 512);
    EXPECT_TRUE(drive.imageFile.empty());
  }
  EXPECT_FALSE(machine.terminal().getUseCrLf());
  EXPECT_FALSE(machine.terminal().getLocalEcho());
  EXPECT_FALSE(machine.terminal().getLogging());

  TRunControl control(machine, settings, clock);
  control.loadSlowRunSpeed();
  EXPECT_EQ(control.timerInterval(), 200u);
  EXPECT_EQ(control.checkedSpeedItem(), 2);
  EXPECT_FALSE(control.timerActive());
  EXPECT_TRUE(control.commandsEnabled());
  // Nothing was written: no settings file appears.
  EXPECT_FALSE(settings.changed());
  // Not reset at start-up: the constructed, all-zero processor.
  EXPECT_EQ(machine.cpu().PC, 0);
  EXPECT_EQ(machine.cpu().CBAR, 0);
}

TEST_F(MachineFixture, StoredSettingsAreApplied) {
  TSystemSettings settings;
  const std::string rom = file("boot.rom", {0x3E, 0x42, 0x76});
  const std::string image = file("disk.img", std::vector<uint8_t>(40 * 2 * 18 * 256, 0xE5));
  settings.writeString("Memory", "RomSize", "16KB");
  settings.writeString("Memory", "RamSize", "256KB");
  settings.writeBoolean("Memory", "FullAdressDecode", false);
  settings.writeString("Memory", "RomImageFile", rom);
  settings.writeBoolean("Terminal", "UseCRLF", true);
  settings.writeBoolean("Terminal", "LocalEcho", true);
  settings.writeInteger("Fdd1", "Sides", 1);
  settings.writeInteger("Fdd1", "Tracks", 40);
  settings.writeInteger("Fdd1", "Sectors", 18);
  settings.writeInteger("Fdd1", "SectorBytes", 256);
  settings.writeString("Fdd1", "ImageFile", image);
  TVirtualClock clock;
  TMachine machine(clock);
  TRecordingLamp lamp0, lamp1;
  EXPECT_TRUE(machine.configure(settings, &lamp0, &lamp1).empty());
  EXPECT_EQ(machine.memory().getRomSize(), 0x4000u);
  EXPECT_EQ(machine.memory().getRamSize(), 0x40000u);
  EXPECT_FALSE(machine.memory().getFullAddressDecode());
  EXPECT_TRUE(machine.memory().getBootRomEnabled());
  EXPECT_TRUE(machine.bootRomAtReset);
  EXPECT_TRUE(machine.terminal().getUseCrLf());
  EXPECT_TRUE(machine.terminal().getLocalEcho());
  EXPECT_EQ(machine.fdc().drive(1).sides, 1);
  EXPECT_EQ(machine.fdc().drive(1).sectorBytes, 256);
  EXPECT_EQ(machine.fdc().drive(1).imageFile, image);
  EXPECT_TRUE(lamp1.enabled);
  EXPECT_EQ(lamp1.hint, image);
  // The first instruction comes from the ROM.
  machine.cpu().step(1);
  EXPECT_EQ(machine.cpu().AF.b.h, 0x42);
}

TEST_F(MachineFixture, MissingImagesAreClearedFromTheSettings) {
  TSystemSettings settings;
  settings.writeString("Memory", "RomImageFile", (dir / "deleted.rom").string());
  settings.writeString("Fdd0", "ImageFile", (dir / "deleted.img").string());
  TVirtualClock clock;
  TMachine machine(clock);
  EXPECT_TRUE(machine.configure(settings).empty());
  EXPECT_EQ(settings.readString("Memory", "RomImageFile", "x"), "");
  EXPECT_EQ(settings.readString("Fdd0", "ImageFile", "x"), "");
  EXPECT_FALSE(machine.bootRomAtReset);
  machine.reset();
  EXPECT_FALSE(machine.memory().getBootRomEnabled());
}

TEST_F(MachineFixture, AnUnreadableRomIsReportedAndTheRestIsStillConfigured) {
  TSystemSettings settings;
  fs::create_directory(dir / "notafile.rom");  // exists, cannot be read
  settings.writeString("Memory", "RomImageFile", (dir / "notafile.rom").string());
  settings.writeBoolean("Terminal", "UseCRLF", true);
  settings.writeInteger("Fdd0", "Sectors", 18);
  TVirtualClock clock;
  TMachine machine(clock);
  const std::vector<TFileError> errors = machine.configure(settings);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].path(), (dir / "notafile.rom").string());
  EXPECT_FALSE(machine.bootRomAtReset);
  EXPECT_TRUE(machine.terminal().getUseCrLf());
  EXPECT_EQ(machine.fdc().drive(0).sectors, 18);
}

TEST_F(MachineFixture, RunControlStates) {
  TSystemSettings settings;
  TVirtualClock clock;
  TMachine machine(clock);
  machine.configure(settings);
  machine.memory().writeByte(0, 0x18);  // JR $
  machine.memory().writeByte(1, 0xFE);
  TRunControl control(machine, settings, clock);
  control.loadSlowRunSpeed();
  int refreshes = 0;
  std::vector<bool> enabledChanges;
  control.onRefreshViews = [&] { ++refreshes; };
  control.onCommandsEnabledChanged = [&](bool e) { enabledChanges.push_back(e); };
  TZ180Cpu& cpu = machine.cpu();

  // Run: 2 ms ticks of 35000 steps (JR $ takes 8 clocks), no view refreshes.
  control.run();
  EXPECT_EQ(control.state(), TRunControl::TState::Running);
  EXPECT_EQ(control.timerInterval(), 2u);
  EXPECT_FALSE(control.commandsEnabled());
  clock.advance(1);
  EXPECT_EQ(cpu.elapsedClocks, 0u);
  clock.advance(1);
  EXPECT_EQ(cpu.elapsedClocks, 35000u * 8);
  clock.advance(4);
  EXPECT_EQ(cpu.elapsedClocks, 3 * 35000u * 8);
  EXPECT_EQ(refreshes, 0);

  // Single Step ends the run, executes one step, enables the commands.
  control.singleStep();
  EXPECT_EQ(control.state(), TRunControl::TState::Stopped);
  EXPECT_EQ(cpu.elapsedClocks, (3 * 35000u + 1) * 8);
  EXPECT_TRUE(control.commandsEnabled());
  EXPECT_EQ(refreshes, 1);
  clock.advance(100);
  EXPECT_EQ(cpu.elapsedClocks, (3 * 35000u + 1) * 8);

  // Slow Run with a stored speed outside 0 to 3: 1000 ms, "1 Op/s".
  settings.writeInteger("Emulation", "SlowRunSpeed", 7);
  control.slowRun();
  EXPECT_EQ(control.state(), TRunControl::TState::SlowRunning);
  EXPECT_EQ(control.timerInterval(), 1000u);
  EXPECT_EQ(control.checkedSpeedItem(), 0);
  clock.advance(3000);
  EXPECT_EQ(cpu.elapsedClocks, (3 * 35000u + 4) * 8);
  EXPECT_EQ(refreshes, 4);

  // The speed menu changes the interval at once.
  control.chooseSlowRunSpeed(3);
  EXPECT_EQ(settings.readInteger("Emulation", "SlowRunSpeed", -1), 3);
  EXPECT_EQ(control.timerInterval(), 100u);
  clock.advance(1000);
  EXPECT_EQ(cpu.elapsedClocks, (3 * 35000u + 14) * 8);

  // Stop, and Stop again: only refreshes.
  control.stop();
  EXPECT_EQ(control.state(), TRunControl::TState::Stopped);
  const int before = refreshes;
  control.stop();
  EXPECT_EQ(refreshes, before + 1);
  EXPECT_TRUE(control.commandsEnabled());
  EXPECT_EQ(enabledChanges, (std::vector<bool>{false, true, false, true}));

  // During a run the speed menu sets the run's tick interval too.
  control.run();
  control.chooseSlowRunSpeed(0);
  EXPECT_EQ(control.timerInterval(), 1000u);
  EXPECT_EQ(control.state(), TRunControl::TState::Running);
  control.shutdown();
  EXPECT_FALSE(control.timerActive());
}

TEST_F(MachineFixture, ResetDuringARunKeepsRunningFromZero) {
  TSystemSettings settings;
  TVirtualClock clock;
  TMachine machine(clock);
  machine.configure(settings);
  // 0000: JP 0100; 0100: JR $
  for (auto [a, v] : std::vector<std::pair<uint32_t, uint8_t>>{{0, 0xC3}, {1, 0x00}, {2, 0x01}, {0x100, 0x18}, {0x101, 0xFE}})
    machine.memory().writeByte(a, v);
  TRunControl control(machine, settings, clock);
  control.run();
  clock.advance(2);
  EXPECT_EQ(machine.cpu().PC, 0x100);
  machine.cpu().SP = 0x1234;
  control.reset();
  EXPECT_EQ(machine.cpu().SP, 0);
  EXPECT_EQ(machine.cpu().PC, 0);
  EXPECT_TRUE(control.timerActive());
  clock.advance(2);
  EXPECT_EQ(machine.cpu().PC, 0x100);
}

TEST_F(MachineFixture, LoadingABinaryKeepsTheRomOffAtReset) {
  TSystemSettings settings;
  settings.writeString("Memory", "RomImageFile", file("boot.rom", {0x76}));
  TVirtualClock clock;
  TMachine machine(clock);
  machine.configure(settings);
  ASSERT_TRUE(machine.bootRomAtReset);
  EXPECT_TRUE(machine.loadFileToRam(file("prog.bin", {0x00, 0x00})));
  EXPECT_FALSE(machine.bootRomAtReset);
  machine.reset();
  EXPECT_FALSE(machine.memory().getBootRomEnabled());
  EXPECT_EQ(machine.memory().readByte(0), 0x00);
}

TEST_F(MachineFixture, AnErrorDuringASliceStopsTheRunOnce) {
  TSystemSettings settings;
  TVirtualClock clock;
  TMachine machine(clock);
  machine.configure(settings);
  // A program that prints through serial channel 0 forever.
  const std::vector<uint8_t> program = {
      0x3E, 0x07, 0xED, 0x39, 0x02,  // LD A,07; OUT0 (CNTLB0),A  (a bit time per clock)
      0x3E, 0x64, 0xED, 0x39, 0x00,  // LD A,64; OUT0 (CNTLA0),A
      0x3E, 'x',  0xED, 0x39, 0x06,  // loop: LD A,'x'; OUT0 (TDR0),A
      0x18, 0xF9,                    // JR loop
  };
  for (size_t i = 0; i < program.size(); ++i) machine.memory().writeByte(uint32_t(i), program[i]);
  machine.terminal().setLogPath("/dev/full");  // every write fails: no space left
  machine.terminal().setLogging(true);
  if (!machine.terminal().getLogging()) GTEST_SKIP() << "/dev/full not available";
  TRunControl control(machine, settings, clock);
  std::vector<std::string> errors;
  control.onError = [&](const TFileError& e) { errors.push_back(e.path()); };
  control.run();
  clock.advance(10);
  EXPECT_EQ(control.state(), TRunControl::TState::Stopped);
  EXPECT_TRUE(control.commandsEnabled());
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "/dev/full");
  EXPECT_FALSE(machine.terminal().getLogging());
  // Running again works; logging stays off, so no further error.
  control.run();
  clock.advance(10);
  EXPECT_EQ(control.state(), TRunControl::TState::Running);
  EXPECT_EQ(errors.size(), 1u);
  control.stop();
}
