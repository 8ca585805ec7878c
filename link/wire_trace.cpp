#include "link/wire_trace.hpp"

#include <cerrno>
#include <system_error>

namespace brisko {

WireTrace::WireTrace(const std::string& path)
    : path_(path), file_(std::fopen(path.c_str(), "w")), start_(std::chrono::steady_clock::now()) {
  if (!file_) {
    failure_ = path_ + ": cannot be created: " + std::generic_category().message(errno);
    return;
  }
  Flush(std::fputs(kWireTraceHeader, file_));
}

WireTrace::~WireTrace() {
  if (file_) std::fclose(file_);
}

bool WireTrace::IsOpen() const {
  std::lock_guard lock(mutex_);
  return file_ != nullptr;
}

bool WireTrace::Failed() const {
  std::lock_guard lock(mutex_);
  return !failure_.empty();
}

std::string WireTrace::FailureReason() const {
  std::lock_guard lock(mutex_);
  return failure_;
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
  Flush(std::fprintf(file_, "-- %.3f %s\n", ElapsedMs(), event.c_str()));
}

// Flushed line by line: when the program dies, the last bytes before the
// crash are the ones anyone reading the trace needs.
void WireTrace::Line(const char* direction, std::uint8_t byte) {
  if (!file_) return;
  Flush(std::fprintf(file_, "%s %.3f %02X\n", direction, ElapsedMs(), static_cast<unsigned>(byte)));
}

// A full disk shows only at the flush; after the first failure the file is
// closed, so one reason is kept and nothing more is tried.
void WireTrace::Flush(int printed) {
  errno = 0;
  if (printed >= 0 && std::fflush(file_) == 0) return;
  Fail("cannot be written", errno);
}

void WireTrace::Fail(const std::string& what, int error) {
  failure_ = path_ + ": " + what + (error ? std::string(": ") + std::generic_category().message(error) : std::string());
  std::fclose(file_);
  file_ = nullptr;
}

double WireTrace::ElapsedMs() const {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_)
      .count();
}

}  // namespace brisko
