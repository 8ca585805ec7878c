#include "sim/sim_chip_state.hpp"

#include <algorithm>

#include "sim/legacy_loader.hpp"

namespace brisko::sim {
namespace {

// Stand-in for the loader's code: deterministic, and never a blank FFh, so
// erasing or programming any byte of it shows.
std::vector<std::uint8_t> LoaderPattern(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>((i * 13 + 0x2B) % 0xFF);
  return bytes;
}

}  // namespace

SimChipState::SimChipState(SimConfig c)
    : config(std::move(c)),
      chip(SimChipFor(config.model)),
      security(static_cast<std::uint8_t>(config.securityBits & 0xE0)),
      remap(static_cast<std::uint8_t>(config.remapBits & 0x03)),
      doubleClock(config.doubleClock),
      legacyLoader(config.legacyLoader && chip.kt400) {
  kf010.SetA16(config.a16);
  flash[0] = FlashImage(chip.block0Size);
  flash[1] = FlashImage(chip.block1Size);
  std::copy_n(config.block0.begin(), std::min<std::size_t>(config.block0.size(), flash[0].Size()), flash[0].Data());
  loaderImage = LoaderPattern(legacyLoader ? LegacyLoaderBytes(chip) : chip.LoaderBytes());
  std::copy(loaderImage.begin(), loaderImage.end(), flash[1].Data());
  phase = StartPhase(*this);
  legacy.Boot(*this, SimClock::now());
}

void SimChipState::InstallLoader11F() {
  legacyLoader = false;
  loaderImage = LoaderPattern(chip.LoaderBytes());
  std::copy(loaderImage.begin(), loaderImage.end(), flash[1].Data());
}

void SimChipState::Reset() {
  phase = StartPhase(*this);
  legacy.Boot(*this, SimClock::now());
  selectedBlock = 0;
  sync.Clear();
  syncStart.reset();
  restart.Clear();
  readyMatched = 0;
  modeSelectSeen = false;
  pending.clear();
  counters.Clear();
  hostBytesSinceReset = 0;
  externalBankEntered = false;
  busyUntil.reset();
}

bool SimChipState::Silenced() const {
  return config.faults.stopAfterHostBytes >= 0 && hostBytesSinceReset > config.faults.stopAfterHostBytes;
}

std::uint8_t SimChipState::StatusByte() const {
  std::uint8_t status = static_cast<std::uint8_t>(security | remap);
  if (doubleClock && !chip.kt400) status |= 0x08;
  return status;
}

bool SimChipState::LoaderIntact() const {
  return std::equal(loaderImage.begin(), loaderImage.end(), flash[1].Data());
}

bool SimChipState::RangeInside(const FlashSpot& spot, std::uint32_t length) const {
  const std::uint32_t size = chip.BlockSize(spot.block);
  return spot.offset < size && length <= size - spot.offset;
}

bool SimChipState::SectorsInside(const FlashSpot& spot, std::uint32_t sectors) const {
  const std::uint32_t sectorSize = chip.SectorSize(spot.block);
  const FlashSpot first{spot.block, spot.offset - spot.offset % sectorSize};
  return sectors > 0 && RangeInside(first, sectors * sectorSize);
}

void SimChipState::EraseSectors(const FlashSpot& spot, std::uint32_t sectors) {
  const std::uint32_t sectorSize = chip.SectorSize(spot.block);
  flash[spot.block].Fill(spot.offset - spot.offset % sectorSize, sectors * sectorSize);
}

void SimChipState::Program(const FlashSpot& spot, std::span<const std::uint8_t> data) {
  FlashImage& image = flash[spot.block];
  for (std::size_t i = 0; i < data.size(); ++i) image[spot.offset + i] &= data[i];
}

std::vector<std::uint8_t> SimChipState::Read(const FlashSpot& spot, std::uint32_t length) const {
  const std::uint8_t* from = flash[spot.block].Data() + spot.offset;
  return std::vector<std::uint8_t>(from, from + length);
}

void SimChipState::KeepHostByte(std::uint8_t byte) {
  ++hostBytesHeard;
  hostBytes.push_back(byte);
  // Dropping the oldest half at once keeps the cost per byte constant.
  const std::size_t kept = std::max<std::size_t>(config.keptHostBytes, 1);
  if (hostBytes.size() >= 2 * kept) hostBytes.erase(hostBytes.begin(), hostBytes.end() - static_cast<long>(kept));
}

}  // namespace brisko::sim
