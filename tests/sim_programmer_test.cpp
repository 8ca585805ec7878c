#include <gtest/gtest.h>

#include "firmware/firmware.hpp"
#include "sim_bench.hpp"

namespace brisko::test {
namespace {

using Phase = sim::SimTarget::Phase;

Bytes Programmer(int model) {
  const auto& image =
      FamilyOf(model) == ChipFamily::KT400 ? firmware::Block1ProgrammerKT400 : firmware::Block1ProgrammerKT500;
  return Bytes(image.begin(), image.end());
}

// The host's way in: park the programmer at 2000h through the loader and
// start it at 2027h. Returns the start command's reply.
Bytes ParkAndStart(SimBench& b, const Bytes& image) {
  b.Send(Frame(0x0B, 0x2000, 0x03));
  for (std::size_t at = 0; at < image.size(); at += 128) {
    const std::size_t n = std::min<std::size_t>(128, image.size() - at);
    b.Program(static_cast<std::uint16_t>(0x2000 + at),
              Bytes(image.begin() + static_cast<long>(at), image.begin() + static_cast<long>(at + n)));
  }
  return b.Send(Frame(0x03, 0x2027, 0x10));
}

struct Case {
  int model;
  std::uint16_t freeBlock1Address;  // a sector past the loader
  std::uint16_t loaderAddress;
  std::uint16_t reentry;
};

class ParkedProgrammer : public testing::TestWithParam<Case> {
 protected:
  SimBench Parked() {
    SimBench b(GetParam().model, kInternalMemory);
    EXPECT_EQ(b.Detect(), 0x00);
    EXPECT_EQ(ParkAndStart(b, Programmer(GetParam().model)), Bytes{0xC0});
    EXPECT_EQ(b.chip->CurrentPhase(), Phase::Programmer);
    return b;
  }
};

TEST_P(ParkedProgrammer, RewritesBlock1AndHandsBackOnlyToAnIntactLoader) {
  const Case c = GetParam();
  SimBench b = Parked();
  EXPECT_TRUE(b.Send({0x60, 0x63}).empty()) << "the loader is not listening";
  const Bytes data{0x12, 0x34, 0x56, 0x78};
  EXPECT_EQ(b.Send(Frame(0x0B, c.freeBlock1Address, 0x02)), Bytes{0xC0});
  b.Send(Cat({Frame(0x09, c.freeBlock1Address, 0x04), data}));
  EXPECT_EQ(b.Send(Frame(0x0A, c.freeBlock1Address, 0x04)), data);
  EXPECT_TRUE(b.Send(Frame(0x0B, c.loaderAddress, 65)).empty()) << "block 1 has 64 sectors";
  EXPECT_TRUE(b.chip->LoaderIntact());
  EXPECT_EQ(b.Send(Frame(0x03, c.reentry, 0x01)), Bytes{0xC0});
  EXPECT_EQ(b.chip->CurrentPhase(), Phase::Loader);
  EXPECT_EQ(b.chip->SelectedBlock(), 0);
  EXPECT_EQ(b.Send({0x60}), (Bytes{0x11, 'F'}));

  SimBench destroyed = Parked();
  EXPECT_EQ(destroyed.Send(Frame(0x0B, c.loaderAddress, 0x01)), Bytes{0xC0});
  EXPECT_FALSE(destroyed.chip->LoaderIntact());
  EXPECT_EQ(destroyed.Send(Frame(0x03, c.reentry, 0x01)), Bytes{0xC0});
  EXPECT_EQ(destroyed.chip->CurrentPhase(), Phase::Halted);
  EXPECT_TRUE(destroyed.Send({0x60}).empty());

  SimBench beside = Parked();
  EXPECT_EQ(beside.Send(Frame(0x03, static_cast<std::uint16_t>(c.reentry + 1), 0x01)), Bytes{0xC0});
  EXPECT_EQ(beside.chip->CurrentPhase(), Phase::Halted);
}

INSTANTIATE_TEST_SUITE_P(Sim, ParkedProgrammer,
                         testing::Values(Case{kKT410, 0xF400, 0xF000, 0xF080}, Case{kKT420, 0xFF80, 0xF000, 0xF080},
                                         Case{kKT530, 0xE480, 0xE000, 0xE2CA}, Case{kKT570, 0xFF00, 0xE000, 0xE2CA},
                                         Case{kKT540, 0x0480, 0x0000, 0x02CA}),
                         [](const auto& info) { return std::string(DescribeChip(info.param.model).chipTypeText); });

TEST(SimProgrammer, OnlyTheFamilysExactImageRunsAndOnlyWhereThereIsRoom) {
  struct Case {
    const char* what;
    int model, mode;
    Bytes image;
    Bytes startReply;
    Phase after;
  };
  Bytes garbled = Programmer(kKT560);
  garbled[367] ^= 0x01;
  const Case cases[] = {
      {"other family's image", kKT420, kInternalMemory, Programmer(kKT540), {0xC0}, Phase::Halted},
      {"garbled image", kKT560, kInternalMemory, garbled, {0xC0}, Phase::Halted},
      // Block 0 ends at 1FFFh: no room at 2000h and no loader entry to come back to.
      {"KT580", kKT580, kInternalMemory, Programmer(kKT580), {0xC0}, Phase::Halted},
      // 03h reads the (blank) external memory instead of starting anything.
      {"external memory mode", kKT420, kExternalMemory, Programmer(kKT420), Bytes(16, 0xFF), Phase::Loader},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SimBench b(c.model, c.mode);
    ASSERT_EQ(b.Detect(), 0x00);
    EXPECT_EQ(ParkAndStart(b, c.image), c.startReply);
    EXPECT_EQ(b.chip->CurrentPhase(), c.after);
  }
}

TEST(SimProgrammer, ReadsBelowBlock1AreNotAnswered) {
  SimBench b(kKT420, kInternalMemory);
  ASSERT_EQ(b.Detect(), 0x00);
  ASSERT_EQ(ParkAndStart(b, Programmer(kKT420)), Bytes{0xC0});
  EXPECT_TRUE(b.Send(Frame(0x0A, 0xEFFF, 0x02)).empty());
  EXPECT_TRUE(b.Send(Cat({Frame(0x09, 0xEFC0, 0x40), Bytes(0x40, 0x00)})).empty());
  EXPECT_EQ(b.Send(Frame(0x0A, 0xF000, 0x01)), Bytes{b.chip->Flash(1)[0]});
}

}  // namespace
}  // namespace brisko::test
