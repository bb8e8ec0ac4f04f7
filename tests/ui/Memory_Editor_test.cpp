// The memory editor: rows and addresses at 64 KB and 1 MB, tints, where a
// refresh scrolls, the edit box's filter and its writes.
// The core first: the floppy controller's "signals" field must not meet Qt's keyword.
#include "Z180_CPU.h"

#include "Memory_Editor.h"

#include "Memory_Dump.h"
#include "Memory_Grid.h"
#include "Register_Views_Fixture.h"
#include "System_Memory.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLineEdit>
#include <QTest>

namespace {
TEST(MemoryDump, AddressTextsAndRows) {
  const std::pair<uint32_t, const char*> texts[] = {
      {0x0, "0000"}, {0x10, "0010"}, {0xFFF0, "FFF0"}, {0x10000, "10000"}, {0xFFFF0, "FFFF0"}};
  for (const auto& [address, text] : texts) EXPECT_EQ(TMemoryDump::addressText(address), text);
  EXPECT_EQ(TMemoryDump::rowCount(0x10000), 4097);
  EXPECT_EQ(TMemoryDump::rowCount(0x100000), 65537);
  EXPECT_EQ(TMemoryDump::ramStatusText(0x10000), "  System-Memory Size : 64KB");
  EXPECT_EQ(TMemoryDump::romStatusText(0x2000), "  Boot-ROM Size : 8KB");
}

TEST(MemoryDump, EditTexts) {
  for (char c : std::string("0123456789ABCDEFabcdef\b")) EXPECT_TRUE(TMemoryDump::acceptsEditCharacter(c)) << c;
  for (char c : std::string("GgxZ -+$")) EXPECT_FALSE(TMemoryDump::acceptsEditCharacter(c)) << c;
  EXPECT_EQ(TMemoryDump::parseEditText("7"), 0x07);
  EXPECT_EQ(TMemoryDump::parseEditText("aB"), 0xAB);
  EXPECT_EQ(TMemoryDump::parseEditText(""), std::nullopt);
  EXPECT_EQ(TMemoryDump::parseEditText("1G"), std::nullopt);
  EXPECT_EQ(TMemoryDump::parseEditText("123"), std::nullopt);
}

struct TLayoutCase {
  const char* ram;
  int rows;
  const char* lastAddress;
  const char* status;
};

class MemoryEditorLayout : public ::testing::TestWithParam<TLayoutCase> {};

TEST_P(MemoryEditorLayout, RowsAddressesAndStatus) {
  const TLayoutCase& c = GetParam();
  TViewFixture f(c.ram);
  TMemoryEditor editor(f.machine, *f.settings);
  editor.show();
  EXPECT_EQ(editor.windowTitle(), "System-Memory Editor");
  EXPECT_EQ(editor.grid()->rowCount(), c.rows + 1);
  EXPECT_EQ(editor.grid()->visibleRows(), 16);
  EXPECT_EQ(TMemoryDump::addressText(TMemoryDump::rowAddress(c.rows)), c.lastAddress);
  EXPECT_EQ(editor.statusText(0), c.status);
  EXPECT_EQ(editor.statusText(1), "  Boot-ROM Size : 8KB");
  editor.close();
}

INSTANTIATE_TEST_SUITE_P(Sizes, MemoryEditorLayout,
                         ::testing::Values(TLayoutCase{"64KB", 4096, "FFF0", "  System-Memory Size : 64KB"},
                                           TLayoutCase{"1024KB", 65536, "FFFF0", "  System-Memory Size : 1024KB"}));

// The colour in the middle-left of a cell, clear of its text.
QColor cellColour(TMemoryEditor& editor, uint32_t address) {
  TMemoryGrid* g = editor.grid();
  const int row = int(address / 16) + 1, column = int(address % 16) + 1;
  const QRect r = g->cellRect(column, row);
  const QImage image = g->viewport()->grab().toImage();
  return image.pixelColor(r.left() + 2, r.top() + r.height() / 2);
}

TEST(MemoryEditor, TintsRomAndProgramCounter) {
  TViewFixture f("64KB");
  TSystemMemory& m = f.machine.memory();
  m.enableBootRom(true);
  f.machine.cpu().PC = 0x0005;
  TMemoryEditor editor(f.machine, *f.settings);
  editor.show();
  editor.refreshMemory();
  EXPECT_EQ(cellColour(editor, 0x0000), QColor(0xFF, 0xBA, 0xBA));
  EXPECT_EQ(cellColour(editor, 0x0005), QColor(0x9D, 0xFF, 0xA5)) << "green inside the ROM";
  EXPECT_EQ(TMemoryDump::tint(m, 0x1FFF, 5), TDumpTint::Rom);
  EXPECT_EQ(TMemoryDump::tint(m, 0x2000, 5), TDumpTint::Normal);
  m.enableBootRom(false);
  editor.refreshMemory();
  EXPECT_EQ(cellColour(editor, 0x0000), editor.grid()->palette().color(QPalette::Base));
  editor.close();
}

struct TScrollCase {
  uint32_t pc;
  int currentRow;
  int topRow;
};

class MemoryEditorRefresh : public ::testing::TestWithParam<TScrollCase> {};

TEST_P(MemoryEditorRefresh, ShowsTheProgramCountersRowNinth) {
  const TScrollCase& c = GetParam();
  TViewFixture f("64KB");
  TZ180Cpu& cpu = f.machine.cpu();
  cpu.CBAR = 0x10;  // logical page 1 and up through CBR
  cpu.CBR = 0x00;
  cpu.PC = uint16_t(c.pc);
  TMemoryEditor editor(f.machine, *f.settings);
  editor.show();
  editor.grid()->setCurrentCell(5, 3000);  // somewhere else first
  editor.refreshMemory();
  EXPECT_EQ(editor.grid()->currentRow(), c.currentRow);
  EXPECT_EQ(editor.grid()->currentColumn(), 5) << "the column stays";
  EXPECT_EQ(editor.grid()->topRow(), c.topRow);
  EXPECT_EQ(editor.grid()->programCounter(), c.pc);
  editor.close();
}

INSTANTIATE_TEST_SUITE_P(Cases, MemoryEditorRefresh,
                         ::testing::Values(TScrollCase{0x01234, 0x12B, 0x11C},  // row of 0x1230 ninth visible
                                           TScrollCase{0x00000, 8, 1},          // the top
                                           TScrollCase{0x00075, 15, 1}, TScrollCase{0x0FFFF, 4096, 4081}));  // the end

TEST(MemoryEditor, RefreshTranslatesTheProgramCounter) {
  TViewFixture f("1024KB");
  TZ180Cpu& cpu = f.machine.cpu();
  cpu.CBAR = 0x10;
  cpu.CBR = 0x40;
  cpu.PC = 0x1234;
  TMemoryEditor editor(f.machine, *f.settings);
  editor.show();
  editor.refreshMemory();
  EXPECT_EQ(editor.grid()->programCounter(), 0x41234u);
  EXPECT_EQ((0x41234 / 16 + 1) - editor.grid()->topRow() + 1, 9) << "the row of 0x41230 is the ninth visible";
  editor.close();
}

TEST(MemoryEditor, EditBoxFiltersAndWrites) {
  TViewFixture f("64KB");
  TSystemMemory& m = f.machine.memory();
  m.writeByte(0x0021, 0x5C);
  TMemoryEditor editor(f.machine, *f.settings);
  QStringList errors;
  editor.setErrorReporter([&](const QString& e) { errors << e; });
  editor.show();
  QApplication::setActiveWindow(&editor);
  editor.grid()->setCurrentCell(2, 3);  // address 0x21
  editor.editCurrentCell();
  QLineEdit* box = editor.editBox();
  ASSERT_TRUE(box->isVisible());
  EXPECT_EQ(box->text(), "5C");
  const QRect cell = editor.grid()->cellRect(2, 3);
  EXPECT_EQ(box->geometry(), QRect(cell.left() + 1, cell.top() + 1, cell.width() - 1, cell.height() - 1));

  box->clear();
  QTest::keyClicks(box, "Gx-");
  EXPECT_EQ(box->text(), "") << "non-hex characters are discarded";
  QTest::keyClicks(box, "a");
  EXPECT_EQ(box->text(), "A");
  QTest::keyClick(box, Qt::Key_Backspace);
  EXPECT_EQ(box->text(), "");

  QTest::keyClick(box, Qt::Key_Return);  // empty: an error, nothing written
  EXPECT_EQ(errors.size(), 1);
  EXPECT_TRUE(box->isVisible());
  EXPECT_EQ(m.readByte(0x21), 0x5C);

  QTest::keyClicks(box, "7");
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_FALSE(box->isVisible());
  EXPECT_EQ(m.readByte(0x21), 0x07);
  EXPECT_EQ(errors.size(), 1);
  editor.close();
}

TEST(MemoryEditor, WriteUnderTheRomLandsInRam) {
  TViewFixture f("64KB");
  TSystemMemory& m = f.machine.memory();
  m.enableBootRom(true);  // zero-filled 8 KB ROM
  TMemoryEditor editor(f.machine, *f.settings);
  editor.setErrorReporter([](const QString&) {});
  editor.show();
  editor.grid()->setCurrentCell(1, 2);  // address 0x10
  editor.editCurrentCell();
  editor.editBox()->setText("12");
  editor.finishEditing();
  EXPECT_EQ(m.readByte(0x10), 0x00) << "the cell still shows the ROM byte";
  m.enableBootRom(false);
  EXPECT_EQ(m.readByte(0x10), 0x12);
  editor.close();
}

TEST(MemoryEditor, DoubleClickOnAHeaderEditsTheCurrentDataCell) {
  TViewFixture f("64KB");
  TMemoryEditor editor(f.machine, *f.settings);
  editor.show();
  editor.grid()->setCurrentCell(4, 6);
  const QRect header = editor.grid()->cellRect(9, 0);
  QTest::mouseDClick(editor.grid()->viewport(), Qt::LeftButton, {}, header.center());
  EXPECT_EQ(editor.grid()->currentColumn(), 4);
  EXPECT_EQ(editor.grid()->currentRow(), 6);
  ASSERT_TRUE(editor.editBox()->isVisible());
  EXPECT_EQ(editor.editBox()->geometry().topLeft(), editor.grid()->cellRect(4, 6).topLeft() + QPoint(1, 1));
  editor.editBox()->hide();

  const QRect data = editor.grid()->cellRect(7, 2);
  QTest::mouseDClick(editor.grid()->viewport(), Qt::LeftButton, {}, data.center());
  EXPECT_EQ(editor.grid()->currentColumn(), 7);
  EXPECT_EQ(editor.grid()->currentRow(), 2);
  editor.close();
}
}  // namespace
