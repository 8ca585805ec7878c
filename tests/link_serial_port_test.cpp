#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "link/command_primitives.hpp"
#include "link/result_codes.hpp"
#include "link/serial_port.hpp"
#include "link/wire_trace.hpp"
#include "support/fast_timing.hpp"
#include "support/recording_sink.hpp"
#include "support/temp_dir.hpp"

namespace brisko {
namespace {

using test::FastTiming;
using test::RecordingSink;

// What the port did to its device, in order, and what the device should do.
struct Wire {
  std::vector<std::string> log;
  std::vector<std::vector<std::uint8_t>> writes;  // every write attempted
  std::vector<Millis> writeLimits;
  std::deque<std::uint8_t> input;
  int failWriteAt = -1;       // index into writes of the one that fails
  bool failBySlowness = false;  // fail after the whole limit instead of at once
  int devicesAlive = 0;

  std::vector<std::string> Lines() const {
    std::vector<std::string> lines;
    for (const auto& e : log)
      if (e.rfind("DTR", 0) == 0 || e.rfind("RTS", 0) == 0) lines.push_back(e);
    return lines;
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
    while (n < count && !w_->input.empty()) {
      out[n++] = w_->input.front();
      w_->input.pop_front();
    }
    return static_cast<long>(n);
  }
  bool Write(const std::uint8_t* data, std::size_t count, Millis limit) override {
    int index = static_cast<int>(w_->writes.size());
    w_->writes.emplace_back(data, data + count);
    w_->writeLimits.push_back(limit);
    w_->log.push_back("write");
    if (index != w_->failWriteAt) return true;
    if (w_->failBySlowness) std::this_thread::sleep_for(limit);
    return false;
  }
  bool DrainOutput(Millis limit) override {
    w_->log.push_back("drain " + std::to_string(limit.count()));
    return false;  // the write must go ahead all the same
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
  SerialPortTest() : port(sink, Opener(), FastTiming()) {}

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

  std::vector<std::vector<std::uint8_t>> Writes() const { return wire->writes; }

  std::shared_ptr<Wire> wire = std::make_shared<Wire>();
  std::vector<std::string> opened;
  bool refuseOpen = false;
  RecordingSink sink;
  SerialPort port;
};

using Bytes = std::vector<std::vector<std::uint8_t>>;

TEST_F(SerialPortTest, OpenConfiguresPurgesAndEndsWithRtsOff) {
  ASSERT_EQ(port.Open(), kResultOk);
  EXPECT_EQ(opened, std::vector<std::string>{"COM1"});
  EXPECT_EQ(port.LastOpenError(), "");
  EXPECT_EQ(wire->log, (std::vector<std::string>{"configure 38400", "DTR on", "RTS on", "purge in",
                                                 "purge out", "RTS off"}));
  EXPECT_FALSE(port.IsLinkUp());
}

TEST_F(SerialPortTest, RateOutsideTheAcceptedSetOpensAt38400AndIsKept) {
  port.SetBaudRate(57600);
  ASSERT_EQ(port.Open(), kResultOk);
  EXPECT_EQ(wire->log.front(), "configure 38400");
  EXPECT_EQ(port.AppliedBaudRate(), 38400u);
  EXPECT_EQ(port.GetBaudRate(), 57600u);

  port.SetBaudRate(9600);
  ASSERT_EQ(port.Open(), kResultOk);
  EXPECT_EQ(port.AppliedBaudRate(), 9600u);
  EXPECT_FALSE(SerialPort::IsAcceptedBaudRate(115200));
  EXPECT_TRUE(SerialPort::IsAcceptedBaudRate(110));
}

TEST_F(SerialPortTest, DeviceNameIsThePathWhenSetElseComN) {
  port.SetPortNumber(4);
  EXPECT_EQ(port.DeviceName(), "COM4");
  port.SetDevicePath("/dev/ttyUSB1");
  EXPECT_EQ(port.DeviceName(), "/dev/ttyUSB1");
  port.Open();
  EXPECT_EQ(opened.back(), "/dev/ttyUSB1");
}

TEST_F(SerialPortTest, ReopenClosesTheFirstDeviceAndLeavesTheLinkDown) {
  ASSERT_EQ(port.Open(), kResultOk);
  port.SetLinkUp();
  wire->log.clear();
  ASSERT_EQ(port.Open(), kResultOk);
  EXPECT_EQ(wire->devicesAlive, 1);
  std::vector<std::string> closing(wire->log.begin(), wire->log.begin() + 5);
  EXPECT_EQ(closing,
            (std::vector<std::string>{"DTR off", "RTS off", "purge in", "purge out", "gone"}));
  EXPECT_FALSE(port.IsLinkUp());
}

TEST_F(SerialPortTest, FailedOpenReturns14WithReasonAndThePreviousDeviceClosed) {
  ASSERT_EQ(port.Open(), kResultOk);
  port.SetLinkUp();
  refuseOpen = true;
  EXPECT_EQ(port.Open(), kResultPortNotOpened);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_FALSE(port.IsLinkUp());
  EXPECT_EQ(wire->devicesAlive, 0);
  EXPECT_EQ(port.LastOpenError(), "COM1: no such device");
  EXPECT_TRUE(sink.messages.empty());

  refuseOpen = false;
  ASSERT_EQ(port.Open(), kResultOk);
  EXPECT_EQ(port.LastOpenError(), "");
}

TEST_F(SerialPortTest, CloseAlwaysClearsTheLinkAndTellsWhetherItWasOpen) {
  port.SetLinkUp();
  EXPECT_EQ(port.Close(), kResultNotOpen);
  EXPECT_FALSE(port.IsLinkUp());

  port.Open();
  port.SetLinkUp();
  EXPECT_EQ(port.Close(), kResultOk);
  EXPECT_FALSE(port.IsLinkUp());
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.Close(), kResultNotOpen);
  EXPECT_EQ(port.Shutdown(), kResultOk);
}

TEST_F(SerialPortTest, ModemLineSequences) {
  port.Open();
  wire->log.clear();
  port.SetLinesForInternalMode();
  EXPECT_EQ(wire->Lines(), (std::vector<std::string>{"RTS off", "DTR off", "RTS on"}));
  wire->log.clear();
  port.SetLinesForExternalMode();
  EXPECT_EQ(wire->Lines(), (std::vector<std::string>{"RTS off", "DTR on", "RTS on"}));
  wire->log.clear();
  port.PulseRts();
  EXPECT_EQ(wire->Lines(), (std::vector<std::string>{"RTS off", "RTS on"}));
}

TEST_F(SerialPortTest, WritesDrainFirstAndUseTheirOwnCompletionLimits) {
  port.Open();
  wire->log.clear();
  EXPECT_EQ(port.WriteByte(0x63), kByteOk);
  const std::uint8_t pattern[4] = {0x80, 0xE0, 0xF8, 0xFE};
  EXPECT_EQ(port.WriteBytes(pattern, 4), kByteOk);
  auto drain = "drain " + std::to_string(FastTiming().drainWait.count());
  EXPECT_EQ(wire->log, (std::vector<std::string>{drain, "write", drain, "write"}));
  EXPECT_EQ(Writes(), (Bytes{{0x63}, {0x80, 0xE0, 0xF8, 0xFE}}));
  EXPECT_EQ(wire->writeLimits,
            (std::vector<Millis>{FastTiming().writeCompletion, FastTiming().writeBytesCompletion}));
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(SerialPortTest, RefusedWriteTellsTwoAndSlowWriteTellsThree) {
  port.Open();
  wire->failWriteAt = 0;
  EXPECT_EQ(port.WriteByte(0x60), kByteFail);
  EXPECT_EQ(sink.messages,
            std::vector<std::string>{"2:Fail to write ORVEX_CMD_READ CMD byte!!!"});

  sink.messages.clear();
  wire->failWriteAt = 1;
  wire->failBySlowness = true;
  const std::uint8_t bsl[3] = {'B', 'S', 'L'};
  EXPECT_EQ(port.WriteBytes(bsl, 3), kByteFail);
  EXPECT_EQ(sink.messages,
            std::vector<std::string>{"3:Fail to write ORVEX_CMD_READ CMD byte!!!"});
  EXPECT_TRUE(port.IsOpen());
}

TEST_F(SerialPortTest, ReadTakesOneByteAfterWaitingForInput) {
  port.Open();
  wire->input = {0x11, 'F'};
  std::uint8_t byte = 0;
  ASSERT_EQ(port.ReadByte(byte), kByteOk);
  EXPECT_EQ(byte, 0x11);
  ASSERT_EQ(port.ReadByte(byte), kByteOk);
  EXPECT_EQ(byte, 'F');

  wire->log.clear();
  EXPECT_EQ(port.ReadByte(byte), kByteFail);
  EXPECT_EQ(wire->log,
            std::vector<std::string>{"wait " + std::to_string(FastTiming().inputWait.count())});
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(SerialPortTest, WaitAndPollUseTheirOwnLimits) {
  LinkTiming timing;
  timing.inputWait = Millis{1999};
  timing.pollWait = Millis{9};
  port.SetTiming(timing);
  port.Open();
  wire->log.clear();
  EXPECT_EQ(port.WaitForInput(), kByteFail);
  EXPECT_EQ(port.PollInput(), kByteFail);
  wire->input = {0x4F};
  EXPECT_EQ(port.PollInput(), kByteOk);
  EXPECT_EQ(wire->log, (std::vector<std::string>{"wait 1999", "wait 9", "wait 9"}));
}

TEST_F(SerialPortTest, EveryTransferOnAClosedPortFails) {
  std::uint8_t byte = 0;
  EXPECT_EQ(port.ReadByte(byte), kByteFail);
  EXPECT_EQ(port.WaitForInput(), kByteFail);
  EXPECT_EQ(port.PollInput(), kByteFail);
  EXPECT_FALSE(port.PurgeInput());
  EXPECT_FALSE(port.PurgeOutput());
  port.SetLinesForInternalMode();
  port.PulseRts();
  EXPECT_TRUE(sink.messages.empty());
  EXPECT_EQ(port.WriteByte(0x63), kByteFail);
  EXPECT_EQ(sink.messages,
            std::vector<std::string>{"2:Fail to write ORVEX_CMD_READ CMD byte!!!"});
}

TEST_F(SerialPortTest, TraceRecordsOpenLinesAndBytesBothWays) {
  test::TempDir dir;
  auto trace = std::make_shared<WireTrace>(dir.File("wire.txt"));
  port.SetTrace(trace);
  port.Open();
  port.PulseRts();
  port.WriteByte(0x0C);
  wire->input = {0xC0};
  std::uint8_t byte = 0;
  port.ReadByte(byte);
  port.Close();

  std::string text = test::ReadFile(dir.File("wire.txt"));
  std::vector<std::string> lines;
  std::regex line(R"(^(TX|RX|--) \d+\.\d{3} (.*)$)");
  std::size_t start = 0;
  while (start < text.size()) {
    auto end = text.find('\n', start);
    std::string l = text.substr(start, end - start);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(l, m, line)) << l;
    lines.push_back(m[1].str() + " " + m[2].str());
    start = end + 1;
  }
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "-- open COM1 38400 bit/s 8-N-1", "-- DTR on", "-- RTS on", "-- RTS off",
                       "-- RTS off", "-- RTS on", "TX 0C", "RX C0", "-- DTR off", "-- RTS off",
                       "-- close"}));
}

// Frames and short sequences: the loader reads each byte on its own, so every
// byte must be a separate write, in wire order.
TEST_F(SerialPortTest, FrameGoesOutAsFourWritesHighAddressByteFirst) {
  port.Open();
  EXPECT_EQ(SendFrame(port, 0x0C, 0x2080, 128), kByteOk);
  EXPECT_EQ(Writes(), (Bytes{{0x0C}, {0x20}, {0x80}, {0x80}}));
  Frame f = MakeFrame(0x0B, 0x1F80, 0x01);
  EXPECT_EQ(std::vector<std::uint8_t>(f.bytes, f.bytes + 4),
            (std::vector<std::uint8_t>{0x0B, 0x1F, 0x80, 0x01}));
}

TEST_F(SerialPortTest, AFailedByteStopsTheRestOfTheFrame) {
  port.Open();
  wire->failWriteAt = 1;
  EXPECT_EQ(SendFrame(port, 0x0E, 0x0100, 128), kByteFail);
  EXPECT_EQ(Writes(), (Bytes{{0x0E}, {0x01}}));
  EXPECT_EQ(sink.messages.size(), 1u);

  wire->writes.clear();
  wire->failWriteAt = 0;
  EXPECT_EQ(SendTriple04FF(port, 0x0F), kByteFail);
  EXPECT_EQ(Writes(), (Bytes{{0x04}}));
}

TEST_F(SerialPortTest, ShortSequences) {
  port.Open();
  EXPECT_EQ(SendPair04(port, 0x03), kByteOk);
  EXPECT_EQ(SendTriple04FF(port, 0x05), kByteOk);
  EXPECT_EQ(SendPair02(port, 0x01), kByteOk);
  EXPECT_EQ(SendRunUserCode(port), kByteOk);
  EXPECT_EQ(Writes(), (Bytes{{0x04}, {0x03}, {0x04}, {0x05}, {0xFF}, {0x02}, {0x01}, {0x62},
                             {0x62}}));
}

}  // namespace
}  // namespace brisko
