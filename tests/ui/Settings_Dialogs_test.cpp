// The three settings dialogs' load and apply rules: what is selected on
// show, what closing writes to the store and hands to the machine.
// The core first: the floppy controller's "signals" field must not meet Qt's keyword.
#include "System_Fdc.h"
#include "System_Memory.h"
#include "Z180_CPU.h"

#include "Fdd_Settings.h"
#include "File_Name_Edit.h"
#include "Memory_Editor.h"
#include "Memory_Grid.h"
#include "Memory_Settings.h"
#include "Register_Views_Fixture.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <fstream>
#include <functional>

namespace {
std::string stored(TSystemSettings& s, const char* section, const char* key) {
  return s.readString(section, key, "<missing>");
}

// A memory dialog case: stored keys, what the user does, what must follow.
struct TMemoryCase {
  const char* name;
  std::vector<std::pair<const char*, const char*>> stored;
  const char* romShown;
  const char* ramShown;
  std::function<void(TMemorySettings&)> user;
  std::vector<std::pair<const char*, const char*>> after;
  std::function<void(TMachine&)> check;
};

class MemorySettingsRules : public ::testing::TestWithParam<TMemoryCase> {};

TEST_P(MemorySettingsRules, LoadAndApply) {
  const TMemoryCase& c = GetParam();
  TViewFixture f("64KB", "tess_memory_settings_test.xml");
  for (const auto& [key, value] : c.stored) f.settings->writeString("Memory", key, value);
  TSystemMemory& m = f.machine.memory();
  m.writeByte(0x100, 0xAB);
  TMemorySettings dialog(f.machine, *f.settings, nullptr);
  QStringList errors;
  dialog.setErrorReporter([&](const QString& e) { errors << e; });
  dialog.show();
  EXPECT_EQ(dialog.romSizeBox()->currentText(), c.romShown);
  EXPECT_EQ(dialog.ramSizeBox()->currentText(), c.ramShown);
  if (c.user) c.user(dialog);
  dialog.close();
  EXPECT_TRUE(errors.isEmpty());
  EXPECT_FALSE(dialog.isVisible());
  for (const auto& [key, value] : c.after) EXPECT_EQ(stored(*f.settings, "Memory", key), value) << key;
  if (c.check) c.check(f.machine);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MemorySettingsRules,
    ::testing::Values(TMemoryCase{"UnchangedWritesNothing",
                                  {},
                                  "8KB",
                                  "64KB",
                                  nullptr,
                                  {{"RomSize", "<missing>"},
                                   {"RamSize", "64KB"},
                                   {"ReloadOnEnable", "<missing>"},
                                   {"FullAdressDecode", "<missing>"},
                                   {"RomImageFile", "<missing>"}},
                                  [](TMachine& m) { EXPECT_EQ(m.memory().readByte(0x100), 0xAB); }},
                      TMemoryCase{
                          "SpacesAreStrippedAndNotRewritten",
                          {{"RomSize", " 16KB "}},
                          "16KB",
                          "64KB",
                          nullptr,
                          {{"RomSize", " 16KB "}},
                          [](TMachine& m) { EXPECT_EQ(m.memory().getRomSize(), 0x2000u) << "nothing applied"; }},
                      TMemoryCase{"CaseIsIgnoredOnLoadButRewritten",
                                  {{"RomSize", "16kb"}},
                                  "16KB",
                                  "64KB",
                                  nullptr,
                                  {{"RomSize", "16KB"}},
                                  [](TMachine& m) { EXPECT_EQ(m.memory().getRomSize(), 0x4000u); }},
                      TMemoryCase{"UnknownTextsFallBack",
                                  {{"RomSize", "2KB"}, {"RamSize", "huge"}},
                                  "8KB",
                                  "64KB",
                                  nullptr,
                                  {{"RomSize", "8KB"}, {"RamSize", "64KB"}},
                                  nullptr},
                      TMemoryCase{"RamSizeAndFlags",
                                  {},
                                  "8KB",
                                  "64KB",
                                  [](TMemorySettings& d) {
                                    d.ramSizeBox()->setCurrentText("1024KB");
                                    d.reloadOnEnableBox()->setChecked(true);
                                    d.fullAddressDecodeBox()->setChecked(false);
                                  },
                                  {{"RamSize", "1024KB"}, {"ReloadOnEnable", "True"}, {"FullAdressDecode", "False"}},
                                  [](TMachine& m) {
                                    EXPECT_EQ(m.memory().getRamSize(), 0x100000u);
                                    EXPECT_TRUE(m.memory().getReloadOnEnable());
                                    EXPECT_FALSE(m.memory().getFullAddressDecode());
                                    EXPECT_EQ(m.memory().readByte(0x100), 0xAB) << "resizing keeps the contents";
                                  }},
                      TMemoryCase{"ReloadWithAnEmptyPathZeroFillsTheRom",
                                  {},
                                  "8KB",
                                  "64KB",
                                  [](TMemorySettings& d) { d.reloadButton()->click(); },
                                  {{"RomImageFile", "<missing>"}},
                                  [](TMachine& m) {
                                    m.memory().enableBootRom(true);
                                    EXPECT_EQ(m.memory().readByte(0x0005), 0x00);
                                    EXPECT_FALSE(m.memory().getLastLoadOk());
                                  }}),
    [](const auto& info) { return std::string(info.param.name); });

struct TRomFile {
  explicit TRomFile(const char* name) : path(std::filesystem::temp_directory_path() / name) {
    std::ofstream(path, std::ios::binary) << "\x3E\x41\xD3";
  }
  ~TRomFile() { std::filesystem::remove(path); }
  std::filesystem::path path;
};

TEST(MemorySettings, ImagePathLoadsTheRomAndRefreshesTheEditor) {
  TViewFixture f("64KB", "tess_memory_settings_test.xml");
  TRomFile rom("tess_memory_settings_rom.bin");
  f.machine.memory().writeByte(0x0000, 0x99);
  TMemoryEditor editor(f.machine, *f.settings);
  editor.show();
  f.machine.cpu().PC = 0x0002;
  TMemorySettings dialog(f.machine, *f.settings, &editor);
  dialog.show();
  dialog.imageFileEdit()->setFileName(QString::fromStdString(rom.path.string()));
  dialog.close();
  EXPECT_EQ(stored(*f.settings, "Memory", "RomImageFile"), rom.path.string());
  EXPECT_TRUE(f.machine.memory().getBootRomEnabled());
  EXPECT_TRUE(f.machine.memory().getLastLoadOk());
  EXPECT_EQ(f.machine.memory().readByte(0x0000), 0x3E);
  EXPECT_EQ(editor.grid()->programCounter(), 2u) << "the editor was refreshed";
  editor.close();
}

TEST(MemorySettings, AnUnreadablePathIsReportedAndTheDialogStaysOpen) {
  TViewFixture f("64KB", "tess_memory_settings_test.xml");
  TMemorySettings dialog(f.machine, *f.settings, nullptr);
  QStringList errors;
  dialog.setErrorReporter([&](const QString& e) { errors << e; });
  dialog.show();
  const std::string missing = (std::filesystem::temp_directory_path() / "tess_no_such_rom.bin").string();
  dialog.imageFileEdit()->setFileName(QString::fromStdString(missing));
  dialog.ramSizeBox()->setCurrentText("128KB");  // a step after the failing one
  dialog.close();
  ASSERT_EQ(errors.size(), 1);
  EXPECT_TRUE(errors[0].contains(QString::fromStdString(missing)));
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(stored(*f.settings, "Memory", "RomImageFile"), "<missing>");
  EXPECT_EQ(f.machine.memory().getRomImageFile(), "");
  EXPECT_EQ(f.machine.memory().getRamSize(), 0x10000u) << "nothing after the failing step";

  dialog.imageFileEdit()->setFileName("");  // corrected: back to no image
  dialog.close();
  EXPECT_EQ(errors.size(), 1);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(f.machine.memory().getRamSize(), 0x20000u);
}

TEST(MemorySettings, RamSizeChangeRelayoutsTheOpenEditor) {
  TViewFixture f("64KB", "tess_memory_settings_test.xml");
  TMemoryEditor editor(f.machine, *f.settings);
  editor.show();
  TMemorySettings dialog(f.machine, *f.settings, &editor);
  dialog.show();
  dialog.ramSizeBox()->setCurrentText("128KB");
  dialog.close();
  EXPECT_EQ(editor.grid()->rowCount() - 1, 8192);
  EXPECT_EQ(editor.statusText(0), "  System-Memory Size : 128KB");
  editor.close();
}

struct TFddCase {
  const char* name;
  std::vector<std::pair<const char*, const char*>> stored1;  // section "Fdd1"
  std::array<const char*, 4> shown1;
  const char* sizeShown1;
  std::function<void(TFddSettings&)> user;
  std::vector<std::pair<const char*, const char*>> after1;
  std::function<void(const TFloppyDriveData&)> check1;
};

class FddSettingsRules : public ::testing::TestWithParam<TFddCase> {};

TEST_P(FddSettingsRules, LoadAndApply) {
  const TFddCase& c = GetParam();
  TViewFixture f("64KB", "tess_fdd_settings_test.xml");
  for (const auto& [key, value] : c.stored1) f.settings->writeString("Fdd1", key, value);
  TFddSettings dialog(f.machine, *f.settings);
  dialog.show();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(dialog.geometryBox(1, i)->currentText(), c.shown1[size_t(i)]) << i;
  EXPECT_EQ(dialog.sizeField(1)->text(), c.sizeShown1);
  EXPECT_EQ(dialog.sizeField(0)->text(), "720KB");
  if (c.user) c.user(dialog);
  dialog.close();
  for (const auto& [key, value] : c.after1) EXPECT_EQ(stored(*f.settings, "Fdd1", key), value) << key;
  for (const char* key : {"Sides", "Tracks", "Sectors", "SectorBytes", "ImageFile"})
    EXPECT_EQ(stored(*f.settings, "Fdd0", key), "<missing>") << "drive 0 untouched: " << key;
  if (c.check1) c.check1(f.machine.fdc().drive(1));
}

INSTANTIATE_TEST_SUITE_P(
    Table, FddSettingsRules,
    ::testing::Values(TFddCase{"UnchangedWritesNothing",
                               {},
                               {"2", "80", "9", "512"},
                               "720KB",
                               nullptr,
                               {{"Sides", "<missing>"}, {"Sectors", "<missing>"}, {"ImageFile", "<missing>"}},
                               nullptr},
                      TFddCase{"UnknownSectorsSelectNineAndAreRewritten",
                               {{"Sectors", "10"}},
                               {"2", "80", "9", "512"},
                               "720KB",
                               nullptr,
                               {{"Sectors", "9"}},
                               [](const TFloppyDriveData& d) { EXPECT_EQ(d.sectors, 9); }},
                      TFddCase{"SmallGeometry",
                               {{"Sides", "1"}, {"Tracks", "40"}, {"Sectors", "8"}, {"SectorBytes", "128"}},
                               {"1", "40", "8", "128"},
                               "40KB",
                               nullptr,
                               {{"Sides", "1"}},
                               nullptr},
                      TFddCase{"PickedEntriesReachTheDrive",
                               {},
                               {"2", "80", "9", "512"},
                               "720KB",
                               [](TFddSettings& d) {
                                 d.geometryBox(1, 2)->setCurrentText("18");
                                 d.geometryBox(1, 0)->setCurrentText("1");
                               },
                               {{"Sides", "1"}, {"Sectors", "18"}, {"Tracks", "<missing>"}},
                               [](const TFloppyDriveData& d) {
                                 EXPECT_EQ(d.sides, 1);
                                 EXPECT_EQ(d.sectors, 18);
                                 EXPECT_EQ(d.tracks, 80);
                               }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FddSettings, PickingAnEntryUpdatesTheSizeButNotTheDrive) {
  TViewFixture f("64KB", "tess_fdd_settings_test.xml");
  TFddSettings dialog(f.machine, *f.settings);
  dialog.show();
  QComboBox* sides = dialog.geometryBox(1, 0);
  sides->setCurrentIndex(0);  // "1"
  emit sides->activated(0);   // as the user's pick
  EXPECT_EQ(dialog.sizeField(1)->text(), "360KB");
  EXPECT_EQ(f.machine.fdc().drive(1).sides, 2) << "nothing before the dialog closes";
  dialog.geometryBox(0, 2)->setCurrentText("18");
  emit dialog.geometryBox(0, 2)->activated(3);
  EXPECT_EQ(dialog.sizeField(0)->text(), "1440KB");
  dialog.close();
  EXPECT_EQ(f.machine.fdc().drive(1).sides, 1);
}

TEST(FddSettings, ImagePathIsStoredAndHandedToTheDrive) {
  TViewFixture f("64KB", "tess_fdd_settings_test.xml");
  const auto image = std::filesystem::temp_directory_path() / "tess_fdd_settings.img";
  std::ofstream(image, std::ios::binary) << std::string(1024, '\0');
  const auto missing = std::filesystem::temp_directory_path() / "tess_fdd_missing.img";
  TFddSettings dialog(f.machine, *f.settings);
  dialog.show();
  dialog.imageFileEdit(0)->setFileName(QString::fromStdString(image.string()));
  dialog.imageFileEdit(1)->setFileName(QString::fromStdString(missing.string()));
  dialog.close();
  EXPECT_EQ(stored(*f.settings, "Fdd0", "ImageFile"), image.string());
  EXPECT_EQ(f.machine.fdc().drive(0).imageFile, image.string());
  EXPECT_EQ(stored(*f.settings, "Fdd1", "ImageFile"), missing.string()) << "stored, cleared at the next start";
  EXPECT_EQ(f.machine.fdc().drive(1).imageFile, "");
  std::filesystem::remove(image);
}
}  // namespace
