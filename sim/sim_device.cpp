#include "sim/sim_device.hpp"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace brisko::sim {
namespace {

using TimePoint = SimClock::time_point;

// A host byte on its way to the chip: on the line from `starts`, in the
// chip's receiver once its stop bit is in at `arrives`.
struct OutgoingByte {
  std::uint8_t byte;
  TimePoint starts;
  TimePoint arrives;
};

// A chip byte on its way to the host, readable from `readable` on.
struct IncomingByte {
  std::uint8_t byte;
  TimePoint readable;
};

}  // namespace

// Bytes are handed to the chip lazily, when their last bit is due, so a
// reset in between finds them still on the wire as on a real line. Every
// call first brings the model up to the present (Advance).
struct SimDevice::State {
  std::shared_ptr<SimTarget> target;
  std::chrono::microseconds lineTime;
  std::optional<UsbAdapter> usb;
  std::chrono::microseconds latencyTimer{};
  TimePoint frameOrigin = SimClock::now();
  // The packet the adapter is filling for the host: its last `packetBytes`
  // entries of toHost, readable when it is sent.
  std::size_t packetBytes = 0;
  TimePoint packetSent{};
  std::mutex mutex;
  std::condition_variable changed;
  bool connected = true;
  bool rts = false;
  std::deque<OutgoingByte> toChip;
  TimePoint hostLineFreeAt{};
  std::deque<IncomingByte> toHost;
  TimePoint chipLineFreeAt{};

  // The first USB frame boundary at or after `t` (`t` itself without an adapter).
  TimePoint FrameAtOrAfter(TimePoint t) const {
    if (!usb) return t;
    const auto period = usb->framePeriod;
    const auto into = (t - frameOrigin) % period;
    return into == TimePoint::duration::zero() ? t : t + (period - into);
  }

  void Send(const std::vector<SimReply>& replies, TimePoint from) {
    for (const SimReply& r : replies) {
      const TimePoint starts = std::max(from + r.delay, chipLineFreeAt);
      chipLineFreeAt = starts + lineTime;
      if (usb)
        ToAdapter(r.byte, chipLineFreeAt);
      else
        toHost.push_back({r.byte, chipLineFreeAt});
    }
  }

  // A chip byte in the adapter at `in`: it joins the packet being filled, or
  // opens one that leaves when the latency timer runs out.
  void ToAdapter(std::uint8_t byte, TimePoint in) {
    if (packetBytes == 0 || packetBytes >= usb->packetPayload || in >= packetSent) {
      packetBytes = 0;
      packetSent = FrameAtOrAfter(in + latencyTimer);
    }
    toHost.push_back({byte, packetSent});
    if (++packetBytes < usb->packetPayload) return;
    // A full packet leaves with the next frame.
    packetSent = FrameAtOrAfter(in);
    for (std::size_t i = 0; i < packetBytes; ++i) toHost[toHost.size() - 1 - i].readable = packetSent;
  }

  void Deliver(const OutgoingByte& b) {
    std::vector<SimReply> replies;
    target->Receive(b.byte, b.arrives, replies);
    Send(replies, b.arrives);
  }

  // Host bytes and what the chip sends unasked, in the order they happen.
  void Advance(TimePoint now) {
    for (;;) {
      const auto unasked = target->NextUnasked();
      const bool hostByteDue = !toChip.empty() && toChip.front().arrives <= now;
      if (hostByteDue && (!unasked || toChip.front().arrives <= *unasked)) {
        const OutgoingByte b = toChip.front();
        toChip.pop_front();
        Deliver(b);
      } else if (unasked && *unasked <= now) {
        std::vector<SimReply> replies;
        target->SendUnasked(*unasked, replies);
        Send(replies, *unasked);
      } else {
        return;
      }
    }
  }

  std::size_t Readable(TimePoint now) const {
    std::size_t n = 0;
    while (n < toHost.size() && toHost[n].readable <= now) ++n;
    return n;
  }

  // The next moment at which something changes on its own.
  TimePoint NextEvent(TimePoint limit) const {
    TimePoint next = limit;
    if (!toHost.empty()) next = std::min(next, toHost.front().readable);
    if (!toChip.empty()) next = std::min(next, toChip.front().arrives);
    if (const auto unasked = target->NextUnasked()) next = std::min(next, *unasked);
    return next;
  }
};

SimDevice::SimDevice(std::shared_ptr<SimTarget> target, std::chrono::microseconds lineTimePerByte)
    : SimDevice(std::move(target), SimLine{lineTimePerByte, std::nullopt}) {}

SimDevice::SimDevice(std::shared_ptr<SimTarget> target, SimLine line) : s_(std::make_unique<State>()) {
  s_->target = std::move(target);
  s_->lineTime = line.lineTimePerByte;
  s_->usb = line.usb;
  if (line.usb) s_->latencyTimer = line.usb->latencyTimer;
}

bool SimDevice::RequestLowLatency() {
  std::lock_guard lock(s_->mutex);
  if (!s_->usb || !s_->usb->honoursLowLatency) return false;
  s_->latencyTimer = s_->usb->lowLatencyTimer;
  return true;
}

SimDevice::~SimDevice() = default;

bool SimDevice::Configure(unsigned) {
  std::lock_guard lock(s_->mutex);
  return s_->connected;
}

std::size_t SimDevice::InputAvailable() {
  std::lock_guard lock(s_->mutex);
  if (!s_->connected) return 0;
  const TimePoint now = SimClock::now();
  s_->Advance(now);
  return s_->Readable(now);
}

bool SimDevice::WaitForInput(Millis limit) {
  std::unique_lock lock(s_->mutex);
  const TimePoint deadline = SimClock::now() + limit;
  while (s_->connected) {
    const TimePoint now = SimClock::now();
    s_->Advance(now);
    if (s_->Readable(now) > 0) return true;
    if (now >= deadline) return false;
    s_->changed.wait_until(lock, s_->NextEvent(deadline));
  }
  return false;
}

long SimDevice::ReadAvailable(std::uint8_t* out, std::size_t count) {
  std::lock_guard lock(s_->mutex);
  if (!s_->connected) return -1;
  const TimePoint now = SimClock::now();
  s_->Advance(now);
  const std::size_t n = std::min(count, s_->Readable(now));
  for (std::size_t i = 0; i < n; ++i) {
    out[i] = s_->toHost.front().byte;
    s_->toHost.pop_front();
  }
  return static_cast<long>(n);
}

// The driver takes every byte at once; each then waits for the line.
bool SimDevice::Write(const std::uint8_t* data, std::size_t count, Millis) {
  std::lock_guard lock(s_->mutex);
  if (!s_->connected) return false;
  const TimePoint now = SimClock::now();
  const TimePoint inAdapter = s_->FrameAtOrAfter(now);
  for (std::size_t i = 0; i < count; ++i) {
    const TimePoint starts = std::max(inAdapter, s_->hostLineFreeAt);
    s_->hostLineFreeAt = starts + s_->lineTime;
    s_->toChip.push_back({data[i], starts, s_->hostLineFreeAt});
  }
  s_->Advance(now);
  s_->changed.notify_all();
  return true;
}

bool SimDevice::DrainOutput(Millis limit) {
  std::unique_lock lock(s_->mutex);
  const TimePoint deadline = SimClock::now() + limit;
  while (s_->connected) {
    const TimePoint now = SimClock::now();
    s_->Advance(now);
    // Through an adapter the host hears of the empty line with a frame.
    const TimePoint drained = s_->FrameAtOrAfter(s_->hostLineFreeAt);
    if (now >= drained) return true;
    if (now >= deadline) return false;
    s_->changed.wait_until(lock, std::min(drained, deadline));
  }
  return false;
}

// Bytes already received are discarded; those still on the wire arrive later.
void SimDevice::PurgeInput() {
  std::lock_guard lock(s_->mutex);
  const TimePoint now = SimClock::now();
  s_->Advance(now);
  s_->toHost.erase(s_->toHost.begin(), s_->toHost.begin() + static_cast<long>(s_->Readable(now)));
}

// Bytes not yet on the line are discarded; the one being sent completes.
void SimDevice::PurgeOutput() {
  std::lock_guard lock(s_->mutex);
  const TimePoint now = SimClock::now();
  s_->Advance(now);
  auto& q = s_->toChip;
  q.erase(std::find_if(q.begin(), q.end(), [&](const OutgoingByte& b) { return b.starts > now; }), q.end());
  s_->hostLineFreeAt = q.empty() ? std::min(s_->hostLineFreeAt, now) : q.back().arrives;
  s_->changed.notify_all();
}

void SimDevice::SetDtr(bool) {}

// The board's reset circuit restarts the chip on the rising edge of RTS; what
// the chip had not yet sent is lost.
void SimDevice::SetRts(bool on) {
  std::lock_guard lock(s_->mutex);
  if (!s_->connected) return;
  const TimePoint now = SimClock::now();
  s_->Advance(now);
  if (on && !s_->rts) {
    s_->target->Reset();
    s_->toHost.erase(s_->toHost.begin() + static_cast<long>(s_->Readable(now)), s_->toHost.end());
    s_->packetBytes = 0;
    s_->chipLineFreeAt = std::min(s_->chipLineFreeAt, now);
    s_->changed.notify_all();
  }
  s_->rts = on;
}

void SimDevice::Disconnect() {
  std::lock_guard lock(s_->mutex);
  s_->connected = false;
  s_->changed.notify_all();
}

DeviceOpener SimOpener(std::shared_ptr<SimTarget> target, std::chrono::microseconds lineTimePerByte) {
  return [target, lineTimePerByte](const std::string&, std::string&) -> std::unique_ptr<SerialDevice> {
    return std::make_unique<SimDevice>(target, lineTimePerByte);
  };
}

DeviceOpener SimOpener(std::shared_ptr<SimTarget> target, SimLine line) {
  return [target, line](const std::string&, std::string&) -> std::unique_ptr<SerialDevice> {
    return std::make_unique<SimDevice>(target, line);
  };
}

std::chrono::microseconds LineTimeFor(unsigned bitsPerSecond) {
  if (bitsPerSecond == 0) return std::chrono::microseconds{0};
  return std::chrono::microseconds{(10'000'000ull + bitsPerSecond / 2) / bitsPerSecond};
}

}  // namespace brisko::sim
