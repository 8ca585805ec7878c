#pragma once
#include <cstdint>

#include "chip/session_record.hpp"
#include "shell/session/command_outcome.hpp"
#include "shell/session/operator.hpp"

namespace brisko {

class Session;

// Finds the loader of a freshly reset chip, locks it onto the bit rate, reads
// its status byte and version, fills the Chip Information panel and sets the
// link up. Does nothing while the link is up.
CommandOutcome DetectTarget(Session& session);

// Security bits of a status byte into the session and the security bar; a
// level-4 state is told to the operator. It cannot fail.
void DecodeSecurityStatus(Session& session, std::uint8_t status);

// After a detection on a chip set to double clock at a rate below 38400, asks
// once whether the operator enters a doubled crystal, and detects again with
// the new set-up when the operator confirms it.
void OfferDoubleClockCrystal(Session& session);

// The chip selection dialog; true when closed with OK.
bool SelectChip(SessionRecord& record, Operator& op);

// Menu "&Detect Target MCU for Firmware1.1F and RS232 Config.": chip
// selection, communication set-up, detection.
CommandOutcome OnDetectMenu(Session& session);

}  // namespace brisko
