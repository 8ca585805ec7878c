#pragma once
// The far end of the external command set: one 64 KB bank of the board's
// flash behind the loader. 04h erases the 4096-byte sector holding the
// address, 06h programs the bytes that follow, 03h reads, 02h 02h erases the
// whole bank.
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "link/result_codes.hpp"
#include "link/serial_device.hpp"

namespace brisko::test {

class BankDevice final : public SerialDevice {
 public:
  using Clock = std::chrono::steady_clock;
  struct Bank {
    std::vector<std::uint8_t> flash = std::vector<std::uint8_t>(0x10000, 0xFF);
    std::vector<std::uint8_t> hostBytes;
    std::optional<std::uint8_t> chipEraseReply = kAck;
    // For each sector erase, how long the host left the line alone before it
    // first looked for the reply.
    std::vector<Millis> quietAfterErase;
  };

  explicit BankDevice(std::shared_ptr<Bank> bank) : bank_(std::move(bank)) {}

  bool Configure(unsigned) override { return true; }
  std::size_t InputAvailable() override { return Look(), replies_.size(); }
  bool WaitForInput(Millis) override { return Look(), !replies_.empty(); }
  long ReadAvailable(std::uint8_t* out, std::size_t count) override {
    Look();
    std::size_t n = 0;
    for (; n < count && !replies_.empty(); ++n, replies_.pop_front()) out[n] = replies_.front();
    return static_cast<long>(n);
  }
  bool Write(const std::uint8_t* data, std::size_t count, Millis) override {
    for (std::size_t i = 0; i < count; ++i) Receive(data[i]);
    return true;
  }
  bool DrainOutput(Millis) override { return true; }
  void PurgeInput() override { replies_.clear(); }
  void PurgeOutput() override {}
  void SetDtr(bool) override {}
  void SetRts(bool) override {}

 private:
  void Look() {
    if (erasedAt_) bank_->quietAfterErase.push_back(std::chrono::duration_cast<Millis>(Clock::now() - *erasedAt_));
    erasedAt_.reset();
  }
  void Receive(std::uint8_t byte) {
    bank_->hostBytes.push_back(byte);
    if (dataLeft_ > 0) {
      bank_->flash[dataAddress_++ & 0xFFFF] &= byte;  // programming only clears bits
      --dataLeft_;
      return;
    }
    frame_.push_back(byte);
    if (frame_ == std::vector<std::uint8_t>{0x02, 0x02}) {
      std::fill(bank_->flash.begin(), bank_->flash.end(), 0xFF);
      if (bank_->chipEraseReply) replies_.push_back(*bank_->chipEraseReply);
      frame_.clear();
    }
    if (frame_.size() < 4) return;
    const std::size_t address = frame_[1] * 256u + frame_[2];
    const std::size_t count = frame_[3] == 0 ? 256 : frame_[3];
    if (frame_[0] == 0x04) {
      std::fill_n(bank_->flash.begin() + static_cast<long>(address & 0xF000), 0x1000, 0xFF);
      replies_.push_back(kAck);
      erasedAt_ = Clock::now();
    } else if (frame_[0] == 0x06) {
      dataAddress_ = address;
      dataLeft_ = count;
    } else if (frame_[0] == 0x03) {
      for (std::size_t i = 0; i < count; ++i) replies_.push_back(bank_->flash[(address + i) & 0xFFFF]);
    }
    frame_.clear();
  }

  std::shared_ptr<Bank> bank_;
  std::deque<std::uint8_t> replies_;
  std::vector<std::uint8_t> frame_;
  std::size_t dataAddress_ = 0;
  std::size_t dataLeft_ = 0;
  std::optional<Clock::time_point> erasedAt_;
};

}  // namespace brisko::test
