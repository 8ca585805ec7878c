#pragma once
#include "link/link_timing.hpp"
#include "link/serial_port.hpp"

namespace brisko {

// Waits until no byte has come for `quiet`, discarding whatever comes
// meanwhile, for at most `limit`. A dialogue that was given up half way (a
// failed verify stops reading a reply the chip is still sending) must not
// leave its last bytes to be taken as the answers of the next one. True when
// the line fell silent.
bool WaitForQuietLine(SerialPort& port, Millis quiet, Millis limit);
// The same with the port's own limits. After a dialogue that ended well only
// stray bytes can follow: silent for ten input polls. After one that was
// given up the rest of a reply may still be on its way: silent for as long as
// a read waits for its first byte, so that nothing of it can come later and
// pass for the next answer.
bool WaitForQuietLine(SerialPort& port, bool dialogueGivenUp);

}  // namespace brisko
