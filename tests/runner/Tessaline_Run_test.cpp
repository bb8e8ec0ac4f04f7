// The headless runner end to end, as a process: exact output bytes, exit
// codes, the end-of-run reports, and that it never writes the settings file.
#include "Runner_Options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

struct TRun {
  int exitCode = -1;
  std::string out, err;
};

class RunnerProcess : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/tess-runner-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override { fs::remove_all(dir); }

  void writeFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream f(dir / name, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  static std::string slurp(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }

  // Runs tessaline-run in the test's directory; args are passed verbatim to the shell.
  TRun run(const std::string& args) {
    const std::string command = "cd '" + dir.string() + "' && '" TESSALINE_RUN_PATH "' " + args + " >out.txt 2>err.txt";
    const int status = std::system(command.c_str());
    TRun r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = slurp(dir / "out.txt");
    r.err = slurp(dir / "err.txt");
    return r;
  }

  fs::path dir;
};

// Prints "Hello\r\n" through serial channel 0 (160 clocks a bit), then halts
// with interrupts off. The first byte goes into TDR0 before the transmitter is
// enabled, since TDRE is clear until the first reset.
const std::vector<uint8_t> kHello = {
    0x21, 0x24, 0x00,  // 0000 LD HL,msg
    0x7E,              // 0003 LD A,(HL)
    0x23,              // 0004 INC HL
    0xED, 0x39, 0x06,  // 0005 OUT0 (TDR0),A
    0x3E, 0x00,        // 0008 LD A,00
    0xED, 0x39, 0x02,  // 000A OUT0 (CNTLB0),A
    0x3E, 0x64,        // 000D LD A,64: RE, TE, 8 data bits, 1 stop bit
    0xED, 0x39, 0x00,  // 000F OUT0 (CNTLA0),A
    0xED, 0x38, 0x04,  // 0012 loop: IN0 A,(STAT0)
    0xE6, 0x02,        // 0015 AND 02 (TDRE)
    0x28, 0xF9,        // 0017 JR Z,loop
    0x7E,              // 0019 LD A,(HL)
    0xB7,              // 001A OR A
    0x28, 0x06,        // 001B JR Z,done
    0xED, 0x39, 0x06,  // 001D OUT0 (TDR0),A
    0x23,              // 0020 INC HL
    0x18, 0xEF,        // 0021 JR loop
    0x76,              // 0023 done: HALT
    'H', 'e', 'l', 'l', 'o', '\r', '\n', 0x00,
};

// Echoes received characters until it has echoed a 'q', then halts.
const std::vector<uint8_t> kEcho = {
    0x3E, 0x64,        // 0000 LD A,64
    0xED, 0x39, 0x00,  // 0002 OUT0 (CNTLA0),A
    0x3E, 0x00,        // 0005 LD A,00
    0xED, 0x39, 0x02,  // 0007 OUT0 (CNTLB0),A
    0xED, 0x38, 0x04,  // 000A rx: IN0 A,(STAT0)
    0xE6, 0x80,        // 000D AND 80 (RDRF)
    0x28, 0xF9,        // 000F JR Z,rx
    0xED, 0x38, 0x08,  // 0011 IN0 A,(RDR0)
    0x47,              // 0014 LD B,A
    0xED, 0x38, 0x04,  // 0015 tx: IN0 A,(STAT0)
    0xE6, 0x02,        // 0018 AND 02 (TDRE)
    0x28, 0xF9,        // 001A JR Z,tx
    0x78,              // 001C LD A,B
    0xED, 0x39, 0x06,  // 001D OUT0 (TDR0),A
    0xFE, 'q',         // 0020 CP 'q'
    0x20, 0xE6,        // 0022 JR NZ,rx
    0x76,              // 0024 HALT
};

}  // namespace

TEST_F(RunnerProcess, PrintsExactlyTheProgramsBytesAndStopsAtHalt) {
  writeFile("hello.bin", kHello);
  const TRun r = run("--load hello.bin --until-halt --steps 2000000 --screen");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  // The first byte sent is the power-on TDR0 content only when TE comes
  // first; this program avoids it, so the output is exactly its message.
  ASSERT_GE(r.out.size(), 7u);
  EXPECT_EQ(r.out.substr(0, 7), "Hello\r\n");
  const std::string screen = r.out.substr(7);
  EXPECT_EQ(screen.substr(0, 6), "Hello\n");
  EXPECT_EQ(std::count(screen.begin(), screen.end(), '\n'), 24);
  EXPECT_TRUE(r.err.empty()) << r.err;
}

TEST_F(RunnerProcess, SameInputsGiveTheSameOutput) {
  writeFile("hello.bin", kHello);
  const TRun a = run("--load hello.bin --steps 20000 --regs");
  const TRun b = run("--load hello.bin --steps 20000 --regs");
  EXPECT_EQ(a.exitCode, 0);
  EXPECT_EQ(a.out, b.out);
}

TEST_F(RunnerProcess, TypedInputReachesTheProgram) {
  writeFile("echo.bin", kEcho);
  const TRun r = run("--load echo.bin --input 'ab\\x71' --until-halt --steps 5000000");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  // The transmitter is enabled before the first TDR0 write and before any
  // reset, so the power-on TDR0 content (0) goes out first.
  EXPECT_EQ(r.out, std::string("\0abq", 4));
}

TEST_F(RunnerProcess, LoopingProgramRunsOutOfSteps) {
  writeFile("loop.bin", {0x18, 0xFE});  // JR $
  TRun r = run("--load loop.bin --until-halt --steps 100000 --regs");
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_NE(r.out.find("PC=0000"), std::string::npos) << r.out;
  r = run("--load loop.bin --steps 100000");
  EXPECT_EQ(r.exitCode, 0);
}

TEST_F(RunnerProcess, ReportsRegistersMemoryAndStats) {
  writeFile("p.bin", {0x21, 0x34, 0x12, 0x22, 0x00, 0x90, 0x76});  // LD HL,1234; LD (9000),HL; HALT
  const TRun r = run("--load p.bin --until-halt --steps 1000 --regs --peek 9000:3 --peek 0x0:0x2 --stats");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("HL=1234"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("PC=0007"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("AF'=0000"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("IFF1=0 IFF2=0"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("09000: 34 12 00\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("00000: 21 34\n"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("steps="), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("MHz="), std::string::npos) << r.err;
}

TEST_F(RunnerProcess, BadArgumentsAndFilesExitTwoNamingTheCulprit) {
  writeFile("p.bin", {0x76});
  struct Case {
    const char* args;
    const char* mentions;
  };
  const Case cases[] = {
      {"--bogus", "--bogus"},
      {"--rom-size 2KB", "--rom-size"},
      {"--ram-size 64kb", "--ram-size"},
      {"--load missing.bin", "missing.bin"},
      {"--rom missing.rom", "missing.rom"},
      {"--fdd0 missing.img", "missing.img"},
      {"--input-file missing.txt", "missing.txt"},
      {"--load p.bin --peek 12345", "--peek"},
      {"--load p.bin --peek FFFFF:2", "--peek"},
      {"--load p.bin --input 'x\\q'", "--input"},
      {"--steps many", "--steps"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    const TRun r = run(c.args);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find(c.mentions), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
}

TEST_F(RunnerProcess, HelpAndVersion) {
  TRun r = run("--help");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("--until-halt"), std::string::npos);
  r = run("--version");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("tessaline-run"), std::string::npos);
}

TEST_F(RunnerProcess, UsesTheSettingsButNeverWritesThem) {
  // The settings name a ROM image that no longer exists; start-up clears the
  // setting in memory, but the runner leaves the file as it was.
  const std::string xml =
      "<?xml version=\"1.0\"?>\n<CONFIG><Memory><RamSize Value=\"128KB\"/>"
      "<RomImageFile Value=\"gone.rom\"/></Memory></CONFIG>\n";
  {
    std::ofstream f(dir / "Quorvex.xml");
    f << xml;
  }
  // 128 KB RAM from the settings: physical 0x1FFFF is RAM (0), not open bus.
  writeFile("p.bin", {0x76});
  const TRun r = run("--load p.bin --until-halt --steps 10 --peek 1FFFF:1");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("1FFFF: 00"), std::string::npos) << r.out;
  EXPECT_EQ(slurp(dir / "Quorvex.xml"), xml);
  EXPECT_FALSE(fs::exists(dir / "Quorvex.xml.bak"));
}

TEST(RunnerOptions, EscapesDecodeLikeC) {
  struct Row {
    const char* text;
    std::vector<uint8_t> bytes;
  };
  const Row rows[] = {
      {"ab", {'a', 'b'}},
      {"\\r\\n\\t\\e", {0x0D, 0x0A, 0x09, 0x1B}},
      {"\\x41\\x7", {0x41, 0x07}},
      {"\\x4142", {0x41, '4', '2'}},
      {"\\101\\0", {0x41, 0x00}},
      {"\\\\\\\"", {'\\', '"'}},
  };
  for (const Row& r : rows) EXPECT_EQ(runner::decodeEscapes(r.text), r.bytes) << r.text;
  for (const char* bad : {"\\", "abc\\", "\\xg", "\\q", "\\777"}) EXPECT_FALSE(runner::decodeEscapes(bad)) << bad;
}

TEST(RunnerOptions, PeekRangesStayInsidePhysicalMemory) {
  EXPECT_EQ(runner::parsePeek("9000:16")->address, 0x9000u);
  EXPECT_EQ(runner::parsePeek("9000:16")->length, 16u);
  EXPECT_EQ(runner::parsePeek("0x9000:0x10")->length, 16u);
  EXPECT_EQ(runner::parsePeek("FFFFF:1")->address, 0xFFFFFu);
  for (const char* bad : {"", "9000", ":4", "9000:", "9000:0", "FFFFF:2", "100000:1", "xyz:1", "9000:1x"})
    EXPECT_FALSE(runner::parsePeek(bad)) << bad;
}
