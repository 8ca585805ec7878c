#include "cli/result_printing.hpp"

namespace brisko::cli {

void PrintChipInformation(const WindowState& state, bool modelSelected, std::FILE* out) {
  std::fprintf(out, "Chip Type: %s%s\n", state.chipInfo.chipType.c_str(),
               modelSelected ? " (selected by the user; the loader does not tell the model)" : "");
  std::fprintf(out, "Flash Size: %s\n", state.chipInfo.flashSize.c_str());
  std::fprintf(out, "ReMap: %s\n", state.chipInfo.remap.c_str());
  std::fprintf(out, "Fw Version: %s\n", state.chipInfo.fwVersion.c_str());
  std::fprintf(out, "Mem Mode: %s\n", state.chipInfo.memMode.c_str());
  std::fprintf(out, "Security: %s\n", state.securityText.c_str());
}

std::string PrintableText(const std::string& bytes) {
  std::string text = bytes;
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F) c = '.';
  }
  return text;
}

void PrintViews(const WindowState& state, std::FILE* out) {
  std::fprintf(out, "%-8s %-10s %-10s %-10s %s\n", "SECTOR", "HEX - FROM", "HEX - TO", "DEC - FROM", "STATUS");
  for (const SectorRow& row : state.sectorTable)
    std::fprintf(out, "%-8s %-10s %-10s %-10s %s\n", row.cells[0].c_str(), row.cells[1].c_str(), row.cells[2].c_str(),
                 row.cells[3].c_str(), row.cells[4].c_str());
  std::fprintf(out, "\n%s\n", state.dumpHeader.c_str());
  for (const DumpRow& row : state.dump)
    std::fprintf(out, "%s  %s  %s\n", row.cells[0].c_str(), row.cells[1].c_str(), PrintableText(row.cells[2]).c_str());
}

}  // namespace brisko::cli
