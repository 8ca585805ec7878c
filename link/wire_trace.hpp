#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace brisko {

// A record of every byte on the wire. The file opens with one header line
// (kWireTraceHeader), then one line per byte:
//   "<direction> <milliseconds since open> <hex byte>"   e.g. "TX 12.345 0C"
// with direction "TX" (host to chip) or "RX" (chip to host), the time in
// milliseconds with three decimals and the byte as two upper-case hex digits.
// Lines marked "--" note events such as opening the port or a modem-line
// change: "-- 0.012 RTS off". Every line is flushed at once, so a crash keeps
// it.
//
// A trace that cannot be written (no such folder, disk full, /dev/full) does
// not disturb the line: it stops writing, Failed() turns true and
// FailureReason() says why, for the program to report once and to count in
// its exit status.
class WireTrace {
 public:
  // Opens (truncates) the trace file and writes the header.
  explicit WireTrace(const std::string& path);
  ~WireTrace();
  WireTrace(const WireTrace&) = delete;
  WireTrace& operator=(const WireTrace&) = delete;

  // The file is open and nothing failed so far.
  bool IsOpen() const;
  // True once the file could not be opened or a write or flush to it failed;
  // it stays true.
  bool Failed() const;
  // "<path>: <what went wrong>", empty while nothing failed.
  std::string FailureReason() const;

  // Starts the millisecond clock again (called when the port opens).
  void Restart();
  void Sent(const std::uint8_t* data, std::size_t count);
  void Received(const std::uint8_t* data, std::size_t count);
  void Note(const std::string& event);

 private:
  void Line(const char* direction, std::uint8_t byte);
  void Flush(int printed);
  void Fail(const std::string& what, int error);
  double ElapsedMs() const;

  std::string path_;
  std::FILE* file_ = nullptr;
  std::string failure_;
  std::chrono::steady_clock::time_point start_;
  mutable std::mutex mutex_;
};

inline constexpr const char* kWireTraceHeader =
    "# direction (TX host to chip, RX chip to host, -- event), time in ms since the port opened, byte in hex or "
    "event\n";

}  // namespace brisko
