#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "link/command_primitives.hpp"
#include "link/read_routines.hpp"
#include "link/result_codes.hpp"
#include "support/result_print.hpp"
#include "link/serial_port.hpp"
#include "link/wire_trace.hpp"
#include "support/fast_timing.hpp"
#include "support/recording_sink.hpp"
#include "support/temp_dir.hpp"

namespace brisko {
namespace {

using test::FastTiming;
using Log = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;
using Writes = std::vector<Bytes>;

// What the port did to its device, in order, and what the device should do.
struct Wire {
  Log log;
  Writes writes;  // every write attempted
  std::deque<std::uint8_t> input;
  int failWriteAt = -1;         // index into writes of the one that fails
  bool failBySlowness = false;  // fail after the whole limit instead of at once
  bool drains = true;           // the output queue empties within the limit
  int devicesAlive = 0;

  Bytes Sent() const {
    Bytes all;
    for (const auto& w : writes) all.insert(all.end(), w.begin(), w.end());
    return all;
  }
};

// Overrides only Write, so that the port goes through the device's default
// telling of a refusal from a time-out.
class FakeDevice final : public SerialDevice {
 public:
  explicit FakeDevice(std::shared_ptr<Wire> wire) : w_(std::move(wire)) { ++w_->devicesAlive; }
  ~FakeDevice() override {
    --w_->devicesAlive;
    w_->log.push_back("gone");
  }
  bool Configure(unsigned baudRate) override {
    w_->log.push_back("configure " + std::to_string(baudRate));
    return true;
  }
  std::size_t InputAvailable() override { return w_->input.size(); }
  bool WaitForInput(Millis limit) override {
    w_->log.push_back("wait " + std::to_string(limit.count()));
    return !w_->input.empty();
  }
  long ReadAvailable(std::uint8_t* out, std::size_t count) override {
    std::size_t n = 0;
    for (; n < count && !w_->input.empty(); w_->input.pop_front()) out[n++] = w_->input.front();
    return static_cast<long>(n);
  }
  bool Write(const std::uint8_t* data, std::size_t count, Millis limit) override {
    int index = static_cast<int>(w_->writes.size());
    w_->writes.emplace_back(data, data + count);
    w_->log.push_back("write");
    if (index != w_->failWriteAt) return true;
    if (w_->failBySlowness) std::this_thread::sleep_for(limit);
    return false;
  }
  bool DrainOutput(Millis limit) override {
    w_->log.push_back("drain " + std::to_string(limit.count()));
    return w_->drains;
  }
  void PurgeInput() override { w_->log.push_back("purge in"); }
  void PurgeOutput() override { w_->log.push_back("purge out"); }
  void SetDtr(bool on) override { w_->log.push_back(on ? "DTR on" : "DTR off"); }
  void SetRts(bool on) override { w_->log.push_back(on ? "RTS on" : "RTS off"); }

 private:
  std::shared_ptr<Wire> w_;
};

class SerialPortTest : public ::testing::Test {
 protected:
  // The drain before a purge or a close.
  static std::string Drain() { return "drain " + std::to_string(FastTiming().finalDrainWait.count()); }
  DeviceOpener Opener() {
    return [this](const std::string& name, std::string& whyNot) -> std::unique_ptr<SerialDevice> {
      opened.push_back(name);
      if (refuseOpen) {
        whyNot = name + ": no such device";
        return nullptr;
      }
      return std::make_unique<FakeDevice>(wire);
    };
  }

  std::shared_ptr<Wire> wire = std::make_shared<Wire>();
  Log opened;
  bool refuseOpen = false;
  test::RecordingSink sink;
  SerialPort port{sink, Opener(), FastTiming()};
};

TEST_F(SerialPortTest, OpenEndsWithRtsOffAt38400UnlessTheRateIsAcceptedAndReopensTakeTheLinkDown) {
  port.SetBaudRate(57600);
  ASSERT_EQ(port.Open(), Result::Ok);
  EXPECT_EQ(opened, Log{"COM1"});
  EXPECT_EQ(port.LastOpenError(), "");
  EXPECT_EQ(wire->log, (Log{"configure 38400", "DTR on", "RTS on", "purge in", "drain 0", "RTS off"}));
  EXPECT_EQ(port.AppliedBaudRate(), 38400u);
  EXPECT_EQ(port.GetBaudRate(), 57600u) << "the operator's choice is kept";
  EXPECT_FALSE(port.IsLinkUp());

  // Whatever ends the device in use takes the link down: a reopen (which
  // closes it first, as a close does), a failed open and a close.
  port.SetLinkUp();
  port.SetBaudRate(9600);
  port.SetDevicePath("/dev/ttyUSB1");
  ASSERT_EQ(port.Open(), Result::Ok);
  EXPECT_EQ(port.AppliedBaudRate(), 9600u);
  EXPECT_EQ(opened.back(), "/dev/ttyUSB1");
  EXPECT_EQ(wire->devicesAlive, 1);
  EXPECT_FALSE(port.IsLinkUp());

  port.SetLinkUp();
  refuseOpen = true;
  EXPECT_EQ(port.Open(), Result::PortNotOpened);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_FALSE(port.IsLinkUp());
  EXPECT_EQ(wire->devicesAlive, 0) << "the previous device is closed";
  EXPECT_EQ(port.LastOpenError(), "/dev/ttyUSB1: no such device");
  EXPECT_TRUE(sink.messages.empty());
  EXPECT_EQ(port.Close(), CloseResult::NotOpen);

  refuseOpen = false;
  ASSERT_EQ(port.Open(), Result::Ok);
  EXPECT_EQ(port.LastOpenError(), "");
  port.SetLinkUp();
  EXPECT_EQ(port.Close(), CloseResult::Closed);
  EXPECT_FALSE(port.IsLinkUp());
}

// A byte counts as sent once it has left the output queue: a purge or a
// close waits for that first, and clears the queue only when it did not
// empty in time, which is a failed write. On a pseudo-terminal the queue
// looks empty while the far end may not have the bytes yet: a clear would
// lose them, so nothing that drained is ever cleared.
TEST_F(SerialPortTest, PurgeAndCloseLetTheOutputDrainAndClearOnlyWhatDidNot) {
  const std::string notDrained = "COM1: the bytes written did not leave the output queue in time";
  struct Row {
    const char* what;
    bool drains;
    bool close;  // else PurgeOutput
    Log device;
    Log told;
  } rows[] = {
      {"purge, drained", true, false, {Drain()}, {}},
      {"purge, stuck", false, false, {Drain(), "purge out"}, {notDrained}},
      {"close, drained: the lines drop after the last byte", true, true,
       {Drain(), "DTR off", "RTS off", "purge in", "gone"}, {}},
      {"close, stuck", false, true, {Drain(), "DTR off", "RTS off", "purge in", "purge out", "gone"}, {notDrained}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_EQ(port.Open(), Result::Ok);
    ASSERT_TRUE(port.WriteByte(0x62));
    wire->log.clear();
    wire->drains = row.drains;
    sink.messages.clear();
    if (row.close)
      EXPECT_EQ(port.Close(), CloseResult::Closed);
    else
      EXPECT_EQ(port.PurgeOutput(), row.drains);
    EXPECT_EQ(wire->log, row.device);
    EXPECT_EQ(sink.messages, row.told);
    EXPECT_EQ(port.DrainOutput(), row.close || row.drains) << "a closed port has nothing pending";
  }
}

// One line per event: direction, milliseconds since the open,
// and a byte in hex or a note; each on disk as soon as it happened. The
// modem lines of each memory mode and of the reset pulse show here as the
// device gets them.
TEST_F(SerialPortTest, TraceRecordsOpenLinesAndBytesBothWays) {
  test::TempDir dir;
  const std::string path = dir.File("wire.txt");
  port.SetTrace(std::make_shared<WireTrace>(path));
  auto untimed = [&] { return std::regex_replace(test::ReadFile(path), std::regex(R"((TX|RX|--) \d+\.\d{3} )"), "$1 "); };
  ASSERT_EQ(port.Open(), Result::Ok);
  port.SetLinesForInternalMode();
  port.SetLinesForExternalMode();
  port.PulseRts();
  const std::uint8_t frame[2] = {0x0C, 0xA5};
  port.WriteBytes(frame, 2);
  wire->input = {0xC0};
  std::uint8_t byte = 0;
  port.ReadByte(byte);
  EXPECT_EQ(untimed(), std::string(kWireTraceHeader) + "-- open COM1 38400 bit/s 8-N-1\n-- DTR on\n-- RTS on\n-- RTS off\n"
                       "-- RTS off\n-- DTR off\n-- RTS on\n-- RTS off\n-- DTR on\n-- RTS on\n-- RTS off\n-- RTS on\n"
                       "TX 0C\nTX A5\nRX C0\n");
  port.Close();
  EXPECT_TRUE(untimed().ends_with("RX C0\n-- DTR off\n-- RTS off\n-- close\n")) << untimed();

  EXPECT_FALSE(std::make_shared<WireTrace>(path)->Failed());

  // A trace that cannot be written changes nothing on the line, and says so.
  struct Case {
    const char* path;
    const char* reason;
  } cases[] = {
      {"/nonexistent-dir/trace.txt", "/nonexistent-dir/trace.txt: cannot be created: No such file or directory"},
      {"/dev/full", "/dev/full: cannot be written: No space left on device"},
  };
  for (const auto& c : cases) {
    auto nowhere = std::make_shared<WireTrace>(c.path);
    port.SetTrace(nowhere);
    ASSERT_EQ(port.Open(), Result::Ok);
    EXPECT_TRUE(port.WriteByte(0x63));
    EXPECT_FALSE(nowhere->IsOpen()) << c.path;
    EXPECT_TRUE(nowhere->Failed()) << c.path;
    EXPECT_EQ(nowhere->FailureReason(), c.reason);
  }
}

// The loader takes a command's bytes back to back: each frame or short
// sequence is one write, in wire order, the address high byte first.
TEST_F(SerialPortTest, FramesAndShortSequencesGoOutAsOneWriteEachHighAddressByteFirst) {
  ASSERT_EQ(port.Open(), Result::Ok);
  EXPECT_TRUE(SendFrame(port, 0x0C, 0x2080, 128));
  EXPECT_TRUE(SendPair04(port, 0x03));
  EXPECT_TRUE(SendTriple04FF(port, 0x05));
  EXPECT_TRUE(SendPair02(port, 0x01));
  EXPECT_TRUE(SendRunUserCode(port));
  const Bytes data(257, 0x5A);  // the count byte is the length modulo 256
  EXPECT_TRUE(SendFrameWithData(port, 0x0E, 0x0100, data));
  Bytes program{0x0E, 0x01, 0x00, 0x01};
  program.insert(program.end(), data.begin(), data.end());
  EXPECT_EQ(wire->writes,
            (Writes{{0x0C, 0x20, 0x80, 0x80}, {0x04, 0x03}, {0x04, 0x05, 0xFF}, {0x02, 0x01}, {0x62, 0x62}, program}));
}

// A device that cannot tell a refusal from a time-out itself is judged by how
// long the failed write took; a write on a closed port is refused and told.
TEST_F(SerialPortTest, AFailedWriteFailsTheFrameAndSaysWhy) {
  const std::string refused = "2:Fail to write ORVEX_CMD_READ CMD byte!!!";
  struct Row {
    const char* what;
    bool slow;
    bool closed;
    std::string told;
  } rows[] = {
      {"refused", false, false, refused},
      {"timed out", true, false, "3:Fail to write ORVEX_CMD_READ CMD byte!!!"},
      {"closed port", false, true, refused},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ASSERT_EQ(port.Open(), Result::Ok);
    if (row.closed) port.Close();
    wire->writes.clear();
    wire->failWriteAt = 0;
    wire->failBySlowness = row.slow;
    sink.messages.clear();
    EXPECT_FALSE(SendFrame(port, 0x0E, 0x0100, 128));
    EXPECT_EQ(sink.messages, Log{row.told});
    EXPECT_EQ(port.IsOpen(), !row.closed);
    EXPECT_EQ(wire->writes.size(), row.closed ? 0u : 1u);
  }
}

// The read routines ask for 128-byte chunks; the fake device holds the chip's
// replies from the start.
Bytes Memory(std::size_t size, unsigned seed) {
  Bytes b(size);
  for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(i * 13 + i / 256 + seed);
  return b;
}
Bytes ReadFrames(std::uint8_t command, std::uint16_t first, int count) {
  Bytes frames;
  for (int k = 0; k < count; ++k, first += 128)
    frames.insert(frames.end(), {command, std::uint8_t(first >> 8), std::uint8_t(first), 128});
  return frames;
}

// The external loader image is read in nine chunks of 128 bytes; only its
// first 1144 bytes are compared.
TEST_F(SerialPortTest, ExternalLoaderVerification) {
  struct Case {
    const char* what;
    int flipFrom, flipTo;  // bytes of the chip's copy that differ
    std::size_t replies;
    Result result;
    int frames;
    Log messages;
  };
  const Case cases[] = {
      {"differs only in its last eight bytes", 1144, 1152, 1152, Result::Ok, 9, {}},
      {"differs in its third chunk", 300, 301, 1152, Result::Failed, 3, {}},
      {"a byte is missing", 0, 0, 128 * 4 + 5, Result::CommFailure, 5, {"Failed to Read data byte from the chip!"}},
      {"the port is closed", 0, 0, 0, Result::CommFailure, 0,
       {"2:Fail to write ORVEX_CMD_READ CMD byte!!!", "Failed to Send Read Command!"}},
  };
  const Bytes image = Memory(1152, 3);
  ASSERT_EQ(port.Open(), Result::Ok);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes chip = image;
    for (int i = c.flipFrom; i < c.flipTo; ++i) chip[i] ^= 0x5A;
    wire->input.assign(chip.begin(), chip.begin() + static_cast<long>(c.replies));
    wire->writes.clear();
    sink.messages.clear();
    if (c.frames == 0) port.Close();
    EXPECT_EQ(VerifyExternalLoaderImage(port, image), c.result);
    EXPECT_EQ(wire->Sent(), ReadFrames(0x03, 0x0000, c.frames));
    EXPECT_EQ(sink.messages, c.messages);
    // A mismatch still reads its whole chunk, so the next dialogue starts clean.
    EXPECT_EQ(wire->input.size(), c.replies - std::min<std::size_t>(c.replies, c.frames * 128u));
  }
}

}  // namespace
}  // namespace brisko
