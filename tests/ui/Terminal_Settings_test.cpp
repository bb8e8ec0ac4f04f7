// The terminal settings dialog: what it loads, what closing writes, the mask.
#include "Terminal_Settings.h"

#include "System_Settings.h"

#include <gtest/gtest.h>

#include <QCheckBox>

#include <filesystem>

namespace {
struct TCase {
  const char* name;
  std::array<bool, 3> stored;
  std::array<bool, 3> ticked;
  int mask;
};

const char* kKeys[] = {"UseCRLF", "LocalEcho", "Loggin"};

class TerminalSettingsTest : public ::testing::TestWithParam<TCase> {};

TEST_P(TerminalSettingsTest, ClosingWritesExactlyWhatChanged) {
  const TCase& c = GetParam();
  const auto file = std::filesystem::temp_directory_path() / "tess_terminal_settings_test.xml";
  std::filesystem::remove(file);
  TSystemSettings settings(file);
  settings.setReadOnly(true);
  for (int i = 0; i < 3; ++i) settings.writeBoolean("Terminal", kKeys[i], c.stored[size_t(i)]);
  const std::string before[] = {settings.readString("Terminal", "UseCRLF", "-"),
                                settings.readString("Terminal", "LocalEcho", "-"),
                                settings.readString("Terminal", "Loggin", "-")};

  TTerminalSettings dialog(settings);
  dialog.show();
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(dialog.checkbox(i)->isChecked(), c.stored[size_t(i)]) << kKeys[i];
    dialog.checkbox(i)->setChecked(c.ticked[size_t(i)]);
  }
  dialog.close();

  EXPECT_EQ(dialog.changedSettings(), c.mask);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(settings.readBoolean("Terminal", kKeys[i], !c.ticked[size_t(i)]), c.ticked[size_t(i)]) << kKeys[i];
    if (c.stored[size_t(i)] == c.ticked[size_t(i)]) {
      EXPECT_EQ(settings.readString("Terminal", kKeys[i], "-"), before[i]) << "unchanged key rewritten";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, TerminalSettingsTest,
                         ::testing::Values(TCase{"Unchanged", {false, true, false}, {false, true, false}, 0},
                                           TCase{"EchoAndLogging", {false, false, false}, {false, true, true}, 6},
                                           TCase{"CrLfOff", {true, false, false}, {false, false, false}, 1},
                                           TCase{"AllFlipped", {true, false, true}, {false, true, false}, 7}),
                         [](const auto& info) { return std::string(info.param.name); });
}  // namespace
