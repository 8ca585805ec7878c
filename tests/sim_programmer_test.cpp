#include <gtest/gtest.h>

#include "firmware/firmware.hpp"
#include "sim_bench.hpp"

namespace brisko::test {
namespace {

using Phase = sim::SimTarget::Phase;

Bytes Programmer(int model) {
  const auto& image = (model == kKT410 || model == kKT420) ? firmware::Block1ProgrammerKT400
                                                            : firmware::Block1ProgrammerKT500;
  return Bytes(image.begin(), image.end());
}

// The host's way in: park the programmer at 2000h through the loader and
// start it at 2027h.
Bytes ParkAndStart(SimBench& b, const Bytes& image) {
  b.Send(Frame(0x0B, 0x2000, 0x03));
  for (std::size_t at = 0; at < image.size(); at += 128) {
    const std::size_t n = std::min<std::size_t>(128, image.size() - at);
    b.Program(static_cast<std::uint16_t>(0x2000 + at), Bytes(image.begin() + static_cast<long>(at),
                                                             image.begin() + static_cast<long>(at + n)));
  }
  return b.Send(Frame(0x03, 0x2027, 0x10));
}

struct Case {
  int model;
  std::uint16_t freeBlock1Address;  // a sector past the loader
  std::uint16_t loaderAddress;
  std::uint16_t reentry;
};

class ParkedProgrammer : public testing::TestWithParam<Case> {};

TEST_P(ParkedProgrammer, RewritesBlock1AndHandsBackToTheLoader) {
  const Case c = GetParam();
  SimBench b(c.model, kInternalMemory);
  ASSERT_EQ(b.Detect(), 0x00);
  ASSERT_EQ(ParkAndStart(b, Programmer(c.model)), Bytes{0xC0});
  ASSERT_EQ(b.chip->CurrentPhase(), Phase::Programmer);
  EXPECT_TRUE(b.Send({0x60, 0x63}).empty()) << "the loader is not listening";

  const Bytes data{0x12, 0x34, 0x56, 0x78};
  EXPECT_EQ(b.Send(Frame(0x0B, c.freeBlock1Address, 0x02)), Bytes{0xC0});
  b.Send(Cat(Frame(0x09, c.freeBlock1Address, 0x04), data));
  EXPECT_EQ(b.Send(Frame(0x0A, c.freeBlock1Address, 0x04)), data);
  EXPECT_TRUE(b.Send(Frame(0x0B, c.loaderAddress, 65)).empty()) << "block 1 has 64 sectors";
  EXPECT_TRUE(b.chip->LoaderIntact());

  EXPECT_EQ(b.Send(Frame(0x03, c.reentry, 0x01)), Bytes{0xC0});
  EXPECT_EQ(b.chip->CurrentPhase(), Phase::Loader);
  EXPECT_EQ(b.chip->SelectedBlock(), 0);
  EXPECT_EQ(b.Send({0x60}), (Bytes{0x11, 'F'}));
}

TEST_P(ParkedProgrammer, ADestroyedLoaderLeavesTheChipHalted) {
  const Case c = GetParam();
  SimBench b(c.model, kInternalMemory);
  ASSERT_EQ(b.Detect(), 0x00);
  ASSERT_EQ(ParkAndStart(b, Programmer(c.model)), Bytes{0xC0});
  EXPECT_EQ(b.Send(Frame(0x0B, c.loaderAddress, 0x01)), Bytes{0xC0});
  EXPECT_FALSE(b.chip->LoaderIntact());
  EXPECT_EQ(b.Send(Frame(0x03, c.reentry, 0x01)), Bytes{0xC0});
  EXPECT_EQ(b.chip->CurrentPhase(), Phase::Halted);
  EXPECT_TRUE(b.Send({0x60}).empty());
}

TEST_P(ParkedProgrammer, AJumpBesideTheLoaderHalts) {
  const Case c = GetParam();
  SimBench b(c.model, kInternalMemory);
  ASSERT_EQ(b.Detect(), 0x00);
  ASSERT_EQ(ParkAndStart(b, Programmer(c.model)), Bytes{0xC0});
  EXPECT_EQ(b.Send(Frame(0x03, static_cast<std::uint16_t>(c.reentry + 1), 0x01)), Bytes{0xC0});
  EXPECT_EQ(b.chip->CurrentPhase(), Phase::Halted);
}

INSTANTIATE_TEST_SUITE_P(Sim, ParkedProgrammer,
                         testing::Values(Case{kKT410, 0xF400, 0xF000, 0xF080},
                                         Case{kKT420, 0xFF80, 0xF000, 0xF080},
                                         Case{kKT530, 0xE480, 0xE000, 0xE2CA},
                                         Case{kKT570, 0xFF00, 0xE000, 0xE2CA},
                                         Case{kKT540, 0x0480, 0x0000, 0x02CA}),
                         [](const auto& info) { return std::string(DescribeChip(info.param.model).chipTypeText); });

TEST(SimProgrammer, OnlyTheFamilysExactImageRuns) {
  SimBench other(kKT420, kInternalMemory);
  ASSERT_EQ(other.Detect(), 0x00);
  EXPECT_EQ(ParkAndStart(other, Programmer(kKT540)), Bytes{0xC0});
  EXPECT_EQ(other.chip->CurrentPhase(), Phase::Halted);

  Bytes garbled = Programmer(kKT560);
  garbled[367] ^= 0x01;
  SimBench b(kKT560, kInternalMemory);
  ASSERT_EQ(b.Detect(), 0x00);
  EXPECT_EQ(ParkAndStart(b, garbled), Bytes{0xC0});
  EXPECT_EQ(b.chip->CurrentPhase(), Phase::Halted);
}

TEST(SimProgrammer, ReadsBelowBlock1AreNotAnswered) {
  SimBench b(kKT420, kInternalMemory);
  ASSERT_EQ(b.Detect(), 0x00);
  ASSERT_EQ(ParkAndStart(b, Programmer(kKT420)), Bytes{0xC0});
  EXPECT_TRUE(b.Send(Frame(0x0A, 0xEFFF, 0x02)).empty());
  EXPECT_TRUE(b.Send(Cat(Frame(0x09, 0xEFC0, 0x40), Bytes(0x40, 0x00))).empty());
  EXPECT_EQ(b.Send(Frame(0x0A, 0xF000, 0x01)), Bytes{b.chip->Flash(1)[0]});
}

// A KT580's block 0 ends at 1FFFh: there is no room for the programmer at
// 2000h, and no loader entry to come back to either.
TEST(SimProgrammer, Kt580CannotParkTheProgrammer) {
  SimBench b(kKT580, kInternalMemory);
  ASSERT_EQ(b.Detect(), 0x00);
  EXPECT_TRUE(b.Send(Frame(0x0B, 0x2000, 0x03)).empty());
  EXPECT_EQ(ParkAndStart(b, Programmer(kKT580)), Bytes{0xC0});
  EXPECT_EQ(b.chip->CurrentPhase(), Phase::Halted);
}

TEST(SimProgrammer, StartNeedsInternalMemoryMode) {
  SimBench b(kKT420, kExternalMemory);
  ASSERT_EQ(b.Detect(), 0x00);
  EXPECT_TRUE(ParkAndStart(b, Programmer(kKT420)).empty());
  EXPECT_EQ(b.chip->CurrentPhase(), Phase::Loader);
}

}  // namespace
}  // namespace brisko::test
