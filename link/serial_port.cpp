#include "link/serial_port.hpp"

#include <array>
#include <chrono>

#include "link/port_names.hpp"
#include "link/precise_timers.hpp"
#include "link/report_texts.hpp"
#include "link/result_codes.hpp"
#include "link/wire_trace.hpp"

namespace brisko {
namespace {

constexpr std::array<unsigned, 9> kAcceptedBaudRates = {110,  300,  600,   1200, 2400,
                                                        4800, 9600, 19200, 38400};


}  // namespace

SerialPort::SerialPort(MessageSink& owner, DeviceOpener opener, LinkTiming timing)
    : owner_(&owner), opener_(std::move(opener)), timing_(timing) {}

SerialPort::~SerialPort() { Close(); }

bool SerialPort::IsAcceptedBaudRate(unsigned b) {
  for (unsigned rate : kAcceptedBaudRates)
    if (rate == b) return true;
  return false;
}

std::string SerialPort::DeviceName() const {
  return devicePath_.empty() ? ComName(portNumber_) : devicePath_;
}

Result SerialPort::Open() {
  if (IsOpen()) Close();
  // A re-open always starts with the link down, even when it fails.
  linkUp_ = false;

  std::string name = DeviceName();
  std::string whyNot;
  std::unique_ptr<SerialDevice> device;
  if (opener_)
    device = opener_(name, whyNot);
  else
    whyNot = name + ": no serial device backend";
  if (!device) {
    lastOpenError_ = whyNot.empty() ? name + ": cannot be opened" : whyNot;
    if (trace_) trace_->Note("open " + name + " failed: " + lastOpenError_);
    return Result::PortNotOpened;
  }
  device_ = std::move(device);
  lastOpenError_.clear();
  disconnectTold_ = false;

  const unsigned rate = baudRate_;
  appliedBaudRate_ = IsAcceptedBaudRate(rate) ? rate : kDefaultBaudRate;
  if (trace_) {
    trace_->Restart();
    trace_->Note("open " + name + " " + std::to_string(appliedBaudRate_) + " bit/s 8-N-1");
  }
  // The configuration brings both modem lines up; RTS then goes down so that
  // the line-setting sequence that follows starts from a known state. Results
  // are not checked: a device that lacks a setting still carries bytes.
  device_->Configure(appliedBaudRate_);
  // Silent where refused: a port without the setting works as it is.
  if (device_->RequestLowLatency() && trace_) trace_->Note("low latency on");
  lastWriteSize_ = 0;
  SetLine(Line::Dtr, true);
  SetLine(Line::Rts, true);
  device_->PurgeInput();
  // Nothing was written on this handle; what another writer left in a real
  // port's queue has drained by the time its close returned.
  DiscardOutputUnless(device_->DrainOutput(Millis{0}));
  SetLine(Line::Rts, false);
  return Result::Ok;
}

// The last bytes leave before the lines drop: RTS low holds the board in
// reset, and a byte still in the queue would reach a chip that no longer
// listens, or not reach it at all.
CloseResult SerialPort::Close() {
  linkUp_ = false;
  if (!IsOpen()) return CloseResult::NotOpen;
  const bool drained = DrainOutput();
  SetLine(Line::Dtr, false);
  SetLine(Line::Rts, false);
  device_->PurgeInput();
  DiscardOutputUnless(drained);
  device_.reset();
  if (trace_) trace_->Note("close");
  return CloseResult::Closed;
}

CloseResult SerialPort::Shutdown() {
  if (IsOpen()) Close();
  return CloseResult::Closed;
}

bool SerialPort::ReadByte(std::uint8_t& out) {
  if (!WaitForInput()) return false;
  auto deadline = std::chrono::steady_clock::now() + timing_.readCompletion;
  for (;;) {
    std::uint8_t byte = 0;
    long taken = device_->ReadAvailable(&byte, 1);
    if (taken == 1) {
      out = byte;
      if (trace_) trace_->Received(&byte, 1);
      return true;
    }
    if (taken < 0) {
      ReportDisconnected();
      return false;
    }
    auto left = std::chrono::duration_cast<Millis>(deadline - std::chrono::steady_clock::now());
    if (left <= Millis{0}) return false;
    device_->WaitForInput(left);
  }
}

// A device that fails a read has gone away (unplugged, or the far end of a
// pseudo-terminal closed); every later transfer fails, so the operator hears
// the reason once rather than a time-out per byte.
void SerialPort::ReportDisconnected() {
  linkUp_ = false;
  if (disconnectTold_) return;
  disconnectTold_ = true;
  if (trace_) trace_->Note("disconnected");
  owner_->Tell(DeviceName() + ": " + text::kPortDisconnected);
}

bool SerialPort::WriteByte(std::uint8_t byte) {
  return WriteRaw(&byte, 1, timing_.writeCompletion);
}

bool SerialPort::WriteBytes(const std::uint8_t* data, std::size_t count) {
  return WriteRaw(data, count, timing_.writeBytesCompletion);
}

// Waiting for the previous write to leave keeps at most one write in the
// output queue, so a reply is never waited for behind a long queue. The wait
// covers the line time of that write's bytes beyond its first, which a
// several-byte write needs at low bit rates. The write goes ahead even when
// the queue did not empty in time.
bool SerialPort::Drain() {
  UsePreciseTimersOnThisThread();
  const std::size_t beyondFirst = lastWriteSize_ > 1 ? lastWriteSize_ - 1 : 0;
  const auto lineTime = Millis{beyondFirst * 10'000 / appliedBaudRate_};  // ten bits a byte
  return device_->DrainOutput(timing_.drainWait + lineTime);
}

bool SerialPort::WriteRaw(const std::uint8_t* data, std::size_t count, Millis limit) {
  if (!IsOpen()) {
    owner_->Tell(text::kWriteRefused);
    return false;
  }
  Drain();
  lastWriteSize_ = count;
  switch (device_->WriteWithin(data, count, limit)) {
    case WriteResult::Done:
      if (trace_) trace_->Sent(data, count);
      return true;
    case WriteResult::Refused:
      if (trace_) trace_->Note("write refused");
      owner_->Tell(text::kWriteRefused);
      return false;
    case WriteResult::TimedOut:
      if (trace_) trace_->Note("write timed out");
      owner_->Tell(text::kWriteTimedOut);
      return false;
  }
  return false;
}

bool SerialPort::WaitForInput() {
  if (!IsOpen()) return false;
  UsePreciseTimersOnThisThread();
  return device_->WaitForInput(timing_.inputWait);
}

bool SerialPort::PollInput() {
  if (!IsOpen()) return false;
  return device_->WaitForInput(timing_.pollWait);
}

bool SerialPort::PurgeInput() {
  if (!IsOpen()) return false;
  device_->PurgeInput();
  return true;
}

bool SerialPort::DrainOutput() {
  if (!IsOpen()) return true;
  UsePreciseTimersOnThisThread();
  if (device_->DrainOutput(timing_.finalDrainWait)) return true;
  if (trace_) trace_->Note("output did not drain");
  owner_->Tell(DeviceName() + ": " + text::kOutputNotDrained);
  return false;
}

bool SerialPort::PurgeOutput() {
  if (!IsOpen()) return false;
  const bool drained = DrainOutput();
  DiscardOutputUnless(drained);
  return drained;
}

void SerialPort::DiscardOutputUnless(bool drained) {
  if (!drained) device_->PurgeOutput();
}

void SerialPort::SetLinesForInternalMode() {
  SetLine(Line::Rts, false);
  SetLine(Line::Dtr, false);
  SetLine(Line::Rts, true);
}

void SerialPort::SetLinesForExternalMode() {
  SetLine(Line::Rts, false);
  SetLine(Line::Dtr, true);
  SetLine(Line::Rts, true);
}

// The board's reset circuit hangs on RTS: a falling then rising edge restarts
// the chip into its loader.
void SerialPort::PulseRts() {
  SetLine(Line::Rts, false);
  SetLine(Line::Rts, true);
}

void SerialPort::SetLine(Line line, bool on) {
  if (!IsOpen()) return;
  if (line == Line::Dtr)
    device_->SetDtr(on);
  else
    device_->SetRts(on);
  if (trace_) trace_->Note(std::string(line == Line::Dtr ? "DTR" : "RTS") + (on ? " on" : " off"));
}

void SerialPort::TraceNote(const std::string& note) {
  if (trace_) trace_->Note(note);
}

}  // namespace brisko
