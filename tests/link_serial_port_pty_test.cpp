// The real termios backend on a pseudo-terminal; the test plays the chip on
// the master side.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "link/posix_serial_device.hpp"
#include "link/result_codes.hpp"
#include "support/result_print.hpp"
#include "link/serial_port.hpp"
#include "support/fast_timing.hpp"
#include "support/recording_sink.hpp"
#include "support/temp_dir.hpp"

namespace brisko {
namespace {

using Clock = std::chrono::steady_clock;
using test::FastTiming;
using test::RecordingSink;
using Bytes = std::vector<std::uint8_t>;

class PtyPair {
 public:
  PtyPair() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    char name[128] = {};
    if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0 &&
        ::ptsname_r(master_, name, sizeof name) == 0)
      slave_ = name;
  }
  ~PtyPair() { CloseMaster(); }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  const std::string& Slave() const { return slave_; }
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }
  void Send(const Bytes& bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  // What the host sent, up to `count` bytes or until two seconds pass.
  Bytes Take(std::size_t count) {
    Bytes got;
    for (auto deadline = Clock::now() + Millis{2000}; got.size() < count && Clock::now() < deadline;) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 10) <= 0 || !(p.revents & POLLIN)) continue;
      std::uint8_t buf[256];
      ssize_t n = ::read(master_, buf, std::min(sizeof buf, count - got.size()));
      if (n > 0) got.insert(got.end(), buf, buf + n);
    }
    return got;
  }

 private:
  int master_ = -1;
  std::string slave_;
};

double MillisSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

class PtyPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(pty.Slave().empty());
    port.SetDevicePath(pty.Slave());
    ASSERT_EQ(port.Open(), Result::Ok) << port.LastOpenError();
  }

  PtyPair pty;
  RecordingSink sink;
  SerialPort port{sink, OpenPosixSerialDevice, FastTiming()};
};

// Raw mode matters: a cooked terminal would swallow ^C, turn CR into LF and
// stop on XON/XOFF, all of which are ordinary bytes of flash contents.
TEST_F(PtyPortTest, EveryByteValuePassesUnchangedBothWaysAndOpenPurges) {
  // A pseudo-terminal has no modem lines; the sequences must not disturb it.
  port.SetLinesForInternalMode();
  port.SetLinesForExternalMode();
  port.PulseRts();

  Bytes all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<std::uint8_t>(i);
  const Bytes special{0x0C, 0x0D, 0x0A, 0x03, 0x11, 0x13, 0x7F, 0xFF};
  for (std::uint8_t b : special) ASSERT_TRUE(port.WriteByte(b));
  EXPECT_EQ(pty.Take(8), special);
  ASSERT_TRUE(port.WriteBytes(all.data(), all.size()));
  EXPECT_EQ(pty.Take(256), all);

  pty.Send(all);
  Bytes got(256);
  for (int i = 0; i < 256; ++i) ASSERT_TRUE(port.ReadByte(got[i])) << i;
  EXPECT_EQ(got, all);
  EXPECT_TRUE(sink.messages.empty());

  // What waits when the port opens is purged.
  pty.Send({0x4F, 0x4B});
  ASSERT_TRUE(port.WaitForInput());
  ASSERT_EQ(port.Open(), Result::Ok);
  EXPECT_FALSE(port.ReadByte(got[0]));
}

// A pseudo-terminal reports its output queue empty at once, while a flush
// right after a write still throws away, now and then, bytes the far end has
// not taken from the terminal yet. A purge after the last bytes of a command
// (and a close) must lose none of them.
TEST_F(PtyPortTest, APurgeOrCloseRightAfterTheLastBytesLosesNone) {
  for (int round = 0; round < 300; ++round) {
    ASSERT_TRUE(port.WriteByte(0x62));
    ASSERT_TRUE(port.WriteByte(0x62));
    port.PurgeInput();
    EXPECT_TRUE(port.PurgeOutput());
    if (round % 10 == 0) {
      EXPECT_EQ(port.Close(), CloseResult::Closed);
      ASSERT_EQ(port.Open(), Result::Ok);
    }
    ASSERT_EQ(pty.Take(2), (Bytes{0x62, 0x62})) << "round " << round;
  }
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(PtyPortTest, ReadWaitAndPollEachEndAfterTheirOwnLimitAndAWaitEndsWhenAByteComes) {
  LinkTiming timing;
  timing.inputWait = Millis{1000};
  timing.pollWait = Millis{30};
  port.SetTiming(timing);
  std::uint8_t b = 0;
  auto start = Clock::now();
  EXPECT_FALSE(port.ReadByte(b));
  EXPECT_GE(MillisSince(start), 900);
  start = Clock::now();
  EXPECT_FALSE(port.WaitForInput());
  EXPECT_GE(MillisSince(start), 900);
  EXPECT_LT(MillisSince(start), 5000);
  start = Clock::now();
  EXPECT_FALSE(port.PollInput());
  EXPECT_GE(MillisSince(start), 25);
  EXPECT_LT(MillisSince(start), 900) << "a poll only glances";

  timing.inputWait = Millis{5000};
  port.SetTiming(timing);
  std::thread chip([&] {
    std::this_thread::sleep_for(Millis{20});
    pty.Send({0x63});
  });
  start = Clock::now();
  EXPECT_TRUE(port.WaitForInput());
  EXPECT_LT(MillisSince(start), 2500);
  chip.join();
  EXPECT_TRUE(port.ReadByte(b));
  EXPECT_EQ(b, 0x63);
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(PtyPortTest, AWriteThatCannotLeaveTimesOutWithinItsLimit) {
  // Nobody reads the master: the terminal's buffer fills and stays full.
  Bytes lots(1 << 20, 0x55);
  auto start = Clock::now();
  EXPECT_FALSE(port.WriteBytes(lots.data(), lots.size()));
  EXPECT_LT(MillisSince(start), 3000);
  EXPECT_EQ(sink.messages, std::vector<std::string>{"3:Fail to write ORVEX_CMD_READ CMD byte!!!"});
}

// After a hang-up the line polls readable while every read finds nothing; the
// read must see the end of the file and say why, once, rather than spin.
TEST_F(PtyPortTest, TheFarEndGoingAwayFailsTransfersWithoutHanging) {
  pty.CloseMaster();
  std::uint8_t b = 0;
  auto start = Clock::now();
  EXPECT_FALSE(port.ReadByte(b));
  EXPECT_FALSE(port.ReadByte(b));
  EXPECT_FALSE(port.WriteByte(0x63));
  EXPECT_LT(MillisSince(start), 3000);
  EXPECT_EQ(sink.messages, (std::vector<std::string>{pty.Slave() + ": the port was disconnected",
                                                     "2:Fail to write ORVEX_CMD_READ CMD byte!!!"}));
  EXPECT_EQ(port.Close(), CloseResult::Closed);

  std::string whyNot;
  PtyPair other;
  auto device = OpenPosixSerialDevice(other.Slave(), whyNot);
  ASSERT_TRUE(device && device->Configure(38400)) << whyNot;
  EXPECT_EQ(device->ReadAvailable(&b, 1), 0) << "an empty queue on a live line is not a hang-up";
}

TEST_F(PtyPortTest, ASecondOpenOfTheSameDeviceIsBusy) {
  RecordingSink otherSink;
  SerialPort other(otherSink, OpenPosixSerialDevice, FastTiming());
  other.SetDevicePath(pty.Slave());
  EXPECT_EQ(other.Open(), Result::PortNotOpened);
  EXPECT_EQ(other.LastOpenError(), pty.Slave() + ": busy: another program has it open");

  ASSERT_TRUE(port.WriteByte(0x60));
  EXPECT_EQ(pty.Take(1), Bytes{0x60});
  port.Close();
  EXPECT_EQ(other.Open(), Result::Ok);
}

TEST(PosixDeviceTest, ReasonsAUserCanActOnAndComNamesThroughTheUsersPortMap) {
  std::string why;
  EXPECT_EQ(OpenPosixSerialDevice("/dev/brisko-no-such-port", why), nullptr);
  EXPECT_EQ(why, "/dev/brisko-no-such-port: no such device");
  EXPECT_EQ(OpenPosixSerialDevice("/dev/null", why), nullptr);
  EXPECT_EQ(why, "/dev/null: not a serial device");

  test::TempDir dir;
  PtyPair pty;
  ASSERT_FALSE(pty.Slave().empty());
  test::WriteFile(dir.File("ports.conf"), "# adapters\nCOM7=" + pty.Slave() + "\n");

  const DeviceOpener opener = PosixOpener(dir.File("ports.conf"));
  EXPECT_NE(opener("COM7", why), nullptr) << why;
  EXPECT_EQ(opener("COM200", why), nullptr);
  EXPECT_EQ(why, "/dev/ttyS199: no such device");
}

}  // namespace
}  // namespace brisko
