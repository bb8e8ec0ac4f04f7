#include "File_Error.h"
#include "System_Memory.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class MemoryFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tess-memory-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override { fs::remove_all(dir); }

  std::string file(const std::string& name, const std::vector<uint8_t>& bytes) {
    const fs::path p = dir / name;
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return p.string();
  }

  static std::vector<uint8_t> pattern(size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(seed + i * 7);
    return v;
  }

  fs::path dir;
};

TSystemMemory configured(const char* rom = "8KB", const char* ram = "64KB") {
  TSystemMemory m;
  m.setRomSize(rom);
  m.setRamSize(ram);
  return m;
}

}  // namespace

TEST(SystemMemory, SizeTextsFollowTheTablesAndFallBackToDefaults) {
  struct Row {
    const char* text;
    uint32_t rom, ram;
  };
  const Row rows[] = {
      {"4KB", 0x1000, 0x10000},     {"8KB", 0x2000, 0x10000},    {"16KB", 0x4000, 0x10000},  {"32KB", 0x8000, 0x10000},
      {"64KB", 0x2000, 0x10000},    {"128KB", 0x2000, 0x20000},  {"256KB", 0x2000, 0x40000}, {"512KB", 0x2000, 0x80000},
      {"1024KB", 0x2000, 0x100000}, {"2KB", 0x2000, 0x10000},    {"8kb", 0x2000, 0x10000},   {" 8KB", 0x2000, 0x10000},
      {"", 0x2000, 0x10000},        {"2048KB", 0x2000, 0x10000},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    EXPECT_EQ(TSystemMemory::romSizeFromText(r.text), r.rom);
    EXPECT_EQ(TSystemMemory::ramSizeFromText(r.text), r.ram);
    TSystemMemory m;
    m.setRomSize(r.text);
    m.setRamSize(r.text);
    EXPECT_EQ(m.getRomSize(), r.rom);
    EXPECT_EQ(m.getRamSize(), r.ram);
  }
}

TEST(SystemMemory, StartsEmptyWithFullDecodingAndRomOff) {
  TSystemMemory m;
  EXPECT_EQ(m.getRamSize(), 0u);
  EXPECT_EQ(m.getRomSize(), 0u);
  EXPECT_FALSE(m.getBootRomEnabled());
  EXPECT_TRUE(m.getFullAddressDecode());
  EXPECT_FALSE(m.getLastLoadOk());
  // Nothing configured yet: every address reads open bus and writes vanish.
  EXPECT_EQ(m.readByte(0), 0xFF);
  m.writeByte(0, 0x12);
  m.setFullAddressDecode(false);
  EXPECT_EQ(m.readByte(0x12345), 0xFF);
  m.writeByte(0x12345, 0x12);
}

TEST(SystemMemory, RomOverlaysTheLowestAddressesAndWritesGoToRam) {
  TSystemMemory m = configured();
  m.enableBootRom(true);
  m.writeByte(0x00010, 0x55);  // under the ROM
  m.writeByte(0x01FFF, 0x66);
  m.writeByte(0x02000, 0x77);  // first byte above the 8 KB ROM
  EXPECT_EQ(m.readByte(0x00010), 0x00);
  EXPECT_EQ(m.readByte(0x01FFF), 0x00);  // last ROM byte
  EXPECT_EQ(m.readByte(0x02000), 0x77);
  m.enableBootRom(false);
  EXPECT_EQ(m.readByte(0x00010), 0x55);
  EXPECT_EQ(m.readByte(0x01FFF), 0x66);
}

TEST(SystemMemory, FullAndPartialAddressDecoding) {
  TSystemMemory m = configured("8KB", "64KB");
  m.writeByte(0x10000, 0xAB);
  EXPECT_EQ(m.readByte(0x10000), 0xFF);
  EXPECT_EQ(m.readByte(0x00000), 0x00);
  EXPECT_EQ(m.readByte(0xFFFFF), 0xFF);

  m.setFullAddressDecode(false);
  m.writeByte(0x12345, 0x5A);
  EXPECT_EQ(m.readByte(0x02345), 0x5A);
  EXPECT_EQ(m.readByte(0xF2345), 0x5A);
  EXPECT_EQ(m.readByte(0x12345), 0x5A);
}

TEST(SystemMemory, ResizingKeepsContentsAndZeroFillsNewBytes) {
  TSystemMemory m = configured("8KB", "64KB");
  m.writeByte(0x0FFFF, 0x11);
  m.writeByte(0x00000, 0x22);
  m.setRamSize("128KB");
  EXPECT_EQ(m.readByte(0x0FFFF), 0x11);
  EXPECT_EQ(m.readByte(0x00000), 0x22);
  EXPECT_EQ(m.readByte(0x10000), 0x00);
  EXPECT_EQ(m.readByte(0x1FFFF), 0x00);
  m.setRamSize("64KB");
  EXPECT_EQ(m.readByte(0x0FFFF), 0x11);
  EXPECT_EQ(m.readByte(0x10000), 0xFF);
}

TEST_F(MemoryFiles, RomImageLoadsWithTheShortAndLongFileRules) {
  TSystemMemory m = configured("8KB", "64KB");
  // A long image fills the ROM first.
  const std::vector<uint8_t> big = pattern(0x3000, 1);
  EXPECT_TRUE(m.setRomImageFile(file("big.rom", big)));
  EXPECT_TRUE(m.getLastLoadOk());
  EXPECT_TRUE(m.getBootRomEnabled());
  EXPECT_EQ(m.readByte(0x0000), big[0]);
  EXPECT_EQ(m.readByte(0x1FFF), big[0x1FFF]);
  EXPECT_EQ(m.readByte(0x2000), 0x00);  // RAM, not the rest of the file

  // A 3-byte image changes only ROM bytes 0 to 2.
  EXPECT_TRUE(m.setRomImageFile(file("tiny.rom", {0xA1, 0xA2, 0xA3})));
  EXPECT_EQ(m.readByte(0), 0xA1);
  EXPECT_EQ(m.readByte(2), 0xA3);
  EXPECT_EQ(m.readByte(3), big[3]);
  EXPECT_EQ(m.readByte(0x1FFF), big[0x1FFF]);

  // An empty file is a successful load of nothing.
  EXPECT_TRUE(m.setRomImageFile(file("empty.rom", {})));
  EXPECT_EQ(m.readByte(0), 0xA1);
}

TEST_F(MemoryFiles, EmptyRomPathZeroFillsButLeavesTheRomSwitch) {
  TSystemMemory m = configured();
  ASSERT_TRUE(m.setRomImageFile(file("a.rom", {1, 2, 3})));
  EXPECT_FALSE(m.setRomImageFile(""));
  EXPECT_FALSE(m.getLastLoadOk());
  EXPECT_TRUE(m.getBootRomEnabled());
  EXPECT_EQ(m.readByte(0), 0x00);
  EXPECT_EQ(m.readByte(2), 0x00);
}

TEST_F(MemoryFiles, ReloadOnEnableReadsTheImageAgain) {
  TSystemMemory m = configured();
  const std::string path = file("r.rom", {0x10, 0x20});
  ASSERT_TRUE(m.setRomImageFile(path));
  file("r.rom", {0x30, 0x40});
  m.enableBootRom(true);
  EXPECT_EQ(m.readByte(0), 0x10);  // no reload while the flag is off
  m.setReloadOnEnable(true);
  m.enableBootRom(false);
  EXPECT_EQ(m.readByte(0), 0x00);  // RAM
  m.enableBootRom(true);
  EXPECT_EQ(m.readByte(0), 0x30);
}

TEST_F(MemoryFiles, RamLoadSwitchesTheRomOffAndKeepsTheRest) {
  TSystemMemory m = configured("8KB", "64KB");
  m.writeByte(0x8000, 0x99);
  m.enableBootRom(true);
  EXPECT_TRUE(m.loadFileToRam(file("prog.bin", {0xC3, 0x00, 0x01})));
  EXPECT_FALSE(m.getBootRomEnabled());
  EXPECT_TRUE(m.getLastLoadOk());
  EXPECT_EQ(m.readByte(0), 0xC3);
  EXPECT_EQ(m.readByte(2), 0x01);
  EXPECT_EQ(m.readByte(0x8000), 0x99);

  // A file larger than the RAM is read only up to the RAM size.
  const std::vector<uint8_t> big = pattern(0x10010, 3);
  EXPECT_TRUE(m.loadFileToRam(file("big.bin", big)));
  EXPECT_EQ(m.readByte(0xFFFF), big[0xFFFF]);
  EXPECT_EQ(m.readByte(0x10000), 0xFF);

  // An empty path clears the RAM and reports no load.
  EXPECT_FALSE(m.loadFileToRam(""));
  EXPECT_EQ(m.readByte(0xFFFF), 0x00);
}

TEST_F(MemoryFiles, UnreadableFilesThrowWithThePathAndChangeNothing) {
  TSystemMemory m = configured();
  ASSERT_TRUE(m.setRomImageFile(file("good.rom", {0x42})));
  m.writeByte(0x4000, 0x24);

  struct Case {
    std::string path;
    bool rom;
  };
  const std::string missing = (dir / "missing.rom").string();
  const std::string directory = dir.string();  // opens, but cannot be read
  const Case cases[] = {{missing, true}, {missing, false}, {directory, true}, {directory, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + (c.rom ? " (ROM)" : " (RAM)"));
    try {
      if (c.rom)
        m.setRomImageFile(c.path);
      else
        m.loadFileToRam(c.path);
      ADD_FAILURE() << "no error raised";
    } catch (const TFileError& e) {
      EXPECT_EQ(e.path(), c.path);
      EXPECT_FALSE(e.message().empty());
      EXPECT_NE(std::string(e.what()).find(c.path), std::string::npos);
    }
    EXPECT_FALSE(m.getLastLoadOk());
    EXPECT_EQ(m.readByte(0), 0x42);
    EXPECT_TRUE(m.getBootRomEnabled());
    m.enableBootRom(false);
    EXPECT_EQ(m.readByte(0x4000), 0x24);
    m.enableBootRom(true);
  }
}
