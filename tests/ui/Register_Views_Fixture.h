// A machine and a settings store in a temporary file for the window tests.
#pragma once

#include "Machine.h"
#include "System_Settings.h"
#include "Virtual_Clock.h"

#include <filesystem>
#include <string>

struct TViewFixture {
  explicit TViewFixture(const char* ramSize = "64KB", const char* name = "tess_view_test.xml")
      : file(std::filesystem::temp_directory_path() / name) {
    std::filesystem::remove(file);
    settings = std::make_unique<TSystemSettings>(file);
    settings->setReadOnly(true);
    settings->writeString("Memory", "RamSize", ramSize);
    machine.configure(*settings);
  }
  ~TViewFixture() { std::filesystem::remove(file); }

  std::filesystem::path file;
  std::unique_ptr<TSystemSettings> settings;
  TVirtualClock clock;
  TMachine machine{clock};
};
