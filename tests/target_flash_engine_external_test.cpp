// The external command set, used while an external flash bank is selected,
// against a scripted far end that serves a 64 KB bank the way the loader does.
#include <algorithm>
#include <memory>
#include <vector>

#include "target_flash_engine_fixture.hpp"

namespace brisko::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Log = std::vector<std::string>;

// One 64 KB bank behind the loader's external command set: 04h erases a
// 4096-byte sector, 06h programs the bytes that follow, 03h reads, 02h 02h
// erases everything.
struct ExternalBank {
  Bytes flash = Bytes(0x10000, 0xFF);
  std::uint8_t chipEraseAnswer = 0xC0;
  bool silent = false;

  void operator()(std::uint8_t byte, std::deque<std::uint8_t>& replies) {
    if (dataLeft > 0) {
      flash[dataAddress++ & 0xFFFF] = byte;
      --dataLeft;
      return;
    }
    frame.push_back(byte);
    if (frame.size() == 2 && frame[0] == 0x02 && frame[1] == 0x02) {
      std::fill(flash.begin(), flash.end(), 0xFF);
      Answer(replies, chipEraseAnswer);
      frame.clear();
      return;
    }
    if (frame.size() < 4) return;
    const std::size_t address = frame[1] * 256u + frame[2];
    const std::size_t count = frame[3] == 0 ? 256 : frame[3];
    switch (frame[0]) {
      case 0x04:
        std::fill_n(flash.begin() + static_cast<std::ptrdiff_t>(address & 0xF000), 0x1000, 0xFF);
        Answer(replies, 0xC0);
        break;
      case 0x06:
        dataAddress = address;
        dataLeft = count;
        break;
      case 0x03:
        for (std::size_t i = 0; i < count; ++i) Answer(replies, flash[(address + i) & 0xFFFF]);
        break;
      default:
        break;
    }
    frame.clear();
  }

 private:
  void Answer(std::deque<std::uint8_t>& replies, std::uint8_t b) const {
    if (!silent) replies.push_back(b);
  }
  Bytes frame;
  std::size_t dataAddress = 0;
  std::size_t dataLeft = 0;
};

class ExternalBankTest : public ::testing::Test {
 protected:
  ExternalBankTest() {
    rig.state.externalHighBankSelected = true;
  }
  static LinkTiming Timing() {
    LinkTiming t = FastTiming();
    t.externalErasePause = Millis{25};
    return t;
  }
  std::shared_ptr<ExternalBank> bank = std::make_shared<ExternalBank>();
  ScriptedRig rig{[b = bank](std::uint8_t byte, std::deque<std::uint8_t>& r) { (*b)(byte, r); }, Timing()};
};

TEST_F(ExternalBankTest, SectorEraseUses04hAndPausesBeforeTheReply) {
  std::fill_n(bank->flash.begin() + 0x1000, 0x2000, 0x12);
  EXPECT_EQ(rig.engine.EraseSectors(0x1000, 4096, 2), kResultOk);
  EXPECT_EQ(rig.device->sent, Concat({FrameBytes(0x04, 0x1000, 0x01), FrameBytes(0x04, 0x2000, 0x01)}));
  EXPECT_TRUE(std::all_of(bank->flash.begin() + 0x1000, bank->flash.begin() + 0x3000,
                          [](std::uint8_t b) { return b == 0xFF; }));
  // The external flash answers only once the erase has run: the host must
  // not start the reply's read time-out before the pause is over.
  int looksAfterFrames = 0;
  for (const auto& [sentSoFar, quiet] : rig.device->firstLookAfterWrite)
    if (sentSoFar % 4 == 0) {
      EXPECT_GE(quiet, rig.timing.externalErasePause);
      ++looksAfterFrames;
    }
  EXPECT_EQ(looksAfterFrames, 2);
}

TEST_F(ExternalBankTest, ProgramUses06hAndReadsBackWith03h) {
  const Bytes data = Pattern(200, 5);
  EXPECT_EQ(rig.engine.ProgramRange(0x8000, 128, data.data(), data.size()), kResultOk);

  Bytes last(data.begin() + 128, data.end());
  last.resize(128, 0xFF);
  EXPECT_EQ(rig.device->sent,
            Concat({FrameBytes(0x06, 0x8000, 0x80), Bytes(data.begin(), data.begin() + 128),
                    FrameBytes(0x03, 0x8000, 0x80), FrameBytes(0x06, 0x8080, 0x80), last,
                    FrameBytes(0x03, 0x8080, 0x80)}));
  EXPECT_TRUE(std::equal(data.begin(), data.end(), bank->flash.begin() + 0x8000));
}

TEST_F(ExternalBankTest, ReadAndCompareUse03h) {
  const Bytes content = Pattern(300, 6);
  std::copy(content.begin(), content.end(), bank->flash.begin() + 0xF000);

  Bytes destination(300);
  EXPECT_EQ(rig.engine.ReadRange(destination.data(), 0xF000, 300, 128), 300u);
  EXPECT_EQ(destination, content);
  EXPECT_EQ(rig.device->sent, Concat({FrameBytes(0x03, 0xF000, 128), FrameBytes(0x03, 0xF080, 128),
                                      FrameBytes(0x03, 0xF100, 44)}));

  rig.device->sent.clear();
  Bytes file = content;
  file[5] ^= 0xFF;
  long address = -1;
  int pair = -1;
  EXPECT_EQ(rig.engine.CompareRange(0xF000, 128, file.data(), file.size(), address, pair), kResultFail);
  EXPECT_EQ(address, 0xF005);
  EXPECT_EQ(pair, content[5] * 256 + file[5]);
  EXPECT_EQ(rig.device->sent, FrameBytes(0x03, 0xF000, 128));
}

TEST_F(ExternalBankTest, TheCommandSetFollowsTheBankFlags) {
  Bytes destination(16);
  rig.state.externalHighBankSelected = false;
  rig.state.externalLowBankSelected = true;
  rig.engine.ReadRange(destination.data(), 0x0000, 16, 16);
  rig.state.externalLowBankSelected = false;
  rig.engine.ReadRange(destination.data(), 0x0000, 16, 16);
  ASSERT_EQ(rig.device->sent.size(), 8u);
  EXPECT_EQ(rig.device->sent[0], 0x03);
  EXPECT_EQ(rig.device->sent[4], 0x0C);
}

TEST_F(ExternalBankTest, ChipEraseWantsItsConfirmation) {
  std::fill_n(bank->flash.begin(), 0x100, 0x00);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(rig.engine.ChipEraseExternal(), kResultOk);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(rig.device->sent, (Bytes{0x02, 0x02}));
  EXPECT_EQ(bank->flash[0], 0xFF);

  bank->chipEraseAnswer = 0x55;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(rig.engine.ChipEraseExternal(), kResultFail);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "\nChip-erase confirmation failed\n");

  bank->silent = true;
  ::testing::internal::CaptureStderr();
  Stopwatch watch;
  EXPECT_EQ(rig.engine.ChipEraseExternal(), kResultFail);
  EXPECT_LT(watch.Elapsed(), kGenerousBound);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << "an unanswered erase fails silently";
}

}  // namespace
}  // namespace brisko::test
