#include "cli/run_record.hpp"

#include "cli/result_printing.hpp"

namespace brisko::cli {
namespace {

nlohmann::json Nullable(const std::string& text) { return text.empty() ? nlohmann::json() : nlohmann::json(text); }

nlohmann::json CommandData(const std::string& command, const BoardRun& run) {
  const WindowState& s = run.state;
  nlohmann::json data = run.data;
  if (command == "detect" && run.outcome.Ok()) {
    data["chip"] = {{"type", s.chipInfo.chipType},     {"flashSize", s.chipInfo.flashSize},
                    {"remap", s.chipInfo.remap},       {"fwVersion", s.chipInfo.fwVersion},
                    {"memMode", s.chipInfo.memMode},   {"security", s.securityText}};
  } else if (command == "read" && run.outcome.Ok()) {
    nlohmann::json sectors = nlohmann::json::array();
    for (const SectorRow& row : s.sectorTable)
      sectors.push_back({{"sector", row.cells[0]}, {"from", row.cells[1]}, {"to", row.cells[2]}, {"status", row.cells[4]}});
    nlohmann::json dump = nlohmann::json::array();
    for (const DumpRow& row : s.dump) dump.push_back({{"addresses", row.cells[0]}, {"bytes", row.cells[1]}});
    data["sectors"] = sectors;
    data["dumpHeader"] = s.dumpHeader;
    data["dump"] = dump;
  } else if (command == "compare" && run.outcome.kind == OutcomeKind::Failed) {
    data["difference"] = s.statusText;
  } else if (command == "edit" && !run.shown.empty()) {
    data["bytes"] = run.shown;
  }
  return data;
}

}  // namespace

nlohmann::json RunRecord(const std::string& command, const BoardRun& run, const RunFile& file) {
  const CommandOutcome& o = run.outcome;
  nlohmann::json record = {
      {"command", command},
      {"port", Nullable(run.port)},
      {"model", Nullable(run.model)},
      {"loader", Nullable(run.loader)},
      {"outcome", OutcomeKindName(o.kind)},
      {"step", Nullable(o.step)},
      {"code", o.kind == OutcomeKind::Failed ? nlohmann::json(o.code) : nlohmann::json()},
      {"refusal", Nullable(RefusalText(o.refusal))},
      {"bytes", o.bytes},
      {"address", o.bytes > 0 ? nlohmann::json(o.address) : nlohmann::json()},
      {"block", o.block >= 0 ? nlohmann::json(o.block) : nlohmann::json()},
      {"verified", o.verified},
      {"seconds", run.seconds},
      {"file", Nullable(file.path)},
      {"sha256", Nullable(file.sha256)},
      {"status", run.state.statusText},
      {"exit", run.exit},
  };
  if (!o.completed.empty()) record["completed"] = o.completed;
  if (o.skippedSectors >= 0) record["skippedSectors"] = o.skippedSectors;
  record["data"] = CommandData(command, run);
  return record;
}

nlohmann::json LogRecord(const std::string& command, const BoardRun& run, const RunFile& file,
                         const std::string& utcTime) {
  const nlohmann::json full = RunRecord(command, run, file);
  nlohmann::json line = {{"time", utcTime}};
  for (const char* key : {"port", "model", "loader", "command", "file", "sha256", "outcome", "step", "code", "bytes",
                          "seconds"})
    line[key] = full[key];
  return line;
}

nlohmann::json PortsRecord(const std::vector<SerialPortEntry>& ports) {
  nlohmann::json list = nlohmann::json::array();
  for (const SerialPortEntry& p : ports)
    list.push_back({{"device", p.device},
                    {"byId", Nullable(p.byId)},
                    {"driver", Nullable(p.driver)},
                    {"usbId", Nullable(p.usbId)},
                    {"serial", Nullable(p.usbSerial)},
                    {"description", Nullable(p.description)},
                    {"comNames", p.comNames}});
  return list;
}

}  // namespace brisko::cli
