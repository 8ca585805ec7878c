#include "sim/fault_plan.hpp"

#include <charconv>
#include <string_view>

namespace brisko::sim {
namespace {

std::vector<std::string_view> SplitFields(std::string_view text) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (true) {
    std::size_t colon = text.find(':', start);
    fields.push_back(text.substr(start, colon - start));
    if (colon == std::string_view::npos) return fields;
    start = colon + 1;
  }
}

// Whole-field conversions: "12x" or "" is not a number.
template <typename T>
bool ParseNumber(std::string_view field, int base, T& out) {
  if (field.empty()) return false;
  auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), out, base);
  return error == std::errc() && end == field.data() + field.size();
}

bool ParseHexByte(std::string_view field, std::uint8_t& out) {
  unsigned value = 0;
  if (field.size() > 2 || !ParseNumber(field, 16, value)) return false;
  out = static_cast<std::uint8_t>(value);
  return true;
}

// The largest count and the longest delay a fault takes. Beyond them a
// number would wrap when narrowed or overflow a deadline (refuse-erase:4294967297
// would be erase 1, ok-delay:9223372036854775807 no delay at all), so they are
// refused rather than bent.
constexpr long kMaxCount = 1000000000;
constexpr long kMaxMillis = 3600000;  // one hour

bool ParseCount(std::string_view field, long& out, long max = kMaxCount) {
  return ParseNumber(field, 10, out) && out >= 0 && out <= max;
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string ParseReplyFault(ReplyFault::Kind kind, const std::vector<std::string_view>& f,
                            ReplyFault& fault) {
  const std::size_t minFields = kind == ReplyFault::Kind::Delay ? 5 : 4;
  const std::size_t maxFields = kind == ReplyFault::Kind::Drop ? 4 : 5;
  if (f.size() < minFields || f.size() > maxFields)
    return "expected " + std::string(f[0]) + ":CMD:OCC:IDX" +
           (kind == ReplyFault::Kind::Delay ? ":MS" : kind == ReplyFault::Kind::Corrupt ? "[:MASK]" : "");
  fault.kind = kind;
  long occurrence = 0;
  long index = 0;
  if (!ParseHexByte(f[1], fault.command)) return "command byte " + Quoted(f[1]) + " is not hexadecimal";
  if (!ParseCount(f[2], occurrence, 1000000))
    return "occurrence " + Quoted(f[2]) + " is not a count from 0 to 1000000";
  if (!ParseCount(f[3], index, 65535)) return "byte index " + Quoted(f[3]) + " is not a count from 0 to 65535";
  fault.occurrence = static_cast<int>(occurrence);
  fault.byteIndex = static_cast<int>(index);
  if (kind == ReplyFault::Kind::Corrupt && f.size() == 5 && !ParseHexByte(f[4], fault.xorMask))
    return "mask " + Quoted(f[4]) + " is not a hexadecimal byte";
  if (kind == ReplyFault::Kind::Delay) {
    long ms = 0;
    if (!ParseCount(f[4], ms, kMaxMillis)) return "delay " + Quoted(f[4]) + " is not 0 to 3600000 milliseconds";
    fault.delay = Millis{ms};
  }
  return "";
}

}  // namespace

std::string FaultPlan::Apply(const std::string& description) {
  const auto f = SplitFields(description);
  const std::string_view kind = f[0];
  auto wantsOneCount = [&](long& out, long max, const char* range) -> std::string {
    if (f.size() != 2 || !ParseCount(f[1], out, max)) return "expected " + std::string(kind) + ":" + range;
    return "";
  };

  if (kind == "drop" || kind == "corrupt" || kind == "delay") {
    ReplyFault fault;
    auto k = kind == "drop" ? ReplyFault::Kind::Drop
             : kind == "corrupt" ? ReplyFault::Kind::Corrupt
                                 : ReplyFault::Kind::Delay;
    std::string error = ParseReplyFault(k, f, fault);
    if (error.empty()) replyFaults.push_back(fault);
    return error;
  }
  long value = 0;
  if (kind == "refuse-erase") {
    std::string error = wantsOneCount(value, 1000000, "N (erases counted from 1 to 1000000)");
    if (error.empty() && value < 1) error = "refuse-erase counts erases from 1";
    if (error.empty()) refuseEraseOccurrence = static_cast<int>(value);
    return error;
  }
  if (kind == "ok-delay") {
    std::string error = wantsOneCount(value, kMaxMillis, "MS (0 to 3600000)");
    if (error.empty()) okDelay = Millis{value};
    return error;
  }
  if (kind == "stop-after") {
    std::string error = wantsOneCount(value, kMaxCount, "N (0 to 1000000000 bytes)");
    if (error.empty()) stopAfterHostBytes = value;
    return error;
  }
  if (kind == "no-ok") {
    if (f.size() != 1) return "no-ok takes no value";
    noOk = true;
    return "";
  }
  return "unknown fault " + Quoted(description) +
         " (drop, corrupt, delay, refuse-erase, ok-delay, no-ok, stop-after)";
}

}  // namespace brisko::sim
