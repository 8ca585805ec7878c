#include "shell/block0/recovery_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

#include "chip/chip_catalogue.hpp"
#include "link/user_paths.hpp"

namespace brisko {
namespace {

namespace fs = std::filesystem;

constexpr const char* kFirstLine = "Brisko recovery file";
constexpr const char* kRecoveryPrefix = "block0-recovery-";
constexpr const char* kEditPrefix = "block0-edit-";
constexpr int kMaxNameAttempts = 100;

std::string Hex4(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "%04Xh", static_cast<unsigned>(value));
  return text;
}

// "2024-05-01 12:00:00" for people, "20240501-120000" in file names.
std::string LocalTime(std::time_t when, const char* format = "%Y-%m-%d %H:%M:%S") {
  std::tm local{};
  ::localtime_r(&when, &local);
  char text[32];
  std::strftime(text, sizeof text, format, &local);
  return text;
}

std::string InfoPathOf(const std::string& binPath) { return binPath.substr(0, binPath.size() - 4) + ".info"; }

bool WriteAll(int fd, const std::uint8_t* data, std::size_t count) {
  while (count > 0) {
    const ssize_t written = ::write(fd, data, count);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    count -= static_cast<std::size_t>(written);
  }
  return true;
}

// Writes `bytes` to a file opened with `flags`, on the disk before it
// returns. 0, or the errno that stopped it (told in `whyNot`).
int WriteFileNow(const std::string& path, int flags, std::span<const std::uint8_t> bytes, std::string& whyNot) {
  const int fd = ::open(path.c_str(), flags | O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0) {
    const int error = errno;
    whyNot = path + ": " + std::generic_category().message(error);
    return error;
  }
  // The chip is erased right after the record is written: its bytes must be
  // on the disk, not in a cache, before that.
  const bool written = WriteAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
  int error = written ? 0 : errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0) return 0;
  whyNot = path + ": " + std::generic_category().message(error);
  ::unlink(path.c_str());
  return error;
}

void SyncDirectory(const std::string& directory) {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

std::string InfoText(const RecoveryRecord& r) {
  std::ostringstream out;
  out << kFirstLine << "\n";
  out << "flow: " << r.flow << "\n";
  out << "port: " << r.port << "\n";
  out << "model: " << DescribeChip(r.model).chipTypeText << "\n";
  out << "created: " << static_cast<long long>(r.created) << " (" << LocalTime(r.created) << ")\n";
  for (const RecoveryArea& a : r.areas) out << "area: " << Hex4(a.address) << " " << a.bytes.size() << "\n";
  for (const FingerprintSector& f : r.fingerprint) {
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08X", static_cast<unsigned>(f.crc));
    out << "fingerprint: " << Hex4(f.address) << " " << f.length << " " << crc << "\n";
  }
  return out.str();
}

std::string ReadWhole(const std::string& path, bool& ok) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  ok = in.is_open() && (in.good() || in.eof());
  return bytes;
}

// "2000h" -> 0x2000
bool ParseHexAddress(const std::string& text, std::uint32_t& out) {
  if (text.size() < 2 || text.back() != 'h') return false;
  std::size_t used = 0;
  unsigned long value = 0;
  try {
    value = std::stoul(text.substr(0, text.size() - 1), &used, 16);
  } catch (...) {
    return false;
  }
  if (used != text.size() - 1 || value > 0xFFFF) return false;
  out = static_cast<std::uint32_t>(value);
  return true;
}

// The .info text into `r` (areas without their bytes yet); false when it is
// not a record this version understands.
bool ParseInfo(const std::string& text, RecoveryRecord& r) {
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != kFirstLine) return false;
  bool sawModel = false;
  bool sawCreated = false;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    const auto colon = line.find(": ");
    if (colon == std::string::npos) return false;
    const std::string key = line.substr(0, colon);
    const std::string value = line.substr(colon + 2);
    std::istringstream fields(value);
    if (key == "flow") {
      r.flow = value;
    } else if (key == "port") {
      r.port = value;
    } else if (key == "model") {
      const auto model = ModelFromName(value);
      if (!model) return false;
      r.model = *model;
      sawModel = true;
    } else if (key == "created") {
      long long seconds = 0;
      if (!(fields >> seconds)) return false;
      r.created = static_cast<std::time_t>(seconds);
      sawCreated = true;
    } else if (key == "area") {
      std::string address;
      std::size_t length = 0;
      RecoveryArea area;
      // Areas are whole 128-byte sectors: only those can be erased and put back.
      if (!(fields >> address >> length) || !ParseHexAddress(address, area.address) || length == 0 ||
          length > 0x10000 || area.address % 128 != 0 || length % 128 != 0)
        return false;
      area.bytes.resize(length);
      r.areas.push_back(std::move(area));
    } else if (key == "fingerprint") {
      std::string address;
      std::string crc;
      FingerprintSector f;
      if (!(fields >> address >> f.length >> crc) || !ParseHexAddress(address, f.address) || f.length == 0 ||
          f.length > 0x10000 || crc.size() != 8 || crc.find_first_not_of("0123456789ABCDEFabcdef") != std::string::npos)
        return false;
      f.crc = static_cast<std::uint32_t>(std::stoul(crc, nullptr, 16));
      r.fingerprint.push_back(f);
    }
    // Other keys are for people; a later version may add some.
  }
  return sawModel && sawCreated && !r.areas.empty();
}

// The .bin's bytes into the areas; false when its size does not fit them.
bool FillAreas(const std::string& bytes, RecoveryRecord& r) {
  if (bytes.size() != r.ByteCount()) return false;
  std::size_t offset = 0;
  for (RecoveryArea& a : r.areas) {
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), a.bytes.size(), a.bytes.begin());
    offset += a.bytes.size();
  }
  return true;
}

std::time_t ModifiedAt(const fs::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mtime : 0;
}

// An earlier version's file: its layout follows from its name and size.
bool ReadLegacy(const fs::path& path, const std::string& bytes, RecoveryRecord& r) {
  const std::string name = path.filename().string();
  r.legacy = true;
  r.created = ModifiedAt(path);
  if (name.rfind(kEditPrefix, 0) == 0) {
    std::uint32_t address = 0;
    if (name.size() < 17 || !ParseHexAddress(name.substr(12, 4) + "h", address)) return false;
    if (bytes.size() != 128 && bytes.size() != 256) return false;
    r.flow = "byte edit of an earlier version";
    r.areas = {RecoveryArea{address, std::vector<std::uint8_t>(bytes.size())}};
  } else if (bytes.size() == 512) {
    r.flow = "block-1 operation or external flash access of an earlier version";
    r.areas = {RecoveryArea{0x0000, std::vector<std::uint8_t>(128)}, RecoveryArea{0x2000, std::vector<std::uint8_t>(384)}};
  } else if (bytes.size() == 1280) {
    r.flow = "loader upgrade of an earlier version";
    r.areas = {RecoveryArea{0x0000, std::vector<std::uint8_t>(1280)}};
  } else {
    return false;
  }
  return FillAreas(bytes, r);
}

bool IsRecoveryBin(const std::string& name) {
  const bool prefixed = name.rfind(kRecoveryPrefix, 0) == 0 || name.rfind(kEditPrefix, 0) == 0;
  return prefixed && name.size() > 4 && name.compare(name.size() - 4, 4, ".bin") == 0;
}

}  // namespace

bool RecoveryRecord::WeakFingerprint() const {
  for (const FingerprintSector& f : fingerprint) {
    const std::vector<std::uint8_t> blank(f.length, 0xFF);
    if (f.crc != Crc32(blank)) return false;
  }
  return true;
}

std::string RecoveryRecord::AreaText() const {
  std::string text;
  for (const RecoveryArea& a : areas) {
    if (!text.empty()) text += ", ";
    text += Hex4(a.address) + "-" + Hex4(a.address + static_cast<std::uint32_t>(a.bytes.size()) - 1);
  }
  return text;
}

std::string RecoveryRecord::Describe() const {
  std::string text = legacy ? std::string("no record of its chip") : DescribeChip(model).chipTypeText;
  if (!port.empty()) text += " on " + port;
  return text + ", " + flow + ", " + LocalTime(created);
}

std::size_t RecoveryRecord::ByteCount() const {
  std::size_t n = 0;
  for (const RecoveryArea& a : areas) n += a.bytes.size();
  return n;
}

bool WriteRecoveryFile(const std::string& directory, RecoveryRecord& record, std::string& whyNot) {
  if (!EnsureDir(directory, whyNot)) return false;
  std::vector<std::uint8_t> bytes;
  for (const RecoveryArea& a : record.areas) bytes.insert(bytes.end(), a.bytes.begin(), a.bytes.end());
  const std::string info = InfoText(record);
  for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
    std::string base = directory + "/" + kRecoveryPrefix + LocalTime(record.created, "%Y%m%d-%H%M%S");
    if (attempt > 1) base += "-" + std::to_string(attempt);
    // O_EXCL: never reuse (and so overwrite) an older recovery file.
    const int error = WriteFileNow(base + ".bin", O_CREAT | O_EXCL, bytes, whyNot);
    if (error == EEXIST) continue;
    if (error != 0) return false;
    const auto* text = reinterpret_cast<const std::uint8_t*>(info.data());
    if (WriteFileNow(base + ".info", O_CREAT | O_TRUNC, {text, info.size()}, whyNot) != 0) {
      ::unlink((base + ".bin").c_str());
      return false;
    }
    SyncDirectory(directory);
    record.path = base + ".bin";
    return true;
  }
  whyNot = directory + ": no free recovery file name";
  return false;
}

std::vector<RecoveryRecord> ListRecoveryFiles(const std::string& directory) {
  std::vector<RecoveryRecord> records;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(directory, ignored)) {
    const fs::path& path = entry.path();
    if (!IsRecoveryBin(path.filename().string())) continue;
    bool ok = false;
    const std::string bytes = ReadWhole(path.string(), ok);
    if (!ok) continue;
    RecoveryRecord r;
    r.path = path.string();
    bool infoOk = false;
    const std::string info = ReadWhole(InfoPathOf(r.path), infoOk);
    if (!infoOk || !ParseInfo(info, r) || !FillAreas(bytes, r)) {
      // No record, or one this version cannot read: the bytes are still the
      // user's, laid out as an earlier version would have.
      r = RecoveryRecord{};
      r.path = path.string();
      if (!ReadLegacy(path, bytes, r)) continue;
    }
    records.push_back(std::move(r));
  }
  std::stable_sort(records.begin(), records.end(), [](const RecoveryRecord& a, const RecoveryRecord& b) {
    return a.created != b.created ? a.created > b.created : a.path > b.path;
  });
  return records;
}

bool RemoveRecoveryFile(const std::string& binPath) {
  if (binPath.empty()) return false;
  // The data first: a record without its data is only a note.
  const bool removed = ::unlink(binPath.c_str()) == 0;
  if (binPath.size() > 4) ::unlink(InfoPathOf(binPath).c_str());
  return removed;
}

std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::uint8_t b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

}  // namespace brisko
