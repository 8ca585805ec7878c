#include "link/posix_serial_device.hpp"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <system_error>

#include "link/port_names.hpp"

namespace brisko {
namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left until `deadline`, rounded up so that a poll never returns
// just before it and spins.
int MillisLeft(Clock::time_point deadline) {
  auto left = deadline - Clock::now();
  if (left <= Clock::duration::zero()) return 0;
  auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return ms > 1000000 ? 1000000 : static_cast<int>(ms);
}

bool SpeedFor(unsigned baudRate, speed_t& speed) {
  static const struct {
    unsigned rate;
    speed_t code;
  } kSpeeds[] = {{50, B50},         {75, B75},         {110, B110},       {134, B134},
                 {150, B150},       {200, B200},       {300, B300},       {600, B600},
                 {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
                 {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
                 {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600}};
  for (const auto& s : kSpeeds) {
    if (s.rate == baudRate) {
      speed = s.code;
      return true;
    }
  }
  return false;
}

// A device without modem-line or line-status ioctls (a pseudo-terminal, some
// USB adapters) answers with one of these.
bool Unsupported(int error) { return error == ENOTTY || error == EINVAL || error == ENOSYS; }

std::string OpenFailureReason(int error) {
  switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
    case EIO:
      return "no such device";
    case EACCES:
    case EPERM:
      return "permission denied: add the user to the dialout group";
    case EBUSY:
      return "busy: another program has it open";
    default:
      return std::generic_category().message(error);
  }
}

class PosixSerialDevice final : public SerialDevice {
 public:
  explicit PosixSerialDevice(int fd) : fd_(fd) {}
  ~PosixSerialDevice() override {
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);
  }
  PosixSerialDevice(const PosixSerialDevice&) = delete;
  PosixSerialDevice& operator=(const PosixSerialDevice&) = delete;

  bool Configure(unsigned baudRate) override {
    speed_t speed;
    termios tio{};
    if (!SpeedFor(baudRate, speed) || ::tcgetattr(fd_, &tio) != 0) return false;
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    return ::tcsetattr(fd_, TCSANOW, &tio) == 0;
  }

  // Drivers of real ports keep the flag in their serial settings; a
  // pseudo-terminal or a driver without them refuses, and that is fine.
  bool RequestLowLatency() override {
    serial_struct settings{};
    if (::ioctl(fd_, TIOCGSERIAL, &settings) != 0) return false;
    if ((settings.flags & ASYNC_LOW_LATENCY) != 0) return true;
    settings.flags |= ASYNC_LOW_LATENCY;
    return ::ioctl(fd_, TIOCSSERIAL, &settings) == 0;
  }

  std::size_t InputAvailable() override {
    int n = 0;
    return ::ioctl(fd_, FIONREAD, &n) == 0 && n > 0 ? static_cast<std::size_t>(n) : 0;
  }

  // A hung-up line counts as input: the read that follows finds the end of
  // the file and reports the device gone, instead of the caller waiting on.
  bool WaitForInput(Millis limit) override {
    auto deadline = Clock::now() + limit;
    for (;;) {
      pollfd p{fd_, POLLIN, 0};
      int ready = ::poll(&p, 1, MillisLeft(deadline));
      if (ready > 0) return (p.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
      if (ready == 0) return false;
      if (errno != EINTR) return false;
    }
  }

  // With VMIN and VTIME at 0 a read returns 0 both on an empty queue and
  // after a hang-up; the line's state tells them apart, so that a vanished
  // port fails the read at once instead of being polled until the limit.
  long ReadAvailable(std::uint8_t* out, std::size_t count) override {
    if (count == 0) return 0;
    for (;;) {
      ssize_t n = ::read(fd_, out, count);
      if (n > 0) return static_cast<long>(n);
      if (n == 0) return HungUp() ? -1 : 0;
      if (errno == EINTR) continue;
      return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
  }

  bool Write(const std::uint8_t* data, std::size_t count, Millis limit) override {
    return WriteWithin(data, count, limit) == WriteResult::Done;
  }

  WriteResult WriteWithin(const std::uint8_t* data, std::size_t count, Millis limit) override {
    auto deadline = Clock::now() + limit;
    std::size_t done = 0;
    while (done < count) {
      ssize_t n = ::write(fd_, data + done, count - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return WriteResult::Refused;
      int wait = MillisLeft(deadline);
      if (wait == 0) return WriteResult::TimedOut;
      pollfd p{fd_, POLLOUT, 0};
      if (::poll(&p, 1, wait) < 0 && errno != EINTR) return WriteResult::Refused;
      if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) return WriteResult::Refused;
    }
    return WriteResult::Done;
  }

  // tcdrain has no time limit, and a poll at millisecond steps would cost a
  // quarter of the line time per byte at 38400 bit/s; so the queue is looked
  // at every few tens of microseconds until it is empty or the limit passes.
  // A pseudo-terminal reports an empty queue at once (TIOCOUTQ 0, and
  // tcdrain returns) even while the far end has not taken the bytes.
  bool DrainOutput(Millis limit) override {
    auto deadline = Clock::now() + limit;
    for (;;) {
      if (OutputEmpty()) return true;
      if (Clock::now() >= deadline) return false;
      timespec pause{0, 50 * 1000};
      ::clock_nanosleep(CLOCK_MONOTONIC, 0, &pause, nullptr);
    }
  }

  void PurgeInput() override { ::tcflush(fd_, TCIFLUSH); }
  // On a pseudo-terminal this also throws away bytes already written that
  // the far end has not taken yet; SerialPort calls it only for a queue that
  // did not drain.
  void PurgeOutput() override { ::tcflush(fd_, TCOFLUSH); }

  void SetDtr(bool on) override { SetModemLine(TIOCM_DTR, on); }
  void SetRts(bool on) override { SetModemLine(TIOCM_RTS, on); }

 private:
  // The driver's queue can be empty while the UART still shifts out the last
  // byte; where the driver reports the transmitter state, that counts too.
  bool OutputEmpty() {
    int queued = 0;
    if (::ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued > 0) return false;
    if (!lineStatus_) return true;
    unsigned int status = 0;
    if (::ioctl(fd_, TIOCSERGETLSR, &status) == 0) return (status & TIOCSER_TEMT) != 0;
    if (Unsupported(errno)) lineStatus_ = false;
    return true;
  }

  bool HungUp() {
    pollfd p{fd_, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
  }

  void SetModemLine(int bit, bool on) {
    if (!modemLines_) return;
    if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bit) != 0 && Unsupported(errno))
      modemLines_ = false;
  }

  int fd_;
  bool modemLines_ = true;
  bool lineStatus_ = true;
};

}  // namespace

std::unique_ptr<SerialDevice> OpenPosixSerialDevice(const std::string& path, std::string& whyNot) {
  auto fail = [&](const std::string& reason) {
    whyNot = path + ": " + reason;
    return nullptr;
  };

  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return fail(OpenFailureReason(errno));

  termios tio{};
  if (!::isatty(fd) || ::tcgetattr(fd, &tio) != 0) {
    ::close(fd);
    return fail("not a serial device");
  }
  // TIOCEXCL keeps later opens out (except a privileged one); the lock also
  // finds a program that already has the port and respects advisory locks.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int error = errno;
    ::close(fd);
    return fail(error == EWOULDBLOCK ? OpenFailureReason(EBUSY) : std::generic_category().message(error));
  }
  ::ioctl(fd, TIOCEXCL);
  whyNot.clear();
  return std::make_unique<PosixSerialDevice>(fd);
}

}  // namespace brisko
