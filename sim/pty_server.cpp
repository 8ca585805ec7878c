#include "sim/pty_server.hpp"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <system_error>
#include <deque>
#include <thread>

namespace brisko::sim {
namespace {

using TimePoint = SimClock::time_point;

constexpr Millis kStopCheck{50};

struct DueByte {
  std::uint8_t byte;
  TimePoint due;
};

std::string Why(const std::string& what) { return what + ": " + std::generic_category().message(errno); }

// The slave's line discipline must pass every byte as it is: no echo, no
// CR/LF mapping, no signals on ^C.
bool MakeRaw(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  cfmakeraw(&t);
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

bool IsSymlink(const std::string& path) {
  struct stat st{};
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool Exists(const std::string& path) {
  struct stat st{};
  return lstat(path.c_str(), &st) == 0;
}

std::string HeldBackText(const SimReply& r) {
  char text[64];
  std::snprintf(text, sizeof text, "reply byte %02Xh held back %lld ms", static_cast<unsigned>(r.byte),
                static_cast<long long>(r.delay.count()));
  return text;
}

}  // namespace

struct PtyServer::State {
  std::shared_ptr<SimTarget> target;
  PtyBehaviour behaviour;
  int master = -1;
  std::string slavePath;
  // A host has the slave side open, or had it and sent bytes that the
  // hang-up has not yet been seen after.
  bool hostPresent = false;
  std::string linkPath;
  bool linkMade = false;
  // Host bytes taken from the terminal that the chip has not read yet.
  std::deque<DueByte> incoming;
  std::deque<DueByte> replies;
  std::function<void(const std::string&)> log;

  bool Lagging() const { return behaviour.readLag.count() > 0; }

  void Take(const std::uint8_t* bytes, std::size_t n, TimePoint now) {
    hostPresent = true;
    for (std::size_t i = 0; i < n; ++i) incoming.push_back({bytes[i], now + behaviour.readLag});
  }

  // The chip reads the host bytes that are due by `now` (all of them when
  // `all`), each at the time it became due.
  void ReadDue(TimePoint now, bool all = false) {
    while (!incoming.empty() && (all || incoming.front().due <= now)) {
      const DueByte in = incoming.front();
      incoming.pop_front();
      Receive(in.byte, std::min(in.due, now));
    }
  }

  void Receive(std::uint8_t byte, TimePoint at) {
    const SimTarget::Phase before = target->CurrentPhase();
    std::vector<SimReply> out;
    target->Receive(byte, at, out);
    // Replies to a host that has gone are lost on the line.
    if (hostPresent) Queue(out, at);
    const SimTarget::Phase after = target->CurrentPhase();
    if (after != before && log) log(std::string(PhaseName(before)) + " -> " + PhaseName(after));
  }

  void Queue(const std::vector<SimReply>& out, TimePoint at) {
    for (const SimReply& r : out) {
      TimePoint due = at + r.delay;
      if (!replies.empty()) due = std::max(due, replies.back().due);
      replies.push_back({r.byte, due});
      // A delay fault fired: the host now waits for this byte.
      if (log && r.delay.count() > 0) log(HeldBackText(r));
    }
  }

  void Unasked(TimePoint now) {
    std::vector<SimReply> out;
    target->SendUnasked(now, out);
    if (hostPresent) Queue(out, now);
  }

  void SendDue(TimePoint now) {
    while (!replies.empty() && replies.front().due <= now) {
      const ssize_t n = ::write(master, &replies.front().byte, 1);
      if (n != 1) return;  // the terminal's buffer is full: try again later
      replies.pop_front();
    }
  }

  // Reads what the terminal holds. In packet mode each read starts with a
  // header byte: data follow a zero header; otherwise the header tells of a
  // flush, and the host's flush of its output loses the bytes the chip has
  // not read yet. False when nothing was there.
  bool ReadTerminal(TimePoint now) {
    std::uint8_t buffer[513];
    const ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) return false;
    if (!Lagging()) {
      Take(buffer, static_cast<std::size_t>(n), now);
      return true;
    }
    if (buffer[0] == TIOCPKT_DATA) {
      Take(buffer + 1, static_cast<std::size_t>(n - 1), now);
    } else if (buffer[0] & TIOCPKT_FLUSHWRITE) {
      OutputFlushedByHost();
    }
    return true;
  }

  // Everything the host wrote before its flush and the chip has not read is
  // gone: what waits here, and what the terminal still holds.
  void OutputFlushedByHost() {
    std::size_t lost = incoming.size();
    incoming.clear();
    std::uint8_t buffer[513];
    for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;)
      if (buffer[0] == TIOCPKT_DATA) lost += static_cast<std::size_t>(n - 1);
    if (log && lost > 0) log("host flushed its output: " + std::to_string(lost) + " bytes lost");
  }

  // The host closed its end: a program that ended, or was killed halfway
  // through a frame. The bytes it wrote before still reach the chip. Unless
  // the chip keeps its state, the operator would press reset before the next
  // run; so does the stand-in, so the next host's pattern is not taken as the
  // rest of a command.
  void HostHungUp(TimePoint now) {
    hostPresent = false;
    replies.clear();
    ::tcflush(master, TCOFLUSH);
    if (behaviour.keepOnClose) {
      if (log) log(std::string("host closed the port: ") + PhaseName(target->CurrentPhase()) + " kept");
      return;
    }
    ReadDue(now, true);
    const SimTarget::Phase before = target->CurrentPhase();
    target->Reset();
    if (log) log(std::string("host closed the port: ") + PhaseName(before) + " -> reset");
  }

  Millis UntilDue(TimePoint due, TimePoint now) const {
    return std::clamp(std::chrono::ceil<Millis>(due - now), Millis{0}, kStopCheck);
  }

  int PollTimeout(TimePoint now) const {
    Millis wait = kStopCheck;
    if (const auto unasked = target->NextUnasked()) wait = std::min(wait, UntilDue(*unasked, now));
    if (!replies.empty()) wait = std::min(wait, UntilDue(replies.front().due, now));
    if (!incoming.empty()) wait = std::min(wait, UntilDue(incoming.front().due, now));
    return static_cast<int>(wait.count());
  }
};

PtyServer::PtyServer(std::shared_ptr<SimTarget> target, PtyBehaviour behaviour)
    : s_(std::make_unique<State>()) {
  s_->target = std::move(target);
  s_->behaviour = behaviour;
  s_->target->SetRestartOnPattern(true);
}

PtyServer::~PtyServer() {
  if (s_->linkMade) {
    char buf[PATH_MAX];
    const ssize_t n = readlink(s_->linkPath.c_str(), buf, sizeof buf);
    if (n > 0 && std::string(buf, static_cast<std::size_t>(n)) == s_->slavePath) unlink(s_->linkPath.c_str());
  }
  if (s_->master >= 0) close(s_->master);
}

bool PtyServer::Start(const std::string& linkPath, std::string& whyNot) {
  s_->master = posix_openpt(O_RDWR | O_NOCTTY);
  if (s_->master < 0) return whyNot = Why("posix_openpt"), false;
  if (grantpt(s_->master) != 0) return whyNot = Why("grantpt"), false;
  if (unlockpt(s_->master) != 0) return whyNot = Why("unlockpt"), false;
  char name[PATH_MAX];
  if (ptsname_r(s_->master, name, sizeof name) != 0) return whyNot = Why("ptsname"), false;
  s_->slavePath = name;
  // The slave keeps its line settings while the master is open; it is not
  // held open, so that the master sees each host hang up.
  const int slave = open(name, O_RDWR | O_NOCTTY);
  if (slave < 0) return whyNot = Why("open " + s_->slavePath), false;
  const bool raw = MakeRaw(slave);
  close(slave);
  if (!raw) return whyNot = Why("raw mode on " + s_->slavePath), false;
  const int flags = fcntl(s_->master, F_GETFL);
  if (flags < 0 || fcntl(s_->master, F_SETFL, flags | O_NONBLOCK) != 0)
    return whyNot = Why("non-blocking pty"), false;
  // Packet mode tells the master when the host flushes its output queue.
  int packet = 1;
  if (s_->Lagging() && ioctl(s_->master, TIOCPKT, &packet) != 0) return whyNot = Why("packet mode"), false;

  if (linkPath.empty()) return true;
  // A link left by an earlier run is replaced; anything else at that path
  // is not ours to remove.
  if (Exists(linkPath)) {
    if (!IsSymlink(linkPath)) return whyNot = linkPath + " exists and is not a symbolic link", false;
    if (unlink(linkPath.c_str()) != 0) return whyNot = Why("remove old link " + linkPath), false;
  }
  if (symlink(s_->slavePath.c_str(), linkPath.c_str()) != 0) return whyNot = Why("link " + linkPath), false;
  s_->linkPath = linkPath;
  s_->linkMade = true;
  return true;
}

const std::string& PtyServer::SlavePath() const { return s_->slavePath; }

void PtyServer::SetLog(std::function<void(const std::string&)> log) { s_->log = std::move(log); }

void PtyServer::Run(const std::atomic<bool>& stop) {
  while (!stop.load()) {
    const TimePoint now = SimClock::now();
    s_->ReadDue(now);
    s_->Unasked(now);
    s_->SendDue(now);
    pollfd fd{s_->master, POLLIN, 0};
    if (!s_->replies.empty() && s_->replies.front().due <= now) fd.events |= POLLOUT;
    const int ready = poll(&fd, 1, s_->PollTimeout(now));
    if (ready < 0 && errno != EINTR) return;
    if (ready < 0) continue;
    // Bytes a host wrote just before it closed are still read first.
    if ((fd.revents & POLLIN) && s_->ReadTerminal(SimClock::now())) continue;
    if (!(fd.revents & (POLLERR | POLLHUP | POLLNVAL))) {
      s_->hostPresent = true;  // no hang-up: a host has the slave open
      continue;
    }
    if (s_->hostPresent) s_->HostHungUp(SimClock::now());
    // No host: the master reports the hang-up until one opens the slave.
    Millis nap = kStopCheck / 5;
    if (!s_->incoming.empty()) nap = std::min(nap, s_->UntilDue(s_->incoming.front().due, SimClock::now()));
    std::this_thread::sleep_for(nap);
  }
}

}  // namespace brisko::sim
