// The board's memory: a boot ROM of 4 to 32 KB overlaying the lowest physical
// addresses while switched on, and 64 KB to 1 MB of RAM, both in the Z180's
// 20-bit physical address space. Writes always go to the RAM.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The bytes of ROM and RAM. char8_t, unlike uint8_t, does not alias every
// other object, so the compiler keeps the processor's registers in machine
// registers across emulated memory writes.
using TByteArray = std::vector<char8_t>;

class TSystemMemory {
 public:
  TSystemMemory() = default;

  // The hot path: a few comparisons and one array access, no side effects.
  uint8_t readByte(uint32_t address) const {
    if (bootRomEnabled && address < romSize) return uint8_t(rom[address]);
    if (fullAddressDecode) return address < ramSize ? uint8_t(ram[address]) : 0xFF;
    return ramSize != 0 ? uint8_t(ram[address & (ramSize - 1)]) : 0xFF;
  }

  void writeByte(uint32_t address, uint8_t value) {
    if (fullAddressDecode) {
      if (address < ramSize) ram[address] = char8_t(value);
    } else if (ramSize != 0) {
      ram[address & (ramSize - 1)] = char8_t(value);
    }
  }

  void enableBootRom(bool on);
  void setReloadOnEnable(bool on) { reloadOnEnable = on; }
  void setFullAddressDecode(bool on) { fullAddressDecode = on; }
  void setRomSize(const std::string& text);
  void setRamSize(const std::string& text);

  // Stores the path, then loads it (loadRomImage). Throws TFileError when an
  // existing file cannot be read; the ROM is then unchanged.
  bool setRomImageFile(const std::string& path);
  bool loadRomImage();
  // Loads a raw binary at physical 0 and switches the boot ROM off.
  bool loadFileToRam(const std::string& path);

  uint32_t getRamSize() const { return ramSize; }
  uint32_t getRomSize() const { return romSize; }
  bool getBootRomEnabled() const { return bootRomEnabled; }
  bool getLastLoadOk() const { return lastLoadOk; }
  bool getReloadOnEnable() const { return reloadOnEnable; }
  bool getFullAddressDecode() const { return fullAddressDecode; }
  const std::string& getRomImageFile() const { return romImageFile; }

  // The size tables; unknown texts give the defaults (8 KB ROM, 64 KB RAM).
  static uint32_t romSizeFromText(const std::string& text);
  static uint32_t ramSizeFromText(const std::string& text);

 private:
  // Reads up to target.size() bytes of the file into target; throws TFileError
  // when the file cannot be opened or read, leaving target unchanged.
  static void readFileInto(const std::string& path, TByteArray& target);

  TByteArray ram;
  TByteArray rom;
  uint32_t ramSize = 0;
  uint32_t romSize = 0;
  bool bootRomEnabled = false;
  bool reloadOnEnable = false;
  bool fullAddressDecode = true;
  std::string romImageFile;
  bool lastLoadOk = false;
};
