#include "link/wire_trace.hpp"

namespace brisko {

WireTrace::WireTrace(const std::string& path)
    : file_(std::fopen(path.c_str(), "w")), start_(std::chrono::steady_clock::now()) {}

WireTrace::~WireTrace() {
  if (file_) std::fclose(file_);
}

void WireTrace::Restart() {
  std::lock_guard lock(mutex_);
  start_ = std::chrono::steady_clock::now();
}

void WireTrace::Sent(const std::uint8_t* data, std::size_t count) {
  std::lock_guard lock(mutex_);
  for (std::size_t i = 0; i < count; ++i) Line("TX", data[i]);
}

void WireTrace::Received(const std::uint8_t* data, std::size_t count) {
  std::lock_guard lock(mutex_);
  for (std::size_t i = 0; i < count; ++i) Line("RX", data[i]);
}

void WireTrace::Note(const std::string& event) {
  std::lock_guard lock(mutex_);
  if (!file_) return;
  std::fprintf(file_, "-- %.3f %s\n", ElapsedMs(), event.c_str());
  std::fflush(file_);
}

// Flushed line by line: when the program dies, the last bytes before the
// crash are the ones anyone reading the trace needs.
void WireTrace::Line(const char* direction, std::uint8_t byte) {
  if (!file_) return;
  std::fprintf(file_, "%s %.3f %02X\n", direction, ElapsedMs(), static_cast<unsigned>(byte));
  std::fflush(file_);
}

double WireTrace::ElapsedMs() const {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_)
      .count();
}

}  // namespace brisko
