// The external command set's erases, against a bank of the board's flash:
// 04h erases a 4096-byte sector, 02h 02h the whole device. Programs, reads
// and compares in a bank are tested with the file routines.
#include "bank_device.hpp"
#include "chip_flash_engine_fixture.hpp"
#include "link/wire_trace.hpp"
#include "support/temp_dir.hpp"

namespace brisko::test {
namespace {

class ExternalBankTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(rig.port.Open(), Result::Ok);
    rig.state.externalHighBankSelected = true;
  }
  static LinkTiming Timing() {
    LinkTiming t = FastTiming();
    t.externalErasePause = Millis{25};
    return t;
  }

  std::shared_ptr<BankDevice::Bank> bank = std::make_shared<BankDevice::Bank>();
  EngineRig rig{[this](const std::string&, std::string&) { return std::make_unique<BankDevice>(bank); }, Timing()};
};

// The external flash answers only once the erase has run: the host must not
// start the reply's read time-out before the pause is over.
TEST_F(ExternalBankTest, SectorEraseUses04hAndPausesBeforeTheReply) {
  EXPECT_EQ(rig.engine.EraseSectors(0x1000, 4096, 2), Result::Ok);
  EXPECT_EQ(bank->hostBytes, Cat({Frame(0x04, 0x1000, 0x01), Frame(0x04, 0x2000, 0x01)}));
  ASSERT_EQ(bank->quietAfterErase.size(), 2u);
  for (const Millis quiet : bank->quietAfterErase) EXPECT_GE(quiet, rig.timing.externalErasePause);
}

TEST_F(ExternalBankTest, ChipEraseWantsItsConfirmation) {
  struct Case {
    std::optional<std::uint8_t> reply;
    Result result;
    bool noted;  // a wrong answer is noted in the wire trace, not told
  };
  for (const Case& c : {Case{0xC0, Result::Ok, false}, Case{0x55, Result::Failed, true},
                        Case{std::nullopt, Result::Failed, false}}) {
    TempDir dir;
    rig.port.SetTrace(std::make_shared<WireTrace>(dir.File("trace")));
    bank->chipEraseReply = c.reply;
    bank->hostBytes.clear();
    Stopwatch watch;
    EXPECT_EQ(rig.engine.ChipEraseExternal(), c.result);
    EXPECT_LT(watch.Elapsed(), kGenerousBound);
    rig.port.SetTrace(nullptr);
    EXPECT_EQ(ReadFile(dir.File("trace")).find("Chip-erase confirmation failed") != std::string::npos, c.noted);
    EXPECT_EQ(bank->hostBytes, (Bytes{0x02, 0x02}));
    EXPECT_TRUE(rig.messages.messages.empty());
  }
}

}  // namespace
}  // namespace brisko::test
