#include "System_Memory.h"

#include "File_Error.h"

#include <algorithm>
#include <cstdio>
#include <memory>

uint32_t TSystemMemory::romSizeFromText(const std::string& text) {
  if (text == "4KB") return 0x1000;
  if (text == "8KB") return 0x2000;
  if (text == "16KB") return 0x4000;
  if (text == "32KB") return 0x8000;
  return 0x2000;
}

uint32_t TSystemMemory::ramSizeFromText(const std::string& text) {
  if (text == "64KB") return 0x10000;
  if (text == "128KB") return 0x20000;
  if (text == "256KB") return 0x40000;
  if (text == "512KB") return 0x80000;
  if (text == "1024KB") return 0x100000;
  return 0x10000;
}

void TSystemMemory::setRomSize(const std::string& text) {
  const uint32_t size = romSizeFromText(text);
  if (size == romSize) return;
  rom.resize(size, 0);
  romSize = size;
}

void TSystemMemory::setRamSize(const std::string& text) {
  const uint32_t size = ramSizeFromText(text);
  if (size == ramSize) return;
  ram.resize(size, 0);
  ramSize = size;
}

void TSystemMemory::enableBootRom(bool on) {
  bootRomEnabled = on;
  if (on && reloadOnEnable) loadRomImage();
}

bool TSystemMemory::setRomImageFile(const std::string& path) {
  romImageFile = path;
  return loadRomImage();
}

void TSystemMemory::readFileInto(const std::string& path, TByteArray& target) {
  struct TCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  errno = 0;
  std::unique_ptr<std::FILE, TCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) throw TFileError::fromErrno(path, "Cannot open file");
  // Read into a scratch buffer first, so a failing read changes nothing.
  TByteArray buffer(target.size());
  const size_t got = std::fread(buffer.data(), 1, buffer.size(), file.get());
  if (std::ferror(file.get())) throw TFileError::fromErrno(path, "Cannot read file");
  std::copy_n(buffer.begin(), got, target.begin());
}

bool TSystemMemory::loadRomImage() {
  lastLoadOk = false;
  if (romImageFile.empty()) {
    std::fill(rom.begin(), rom.end(), 0);
    return false;
  }
  readFileInto(romImageFile, rom);
  bootRomEnabled = true;
  lastLoadOk = true;
  return true;
}

bool TSystemMemory::loadFileToRam(const std::string& path) {
  lastLoadOk = false;
  if (path.empty()) {
    std::fill(ram.begin(), ram.end(), 0);
    return false;
  }
  readFileInto(path, ram);
  bootRomEnabled = false;
  lastLoadOk = true;
  return true;
}
