// Shared pieces of the floppy controller tests: a lamp that records what it is
// told, a temporary directory for image files with known random contents, and
// a controller on a virtual clock.
#pragma once

#include "System_Fdc.h"
#include "Virtual_Clock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

class TFakeLamp : public TDriveLamp {
 public:
  void setLampState(TLampState s) override {
    state = s;
    states.push_back(s);
  }
  void setLampEnabled(bool on) override {
    enabled = on;
    log.push_back(on ? "enabled" : "disabled");
  }
  void setLampHint(const std::string& h) override {
    hint = h;
    log.push_back("hint:" + h);
  }

  TLampState state = TLampState::Off;
  bool enabled = false;
  std::string hint;
  std::vector<TLampState> states;  // every state set, in order
  std::vector<std::string> log;    // enabled/disabled/hint calls, in order
};

class TFdcFixture : public ::testing::Test {
 protected:
  // Default geometry: 2 sides, 80 tracks, 9 sectors of 512 bytes.
  static constexpr uint64_t FullImage = 80ull * 2 * 9 * 512;

  void SetUp() override {
    char pattern[] = "/tmp/fdc-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }

  // Writes an image of random bytes (fixed seed per name) and returns its path.
  std::string makeImage(const std::string& name, uint64_t size) {
    std::mt19937 random(static_cast<uint32_t>(std::hash<std::string>{}(name)));
    std::vector<uint8_t> bytes(size);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    const std::string path = dir + "/" + name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  static std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  // Selects a drive the way the program does: its select bit 0 then 1.
  void select(int drive, uint8_t extra = 0) {
    fdc.writeDriveControl(extra);
    fdc.writeDriveControl(static_cast<uint8_t>(extra | (drive == 0 ? 0x08 : 0x04)));
  }

  // Attaches a full default-geometry image to drive 0 and selects it.
  std::string attachDefault() {
    const std::string path = makeImage("default.img", FullImage);
    EXPECT_TRUE(fdc.setImageFile(0, path));
    select(0);
    return path;
  }

  // Starts the motor with a Seek in place and lets it complete.
  void spinUp() {
    fdc.writeData(fdc.readTrackRegister());
    fdc.writeCommand(0x10);
    clock.advance(1001);
    ASSERT_EQ(fdc.getStatus() & TSystemFdc::StatusBusy, 0);
    ASSERT_TRUE(fdc.currentDrive().motorOn);
  }

  bool busy() const { return (fdc.getStatus() & TSystemFdc::StatusBusy) != 0; }
  bool drq() const { return (fdc.getStatus() & TSystemFdc::StatusDrq) != 0; }
  bool intrq() const { return (fdc.getSignals() & TSystemFdc::SignalIntrq) != 0; }

  // Starts a sector command and runs the clock to its first DRQ.
  void startTransfer(uint8_t command, uint8_t trackNo, uint8_t sectorNo) {
    fdc.writeTrackRegister(trackNo);
    fdc.writeSectorRegister(sectorNo);
    fdc.writeCommand(command);
    clock.advance(1100);  // spin-up and settling included
    ASSERT_TRUE(drq()) << "no transfer started, status " << int(fdc.getStatus());
  }

  std::string dir;
  TFakeLamp lamp0;
  TFakeLamp lamp1;
  TVirtualClock clock;
  TSystemFdc fdc{clock};
};
