#include "cli/pending_handlers.hpp"

#include "cli/terminal_operator.hpp"
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
int Refusals(MainWindow& w) { return static_cast<TerminalOperator&>(w.Op()).Refusals(); }
CommandOutcome Judge(MainWindow& w, int before, bool ok) {
  if (Refusals(w) != before) return CommandOutcome::Declined();
  return ok ? CommandOutcome::Success() : CommandOutcome::Failed("?", -1);
}
#define From(ok) Judge(w, before, ok)
bool Up(MainWindow& w) { return w.Record() && w.Record()->Port().IsLinkUp(); }
}  // namespace

CommandOutcome OnDetectMenu(MainWindow& w) { const int before = Refusals(w); brisko::OnDetectMenu(w); return From(Up(w) && !w.StatusText().empty()); }
CommandOutcome OnDownload(MainWindow& w) { const int before = Refusals(w); return From(brisko::OnDownload(w) == kResultOk); }
CommandOutcome OnDownloadAndRun(MainWindow& w) { const int before = Refusals(w); return From(brisko::OnDownloadAndRun(w) == kResultOk); }
CommandOutcome OnRead(MainWindow& w) { const int before = Refusals(w); brisko::OnRead(w); return From(!w.State().operationFailed); }
CommandOutcome OnSave(MainWindow& w) { const int before = Refusals(w); brisko::OnSave(w); return From(true); }
CommandOutcome OnCompare(MainWindow& w) { const int before = Refusals(w); brisko::OnCompare(w); return From(w.StatusText().find("OK") != std::string::npos); }
CommandOutcome OnSectorErase(MainWindow& w) { const int before = Refusals(w); brisko::OnSectorErase(w); return From(true); }
CommandOutcome OnChipErase(MainWindow& w) { const int before = Refusals(w); brisko::OnChipErase(w); return From(true); }
CommandOutcome ExecuteUserCode(MainWindow& w) { const int before = Refusals(w); brisko::ExecuteUserCode(w); return From(w.State().userCodeStarted); }

}  // namespace brisko::cli::pending
