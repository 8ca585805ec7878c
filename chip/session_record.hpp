#pragma once
#include <cstdint>

#include "chip/flash_image.hpp"
#include "link/serial_port.hpp"
#include "chip/chip_catalogue.hpp"

namespace brisko {

// Which chip the host works with: the operator's model and memory mode, the
// geometry derived from them, the serial port, the crystal, the block the
// views show and the host's flash images.
class SessionRecord {
 public:
  static constexpr double kDefaultCrystalMHz = 11.0592;
  static constexpr std::size_t kExternalBankImageSize = 65580;

  SessionRecord(MessageSink& owner, DeviceOpener opener, LinkTiming timing = {});

  ChipModel GetChipModel() const { return chipModel_; }
  void SetChipModel(ChipModel model) { chipModel_ = model; }
  MemoryMode GetMemoryMode() const { return memoryMode_; }
  void SetMemoryMode(MemoryMode mode) { memoryMode_ = mode; }
  bool IsChipSelected() const { return chipModel_ != kNoModel && memoryMode_ != kNoMemoryMode; }
  bool IsInternalMode() const { return memoryMode_ == kInternalMemory; }
  // The loader shows one block at a time and must be told which before a
  // block's addresses mean anything: KT540/KT550 always, the models with
  // block 1 at E000h in internal mode.
  bool SelectsBlocks() const {
    return SharesBlockAddresses(chipModel_) || (HasBlock1AtE000(chipModel_) && IsInternalMode());
  }

  void applyGeometry();
  const BlockGeometry& Block(int b) const { return blocks_[b & 1]; }
  std::uint32_t SectorCount(int b) const { return Block(b).sectorCount; }
  std::uint32_t SectorSize(int b) const { return Block(b).sectorSize; }
  std::uint32_t BlockSize(int b) const { return Block(b).blockSize; }
  std::uint32_t BaseAddress(int b) const { return Block(b).baseAddress; }

  void AllocateImages();
  FlashImage& BlockImage(int b) { return blockImages_[b & 1]; }
  FlashImage& ExternalBankImage() { return externalBankImage_; }

  int GetCurrentBlock() const { return currentBlock_; }
  void SetCurrentBlock(int b) { currentBlock_ = b; }
  double GetCrystal() const { return crystalMHz_; }
  void SetCrystal(double mhz) { crystalMHz_ = mhz; }
  SerialPort& Port() { return port_; }
  const SerialPort& Port() const { return port_; }

  std::uint8_t securityCopy = 0;

 private:
  ChipModel chipModel_ = kKT420;
  MemoryMode memoryMode_ = kInternalMemory;
  BlockGeometry blocks_[2];
  SerialPort port_;
  int currentBlock_ = 0;
  FlashImage blockImages_[2];
  FlashImage externalBankImage_;
  double crystalMHz_ = kDefaultCrystalMHz;
};

}  // namespace brisko
