#pragma once
// Temporary: the shell handlers with the outcome-returning signatures they are
// getting; removed once those land.
#include "shell/command_outcome.hpp"
#include "shell/main_window.hpp"

namespace brisko::cli::pending {

CommandOutcome OnDetectMenu(MainWindow& w);
CommandOutcome OnDownload(MainWindow& w);
CommandOutcome OnDownloadAndRun(MainWindow& w);
CommandOutcome OnRead(MainWindow& w);
CommandOutcome OnSave(MainWindow& w);
CommandOutcome OnCompare(MainWindow& w);
CommandOutcome OnSectorErase(MainWindow& w);
CommandOutcome OnChipErase(MainWindow& w);
CommandOutcome ExecuteUserCode(MainWindow& w);

}  // namespace brisko::cli::pending
