#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "link/link_timing.hpp"
#include "link/message_sink.hpp"
#include "link/result_codes.hpp"
#include "link/serial_device.hpp"

namespace brisko {

class WireTrace;

// The one RS-232 link to the chip's loader. Bytes go one at a time with fixed
// time limits; the modem lines follow fixed sequences per memory mode.
// Results: Open Ok / PortNotOpened, Close Closed / NotOpen, transfers true / false.
class SerialPort {
 public:
  static constexpr unsigned kDefaultBaudRate = 38400;

  SerialPort(MessageSink& owner, DeviceOpener opener, LinkTiming timing = {});
  ~SerialPort();
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  Result Open();
  CloseResult Close();
  CloseResult Shutdown();
  bool IsOpen() const { return device_ != nullptr; }

  // Byte transfers: true when done, false when not (a write has told its
  // owner why; a read that got nothing says nothing).
  bool ReadByte(std::uint8_t& out);
  bool WriteByte(std::uint8_t byte);
  bool WriteBytes(const std::uint8_t* data, std::size_t count);
  bool WaitForInput();
  bool PollInput();
  bool PurgeInput();
  // A byte counts as sent once it has left the output queue. Waits (at most
  // timing.finalDrainWait) until everything written has left; a queue that
  // does not empty in time is a failed write: told, and false. True on a
  // closed port (nothing is pending).
  bool DrainOutput();
  // Drains first, and aborts and clears the output queue only when the drain
  // failed: bytes already written are never thrown away. On a
  // pseudo-terminal the queue always looks empty while the far end may not
  // have taken the bytes yet, and clearing it would lose them. False when
  // the port is closed or output had to be discarded.
  bool PurgeOutput();

  void SetLinesForInternalMode();
  void SetLinesForExternalMode();
  void PulseRts();

  void SetLinkUp() { linkUp_ = true; }
  void ClearLinkUp() { linkUp_ = false; }
  bool IsLinkUp() const { return linkUp_; }

  int GetPortNumber() const { return portNumber_; }
  void SetPortNumber(int n) { portNumber_ = n; }
  unsigned GetBaudRate() const { return baudRate_; }
  void SetBaudRate(unsigned b) { baudRate_ = b; }
  // The rate the last Open applied (38400 when the stored rate is not one the
  // loader accepts).
  unsigned AppliedBaudRate() const { return appliedBaudRate_; }
  static bool IsAcceptedBaudRate(unsigned b);

  // A device path that replaces "COM<n>" (the command line's --port PATH).
  void SetDevicePath(std::string path) { devicePath_ = std::move(path); }
  const std::string& DevicePath() const { return devicePath_; }
  // The name Open resolves: the device path if one is set, else "COM<n>".
  std::string DeviceName() const;
  // Why the last Open failed, for the operator ("" after a success).
  const std::string& LastOpenError() const { return lastOpenError_; }

  void SetOwner(MessageSink& owner) { owner_ = &owner; }
  MessageSink& Owner() { return *owner_; }
  void SetTrace(std::shared_ptr<WireTrace> trace) { trace_ = std::move(trace); }
  // A note line in the wire trace, when one is kept (diagnostics that are
  // not for the operator).
  void TraceNote(const std::string& note);

  const LinkTiming& Timing() const { return timing_; }
  void SetTiming(const LinkTiming& timing) { timing_ = timing; }

 private:
  void ReportDisconnected();
  enum class Line { Dtr, Rts };
  void SetLine(Line line, bool on);
  bool Drain();
  // The output purge of Open, Close and PurgeOutput; `drained` says whether
  // anything is left to discard.
  void DiscardOutputUnless(bool drained);
  bool WriteRaw(const std::uint8_t* data, std::size_t count, Millis limit);

  MessageSink* owner_;
  DeviceOpener opener_;
  LinkTiming timing_;
  std::unique_ptr<SerialDevice> device_;
  std::shared_ptr<WireTrace> trace_;
  bool linkUp_ = false;
  // Read by the window's timer on its own thread (the port and baud panes).
  std::atomic<unsigned> baudRate_{kDefaultBaudRate};
  unsigned appliedBaudRate_ = kDefaultBaudRate;
  std::atomic<int> portNumber_{1};
  std::string devicePath_;
  std::string lastOpenError_;
  // The device reported itself gone; told once per open.
  bool disconnectTold_ = false;
  // Bytes of the last write: the next write's drain waits for their line time.
  std::size_t lastWriteSize_ = 0;
};

}  // namespace brisko
