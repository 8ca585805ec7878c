// The external command set's erases, against a scripted far end: 04h erases
// a 4096-byte sector, 02h 02h the whole device. Programs, reads and compares
// in a bank are tested with the file routines.
#include <deque>
#include <thread>

#include "chip_flash_engine_fixture.hpp"
#include "link/wire_trace.hpp"
#include "support/temp_dir.hpp"

namespace brisko::test {
namespace {

// The far end of the line: records what the host sends and serves `replies`,
// which are there from the start. After each write it notes how long the
// host left the line alone before it first looked for a reply.
class ScriptedDevice final : public SerialDevice {
 public:
  using Clock = std::chrono::steady_clock;

  bool Configure(unsigned) override { return true; }
  std::size_t InputAvailable() override { return Look(), replies.size(); }
  bool WaitForInput(Millis limit) override {
    if (Look(), !replies.empty()) return true;
    std::this_thread::sleep_for(limit);
    return false;
  }
  long ReadAvailable(std::uint8_t* out, std::size_t count) override {
    Look();
    std::size_t n = 0;
    for (; n < count && !replies.empty(); replies.pop_front()) out[n++] = replies.front();
    return static_cast<long>(n);
  }
  bool Write(const std::uint8_t* data, std::size_t count, Millis) override {
    sent.insert(sent.end(), data, data + count);
    lastWrite_ = Clock::now();
    looked_ = false;
    return true;
  }
  bool DrainOutput(Millis) override { return true; }
  void PurgeInput() override { replies.clear(); }
  void PurgeOutput() override {}
  void SetDtr(bool) override {}
  void SetRts(bool) override {}

  Bytes sent;
  std::deque<std::uint8_t> replies;
  std::vector<std::pair<std::size_t, Millis>> firstLookAfterWrite;  // host bytes sent by then, quiet time

 private:
  void Look() {
    if (!looked_)
      firstLookAfterWrite.emplace_back(sent.size(), std::chrono::duration_cast<Millis>(Clock::now() - lastWrite_));
    looked_ = true;
  }
  Clock::time_point lastWrite_ = Clock::now();
  bool looked_ = true;
};

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
  ScriptedDevice& Line() { return static_cast<ScriptedDevice&>(*rig.device); }
  void Reply(const Bytes& bytes) { Line().replies.assign(bytes.begin(), bytes.end()); }

  EngineRig rig{[](const std::string&, std::string&) { return std::make_unique<ScriptedDevice>(); }, Timing()};
};

TEST_F(ExternalBankTest, SectorEraseUses04hAndPausesBeforeTheReply) {
  Reply({0xC0, 0xC0});
  EXPECT_EQ(rig.engine.EraseSectors(0x1000, 4096, 2), Result::Ok);
  EXPECT_EQ(Line().sent, Cat({Frame(0x04, 0x1000, 0x01), Frame(0x04, 0x2000, 0x01)}));
  // The external flash answers only once the erase has run: the host must
  // not start the reply's read time-out before the pause is over.
  int looksAfterFrames = 0;
  for (const auto& [sentSoFar, quiet] : Line().firstLookAfterWrite)
    if (sentSoFar % 4 == 0) {
      EXPECT_GE(quiet, rig.timing.externalErasePause);
      ++looksAfterFrames;
    }
  EXPECT_EQ(looksAfterFrames, 2);
}

TEST_F(ExternalBankTest, ChipEraseWantsItsConfirmation) {
  struct Case {
    Bytes reply;
    Result result;
    bool noted;  // a wrong answer is noted in the wire trace, not told
  };
  for (const Case& c :
       {Case{{0xC0}, Result::Ok, false}, Case{{0x55}, Result::Failed, true}, Case{{}, Result::Failed, false}}) {
    TempDir dir;
    rig.port.SetTrace(std::make_shared<WireTrace>(dir.File("trace")));
    Reply(c.reply);
    Line().sent.clear();
    Stopwatch watch;
    EXPECT_EQ(rig.engine.ChipEraseExternal(), c.result);
    EXPECT_LT(watch.Elapsed(), kGenerousBound);
    rig.port.SetTrace(nullptr);
    EXPECT_EQ(ReadFile(dir.File("trace")).find("Chip-erase confirmation failed") != std::string::npos, c.noted);
    EXPECT_EQ(Line().sent, (Bytes{0x02, 0x02}));
  }
}

}  // namespace
}  // namespace brisko::test
