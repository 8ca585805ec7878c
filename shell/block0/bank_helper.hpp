#pragma once
#include <string>

#include "link/result_codes.hpp"

namespace brisko {

class Session;

// Prepares a KT400-family chip for its external flash: saves block-0 sector 0
// and 2000h-217Fh into the session (and a recovery file), then erases sector
// 0 and writes the bank helper at 2000h. While a bank is already entered the
// helper is in place and the saved bytes are the user's: nothing is saved or
// written again. After an entry that failed once its bytes were saved, the
// first saved copy is kept as well. The saved areas are read until two
// reads agree. Ok, Failed, or Cancelled when a cancel came before anything
// was erased.
Result InstallBankHelper(Session& session);

// What the window's notice says while the helper displaces the user's bytes.
std::string BankHelperNotice(const std::string& recoveryPath);

}  // namespace brisko
