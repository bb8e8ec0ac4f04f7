// The register accessors run inside the processor's step and must not
// allocate: neither a drive selection (which copies a drive record with its
// image path) nor commands or a sector's worth of data accesses.
#include "System_Fdc_Fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

namespace {
long allocations = 0;
}

void* operator new(std::size_t n) {
  ++allocations;
  if (void* p = std::malloc(n != 0 ? n : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

class FdcNoAllocTest : public TFdcFixture {};

TEST_F(FdcNoAllocTest, RegisterAccessesDoNotAllocate) {
  // Paths well beyond any short-string buffer.
  const std::string a = makeImage("an-image-with-a-rather-long-file-name.img", FullImage);
  const std::string b = makeImage("another-image-with-an-even-longer-file-name-for-drive-one.img", FullImage);
  ASSERT_TRUE(fdc.setImageFile(0, a));
  ASSERT_TRUE(fdc.setImageFile(1, b));
  fdc.setLamp(0, &lamp0);
  lamp0.states.reserve(64);

  long before = allocations;
  for (uint8_t latch : {0x00, 0x08, 0x00, 0x04, 0x00, 0x0C, 0x01, 0x00, 0x18, 0x10, 0x14}) fdc.writeDriveControl(latch);
  fdc.writeDriveControl(0x00);
  fdc.writeDriveControl(0x08);
  for (uint8_t command : {0x00, 0x17, 0x34, 0x5B, 0x70, 0x80, 0xB4, 0xC0, 0xD0, 0xD8, 0xE0, 0xF0, 0xD0}) {
    fdc.writeCommand(command);
    fdc.readStatus();
    fdc.readSignals();
    fdc.writeTrackRegister(fdc.readTrackRegister());
    fdc.writeSectorRegister(1);
  }
  EXPECT_EQ(allocations, before) << "selection or commands allocated";
  EXPECT_EQ(fdc.currentDrive().imageFile, a);

  // Sector transfers: the start (on the timer, outside the step) may
  // allocate; the data accesses may not.
  startTransfer(0x80, 2, 3);
  before = allocations;
  for (int i = 0; i < 512; ++i) fdc.readData();
  EXPECT_EQ(allocations, before) << "reading allocated";
  startTransfer(0xA0, 2, 3);
  before = allocations;
  for (int i = 0; i < 512; ++i) fdc.writeData(uint8_t(i));
  EXPECT_EQ(allocations, before) << "writing allocated";
  EXPECT_FALSE(busy());
  EXPECT_EQ(fdc.getStatus() & 0x7F, 0);
}

}  // namespace
