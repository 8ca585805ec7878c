#include "cli/pending_handlers.hpp"

#include "link/result_codes.hpp"
#include "shell/compare_command.hpp"
#include "shell/detect_command.hpp"
#include "shell/download_command.hpp"
#include "shell/erase_commands.hpp"
#include "shell/read_command.hpp"
#include "shell/run_user_code.hpp"
#include "shell/save_command.hpp"

namespace brisko::cli::pending {
namespace {
CommandOutcome From(bool ok) { return ok ? CommandOutcome::Success() : CommandOutcome::Failed("?", -1); }
bool Up(MainWindow& w) { return w.Record() && w.Record()->Port().IsLinkUp(); }
}  // namespace

CommandOutcome OnDetectMenu(MainWindow& w) { brisko::OnDetectMenu(w); return From(Up(w)); }
CommandOutcome OnDownload(MainWindow& w) { return From(brisko::OnDownload(w) == kResultOk); }
CommandOutcome OnDownloadAndRun(MainWindow& w) { return From(brisko::OnDownloadAndRun(w) == kResultOk); }
CommandOutcome OnRead(MainWindow& w) { brisko::OnRead(w); return From(!w.State().operationFailed); }
CommandOutcome OnSave(MainWindow& w) { brisko::OnSave(w); return From(true); }
CommandOutcome OnCompare(MainWindow& w) { brisko::OnCompare(w); return From(w.StatusText().find("OK") != std::string::npos); }
CommandOutcome OnSectorErase(MainWindow& w) { brisko::OnSectorErase(w); return From(true); }
CommandOutcome OnChipErase(MainWindow& w) { brisko::OnChipErase(w); return From(true); }
CommandOutcome ExecuteUserCode(MainWindow& w) { brisko::ExecuteUserCode(w); return From(w.State().userCodeStarted); }

}  // namespace brisko::cli::pending
