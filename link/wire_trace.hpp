#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace brisko {

// A record of every byte on the wire, one line per byte:
//   "<direction> <milliseconds since open> <hex byte>"   e.g. "TX 12.345 0C"
// with direction "TX" (host to chip) or "RX" (chip to host), the time with
// three decimals and the byte as two upper-case hex digits. Lines marked "--"
// note events such as opening the port or a modem-line change:
//   "-- 0.012 RTS off". Every line is flushed at once, so a crash keeps it.
class WireTrace {
 public:
  // Opens (truncates) the trace file; IsOpen() tells whether that worked.
  explicit WireTrace(const std::string& path);
  ~WireTrace();
  WireTrace(const WireTrace&) = delete;
  WireTrace& operator=(const WireTrace&) = delete;

  bool IsOpen() const { return file_ != nullptr; }
  // Starts the millisecond clock again (called when the port opens).
  void Restart();
  void Sent(const std::uint8_t* data, std::size_t count);
  void Received(const std::uint8_t* data, std::size_t count);
  void Note(const std::string& event);

 private:
  void Line(const char* direction, std::uint8_t byte);
  double ElapsedMs() const;

  std::FILE* file_ = nullptr;
  std::chrono::steady_clock::time_point start_;
  std::mutex mutex_;
};

}  // namespace brisko
