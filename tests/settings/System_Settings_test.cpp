// The settings store against real files in a scratch directory: the reading
// rules, the changed flag deciding whether "Quorvex.xml" is rewritten,
// damaged files, write failures and the window state text.
#include "System_Settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <pugixml.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "File_Error.h"

namespace fs = std::filesystem;

namespace {

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void writeFile(const fs::path& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

ino_t inodeOf(const fs::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Root ignores directory permissions; cases that rely on them are skipped then.
bool canCreateFileIn(const fs::path& dir) {
  const fs::path probe = dir / "probe";
  std::ofstream out(probe);
  const bool ok = static_cast<bool>(out);
  out.close();
  std::error_code ec;
  fs::remove(probe, ec);
  return ok;
}

class TFakeForm : public TFormGeometry {
 public:
  struct TApplied {
    int state;
    TFormBounds bounds;
    bool operator==(const TApplied&) const = default;
  };

  std::string name = "MainWindow";
  TFormBounds current{};
  TFormBounds normal{};
  int state = stateNormal;
  std::vector<TApplied> applied;

  std::string formName() const override { return name; }
  TFormBounds bounds() const override { return current; }
  TFormBounds normalBounds() const override { return normal; }
  int windowState() const override { return state; }
  void applyGeometry(int newState, const TFormBounds& b) override {
    applied.push_back({newState, b});
    state = newState;
    current = b;
    normal = b;
  }
};

class SystemSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tess-settings-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
    file = dir / "Quorvex.xml";
    initialDirectory = fs::current_path();
  }

  void TearDown() override {
    std::error_code ec;
    fs::current_path(initialDirectory, ec);
    for (const auto& entry : fs::recursive_directory_iterator(dir, ec))
      fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir, ec);
  }

  std::vector<std::string> directoryEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir;
  fs::path file;
  fs::path initialDirectory;
};

TEST_F(SystemSettingsTest, ValuesSurviveSaveAndReload) {
  const std::string path = "/home/ute/Disketten/Größe & <Boot> \"A\".img";
  {
    TSystemSettings settings(file);
    EXPECT_FALSE(settings.loadError());
    settings.writeString("Memory", "RomSize", "16KB");
    settings.writeString("Memory", "RomImageFile", "");
    settings.writeString("Fdd0", "ImageFile", path);
    settings.writeInteger("Fdd0", "Tracks", 40);
    settings.writeInteger("Emulation", "Lowest", INT32_MIN);
    settings.writeInteger("Emulation", "Highest", INT32_MAX);
    settings.writeBoolean("Terminal", "LocalEcho", true);
    settings.writeBoolean("Memory", "FullAdressDecode", false);
    settings.writeString("Memory", "RomSize", "32KB");  // rewrites in place
    TFakeForm form;
    form.current = form.normal = {100, 50, 465, 583};
    settings.saveFormState(form);
    EXPECT_TRUE(settings.save());
    EXPECT_FALSE(settings.changed());
  }

  TSystemSettings settings(file);
  EXPECT_FALSE(settings.loadError());
  EXPECT_EQ(settings.readString("Memory", "RomSize", "8KB"), "32KB");
  EXPECT_EQ(settings.readString("Memory", "RomImageFile", "default"), "");
  EXPECT_EQ(settings.readString("Fdd0", "ImageFile", ""), path);
  EXPECT_EQ(settings.readInteger("Fdd0", "Tracks", 80), 40);
  EXPECT_EQ(settings.readInteger("Emulation", "Lowest", 0), INT32_MIN);
  EXPECT_EQ(settings.readInteger("Emulation", "Highest", 0), INT32_MAX);
  EXPECT_TRUE(settings.readBoolean("Terminal", "LocalEcho", false));
  EXPECT_FALSE(settings.readBoolean("Memory", "FullAdressDecode", true));
  TFakeForm form;
  settings.restoreFormState(form);
  EXPECT_EQ(form.applied, (std::vector<TFakeForm::TApplied>{{0, {100, 50, 465, 583}}}));

  // The layout other tools see: CONFIG/Section/Key@Value, Forms/Name@State,
  // one element per key, booleans as "True"/"False".
  pugi::xml_document xml;
  ASSERT_TRUE(xml.load_file(file.c_str()));
  const pugi::xml_node root = xml.document_element();
  EXPECT_STREQ(root.name(), "CONFIG");
  EXPECT_STREQ(root.child("Memory").child("RomSize").attribute("Value").value(), "32KB");
  EXPECT_EQ(
      std::distance(root.child("Memory").children("RomSize").begin(), root.child("Memory").children("RomSize").end()),
      1);
  EXPECT_STREQ(root.child("Terminal").child("LocalEcho").attribute("Value").value(), "True");
  EXPECT_STREQ(root.child("Memory").child("FullAdressDecode").attribute("Value").value(), "False");
  EXPECT_STREQ(root.child("Emulation").child("Lowest").attribute("Value").value(), "-2147483648");
  EXPECT_STREQ(root.child("Forms").child("MainWindow").attribute("State").value(),
               "0000640000320001D10002470000640000320001D1000247000000");
  EXPECT_FALSE(root.child("Forms").child("MainWindow").attribute("Value"));
  EXPECT_EQ(directoryEntries(), std::vector<std::string>{"Quorvex.xml"});  // no temporary left behind
}

// Every case is one key "K<n>" in section "Test"; a missing raw text means the
// key element is absent.
struct TReadCase {
  std::optional<std::string> raw;
  std::string description;
};

std::string documentWithKeys(const std::vector<std::optional<std::string>>& raws) {
  pugi::xml_document xml;
  pugi::xml_node section = xml.append_child("CONFIG").append_child("Test");
  for (std::size_t i = 0; i < raws.size(); ++i)
    if (raws[i]) section.append_child(("K" + std::to_string(i)).c_str()).append_attribute("Value") = raws[i]->c_str();
  std::ostringstream out;
  xml.save(out);
  return out.str();
}

TEST_F(SystemSettingsTest, IntegerReadingRules) {
  struct TCase {
    std::optional<std::string> raw;
    int32_t expected;  // read with default 77
  };
  const std::vector<TCase> cases = {
      {"12", 12},
      {"-5", -5},
      {"0", 0},
      {"007", 7},
      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},
      {"x", 77},
      {"", 77},
      {"99999999999", 77},
      {"2147483648", 77},
      {"-2147483649", 77},
      {"12x", 77},
      {" 12", 77},
      {"-", 77},
      {"0x10", 77},
      {std::nullopt, 77},
  };
  std::vector<std::optional<std::string>> raws;
  for (const auto& c : cases) raws.push_back(c.raw);
  writeFile(file, documentWithKeys(raws));

  TSystemSettings settings(file);
  ASSERT_FALSE(settings.loadError());
  for (std::size_t i = 0; i < cases.size(); ++i)
    EXPECT_EQ(settings.readInteger("Test", "K" + std::to_string(i), 77), cases[i].expected)
        << "text \"" << cases[i].raw.value_or("<missing>") << "\"";
}

TEST_F(SystemSettingsTest, BooleanReadingRules) {
  struct TCase {
    std::optional<std::string> raw;
    std::optional<bool> expected;  // nullopt: the default, whichever it is
  };
  const std::vector<TCase> cases = {
      {"TRUE", true},          {"true", true},
      {"True", true},          {"tRuE", true},
      {"FALSE", false},        {"false", false},
      {"False", false},        {"1", std::nullopt},
      {"0", std::nullopt},     {"yes", std::nullopt},
      {"", std::nullopt},      {" true", std::nullopt},
      {"truex", std::nullopt}, {std::nullopt, std::nullopt},
  };
  std::vector<std::optional<std::string>> raws;
  for (const auto& c : cases) raws.push_back(c.raw);
  writeFile(file, documentWithKeys(raws));

  TSystemSettings settings(file);
  ASSERT_FALSE(settings.loadError());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    for (const bool defaultValue : {false, true}) {
      EXPECT_EQ(settings.readBoolean("Test", "K" + std::to_string(i), defaultValue),
                cases[i].expected.value_or(defaultValue))
          << "text \"" << cases[i].raw.value_or("<missing>") << "\", default " << defaultValue;
    }
  }
}

TEST_F(SystemSettingsTest, TextReadingAndExactNames) {
  writeFile(file,
            "<CONFIG>"
            "<Memory><RomSize Value='16KB'/><RomImageFile Value=''/><RamSize/><romsize Value='lower'/></Memory>"
            "<memory><RomSize Value='wrong section'/></memory>"
            "<Fdd0><Tracks value='40'/></Fdd0>"
            "<Terminal><!-- LocalEcho --><?LocalEcho Value='True'?></Terminal>"
            "</CONFIG>");
  TSystemSettings settings(file);
  ASSERT_FALSE(settings.loadError());

  struct TCase {
    const char* section;
    const char* key;
    const char* expected;  // read with default "default"
  };
  const std::vector<TCase> cases = {
      {"Memory", "RomSize", "16KB"},          {"Memory", "RomImageFile", ""},  // present but empty: not the default
      {"Memory", "RamSize", "default"},                                        // element without "Value"
      {"Memory", "ROMSIZE", "default"},                                        // names are case-sensitive ...
      {"Memory", "romsize", "lower"},                                          // ... both ways
      {"MEMORY", "RomSize", "default"},                                        //
      {"memory", "RomSize", "wrong section"}, {"Fdd0", "Tracks", "default"},   // attribute name is case-sensitive too
      {"Terminal", "LocalEcho", "default"},  // comments and processing instructions are not keys
      {"Missing", "RomSize", "default"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(settings.readString(c.section, c.key, "default"), c.expected) << c.section << "/" << c.key;
}

TEST_F(SystemSettingsTest, ExistingRootServesWhateverItsName) {
  writeFile(file, "<Settings><Memory><RomSize Value='4KB'/></Memory></Settings>");
  {
    TSystemSettings settings(file);
    EXPECT_EQ(settings.readString("Memory", "RomSize", "8KB"), "4KB");
    settings.writeString("Memory", "RamSize", "128KB");
  }
  pugi::xml_document xml;
  ASSERT_TRUE(xml.load_file(file.c_str()));
  EXPECT_STREQ(xml.document_element().name(), "Settings");
  EXPECT_STREQ(xml.document_element().child("Memory").child("RomSize").attribute("Value").value(), "4KB");
  EXPECT_STREQ(xml.document_element().child("Memory").child("RamSize").attribute("Value").value(), "128KB");
}

// A run that only reads, or writes what is already stored, leaves the file
// alone (same bytes, same inode); a real change rewrites it.
TEST_F(SystemSettingsTest, ChangedFlagDecidesWhetherFileIsRewritten) {
  // Hand-made layout (single quotes, no declaration): any rewrite would show.
  const std::string original =
      "<CONFIG><Memory><RomSize Value='8KB'/><ReloadOnEnable Value='true'/></Memory>"
      "<Emulation><SlowRunSpeed Value='2'/></Emulation>"
      "<Forms><MainWindow State='0000640000320001D10002470000640000320001D1000247000000'/></Forms></CONFIG>";
  struct TCase {
    const char* description;
    std::function<void(TSystemSettings&)> action;
    bool rewrites;
  };
  const std::vector<TCase> cases = {
      {"reads only",
       [](TSystemSettings& s) {
         s.readString("Memory", "RomSize", "8KB");
         s.readString("Nowhere", "Nothing", "x");
         s.readInteger("Fdd0", "Tracks", 80);
         s.readBoolean("Terminal", "UseCRLF", false);
         TFakeForm form;
         form.name = "MemoryEditor";  // no stored state
         s.restoreFormState(form);
         TFakeForm main;
         s.restoreFormState(main);
       },
       false},
      {"same text", [](TSystemSettings& s) { s.writeString("Memory", "RomSize", "8KB"); }, false},
      {"same integer", [](TSystemSettings& s) { s.writeInteger("Emulation", "SlowRunSpeed", 2); }, false},
      {"unchanged window",
       [](TSystemSettings& s) {
         TFakeForm form;
         s.restoreFormState(form);
         s.saveFormState(form);
       },
       false},
      {"refused name", [](TSystemSettings& s) { s.writeString("Memory", "Rom Size", "4KB"); }, false},
      {"other text", [](TSystemSettings& s) { s.writeString("Memory", "RomSize", "4KB"); }, true},
      {"same boolean, other spelling", [](TSystemSettings& s) { s.writeBoolean("Memory", "ReloadOnEnable", true); },
       true},
      {"empty text for a missing key", [](TSystemSettings& s) { s.writeString("Memory", "RomImageFile", ""); }, true},
      {"moved window",
       [](TSystemSettings& s) {
         TFakeForm form;
         s.restoreFormState(form);
         form.current.left += 1;
         s.saveFormState(form);
       },
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.description);
    writeFile(file, original);
    const ino_t inode = inodeOf(file);
    {
      TSystemSettings settings(file);
      c.action(settings);
      EXPECT_EQ(settings.changed(), c.rewrites);
    }
    if (c.rewrites) {
      EXPECT_NE(readFile(file), original);
    } else {
      EXPECT_EQ(readFile(file), original);
      EXPECT_EQ(inodeOf(file), inode);
    }
  }
}

TEST_F(SystemSettingsTest, NoFileIsCreatedUnlessSomethingWasWritten) {
  {
    TSystemSettings settings(file);
    EXPECT_FALSE(settings.loadError());  // a missing file is not an error
    EXPECT_EQ(settings.readString("Memory", "RomSize", "8KB"), "8KB");
    TFakeForm form;
    settings.restoreFormState(form);
    EXPECT_FALSE(settings.save());
  }
  EXPECT_FALSE(fs::exists(file));

  TSystemSettings settings(file);
  settings.writeInteger("Emulation", "SlowRunSpeed", 3);
  EXPECT_TRUE(settings.changed());
  EXPECT_TRUE(settings.save());
  EXPECT_FALSE(settings.changed());
  const ino_t inode = inodeOf(file);
  EXPECT_FALSE(settings.save());  // nothing new to write
  settings.writeInteger("Emulation", "SlowRunSpeed", 3);
  EXPECT_FALSE(settings.save());
  EXPECT_EQ(inodeOf(file), inode);
}

TEST_F(SystemSettingsTest, PathIsFixedWhenTheStoreIsCreated) {
  const fs::path home = dir / "home";
  const fs::path elsewhere = dir / "elsewhere";
  fs::create_directories(home);
  fs::create_directories(elsewhere);
  fs::current_path(home);
  {
    TSystemSettings settings;  // "Quorvex.xml" in the current directory
    EXPECT_EQ(settings.fileName(), home / "Quorvex.xml");
    fs::current_path(elsewhere);
    settings.writeString("Memory", "RomSize", "4KB");
  }
  fs::current_path(initialDirectory);
  EXPECT_TRUE(fs::exists(home / "Quorvex.xml"));
  EXPECT_FALSE(fs::exists(elsewhere / "Quorvex.xml"));
}

// A damaged file gives the defaults and a load error; it is left alone until
// something is written, and then kept as Quorvex.xml.bak.
TEST_F(SystemSettingsTest, DamagedFileIsReportedAndKeptAsBackup) {
  const std::string valid =
      "<?xml version=\"1.0\"?>\n<CONFIG>\n  <Memory>\n    <RomSize Value=\"16KB\"/>\n"
      "    <RamSize Value=\"512KB\"/>\n  </Memory>\n</CONFIG>\n";
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"truncated in an attribute", valid.substr(0, valid.find("512") + 2)},
      {"truncated after an element", valid.substr(0, valid.find("</Memory>"))},
      {"empty file", ""},
      {"not XML", "RomSize=16KB\n"},
      {"mismatched end tag", "<CONFIG><Memory><RomSize Value='16KB'/></memory></CONFIG>"},
      {"truncated in a name", "<CONFIG><Memory><RomSi"},
  };
  for (const auto& [description, content] : cases) {
    SCOPED_TRACE(description);
    fs::remove(dir / "Quorvex.xml.bak");
    writeFile(file, content);
    {
      TSystemSettings settings(file);
      ASSERT_TRUE(settings.loadError());
      EXPECT_NE(settings.loadError()->find(file.string()), std::string::npos) << *settings.loadError();
      EXPECT_EQ(settings.readString("Memory", "RomSize", "8KB"), "8KB");
      EXPECT_FALSE(settings.save());
    }
    EXPECT_EQ(readFile(file), content);  // read-only run: untouched, no backup
    EXPECT_FALSE(fs::exists(dir / "Quorvex.xml.bak"));

    {
      TSystemSettings settings(file);
      settings.writeString("Memory", "RamSize", "128KB");
      EXPECT_TRUE(settings.save());
      settings.writeString("Memory", "RamSize", "256KB");  // a second save keeps the backup
      EXPECT_TRUE(settings.save());
    }
    EXPECT_EQ(readFile(dir / "Quorvex.xml.bak"), content);

    TSystemSettings reread(file);
    EXPECT_FALSE(reread.loadError());
    EXPECT_EQ(reread.readString("Memory", "RamSize", "64KB"), "256KB");
    EXPECT_EQ(reread.readString("Memory", "RomSize", "8KB"), "8KB");
  }
}

TEST_F(SystemSettingsTest, LoadErrorNamesTheLine) {
  writeFile(file, "<CONFIG>\n  <Memory>\n    <RomSize Value=\"16KB/>\n");
  TSystemSettings settings(file);
  ASSERT_TRUE(settings.loadError());
  EXPECT_NE(settings.loadError()->find("line 3"), std::string::npos) << *settings.loadError();
}

TEST_F(SystemSettingsTest, FailedWriteThrowsAndKeepsTheOldFile) {
  // The temporary file cannot be created (a directory is in the way): works
  // even for root.
  const std::string original = "<CONFIG><Memory><RomSize Value='8KB'/></Memory></CONFIG>";
  writeFile(file, original);
  fs::create_directory(dir / "Quorvex.xml.tmp");
  TSystemSettings settings(file);
  settings.writeString("Memory", "RomSize", "4KB");
  try {
    settings.save();
    FAIL() << "save() did not throw";
  } catch (const TFileError& e) {
    EXPECT_NE(e.path().find(dir.string()), std::string::npos) << e.what();
    EXPECT_FALSE(e.message().empty());
  }
  EXPECT_TRUE(settings.changed());
  EXPECT_EQ(readFile(file), original);

  fs::remove(dir / "Quorvex.xml.tmp");
  EXPECT_TRUE(settings.save());  // the next attempt succeeds
  EXPECT_EQ(TSystemSettings(file).readString("Memory", "RomSize", ""), "4KB");
}

TEST_F(SystemSettingsTest, MissingDirectoryFailsAtSaveAndDestructorOnlyReports) {
  const fs::path missing = dir / "gone" / "Quorvex.xml";
  testing::internal::CaptureStderr();
  {
    TSystemSettings settings(missing);
    EXPECT_FALSE(settings.loadError());
    settings.writeString("Memory", "RomSize", "4KB");
    EXPECT_THROW(settings.save(), TFileError);
  }  // the destructor tries again and must not throw
  const std::string printed = testing::internal::GetCapturedStderr();
  EXPECT_NE(printed.find((dir / "gone").string()), std::string::npos) << printed;
  EXPECT_EQ(directoryEntries(), std::vector<std::string>{});
}

TEST_F(SystemSettingsTest, ReadOnlyDirectoryAtExit) {
  const fs::path sub = dir / "readonly";
  fs::create_directory(sub);
  const std::string original = "<CONFIG><Memory><RomSize Value='8KB'/></Memory></CONFIG>";
  writeFile(sub / "Quorvex.xml", original);
  fs::permissions(sub, fs::perms::owner_read | fs::perms::owner_exec);
  if (canCreateFileIn(sub)) GTEST_SKIP() << "directory permissions are not enforced for this user";

  TSystemSettings settings(sub / "Quorvex.xml");
  settings.writeString("Memory", "RomSize", "4KB");
  try {
    settings.save();
    FAIL() << "save() did not throw";
  } catch (const TFileError& e) {
    EXPECT_NE(e.path().find(sub.string()), std::string::npos) << e.what();
  }
  EXPECT_TRUE(settings.changed());
  EXPECT_EQ(readFile(sub / "Quorvex.xml"), original);
}

TEST_F(SystemSettingsTest, WriteProtectedFileIsNotReplaced) {
  const std::string original = "<CONFIG><Memory><RomSize Value='8KB'/></Memory></CONFIG>";
  writeFile(file, original);
  fs::permissions(file, fs::perms::owner_read);
  {
    std::ofstream probe(file, std::ios::app);
    if (probe) GTEST_SKIP() << "file permissions are not enforced for this user";
  }
  TSystemSettings settings(file);
  settings.writeString("Memory", "RomSize", "4KB");
  EXPECT_THROW(settings.save(), TFileError);
  EXPECT_EQ(readFile(file), original);
}

TEST_F(SystemSettingsTest, UnreadableFileIsReportedAndLeftAlone) {
  const std::string original = "<CONFIG><Memory><RomSize Value='16KB'/></Memory></CONFIG>";
  writeFile(file, original);
  fs::permissions(file, fs::perms::none);
  if (std::ifstream(file)) GTEST_SKIP() << "file permissions are not enforced for this user";

  {
    TSystemSettings settings(file);
    ASSERT_TRUE(settings.loadError());
    EXPECT_NE(settings.loadError()->find(file.string()), std::string::npos) << *settings.loadError();
    EXPECT_EQ(settings.readString("Memory", "RomSize", "8KB"), "8KB");
    settings.writeString("Memory", "RomSize", "4KB");
    EXPECT_THROW(settings.save(), TFileError);
  }
  fs::permissions(file, fs::perms::owner_read);
  EXPECT_EQ(readFile(file), original);
}

// --- Window state text ---------------------------------------------------

TEST_F(SystemSettingsTest, FormStateIsStoredAndRestored) {
  struct TCase {
    const char* description;
    TFormBounds bounds;
    TFormBounds normal;
    int state;
    const char* text;
    TFakeForm::TApplied restored;
  };
  const std::vector<TCase> cases = {
      {"normal",
       {100, 50, 465, 583},
       {100, 50, 465, 583},
       0,
       "0000640000320001D10002470000640000320001D1000247000000",
       {0, {100, 50, 465, 583}}},
      {"maximized: normal bounds, then maximize",
       {-8, -8, 1936, 1056},
       {200, 100, 800, 600},
       2,
       "FFFFF8FFFFF8000790000420"
       "0000C8000064000320000258000002",
       {2, {200, 100, 800, 600}}},
      {"minimized comes back normal where it was",
       {-32000, -32000, 160, 28},
       {10, 20, 300, 400},
       1,
       "FF8300FF83000000A000001C"
       "00000A00001400012C000190000001",
       {0, {10, 20, 300, 400}}},
      {"left of the primary screen",
       {-1920, -10, 800, 600},
       {-1920, -10, 800, 600},
       0,
       "FFF880FFFFF6000320000258"
       "FFF880FFFFF6000320000258000000",
       {0, {-1920, -10, 800, 600}}},
      {"beyond 24 bits is clamped",
       {20000000, -20000000, 0, 0},
       {0, 0, 0, 0},
       0,
       "7FFFFF800000000000000000"
       "000000000000000000000000000000",
       {0, {0x7FFFFF, -0x800000, 0, 0}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.description);
    fs::remove(file);
    {
      TSystemSettings settings(file);
      TFakeForm form;
      form.name = "CpuRegister";
      form.current = c.bounds;
      form.normal = c.normal;
      form.state = c.state;
      settings.saveFormState(form);
    }
    TSystemSettings settings(file);
    EXPECT_EQ(settings.readString("Forms", "CpuRegister", "no Value attribute"), "no Value attribute");
    pugi::xml_document xml;
    ASSERT_TRUE(xml.load_file(file.c_str()));
    EXPECT_STREQ(xml.document_element().child("Forms").child("CpuRegister").attribute("State").value(), c.text);

    TFakeForm restored;
    restored.name = "CpuRegister";
    settings.restoreFormState(restored);
    EXPECT_EQ(restored.applied, std::vector<TFakeForm::TApplied>{c.restored});
  }
}

TEST_F(SystemSettingsTest, MissingStatePlacesWindowAtOriginAndDamagedStateLeavesIt) {
  const std::string good = "0000640000320001D10002470000640000320001D1000247000000";
  auto withField = [&](int field, const std::string& text) {
    std::string s = good;
    s.replace(static_cast<std::size_t>(field) * 6, 6, text);
    return s;
  };
  struct TCase {
    const char* description;
    std::string state;
  };
  const std::vector<TCase> damaged = {
      {"empty", ""},
      {"short", good.substr(0, 53)},
      {"long", good + "0"},
      {"not hex", withField(1, "00003G")},
      {"sign", withField(0, "-00064")},
      {"blank", withField(3, "      ")},
      {"state not decimal", withField(8, "00000A")},
      {"negative width", withField(2, "FFFFFF")},
      {"negative normal height", withField(7, "FFFF00")},
  };
  pugi::xml_document xml;
  pugi::xml_node forms = xml.append_child("CONFIG").append_child("Forms");
  for (std::size_t i = 0; i < damaged.size(); ++i)
    forms.append_child(("Window" + std::to_string(i)).c_str()).append_attribute("State") = damaged[i].state.c_str();
  forms.append_child("Lower").append_attribute("State") = "0000640000320001d10002470000640000320001d1000247000000";
  ASSERT_TRUE(xml.save_file(file.c_str()));

  TSystemSettings settings(file);
  for (std::size_t i = 0; i < damaged.size(); ++i) {
    SCOPED_TRACE(damaged[i].description);
    TFakeForm form;
    form.name = "Window" + std::to_string(i);
    settings.restoreFormState(form);
    EXPECT_TRUE(form.applied.empty());
  }

  TFakeForm lower;
  lower.name = "Lower";  // lowercase hex digits are still numbers
  settings.restoreFormState(lower);
  EXPECT_EQ(lower.applied, (std::vector<TFakeForm::TApplied>{{0, {100, 50, 465, 583}}}));

  TFakeForm fresh;  // never saved: top-left corner, size 0 by 0
  fresh.name = "AboutWindow";
  settings.restoreFormState(fresh);
  EXPECT_EQ(fresh.applied, (std::vector<TFakeForm::TApplied>{{0, {0, 0, 0, 0}}}));
  EXPECT_FALSE(settings.changed());
}

TEST_F(SystemSettingsTest, InvalidNamesAreRefusedSoTheFileStaysReadable) {
  testing::internal::CaptureStderr();
  {
    TSystemSettings settings(file);
    TFakeForm unnamed;
    unnamed.name = "";
    settings.saveFormState(unnamed);
    settings.writeString("1Memory", "RomSize", "4KB");
    settings.writeString("Memory", "Rom/Size", "4KB");
    EXPECT_FALSE(settings.changed());
    settings.writeString("Memory", "RomSize", "4KB");
  }
  testing::internal::GetCapturedStderr();
  TSystemSettings settings(file);
  EXPECT_FALSE(settings.loadError());
  EXPECT_EQ(settings.readString("Memory", "RomSize", ""), "4KB");
}

}  // namespace
