#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "link/posix_serial_device.hpp"
#include "sim_bench.hpp"
#include "support/process.hpp"
#include "support/pty_board.hpp"
#include "support/temp_dir.hpp"

namespace brisko::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A client on the pty through the termios backend of the link layer.
std::unique_ptr<SerialDevice> Client(const std::string& path) {
  std::string why;
  auto d = OpenPosixSerialDevice(path, why);
  EXPECT_TRUE(d && d->Configure(38400)) << why;
  return d;
}

// Sends the bytes and reads up to `replyLength` reply bytes, each within three
// seconds.
Bytes Ask(SerialDevice& d, const Bytes& bytes, std::size_t replyLength) {
  Bytes out;
  if (!d.Write(bytes.data(), bytes.size(), 1000ms)) return out;
  for (std::uint8_t b = 0; out.size() < replyLength && d.WaitForInput(3000ms);)
    if (d.ReadAvailable(&b, 1) == 1) out.push_back(b);
  return out;
}

TEST(SimPty, ProgramServesTheHandshakeAndRemovesOnlyItsLink) {
  TempDir dir;
  const std::string link = dir.File("tty");
  ASSERT_EQ(symlink("/nonexistent", link.c_str()), 0) << "a stale link is replaced";
  {
    BackgroundProcess sim({BRISKO_SIM_PATH, "--model", "KT530", "--security", "40", "--link", link, "--quiet"});
    const std::string path = sim.ReadLine(5000ms);
    ASSERT_FALSE(path.empty());
    char target[256] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(path, target);

    auto client = Client(link);
    ASSERT_TRUE(client);
    EXPECT_EQ(Ask(*client, kSyncRound, 2), Text("OK"));
    EXPECT_EQ(Ask(*client, Text("BSL"), 3), Text("RDY"));
    EXPECT_EQ(Ask(*client, {0x05, 0x55}, 1), Bytes{0x40});
    EXPECT_EQ(Ask(*client, {0x60}, 2), (Bytes{0x11, 'F'}));
  }  // SIGTERM, as an operator stops it
  EXPECT_FALSE(std::filesystem::is_symlink(link)) << "the link goes with the program";

  const ProcessResult bad = RunProcess({BRISKO_SIM_PATH, "--model", "KT999"}, 5000ms);
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_EQ(bad.out, "");

  // Anything but a link where the link goes is left alone.
  WriteFile(link, "keep");
  const ProcessResult kept = RunProcess({BRISKO_SIM_PATH, "--model", "KT530", "--link", link, "--quiet"}, 5000ms);
  EXPECT_EQ(kept.exitCode, 1);
  EXPECT_EQ(ReadFile(link), "keep");
}

TEST(SimPty, ServerHoldsDelayedRepliesUntilTheyAreDue) {
  auto config = ChipConfig(kKT410, kExternalMemory);
  config.faults.replyFaults.push_back({sim::ReplyFault::Kind::Delay, 0x63, 1, 0, 0x01, Millis{150}});
  TempDir dir;
  PtyBoard board(std::make_shared<sim::SimTarget>(config), dir.File("tty"));
  ASSERT_TRUE(board.Serving()) << board.WhyNot();
  if (auto client = Client(dir.File("tty"))) {
    EXPECT_EQ(Ask(*client, Cat({kSyncRound, Text("BSL")}), 5), Text("OKRDY"));
    EXPECT_EQ(Ask(*client, {0x05, 0x01}, 1), Bytes{0x00});
    const auto sent = Clock::now();
    EXPECT_EQ(Ask(*client, {0x63, 0x60}, 3), (Bytes{0x63, 0x11, 'F'})) << "later replies wait behind the delayed one";
    EXPECT_GE(Clock::now() - sent, 150ms);
  }
}

// A host killed halfway through an erase frame: the next host's pattern must
// meet a freshly reset chip, not complete the frame as an erase.
TEST(SimPty, ServerResetsTheChipWhenTheHostClosesThePort) {
  auto target = std::make_shared<sim::SimTarget>(ChipConfig(kKT420));
  const Bytes flash = Pattern(256, 3);
  std::copy(flash.begin(), flash.end(), target->Flash(0).Data());
  TempDir dir;
  auto board = std::make_unique<PtyBoard>(target, dir.File("tty"));
  ASSERT_TRUE(board->Serving()) << board->WhyNot();
  auto eventually = [](auto condition) {
    for (auto deadline = Clock::now() + 3s; Clock::now() < deadline; std::this_thread::sleep_for(1ms))
      if (condition()) return true;
    return false;
  };

  if (auto client = Client(dir.File("tty"))) {
    EXPECT_EQ(Ask(*client, Cat({kSyncRound, Text("BSL")}), 5), Text("OKRDY"));
    EXPECT_EQ(Ask(*client, {0x05, 0x55}, 1), Bytes{0x00});
    const long heard = target->HostBytesSinceReset();
    const Bytes halfFrame{0x0B, 0x00};
    ASSERT_TRUE(client->Write(halfFrame.data(), 2, 1000ms));
    EXPECT_TRUE(eventually([&] { return target->HostBytesSinceReset() == heard + 2; }));
  }
  EXPECT_TRUE(eventually([&] { return target->CurrentPhase() == sim::SimTarget::Phase::AwaitPattern; }))
      << "closing the port resets the chip";
  if (auto client = Client(dir.File("tty"))) {
    EXPECT_EQ(Ask(*client, kSyncRound, 2), Text("OK"));
    EXPECT_EQ(Ask(*client, Text("BSL"), 3), Text("RDY"));
  }
  board.reset();
  EXPECT_EQ(Bytes(target->Flash(0).Data(), target->Flash(0).Data() + 256), flash);
}

}  // namespace
}  // namespace brisko::test
