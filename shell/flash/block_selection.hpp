#pragma once
#include "chip/flash_engine.hpp"
#include "chip/session_record.hpp"
#include "shell/session/operator.hpp"

namespace brisko {

// KT540/KT550 always, and the E000h models in internal memory mode, must be
// told which block the addresses mean before a read; the KT400 family needs
// nothing. Tells the command's own failure text when the select is not
// answered and returns false.
bool SelectBlockOrTell(const SessionRecord& record, FlashEngine& engine, Operator& op, int block,
                       const char* block0Failed, const char* block1Failed);

}  // namespace brisko
