// CompareFileWithRange: a file against flash, with the first difference.
#include <gtest/gtest.h>

#include "image_rig.hpp"

namespace brisko::test {
namespace {

using Messages = std::vector<std::string>;

struct Outcome {
  Result result = Result::Ok;
  long address = -1;
  int pair = -1;  // flash byte * 256 + file byte
};

Outcome Compare(RoutineParts& rig, const std::string& file, int block, std::uint32_t start) {
  Outcome o;
  o.result = CompareFileWithRange(rig.ctx, file, block, start, o.address, o.pair);
  return o;
}

// The first difference with both bytes for a binary file is checked through
// the compare command; here a HEX file, compared as its image.
TEST(CompareFile, HexFileIsComparedAsItsImageWithTheFirstDifference) {
  SimImageRig rig(kKT580);
  ASSERT_TRUE(rig.Connect());
  const std::string hex = rig.Write("fw.hex", std::string(":0300050011223392\n:00000001FF\n"));
  rig.SetFlash(0, 0x80, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x11, 0x22, 0x33});
  EXPECT_EQ(Compare(rig, hex, 0, 0x80).result, Result::Ok);
  rig.SetFlash(0, 0x86, {0x20});
  const Outcome o = Compare(rig, hex, 0, 0x80);
  EXPECT_EQ(o.result, Result::ProgramFailed);
  EXPECT_EQ(o.address, 0x86);
  EXPECT_EQ(o.pair, 0x2022);
  EXPECT_EQ(rig.messages.messages, Messages{"Failed to Verify Data!!!"});
}

TEST(CompareFile, KT410FileRunningIntoBlock1IsComparedThereAndKT540StopsAtItsBlockEnd) {
  SimImageRig kt410(kKT410);
  ASSERT_TRUE(kt410.Connect());
  const Bytes data = Pattern(0xF100, 2);
  kt410.SetFlash(0, 0, Bytes(data.begin(), data.begin() + 0x4000));
  kt410.SetFlash(1, 0, Bytes(data.begin() + 0xF000, data.end()));
  const std::string file = kt410.Write("spill.bin", data);
  EXPECT_EQ(Compare(kt410, file, 0, 0).result, Result::Ok);
  kt410.SetFlash(1, 0x10, {static_cast<std::uint8_t>(data[0xF010] ^ 0x80)});
  const Outcome o = Compare(kt410, file, 0, 0);
  EXPECT_EQ(o.result, Result::ProgramFailed);
  EXPECT_EQ(o.address, 0xF010);

  SimImageRig kt540(kKT540);
  ASSERT_TRUE(kt540.Connect());
  const Bytes tail = Pattern(0x300, 3);
  kt540.SetFlash(0, 0xFE00, Bytes(tail.begin(), tail.begin() + 0x200));
  EXPECT_EQ(Compare(kt540, kt540.Write("long.bin", tail), 0, 0xFE00).result, Result::Ok);
}

TEST(CompareFile, OverSizeIsRefusedWithoutReading) {
  struct Case {
    int model;
    int mode;
    int block;
    std::uint32_t start;
    std::size_t size;
  } cases[] = {
      {kKT420, kInternalMemory, 0, 0x0000, 0x8001},  // ends below F000h
      {kKT410, kInternalMemory, 1, 0xF000, 0x1001},  // past FFFFh
      {kKT530, kInternalMemory, 0, 0x0000, 0x8001},  // block 1 is not readable at E000h here
      {kKT570, kExternalMemory, 0, 0x0000, 0xD000},  // ends between the blocks
      {kKT580, kExternalMemory, 1, 0xE000, 0x2001},
  };
  for (const auto& c : cases) {
    SimImageRig rig(c.model, c.mode);
    ASSERT_TRUE(rig.Connect());
    EXPECT_EQ(Compare(rig, rig.Write("big.bin", Pattern(c.size, 4)), c.block, c.start).result, Result::OverSize)
        << c.model << " block " << c.block;
    EXPECT_EQ(rig.messages.messages, Messages{"The selected file is over size!!!"}) << c.model;
    EXPECT_TRUE(rig.Wire().empty()) << c.model;
  }
}

TEST(CompareFile, ExternalBankIsComparedToItsEnd) {
  BankImageRig rig(kKT530);
  const Bytes data = Pattern(0x1800, 5);
  std::copy(data.begin(), data.end(), rig.bank->flash.begin() + 0xE000);
  const std::string file = rig.Write("bank.bin", data);
  EXPECT_EQ(Compare(rig, file, 0, 0xE000).result, Result::Ok);
  rig.bank->flash[0xE000 + 0x1234] = static_cast<std::uint8_t>(data[0x1234] + 1);
  const Outcome o = Compare(rig, file, 0, 0xE000);
  EXPECT_EQ(o.result, Result::ProgramFailed);
  EXPECT_EQ(o.address, 0xE000 + 0x1234);
  EXPECT_EQ(o.pair, (data[0x1234] + 1) * 256 + data[0x1234]);
  EXPECT_EQ(Compare(rig, rig.Write("over.bin", Pattern(0x2001, 6)), 0, 0xE000).result, Result::OverSize);
}

}  // namespace
}  // namespace brisko::test
