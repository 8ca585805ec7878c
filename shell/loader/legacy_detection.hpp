#pragma once
#include <cstdint>
#include <string>

#include "shell/session/command_outcome.hpp"

namespace brisko {

class Session;

// Menu "&Detect Target MCU for Firmware1.1E and Upgrade to 1.1F (EA#=1)":
// finds a 1.1E loader through the legacy link worker, shows the chip's
// information and offers to upgrade the loader to 1.1F. No to the offer ends
// the program (the host serves 1.1F loaders only).
CommandOutcome OnDetectLegacyAndUpgrade(Session& session);

// The same after the unknown-version detection found no 1.1F loader; the
// port is open already and some texts differ.
CommandOutcome DetectLegacyFallback(Session& session);

// What the 1.1E loader said about itself, for the upgrade.
struct LegacyChip {
  std::uint8_t status = 0;   // answer to 05h 55h
  std::uint8_t version = 0xFF;
};

// The KT400 family's remap text of status bits 1..0.
std::string LegacyRemapText(std::uint8_t status);

}  // namespace brisko
