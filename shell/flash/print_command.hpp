#pragma once
#include "shell/session/command_outcome.hpp"

namespace brisko {

class Session;

// "Print": a range of sectors read from the chip again and printed as the
// text listing. With an external bank selected, PrintExternalBank.
CommandOutcome OnPrint(Session& session);
CommandOutcome PrintExternalBank(Session& session);

}  // namespace brisko
