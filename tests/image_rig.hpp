#pragma once
// The file routines on a real SessionRecord and FlashEngine, over the
// in-process simulated chip or over a scripted external flash bank, with the
// user's directories (and so the temporary image files) in a test folder.
#include <cstdint>
#include <deque>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "image/file_routines.hpp"
#include "link/command_primitives.hpp"
#include "link/result_codes.hpp"
#include "sim/sim_device.hpp"
#include "sim/sim_target.hpp"
#include "support/fast_timing.hpp"
#include "support/recording_sink.hpp"
#include "support/temp_dir.hpp"
#include "target/handshake.hpp"
#include "target/progress_sink.hpp"

namespace brisko::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes RandomData(std::size_t n, unsigned seed) {
  std::mt19937 generator(seed);
  std::uniform_int_distribution<int> byte(0, 0xFE);  // never a whole blank chunk
  Bytes bytes(n);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(byte(generator));
  return bytes;
}

inline Bytes FrameOf(std::uint8_t command, std::uint16_t address, std::uint8_t parameter) {
  Frame f = MakeFrame(command, address, parameter);
  return {f.bytes, f.bytes + 4};
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

class ImageRig {
 public:
  explicit ImageRig(DeviceOpener opener)
      : record(messages, std::move(opener), FastTiming()),
        engine(record.Port(), state, progress, messages),
        ctx{record, state, engine, messages} {}
  virtual ~ImageRig() = default;

  std::string WriteBytes(const std::string& name, const Bytes& bytes) const {
    std::string path = dirs.Dir().File(name);
    test::WriteFile(path, std::string(bytes.begin(), bytes.end()));
    return path;
  }
  std::string Path(const std::string& name) const { return dirs.Dir().File(name); }

  UserDirsInTemp dirs;
  RecordingSink messages;
  SessionRecord record;
  SessionState state;
  NullProgress progress;
  FlashEngine engine;
  FileRoutineContext ctx;
};

// A session with a simulated chip of `model` in `memoryMode`, taken through
// the loader handshake, with fresh images.
class SimImageRig : public ImageRig {
 public:
  SimImageRig(int model, int memoryMode = kInternalMemory)
      : SimImageRig(std::make_shared<sim::SimTarget>(Config(model, memoryMode))) {}

  bool Connect() {
    const sim::SimConfig& config = target->Config();
    record.SetChipModel(config.model);
    record.SetMemoryMode(config.memoryMode);
    record.applyGeometry();
    if (record.Port().Open() != kResultOk) return false;
    if (config.memoryMode == kInternalMemory)
      record.Port().SetLinesForInternalMode();
    else
      record.Port().SetLinesForExternalMode();
    if (SynchroniseBaud(record.Port(), record.Port().Timing().syncLimit) != SyncOutcome::Locked) return false;
    if (CheckReady(record.Port()) != ReadyOutcome::Ready) return false;
    auto select = ModeSelectFor(config.model, config.memoryMode);
    if (!select || record.Port().WriteBytes(select->bytes.data(), 2) != kByteOk) return false;
    std::uint8_t status = 0;
    if (record.Port().ReadByte(status) != kByteOk) return false;
    record.AllocateImages();
    target->ClearHostBytes();
    return true;
  }

  // Host bytes since Connect (or the last ClearWire).
  Bytes Wire() const { return target->HostBytes(); }
  void ClearWire() { target->ClearHostBytes(); }

  Bytes Flash(int block, std::size_t offset, std::size_t n) const {
    const FlashImage& image = target->Flash(block);
    return Bytes(image.Data() + offset, image.Data() + offset + n);
  }
  void SetFlash(int block, std::size_t offset, const Bytes& bytes) {
    std::copy(bytes.begin(), bytes.end(), target->Flash(block).Data() + offset);
  }

  std::shared_ptr<sim::SimTarget> target;

 private:
  static sim::SimConfig Config(int model, int memoryMode) {
    sim::SimConfig config;
    config.model = model;
    config.memoryMode = memoryMode;
    return config;
  }
  explicit SimImageRig(std::shared_ptr<sim::SimTarget> t) : ImageRig(sim::SimOpener(t)), target(std::move(t)) {}
};

// The far end of the external command set: one 64 KB bank of the board's
// flash behind the loader. 04h erases the 4096-byte sector holding the
// address, 06h programs the bytes that follow, 03h reads.
class BankDevice final : public SerialDevice {
 public:
  struct Bank {
    Bytes flash = Bytes(0x10000, 0xFF);
    Bytes hostBytes;
    int dropReadReplies = 0;  // 03h replies answered with nothing, from the start
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
      // Flash programming only clears bits.
      bank_->flash[dataAddress_++ & 0xFFFF] &= byte;
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
      if (bank_->dropReadReplies > 0) {
        --bank_->dropReadReplies;
      } else {
        for (std::size_t i = 0; i < count; ++i) replies_.push_back(bank_->flash[(address + i) & 0xFFFF]);
      }
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
class BankImageRig : public ImageRig {
 public:
  explicit BankImageRig(int model = kKT540, bool highBank = false)
      : BankImageRig(std::make_shared<BankDevice::Bank>(), model, highBank) {}

  std::shared_ptr<BankDevice::Bank> bank;

 private:
  BankImageRig(std::shared_ptr<BankDevice::Bank> b, int model, bool highBank)
      : ImageRig([b](const std::string&, std::string&) { return std::make_unique<BankDevice>(b); }),
        bank(std::move(b)) {
    record.SetChipModel(model);
    record.applyGeometry();
    record.Port().Open();
    record.AllocateImages();
    (highBank ? state.externalHighBankSelected : state.externalLowBankSelected) = true;
  }
};

}  // namespace brisko::test
