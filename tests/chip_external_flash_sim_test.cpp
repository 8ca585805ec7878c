// The engine's external command set and the external loader check against
// the simulated board's KF010, not a scripted far end.
#include "chip_flash_engine_fixture.hpp"
#include "firmware/firmware.hpp"
#include "link/read_routines.hpp"

namespace brisko::test {
namespace {

struct BoardRig : SimChip, EngineRig {
  explicit BoardRig(const sim::SimConfig& config) : SimChip(config), EngineRig(sim::SimOpener(target)) {}
  bool Connect() {
    if (port.Open() != Result::Ok || SimBench(target).Detect() < 0) return false;
    ClearWire();
    return true;
  }
  // The loader serves the external flash; the engine is told so.
  void EnterBank(bool high) {
    for (std::uint8_t b : {0x66, 0x66, 0x00}) port.WriteByte(b);
    state.externalLowBankSelected = !high;
    state.externalHighBankSelected = high;
  }
  Bytes External(std::size_t offset, std::size_t n) const {
    const Bytes all = target->ExternalFlashBytes();
    return Bytes(all.begin() + static_cast<long>(offset), all.begin() + static_cast<long>(offset + n));
  }
};

TEST(ExternalFlashOnTheBoard, EraseProgramReadCompareAndChipEraseReachTheSelectedHalf) {
  BoardRig rig(ChipConfig(kKT540));
  rig.target->SetA16(true);
  ASSERT_TRUE(rig.Connect());
  rig.EnterBank(true);
  rig.target->SetExternalFlashBytes(0x11000, Bytes(8192, 0x00));

  const Bytes data = Pattern(300, 51);
  EXPECT_EQ(rig.engine.EraseSectors(0x1000, 4096, 2), Result::Ok);
  EXPECT_EQ(rig.External(0x11000, 8192), Bytes(8192, 0xFF));
  EXPECT_EQ(rig.engine.ProgramRange(0x1000, 128, data.data(), data.size()), Result::Ok);
  EXPECT_EQ(rig.External(0x11000, 300), data);
  EXPECT_EQ(rig.External(0x01000, 300), Bytes(300, 0xFF)) << "the low half is not reached";
  EXPECT_TRUE(rig.WireHas({0x04, 0x10, 0x00, 0x01, 0x04, 0x20, 0x00, 0x01}));
  EXPECT_TRUE(rig.WireHas({0x06, 0x10, 0x00, 0x80}));

  Bytes back(300);
  EXPECT_EQ(rig.engine.ReadRange(back.data(), 0x1000, back.size(), 128), Result::Ok);
  EXPECT_EQ(back, data);
  long mismatchAddress = -1;
  int mismatchPair = -1;
  EXPECT_EQ(rig.engine.CompareRange(0x1000, 128, data.data(), data.size(), mismatchAddress, mismatchPair), Result::Ok);

  EXPECT_EQ(rig.engine.ChipEraseExternal(), Result::Ok);
  EXPECT_EQ(rig.target->ExternalFlashBytes(), Bytes(0x20000, 0xFF));

  rig.target->Faults().refuseEraseOccurrence = 3;
  EXPECT_EQ(rig.engine.EraseSectors(0x0000, 4096, 1), Result::Failed) << "the third erase frame is refused";
}

// In external memory mode the chip's program memory is the external flash:
// 03h frames read it, and the installed external loader is checked there.
TEST(ExternalFlashOnTheBoard, VerifyExternalLoaderImageReadsTheLowHalf) {
  auto config = ChipConfig(kKT530, kExternalMemory);
  BoardRig rig(config);
  ASSERT_TRUE(rig.Connect());
  const auto& image = firmware::ExternalLoaderImage;
  Bytes installed(image.begin(), image.end());
  rig.target->SetExternalFlashBytes(0, installed);
  EXPECT_EQ(VerifyExternalLoaderImage(rig.port, image), Result::Ok);
  EXPECT_TRUE(rig.WireHas({0x03, 0x04, 0x00, 0x80}));

  installed[1150] ^= 0xFF;  // past the 1144 bytes that count
  rig.target->SetExternalFlashBytes(0, installed);
  EXPECT_EQ(VerifyExternalLoaderImage(rig.port, image), Result::Ok);

  installed[100] ^= 0xFF;
  rig.target->SetExternalFlashBytes(0, installed);
  EXPECT_EQ(VerifyExternalLoaderImage(rig.port, image), Result::Failed);

  rig.target->SetA16(true);  // the switch shows the other half
  rig.target->SetExternalFlashBytes(0, Bytes(image.begin(), image.end()));
  EXPECT_EQ(VerifyExternalLoaderImage(rig.port, image), Result::Failed);

  rig.target->SetA16(false);
  ASSERT_EQ(rig.target->Faults().Apply("drop:03:0:5"), "");
  EXPECT_EQ(VerifyExternalLoaderImage(rig.port, image), Result::CommFailure) << "a byte that does not come";
}

}  // namespace
}  // namespace brisko::test
