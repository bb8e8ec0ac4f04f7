// The console's log file: the raw byte stream that reached the terminal,
// written unbuffered to "Terminal.log" in the working directory.
#include "System_Terminal.h"
#include "Virtual_Clock.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class TerminalLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    oldCwd = fs::current_path();
    std::string tmpl = (fs::temp_directory_path() / "terminal-log-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir = tmpl;
    fs::current_path(dir);
    term = std::make_unique<TSystemTerminal>(clock);
  }
  void TearDown() override {
    term.reset();
    fs::current_path(oldCwd);
    std::error_code ec;
    fs::permissions(dir, fs::perms::owner_all, ec);
    fs::remove_all(dir, ec);
  }

  void send(const std::string& bytes) {
    for (char c : bytes) term->writeChar(uint8_t(c));
  }
  static std::string contents(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string log() const { return contents(dir / "Terminal.log"); }

  fs::path oldCwd;
  fs::path dir;
  TVirtualClock clock;
  std::unique_ptr<TSystemTerminal> term;
};

TEST_F(TerminalLogTest, LogsEveryInterpretedByteRawAndAtOnce) {
  term->setLogging(true);
  ASSERT_TRUE(term->getLogging());
  std::string all;
  for (int b = 0; b < 256; ++b) all += char(b);
  const std::string stream = "Hi\r\n\x1b[31;1H\x1bY!!\x1bZ" + all;
  send(stream);
  // Read while the log is still open: nothing waits in a buffer.
  EXPECT_EQ(log(), stream);
  std::string reply;  // still interpreted: ESC Z answered
  while (term->keyAvailable()) reply += char(term->readKey());
  EXPECT_EQ(reply, "\x1b/Z");
}

TEST_F(TerminalLogTest, SwitchingOnTruncatesAndOffStopsWriting) {
  {
    std::ofstream old(dir / "Terminal.log", std::ios::binary);
    old << "yesterday's session";
  }
  term->setLogging(true);
  EXPECT_EQ(log(), "");
  send("one");
  term->setLogging(false);
  EXPECT_FALSE(term->getLogging());
  send("two");
  EXPECT_EQ(log(), "one");
  term->setLogging(true);  // a new, empty file
  EXPECT_EQ(log(), "");
  send("three");
  term->setLogging(true);  // on again while on: also a new file
  send("four");
  EXPECT_EQ(log(), "four");
}

TEST_F(TerminalLogTest, LogFollowsTheWorkingDirectoryAtSwitchOn) {
  fs::create_directory(dir / "sub");
  fs::current_path(dir / "sub");
  term->setLogging(true);
  send("x");
  EXPECT_EQ(contents(dir / "sub" / "Terminal.log"), "x");
  EXPECT_FALSE(fs::exists(dir / "Terminal.log"));
}

TEST_F(TerminalLogTest, UncreatableLogStaysOffSilently) {
  fs::create_directory(dir / "Terminal.log");  // a directory cannot be opened for writing
  term->setLogging(true);
  EXPECT_FALSE(term->getLogging());
  send("ok");
  EXPECT_EQ(term->getScreenChars()[0], 'o');
  EXPECT_FALSE(term->takePendingError().has_value());
}

TEST_F(TerminalLogTest, TypedKeysAreLoggedOnlyThroughTheEcho) {
  term->setLogging(true);
  term->keyDown(vk::KeyA, TShiftState());
  EXPECT_EQ(log(), "");
  term->setLocalEcho(true);
  term->keyDown(vk::KeyA + 1, TShiftState());
  term->keyDown(vk::Back, TShiftState());
  EXPECT_EQ(log(), "b\x7f");
}

// A failing log write (disk full) must not escape writeChar, which runs inside
// the processor's step: the byte is shown, logging switches itself off, and
// the failure waits once for the front end.
TEST_F(TerminalLogTest, FailedWriteSwitchesLoggingOffAndReportsOnce) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  term->setLogPath("/dev/full");
  term->setLogging(true);
  ASSERT_TRUE(term->getLogging());
  EXPECT_NO_THROW(send("A"));
  EXPECT_EQ(term->getScreenChars()[0], 'A');
  EXPECT_EQ(term->getCursorCol(), 2);
  EXPECT_FALSE(term->getLogging());

  std::optional<TFileError> e = term->takePendingError();
  ASSERT_TRUE(e.has_value());
  EXPECT_EQ(e->path(), "/dev/full");
  EXPECT_EQ(e->message(), std::strerror(ENOSPC));
  EXPECT_FALSE(term->takePendingError().has_value());

  EXPECT_NO_THROW(send("BC"));
  EXPECT_EQ(term->getCursorCol(), 4);
  EXPECT_FALSE(term->takePendingError().has_value());
}

TEST_F(TerminalLogTest, LoggingCanBeSwitchedOnAgainAfterAFailure) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  term->setLogPath("/dev/full");
  term->setLogging(true);
  send("A");
  ASSERT_FALSE(term->getLogging());
  term->setLogPath("Terminal.log");
  term->setLogging(true);
  send("B");
  EXPECT_TRUE(term->getLogging());
  EXPECT_EQ(log(), "B");
  ASSERT_TRUE(term->takePendingError().has_value());  // the earlier failure, still waiting
  EXPECT_FALSE(term->takePendingError().has_value());
}

TEST_F(TerminalLogTest, DestructionClosesTheLog) {
  const auto openFiles = [] {
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator{});
  };
  if (!fs::exists("/proc/self/fd")) GTEST_SKIP() << "no /proc";
  const auto before = openFiles();
  term->setLogging(true);
  EXPECT_EQ(openFiles(), before + 1);
  term.reset();
  EXPECT_EQ(openFiles(), before);
}

}  // namespace
