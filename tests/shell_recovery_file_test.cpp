#include <gtest/gtest.h>

#include <sys/stat.h>

#include "chip/chip_catalogue.hpp"
#include "shell/recovery_file.hpp"
#include "support/temp_dir.hpp"

namespace brisko {
namespace {

std::vector<std::uint8_t> Fill(std::size_t n, std::uint8_t first) {
  std::vector<std::uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
  return bytes;
}

RecoveryRecord ParkingRecord() {
  RecoveryRecord r;
  r.flow = "block-1 programmer";
  r.port = "/dev/ttyUSB0";
  r.model = kKT420;
  r.created = 1000;
  r.areas = {{0x0000, Fill(128, 1)}, {0x2000, Fill(384, 2)}};
  r.fingerprint = {{0x0080, 128, 0x1234ABCD}, {0x0100, 128, Crc32(std::vector<std::uint8_t>(128, 0xFF))}};
  return r;
}

// The record's bytes are laid out as earlier versions wrote them; its chip,
// port and fingerprint go to a text beside them; no file is ever overwritten.
TEST(RecoveryFile, RoundTripsRecordsAndNeverOverwritesAnEarlierOne) {
  test::TempDir dir;
  RecoveryRecord first = ParkingRecord();
  RecoveryRecord second = ParkingRecord();
  second.areas[0].bytes[0] = 0x77;
  std::string whyNot;
  ASSERT_TRUE(WriteRecoveryFile(dir.Path(), first, whyNot)) << whyNot;
  ASSERT_TRUE(WriteRecoveryFile(dir.Path(), second, whyNot)) << whyNot;
  EXPECT_NE(first.path, second.path);
  EXPECT_EQ(first.path.rfind(dir.Path() + "/block0-recovery-", 0), 0u);
  const std::string raw = test::ReadFile(first.path);
  ASSERT_EQ(raw.size(), 512u);
  EXPECT_EQ(static_cast<std::uint8_t>(raw[0]), 1);
  EXPECT_EQ(static_cast<std::uint8_t>(raw[128]), 2);
  const std::string info = test::ReadFile(first.path.substr(0, first.path.size() - 4) + ".info");
  for (const char* line : {"flow: block-1 programmer\n", "port: /dev/ttyUSB0\n", "model: KT420\n", "area: 2000h 384\n",
                           "fingerprint: 0080h 128 1234ABCD\n"})
    EXPECT_NE(info.find(line), std::string::npos) << line << info;
  struct stat st {};
  ASSERT_EQ(::stat(first.path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  const auto listed = ListRecoveryFiles(dir.Path());
  ASSERT_EQ(listed.size(), 2u);
  const RecoveryRecord& back = listed[0].path == first.path ? listed[0] : listed[1];
  EXPECT_FALSE(back.legacy);
  EXPECT_EQ(back.model, kKT420);
  EXPECT_EQ(back.port, "/dev/ttyUSB0");
  EXPECT_EQ(back.created, 1000);
  ASSERT_EQ(back.areas.size(), 2u);
  EXPECT_EQ(back.areas[1].address, 0x2000u);
  EXPECT_EQ(back.areas[1].bytes, first.areas[1].bytes);
  ASSERT_EQ(back.fingerprint.size(), 2u);
  EXPECT_EQ(back.fingerprint[0].crc, 0x1234ABCDu);
  EXPECT_FALSE(back.WeakFingerprint()) << "one fingerprint sector holds bytes";
  EXPECT_EQ(back.AreaText(), "0000h-007Fh, 2000h-217Fh");

  EXPECT_TRUE(RemoveRecoveryFile(first.path));
  EXPECT_FALSE(RemoveRecoveryFile(first.path));
  EXPECT_EQ(ListRecoveryFiles(dir.Path()).size(), 1u);
  EXPECT_FALSE(test::ReadFile(first.path.substr(0, first.path.size() - 4) + ".info").size());

  RecoveryRecord elsewhere = ParkingRecord();
  EXPECT_TRUE(WriteRecoveryFile(dir.File("made/on/demand"), elsewhere, whyNot));
  test::WriteFile(dir.File("plain"), "x");
  EXPECT_FALSE(WriteRecoveryFile(dir.File("plain/below"), elsewhere, whyNot));
  EXPECT_NE(whyNot.find("plain"), std::string::npos) << whyNot;
  EXPECT_FALSE(WriteRecoveryFile("", elsewhere, whyNot));
}

// Files of earlier versions carry no record of their chip: their layout
// follows from name and size. A record that cannot be read falls back to the
// same rules; anything else is not a recovery file.
TEST(RecoveryFile, EarlierVersionsFilesAreReadByTheirLayout) {
  const struct {
    const char* name;
    std::size_t size;
    const char* info;  // nullptr: none
    const char* areas;  // "" when the file is not listed
  } rows[] = {
      {"block0-recovery-20240101-120000.bin", 512, nullptr, "0000h-007Fh, 2000h-217Fh"},
      {"block0-recovery-20240101-120000.bin", 1280, nullptr, "0000h-04FFh"},
      {"block0-edit-0380-20240101-120000.bin", 128, nullptr, "0380h-03FFh"},
      {"block0-edit-0380-20240101-120000.bin", 256, nullptr, "0380h-047Fh"},
      {"block0-recovery-20240101-120000.bin", 300, nullptr, ""},
      {"block0-recovery-20240101-120000.bin", 512, "Brisko recovery file\nmodel: KT999\n", "0000h-007Fh, 2000h-217Fh"},
      {"block0-recovery-20240101-120000.bin", 512,
       "Brisko recovery file\nmodel: KT420\ncreated: 5\narea: 0040h 128\narea: 2000h 384\n", "0000h-007Fh, 2000h-217Fh"},
      {"other-20240101.bin", 512, nullptr, ""},
  };
  for (const auto& row : rows) {
    test::TempDir dir;
    test::WriteFile(dir.File(row.name), std::string(row.size, '\x5A'));
    if (row.info) {
      std::string name = row.name;
      test::WriteFile(dir.File(name.substr(0, name.size() - 4) + ".info"), row.info);
    }
    const auto listed = ListRecoveryFiles(dir.Path());
    if (*row.areas == '\0') {
      EXPECT_TRUE(listed.empty()) << row.name << " " << row.size;
      continue;
    }
    ASSERT_EQ(listed.size(), 1u) << row.name << " " << row.size;
    EXPECT_TRUE(listed[0].legacy) << row.name;
    EXPECT_EQ(listed[0].AreaText(), row.areas);
    EXPECT_EQ(listed[0].ByteCount(), row.size);
  }
}

}  // namespace
}  // namespace brisko
