#include <gtest/gtest.h>

#include "sim_bench.hpp"

namespace brisko::test {
namespace {

SimBench Detected(sim::SimConfig config) {
  SimBench b(std::move(config));
  EXPECT_GE(b.Detect(), 0);
  return b;
}

const Bytes kEnter{0x66, 0x66, 0x00};
const Bytes kLeave{0x01, 0x01};

Bytes ExternalProgram(std::uint16_t address, const Bytes& data) {
  return Cat({Frame(0x06, address, static_cast<std::uint8_t>(data.size())), data});
}

// The KF010 behind the chip: the A16 switch picks the half, programming only
// clears bits, a 04h erase blanks one 4 KB sector, 02h 02h the whole device.
TEST(SimExternalFlash, BankCommandsReachTheHalfTheSwitchSelects) {
  SimBench b = Detected(ChipConfig(kKT560));
  EXPECT_TRUE(b.Send(kEnter).empty());
  EXPECT_TRUE(b.chip->ExternalBankEntered());
  b.Send(ExternalProgram(0x1FFE, {0x0F, 0x3C}));
  b.Send(ExternalProgram(0x1FFE, {0xF3, 0xFF}));
  EXPECT_EQ(b.Send(Frame(0x03, 0x1FFE, 0x02)), (Bytes{0x03, 0x3C})) << "programming only clears bits";

  b.chip->SetA16(true);
  EXPECT_EQ(b.Send(Frame(0x03, 0x1FFE, 0x02)), (Bytes{0xFF, 0xFF})) << "the high half is another 64 KB";
  b.Send(ExternalProgram(0x0000, {0x11}));
  EXPECT_EQ(b.chip->ExternalFlashBytes()[0x10000], 0x11);

  b.chip->SetA16(false);
  b.Send(ExternalProgram(0x2000, {0x22}));
  EXPECT_EQ(b.Send(Frame(0x04, 0x1234, 0x01)), Bytes{0xC0});
  const Bytes all = b.chip->ExternalFlashBytes();
  EXPECT_EQ(all[0x1FFE], 0xFF) << "sector 1000h-1FFFh erased";
  EXPECT_EQ(all[0x2000], 0x22) << "the next sector kept";
  EXPECT_EQ(all[0x10000], 0x11) << "the other half kept";

  EXPECT_EQ(b.Send({0x02, 0x02}), Bytes{0xC0});
  EXPECT_EQ(b.chip->ExternalFlashBytes(), Bytes(0x20000, 0xFF));
  EXPECT_EQ(b.Send({0x63}), Bytes{0x63}) << "the keep-alive still answers";
  b.chip->Flash(0)[0] = 0x5A;
  EXPECT_EQ(b.Send(Cat({Frame(0x0C, 0x0000, 0x01), Frame(0x0B, 0x0000, 0x01), {0x63}})), Bytes{0x63})
      << "the chip's own read and erase are not understood here";
  EXPECT_EQ(b.chip->Flash(0)[0], 0x5A);
}

TEST(SimExternalFlash, LeavingRestoresTheChipsOwnCommandSet) {
  SimBench b = Detected(ChipConfig(kKT420));
  b.Send(kEnter);
  EXPECT_TRUE(b.Send(kLeave).empty());
  EXPECT_FALSE(b.chip->ExternalBankEntered());
  // 04h 00h is the KT400 family's SB1 again, not an erase frame.
  b.Send({0x04, 0x00});
  EXPECT_EQ(b.chip->SecurityBits(), 0x80);
  // 01h 01h with no bank entered has nothing to do and swallows nothing.
  EXPECT_EQ(b.Send(Cat({kLeave, {0x63}})), Bytes{0x63});
  b.Program(0x0000, {0x00});
  EXPECT_EQ(b.Read(0x0000, 1), Bytes{0x00});
  // Without a bank an 06h frame is taken whole and changes nothing.
  EXPECT_EQ(b.Send(Cat({ExternalProgram(0x0000, {0x60}), {0x63}})), Bytes{0x63});
  EXPECT_EQ(b.chip->ExternalFlashBytes()[0], 0xFF);
}

TEST(SimExternalFlash, ExternalMemoryModeReadsTheExternalFlashWithoutEntering) {
  auto config = ChipConfig(kKT530, kExternalMemory);
  config.a16 = true;
  SimBench b = Detected(config);
  b.chip->SetExternalFlashBytes(0x10000, Bytes{0xA5, 0x5A});
  EXPECT_EQ(b.Send(Frame(0x03, 0x0000, 0x02)), (Bytes{0xA5, 0x5A}));
}

// SC0/SC1 programmed in internal memory mode take the loader out of reach
// there, on the models the completion messages name.
TEST(SimExternalFlash, ConfigurationBitsHideTheLoaderInInternalMode) {
  struct Case {
    int model;
    Bytes bytes;
    bool detectable;
  };
  const Case cases[] = {
      {kKT540, {0x04, 0x09, 0x5A}, false}, {kKT550, {0x04, 0x09, 0x5A}, false},
      {kKT560, {0x04, 0x09, 0x5A}, true},  {kKT530, {0x04, 0x09, 0xAA}, false},
      {kKT580, {0x04, 0x09, 0xAA}, false}, {kKT570, {0x04, 0x08, 0x55}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(DescribeChip(c.model).chipTypeText);
    SimBench b = Detected(ChipConfig(c.model));
    b.Send(c.bytes);
    EXPECT_EQ(b.Detect() >= 0, c.detectable);
  }
}

TEST(SimExternalFlash, LoopbackEchoesEveryByte) {
  auto config = ChipConfig(kKT420);
  config.loopback = true;
  SimBench b(config);
  EXPECT_EQ(b.Send({0x80, 0xE0, 0xF8}), (Bytes{0x80, 0xE0, 0xF8}));
}

}  // namespace
}  // namespace brisko::test
