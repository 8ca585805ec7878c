#pragma once
#include "shell/session/command_outcome.hpp"

namespace brisko {

class Session;

// The TEST tool-bar button: with the chip taken out and TXD joined to RXD on
// the board, the bytes the host sends must come back. The port stays open
// afterwards, with the link down.
CommandOutcome OnCableTest(Session& session);

}  // namespace brisko
