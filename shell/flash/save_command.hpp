#pragma once
#include "shell/session/command_outcome.hpp"

namespace brisko {

class Session;

// "Save": a range of sectors read from the chip again and written to a file,
// raw or as the text listing. With an external bank selected, SaveExternalBank.
CommandOutcome OnSave(Session& session);
CommandOutcome SaveExternalBank(Session& session);

}  // namespace brisko
