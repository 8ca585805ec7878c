#pragma once
#include "shell/session/command_outcome.hpp"

namespace brisko {

class Session;

// "Download": entry checks, then into the selected external bank or the
// chip's flash.
CommandOutcome OnDownload(Session& session);
// "Dnload/Run UserCode": OnDownload, and Execute User Code only when the
// download was made (a declined or failed one starts nothing).
CommandOutcome OnDownloadAndRun(Session& session);

// A file into block 0 or block 1, guarding the loader in block 1. The file
// is read and size-checked before anything is selected, parked or erased.
// Declined when the operator cancels or answers No (a loader update reads
// that as "cancelled"). Also run by the loader update.
CommandOutcome DownloadToFlash(Session& session);
// A file into the selected external bank.
CommandOutcome DownloadToExternalBank(Session& session);

}  // namespace brisko
