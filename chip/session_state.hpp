#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <string>

namespace brisko {

// Block-0 areas the host keeps while a helper program occupies them.
struct SavedAreas {
  std::array<std::uint8_t, 128> savedSector0{};    // 0000h-007Fh
  std::array<std::uint8_t, 384> savedArea2000{};   // 2000h-217Fh
  std::array<std::uint8_t, 1280> savedUserCode{};  // 0000h-04FFh (legacy loader)
};

// The facts and flags that live for the whole run beside the session record.
// One object per session, passed down; never global.
struct SessionState {
  std::uint8_t securityBits = 0;     // status byte AND E0h
  std::uint8_t statusByte = 0;       // the whole status byte of the last detection
  std::string savedRemapText;
  bool doubleClockOn = false;
  bool doubleClockAsked = false;     // offered once per run, never cleared
  std::atomic<bool> linkBusy{false}; // a long operation owns the link
  std::atomic<bool> operationFailed{false};
  // Set by a cancel request (any thread); long operations stop at their next
  // safe point. Cleared when a command is queued, so that it holds for every
  // step of the command it was asked for.
  std::atomic<bool> cancelRequested{false};
  bool userCodeStarted = false;
  bool legacyWorkerRunning = false;

  // Window flags read by the engine and the commands.
  bool loaderUpdateInProgress = false;
  bool rangeIncludesBlock1 = false;
  bool externalLowBankSelected = false;
  bool externalHighBankSelected = false;

  SavedAreas saved;
  // The recovery file that holds `saved` while the bank helper occupies
  // block 0 (an external flash bank is entered); "" when there is none.
  std::string bankRecoveryFile;

  bool ExternalBankSelected() const { return externalLowBankSelected || externalHighBankSelected; }
};

}  // namespace brisko
