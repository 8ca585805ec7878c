#include "shell/session/memory_views.hpp"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "shell/session/external_bank.hpp"
#include "shell/session/session.hpp"

namespace brisko {
namespace {

constexpr int kHighBankFirstSector = 16;
constexpr std::size_t kDumpRowBytes = 16;

bool AllBytes(std::span<const std::uint8_t> bytes, std::uint8_t value) {
  return std::all_of(bytes.begin(), bytes.end(), [value](std::uint8_t b) { return b == value; });
}

std::string Format(const char* format, unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// A view's source: the bytes of a block image or of the bank image, and how
// its sectors are numbered and addressed.
struct ViewSource {
  std::span<const std::uint8_t> bytes;
  SectorTableLayout layout;
};

std::optional<ViewSource> BlockSource(Session& session, int block) {
  SessionRecord* record = session.Record();
  if (!record || (block != 0 && block != 1)) return std::nullopt;
  const FlashImage& image = record->BlockImage(block);
  if (image.Empty()) return std::nullopt;
  SectorTableLayout layout{record->SectorCount(block), record->SectorSize(block), record->BaseAddress(block), 0,
                           false};
  return ViewSource{std::span<const std::uint8_t>(image.Data(), image.Size()), layout};
}

std::optional<ViewSource> BankSource(Session& session) {
  SessionRecord* record = session.Record();
  if (!record) return std::nullopt;
  const FlashImage& image = record->ExternalBankImage();
  if (image.Empty()) return std::nullopt;
  const bool high = session.State().externalHighBankSelected;
  const int first = high ? kHighBankFirstSector : 0;
  SectorTableLayout layout{kBankSectorCount, kBankSectorSize, static_cast<std::uint32_t>(first) * kBankSectorSize,
                           first, high};
  return ViewSource{std::span<const std::uint8_t>(image.Data(), image.Size()), layout};
}

// The bytes of the sector in row `row` of the source, or an empty span.
std::span<const std::uint8_t> RowBytes(const ViewSource& source, int row) {
  const SectorTableLayout& l = source.layout;
  if (row < 0 || static_cast<std::uint32_t>(row) >= l.sectorCount) return {};
  const std::size_t offset = static_cast<std::size_t>(row) * l.sectorSize;
  if (offset + l.sectorSize > source.bytes.size()) return {};
  return source.bytes.subspan(offset, l.sectorSize);
}

std::uint32_t RowAddress(const ViewSource& source, int row) {
  return source.layout.firstAddress + static_cast<std::uint32_t>(row) * source.layout.sectorSize;
}

std::vector<SectorRow> TableOf(const ViewSource& source, int count, int start) {
  return BuildSectorTable(source.bytes, source.layout, count, start);
}

void ReplaceTable(Session& session, std::vector<SectorRow> table, int hotRow) {
  WindowState now = session.Window().Snapshot();
  session.Window().SetViews(std::move(table), hotRow, std::move(now.dumpHeader), std::move(now.dump));
}

void ReplaceDump(Session& session, std::string header, std::vector<DumpRow> dump) {
  WindowState now = session.Window().Snapshot();
  session.Window().SetViews(std::move(now.sectorTable), now.hotSectorRow, std::move(header), std::move(dump));
}

}  // namespace

const char* SectorStatusWord(std::span<const std::uint8_t> sector, bool inReadRange) {
  if (AllBytes(sector, 0xFF)) return "Blank";
  if (AllBytes(sector, 0x00)) return inReadRange ? "All Zeros" : "Unknown";
  return "Not Blank";
}

std::vector<SectorRow> BuildSectorTable(std::span<const std::uint8_t> bytes, const SectorTableLayout& layout,
                                        int count, int start) {
  std::vector<SectorRow> rows;
  const std::size_t needed = static_cast<std::size_t>(layout.sectorCount) * layout.sectorSize;
  if (layout.sectorSize == 0 || bytes.size() < needed) return rows;
  const char* hexFormat = layout.wide ? "%05X" : "%04X";
  const char* decFormat = layout.wide ? "%06u" : "%05u";
  rows.reserve(layout.sectorCount);
  std::uint32_t address = layout.firstAddress;
  for (std::uint32_t i = 0; i < layout.sectorCount; ++i) {
    const int number = layout.firstNumber + static_cast<int>(i);
    const bool inRange = count >= 0 && start >= 0 && number >= start && number < start + count;
    const auto sector = bytes.subspan(static_cast<std::size_t>(i) * layout.sectorSize, layout.sectorSize);
    const std::uint32_t last = address + layout.sectorSize - 1;
    rows.push_back(SectorRow{{Format("%03u", static_cast<unsigned>(number)), Format(hexFormat, address),
                              Format(hexFormat, last), Format(decFormat, address),
                              SectorStatusWord(sector, inRange)}});
    address = last + 1;
  }
  return rows;
}

std::vector<DumpRow> BuildSectorDump(std::span<const std::uint8_t> sector, std::uint32_t firstAddress, bool wide) {
  std::vector<DumpRow> rows;
  const char* rangeFormat = wide ? "%05X - %05X" : "%04X - %04X";
  for (std::size_t offset = 0; offset + kDumpRowBytes <= sector.size(); offset += kDumpRowBytes) {
    const std::uint8_t* b = sector.data() + offset;
    const auto address = static_cast<unsigned>(firstAddress + offset);
    char range[24];
    std::snprintf(range, sizeof range, rangeFormat, address, address + 15);
    char hex[64];
    std::snprintf(hex, sizeof hex,
                  "%02X %02X %02X %02X %02X %02X %02X %02X - %02X %02X %02X %02X %02X %02X %02X %02X", b[0], b[1],
                  b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    const auto* end = std::find(b, b + kDumpRowBytes, std::uint8_t{0});
    rows.push_back(DumpRow{{range, hex, std::string(b, end)}});
  }
  return rows;
}

std::string DumpHeaderText(int sector) { return Format("SECTOR %03u", static_cast<unsigned>(sector)); }

void FillSectorTable(Session& session, int block, int count, int start) {
  if (auto source = BlockSource(session, block)) ReplaceTable(session, TableOf(*source, count, start), 0);
}

void FillExternalSectorTable(Session& session, int count, int start) {
  if (auto source = BankSource(session)) ReplaceTable(session, TableOf(*source, count, start), 0);
}

void ShowSectorDump(Session& session, int block, int sector) {
  auto source = BlockSource(session, block);
  if (!source) return;
  const auto bytes = RowBytes(*source, sector);
  if (bytes.empty()) return;
  ReplaceDump(session, DumpHeaderText(sector), BuildSectorDump(bytes, RowAddress(*source, sector), false));
}

void ShowExternalSectorDump(Session& session, int sector) {
  auto source = BankSource(session);
  if (!source) return;
  const auto bytes = RowBytes(*source, sector);
  if (bytes.empty()) return;
  ReplaceDump(session, DumpHeaderText(source->layout.firstNumber + sector),
              BuildSectorDump(bytes, RowAddress(*source, sector), source->layout.wide));
}

void ShowReadRange(Session& session, int block, int first, int count) {
  auto source = BlockSource(session, block);
  if (!source) return;
  const auto bytes = RowBytes(*source, first);
  if (bytes.empty()) return FillSectorTable(session, block, count, first);
  session.Window().SetViews(TableOf(*source, count, first), first, DumpHeaderText(first),
             BuildSectorDump(bytes, RowAddress(*source, first), false));
}

void ShowExternalReadRange(Session& session, int first, int count) {
  auto source = BankSource(session);
  if (!source) return;
  const int number = source->layout.firstNumber + first;
  const auto bytes = RowBytes(*source, first);
  if (bytes.empty()) return FillExternalSectorTable(session, count, number);
  session.Window().SetViews(TableOf(*source, count, number), first, DumpHeaderText(number),
             BuildSectorDump(bytes, RowAddress(*source, first), source->layout.wide));
}

}  // namespace brisko
