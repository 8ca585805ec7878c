#pragma once
// The file routines on a real SessionRecord and FlashEngine, over the
// in-process simulated chip or over a scripted external flash bank.
#include <deque>
#include <memory>
#include <string>

#include "image/file_routines.hpp"
#include "link/command_primitives.hpp"
#include "link/result_codes.hpp"
#include "support/result_print.hpp"
#include "sim/sim_device.hpp"
#include "support/fast_timing.hpp"
#include "support/recording_sink.hpp"
#include "sim_bench.hpp"
#include "chip/handshake.hpp"
#include "chip/progress_sink.hpp"

namespace brisko::test {

// The routines as a command runs them: the named file is opened (read,
// converted, checked for data) first; its refusal is the result.
template <class Routine, class... Args>
Result WithFile(Routine routine, FileRoutineContext& ctx, const std::string& name, Args&&... args) {
  ImageFile file;
  if (const Result opened = file.Open(name, ctx.messages); opened != Result::Ok) return opened;
  return routine(ctx, file, std::forward<Args>(args)...);
}
// What the file routines work with.
class RoutineParts {
 public:
  explicit RoutineParts(DeviceOpener opener)
      : record(messages, std::move(opener), FastTiming()), engine(record.Port(), state, progress, messages) {}

  RecordingSink messages;
  SessionRecord record;
  SessionState state;
  NullProgress progress;
  FlashEngine engine;
  FileRoutineContext ctx{record, state, engine, messages};
};

// A simulated chip of `model` in `memoryMode`, taken through the loader
// handshake by Connect(), with fresh images.
class SimImageRig : public SimChip, public RoutineParts {
 public:
  SimImageRig(int model, int memoryMode = kInternalMemory)
      : SimChip(ChipConfig(model, memoryMode)), RoutineParts(sim::SimOpener(target)) {}

  bool Connect() {
    const sim::SimConfig& config = target->Config();
    record.SetChipModel(static_cast<ChipModel>(config.model));
    record.SetMemoryMode(static_cast<MemoryMode>(config.memoryMode));
    record.applyGeometry();
    SerialPort& port = record.Port();
    if (port.Open() != Result::Ok) return false;
    if (config.memoryMode == kInternalMemory)
      port.SetLinesForInternalMode();
    else
      port.SetLinesForExternalMode();
    if (SynchroniseBaud(port, port.Timing().syncLimit) != SyncOutcome::Locked) return false;
    if (CheckReady(port) != ReadyOutcome::Ready) return false;
    auto select = ModeSelectFor(config.model, config.memoryMode);
    std::uint8_t status = 0;
    if (!select || !port.WriteBytes(select->bytes.data(), 2) || !port.ReadByte(status))
      return false;
    record.AllocateImages();
    ClearWire();
    return true;
  }
};

// The far end of the external command set: one 64 KB bank of the board's
// flash behind the loader. 04h erases the 4096-byte sector holding the
// address, 06h programs the bytes that follow, 03h reads.
class BankDevice final : public SerialDevice {
 public:
  struct Bank {
    Bytes flash = Bytes(0x10000, 0xFF);
    Bytes hostBytes;
  };

  explicit BankDevice(std::shared_ptr<Bank> bank) : bank_(std::move(bank)) {}

  bool Configure(unsigned) override { return true; }
  std::size_t InputAvailable() override { return replies_.size(); }
  bool WaitForInput(Millis) override { return !replies_.empty(); }
  long ReadAvailable(std::uint8_t* out, std::size_t count) override {
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
  void Receive(std::uint8_t byte) {
    bank_->hostBytes.push_back(byte);
    if (dataLeft_ > 0) {
      bank_->flash[dataAddress_++ & 0xFFFF] &= byte;  // programming only clears bits
      --dataLeft_;
      return;
    }
    frame_.push_back(byte);
    if (frame_.size() < 4) return;
    const std::size_t address = frame_[1] * 256u + frame_[2];
    const std::size_t count = frame_[3] == 0 ? 256 : frame_[3];
    if (frame_[0] == 0x04) {
      std::fill_n(bank_->flash.begin() + static_cast<long>(address & 0xF000), 0x1000, 0xFF);
      replies_.push_back(kAck);
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
  Bytes frame_;
  std::size_t dataAddress_ = 0;
  std::size_t dataLeft_ = 0;
};

// A detected chip with an external flash bank selected.
class BankImageRig : public TestFiles, public RoutineParts {
 public:
  explicit BankImageRig(ChipModel model = kKT540, bool highBank = false)
      : RoutineParts([this](const std::string&, std::string&) { return std::make_unique<BankDevice>(bank); }) {
    record.SetChipModel(model);
    record.applyGeometry();
    static_cast<void>(record.Port().Open());
    record.AllocateImages();
    (highBank ? state.externalHighBankSelected : state.externalLowBankSelected) = true;
  }

  std::shared_ptr<BankDevice::Bank> bank = std::make_shared<BankDevice::Bank>();
};

}  // namespace brisko::test
