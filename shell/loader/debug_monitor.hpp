#pragma once
#include <cstdint>
#include <optional>
#include <span>

#include "shell/session/command_outcome.hpp"

namespace brisko {

class Session;

// Where the debug monitor Probex goes on a model: an optional block-0 part
// (written through the loader) and the block-1 part (through the parked
// block-1 programmer). None for KT580.
struct ProbexPart {
  std::uint32_t address;
  std::uint32_t chunk;
  std::span<const std::uint8_t> image;
};
struct ProbexImages {
  std::optional<ProbexPart> block0;
  ProbexPart block1;
};
std::optional<ProbexImages> ProbexImagesFor(int model);

// Menu "DownLoad Probex": replaces the loader by the debug monitor. The
// program ends afterwards (the chip no longer answers as a loader), also
// when block 1 could not be written, which is then said instead of success.
CommandOutcome OnDownloadDebugMonitor(Session& session);

}  // namespace brisko
