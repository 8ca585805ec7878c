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
// The same with the port's own limits: silent for ten input polls, at most
// one read's wait.
bool WaitForQuietLine(SerialPort& port);

}  // namespace brisko
