#include <gtest/gtest.h>

#include "sim_bench.hpp"

namespace brisko::test {
namespace {

using Phase = sim::SimTarget::Phase;

SimBench Detected(int model, int mode = kInternalMemory) {
  SimBench b(model, mode);
  EXPECT_GE(b.Detect(), 0);
  return b;
}

TEST(SimLoaderFlash, ProgramClearsBitsEraseSetsWholeSectorsAndCountZeroIs256) {
  SimBench b = Detected(kKT540);
  b.Program(0x0080, {0x0F, 0x3C});
  b.Program(0x0080, {0xF3, 0xFF});
  EXPECT_EQ(b.Read(0x0080, 2), (Bytes{0x03, 0x3C})) << "programming only clears bits";

  b.Program(0x007F, {0x00});
  b.Program(0x0180, {0x00});
  EXPECT_EQ(b.Send(Frame(0x0B, 0x0010, 0x02)), Bytes{0xC0});
  EXPECT_EQ(b.chip->Flash(0)[0x007F], 0xFF) << "from the start of the addressed sector";
  EXPECT_EQ(b.Read(0x0080, 2), (Bytes{0xFF, 0xFF}));
  EXPECT_EQ(b.chip->Flash(0)[0x0180], 0x00);

  b.Program(0x1000, Bytes(256, 0x5A));
  EXPECT_EQ(b.Read(0x1000, 0), Bytes(256, 0x5A));
  EXPECT_EQ(b.chip->Flash(0)[0x1100], 0xFF);
}

TEST(SimLoaderFlash, FramesOutsideTheBlockAreConsumedUnanswered) {
  SimBench b = Detected(kKT410);  // block 0 is 16 KB
  EXPECT_TRUE(b.Read(0x3FF0, 0x20).empty());
  EXPECT_TRUE(b.Read(0x8000, 1).empty());
  EXPECT_TRUE(b.Send(Frame(0x0B, 0x4000, 0x01)).empty());
  // The data of a refused program frame must not be taken for commands.
  b.Program(0x3FC0, Bytes(0x80, 0x60));
  EXPECT_EQ(b.Send({0x60}), (Bytes{0x11, 'F'}));
  EXPECT_EQ(b.chip->Flash(0)[0x3FC0], 0xFF);
}

TEST(SimLoaderFlash, ChipEraseEmptiesBlock0AndUnlocksButKeepsConfiguration) {
  auto config = ChipConfig(kKT530, kExternalMemory);
  config.securityBits = 0xC0;
  config.remapBits = 1;
  config.doubleClock = true;
  SimBench b(config);
  ASSERT_EQ(b.Detect(), 0xC9);
  b.Program(0x0000, {0x00});
  EXPECT_TRUE(b.Send(Frame(0x01, 0x0000, 0x01)).empty());
  EXPECT_EQ(b.chip->Flash(0)[0], 0xFF);
  EXPECT_TRUE(b.chip->LoaderIntact());
  EXPECT_EQ(b.Detect(), 0x09);
}

TEST(SimLoaderBlocks, Kt540ShowsOneBlockAtATimeAtTheSameAddresses) {
  SimBench b = Detected(kKT540);
  b.Program(0x0000, {0x42});
  EXPECT_EQ(b.Send({0x69, 0x69}), Bytes{0xC0});
  EXPECT_EQ(b.chip->SelectedBlock(), 1);
  const Bytes loader = b.Read(0x0000, 4);
  EXPECT_EQ(loader, Bytes(b.chip->Flash(1).Data(), b.chip->Flash(1).Data() + 4));
  EXPECT_NE(loader, Bytes(4, 0xFF)) << "block 1 starts with the loader";
  EXPECT_TRUE(b.Read(0x2000, 1).empty()) << "block 1 is 8 KB";
  EXPECT_EQ(b.Send({0x68, 0x68}), Bytes{0xC0});
  EXPECT_EQ(b.Read(0x0000, 1), Bytes{0x42});
  EXPECT_EQ(b.Read(0xFFFF, 1), Bytes{0xFF}) << "block 0 is 64 KB";
}

TEST(SimLoaderBlocks, OnlyExternalModeLetsTheLoaderRewriteItsBlock) {
  SimBench in = Detected(kKT550);
  ASSERT_EQ(in.Send({0x69, 0x69}), Bytes{0xC0});
  EXPECT_TRUE(in.Send(Frame(0x0B, 0x1000, 0x01)).empty()) << "erase of block 1 is not answered";
  in.Program(0x1000, Bytes(0x80, 0x00));
  in.Program(0x0000, Bytes(0x10, 0x00));
  EXPECT_EQ(in.Read(0x1000, 1), Bytes{0xFF});
  EXPECT_TRUE(in.chip->LoaderIntact());
  EXPECT_EQ(in.Send({0x63}), Bytes{0x63}) << "the data bytes were consumed";

  SimBench ex = Detected(kKT540, kExternalMemory);
  ASSERT_EQ(ex.Send({0x69, 0x69}), Bytes{0xC0});
  ex.Program(0x1000, {0x00});
  EXPECT_EQ(ex.Read(0x1000, 1), Bytes{0x00});
  EXPECT_EQ(ex.Send(Frame(0x0B, 0x0000, 0x01)), Bytes{0xC0});
  EXPECT_FALSE(ex.chip->LoaderIntact());
}

TEST(SimLoaderBlocks, Kt530SelectsInInternalModeAndAddressesInExternalMode) {
  SimBench in = Detected(kKT530);
  EXPECT_TRUE(in.Read(0xE000, 1).empty()) << "block 0 is selected after reset";
  ASSERT_EQ(in.Send({0x69, 0x69}), Bytes{0xC0});
  EXPECT_EQ(in.Read(0xE000, 1), Bytes{in.chip->Flash(1)[0]});
  EXPECT_TRUE(in.Read(0x0000, 1).empty()) << "block 0 is hidden while block 1 is selected";

  SimBench ex = Detected(kKT530, kExternalMemory);
  EXPECT_TRUE(ex.Send({0x69, 0x69}).empty());
  EXPECT_EQ(ex.Read(0xE000, 1), Bytes{ex.chip->Flash(1)[0]});
  ex.Program(0xF000, {0x00});
  ex.Program(0x7FFF, {0x00});
  EXPECT_EQ(ex.chip->Flash(1)[0x1000], 0x00);
  EXPECT_EQ(ex.chip->Flash(0)[0x7FFF], 0x00);
  EXPECT_TRUE(ex.Read(0x8000, 1).empty()) << "between the blocks";
}

TEST(SimLoaderBlocks, Kt400HasBlock1AtF000AndNoSelection) {
  SimBench b = Detected(kKT420);
  EXPECT_TRUE(b.Send({0x69, 0x69}).empty());
  EXPECT_EQ(b.Send({0x68, 0x68}), Bytes{0xC0});
  EXPECT_EQ(b.Read(0xF000, 2), Bytes(b.chip->Flash(1).Data(), b.chip->Flash(1).Data() + 2));
  EXPECT_EQ(b.chip->LoaderSize(), 16u * 64u);
  EXPECT_TRUE(b.Send(Frame(0x0B, 0xF400, 0x01)).empty());
  EXPECT_EQ(Detected(kKT560).chip->LoaderSize(), 9u * 128u);
}

// Each family and memory mode understands only its own forms of the lock,
// remap and double-clock commands; the next status byte shows their effect.
TEST(SimLoaderConfig, LockRemapAndDoubleClockFormsPerFamilyAndMode) {
  struct Case {
    int model, mode;
    Bytes understood, ignored;
    int status;
  };
  const Case cases[] = {
      {kKT410, kExternalMemory, {0x04, 0x00, 0x04, 0x02, 0x6B, 0x6B, 0x02, 0x01, 0x6B, 0x6B}, {0x6A, 0x6A, 0x67, 0x67},
       0xA2},
      {kKT570, kInternalMemory,
       {0x04, 0x03, 0xFF, 0x04, 0x05, 0xFF, 0x04, 0x08, 0x55, 0x04, 0x09, 0x5A, 0x04, 0x0F, 0xFF},
       {0x04, 0x00, 0x04, 0x01, 0x67, 0x67}, 0xE9},
      {kKT540, kExternalMemory, {0x04, 0x01, 0x6B, 0x6B, 0x67, 0x67, 0x6C, 0x6C, 0x6A, 0x6A}, {0x04, 0x0F, 0xFF}, 0x4B},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(DescribeChip(c.model).chipTypeText);
    SimBench b = Detected(c.model, c.mode);
    EXPECT_TRUE(b.Send(c.ignored).empty());
    EXPECT_EQ(b.Detect(), 0x00) << "the other forms changed nothing";
    EXPECT_TRUE(b.Send(c.understood).empty());
    EXPECT_EQ(b.Detect(), c.status);
  }
}

TEST(SimLoaderConfig, ABrokenSequenceDoesNotSwallowTheNextCommand) {
  SimBench b = Detected(kKT580);
  EXPECT_EQ(b.Send({0x04, 0x07, 0x60}), (Bytes{0x11, 'F'}));
  EXPECT_EQ(b.Send({0x04, 0x0F, 0x63}), Bytes{0x63});
  EXPECT_EQ(b.Send({0x68, 0x63}), Bytes{0x63});
  EXPECT_EQ(b.Send({0x68, 0x68, 0x68}), Bytes{0xC0});
  EXPECT_EQ(b.Send({0x68}), Bytes{0xC0});
  EXPECT_EQ(b.Detect(), 0x00);
}

TEST(SimLoaderRun, UserCodeAndForeignJumpsSilenceTheLoader) {
  SimBench user = Detected(kKT420);
  EXPECT_TRUE(user.Send({0x62, 0x62}).empty());
  EXPECT_EQ(user.chip->CurrentPhase(), Phase::UserCode);
  EXPECT_TRUE(user.Send({0x60, 0x63}).empty());

  SimBench jump = Detected(kKT420);
  EXPECT_EQ(jump.Send(Frame(0x03, 0x0000, 0x01)), Bytes{0xC0});
  EXPECT_EQ(jump.chip->CurrentPhase(), Phase::Halted);
  EXPECT_TRUE(jump.Send({0x60, 0x63}).empty());
  EXPECT_EQ(jump.Detect(), 0x00) << "until the next reset";
}

TEST(SimLoaderRun, ExternalBankFormsAreTakenWholeAndUnanswered) {
  SimBench b = Detected(kKT530);
  EXPECT_TRUE(b.Send({0x66, 0x66, 0x01}).empty());
  EXPECT_TRUE(b.Send(Cat({Frame(0x06, 0x0000, 0x02), {0x60, 0x63}})).empty());
  EXPECT_EQ(b.Send({0x63}), Bytes{0x63});
  SimBench ex = Detected(kKT530, kExternalMemory);
  EXPECT_EQ(ex.Send(Frame(0x03, 0x0000, 0x10)), Bytes(16, 0xFF)) << "03h reads external memory here";
  EXPECT_EQ(ex.chip->CurrentPhase(), Phase::Loader);
}

}  // namespace
}  // namespace brisko::test
