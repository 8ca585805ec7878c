#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "chip/chip_catalogue.hpp"
#include "firmware/firmware.hpp"
#include "shell/flash/byte_edit_command.hpp"
#include "shell/block0/recovery_file.hpp"
#include "shell/block0/recovery_record.hpp"
#include "support/sim_session.hpp"
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
  r.flow = "block-1 operation";
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
  for (const char* line : {"flow: block-1 operation\n", "port: /dev/ttyUSB0\n", "model: KT420\n", "area: 2000h 384\n",
                           "fingerprint: 0080h 128 1234ABCD\n"})
    EXPECT_NE(info.find(line), std::string::npos) << line << info;
  struct stat st {};
  ASSERT_EQ(::stat(first.path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  const auto listed = ListRecoveryFiles(dir.Path());
  ASSERT_EQ(listed.size(), 2u);
  const RecoveryRecord& back = listed[0].path == first.path ? listed[0] : listed[1];
  // The chip's model, fingerprint and bytes are read back through the offer below.
  EXPECT_FALSE(back.legacy);
  EXPECT_EQ(back.port, "/dev/ttyUSB0");
  EXPECT_EQ(back.created, 1000);
  EXPECT_EQ(back.AreaText(), "0000h-007Fh, 2000h-217Fh");

  EXPECT_TRUE(RemoveRecoveryFile(first.path));
  EXPECT_FALSE(RemoveRecoveryFile(first.path));
  EXPECT_EQ(ListRecoveryFiles(dir.Path()).size(), 1u);
  EXPECT_FALSE(test::ReadFile(first.path.substr(0, first.path.size() - 4) + ".info").size());

  // A folder that cannot be made is told by the parked programmer's rows.
  RecoveryRecord elsewhere = ParkingRecord();
  EXPECT_TRUE(WriteRecoveryFile(dir.File("made/on/demand"), elsewhere, whyNot));
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

// A detection offers a recovery file only to the chip it belongs to, and
// lets "answer Yes to everything" apply it only when the file can tell that
// chip from another one.
TEST(RecoveryOffer, OnlyTheChipAFileBelongsToIsOfferedIt) {
  enum class Fits { Own, OtherBoard, OtherModel, EarlierVersion };
  enum class Now { Displaced, Back, Rewritten };
  enum class Then { Restored, Kept, Listed, Removed };
  const struct Row {
    const char* what;
    Fits fits;
    bool blankFingerprint;
    Now now;
    bool answer;
    bool inPerson;
    Then then;
  } rows[] = {
      {"its own chip, displaced: asked and put back", Fits::Own, false, Now::Displaced, true, false, Then::Restored},
      {"its own chip, answered No", Fits::Own, false, Now::Displaced, false, false, Then::Kept},
      {"another board of the same model: listed", Fits::OtherBoard, false, Now::Displaced, true, false, Then::Listed},
      {"another model: listed", Fits::OtherModel, false, Now::Displaced, true, false, Then::Listed},
      {"a blank fingerprint: asked in person", Fits::Own, true, Now::Displaced, true, true, Then::Restored},
      {"an earlier version's file, helper at 2000h", Fits::EarlierVersion, false, Now::Displaced, true, true,
       Then::Restored},
      {"an earlier version's file, block 0 rewritten since", Fits::EarlierVersion, false, Now::Rewritten, true, false,
       Then::Listed},
      {"its bytes are back already", Fits::Own, false, Now::Back, true, false, Then::Removed},
  };
  const test::Bytes sector0 = test::Pattern(128, 81), area2000 = test::Pattern(384, 82);
  test::Bytes helper(384, 0xFF);
  std::copy(firmware::BankHelper.begin(), firmware::BankHelper.end(), helper.begin());
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    test::SimSession rig(kKT420);
    ASSERT_TRUE(rig.Ready());
    if (!row.blankFingerprint) rig.SetFlash(0, 0x0080, test::Pattern(128, 83));
    std::string path;
    if (row.fits == Fits::EarlierVersion) {
      std::filesystem::create_directories(rig.dirs.Places().dataDir);
      path = rig.Write("data/brisko/block0-recovery-20200101-120000.bin", test::Concat(sector0, area2000));
    } else {
      RecoveryRecord record;
      record.flow = "block-1 operation";
      record.model = row.fits == Fits::OtherModel ? kKT410 : kKT420;
      record.created = 2000;
      record.areas = {{0x0000, sector0}, {0x2000, area2000}};
      record.fingerprint = TakeFingerprint(LoaderReader(rig.Shell().Record()->Port()), 0x8000, record.areas);
      std::string whyNot;
      ASSERT_TRUE(WriteRecoveryFile(rig.dirs.Places().dataDir, record, whyNot)) << whyNot;
      path = record.path;
      if (row.fits == Fits::OtherBoard) rig.SetFlash(0, 0x0080, test::Pattern(128, 84));
    }
    rig.SetFlash(0, 0x0000, row.now == Now::Back ? sector0 : row.now == Now::Rewritten ? test::Pattern(128, 85)
                                                                                      : test::Bytes(128, 0xFF));
    rig.SetFlash(0, 0x2000, row.now == Now::Back ? area2000 : row.now == Now::Rewritten ? test::Pattern(384, 86)
                                                                                       : helper);
    const test::Bytes before = rig.Flash(0, 0, 0x2180);
    rig.Shell().ResetTarget();
    rig.op.answers = {row.answer};
    ASSERT_TRUE(rig.Detect());

    const bool asked = row.then == Then::Restored || row.then == Then::Kept;
    EXPECT_EQ(rig.op.questions.size(), asked ? 1u : 0u);
    EXPECT_EQ(rig.op.inPerson.size(), row.inPerson ? 1u : 0u);
    if (asked) {
      EXPECT_NE(rig.op.questions[0].find(path), std::string::npos) << rig.op.questions[0];
    }
    const auto files = rig.RecoveryFiles();
    EXPECT_EQ(files.size(), row.then == Then::Restored || row.then == Then::Removed ? 0u : 1u);
    if (row.then == Then::Restored) {
      EXPECT_EQ(rig.Flash(0, 0x0000, 128), sector0);
      EXPECT_EQ(rig.Flash(0, 0x2000, 384), area2000);
    } else {
      EXPECT_EQ(rig.Flash(0, 0, 0x2180), before) << "the chip is left alone";
    }
    const bool listed = std::any_of(rig.op.messages.begin(), rig.op.messages.end(), [&](const std::string& m) {
      return m.find("do not belong to the chip") != std::string::npos && m.find(path) != std::string::npos;
    });
    EXPECT_EQ(listed, row.then == Then::Listed) << ::testing::PrintToString(rig.op.messages);
  }
}

// What the byte edit erases and puts back is read until two reads agree: one
// byte corrupted on the line, or one missing from a reply, is neither written
// back nor taken as the reference of the check after the put-back.
TEST(RecoveryOffer, BytesAboutToBeErasedAreReadUntilTwoReadsAgree) {
  using Kind = sim::ReplyFault::Kind;
  for (const Kind fault : {Kind::Corrupt, Kind::Drop}) {
    SCOPED_TRACE(fault == Kind::Drop ? "a byte dropped" : "a byte corrupted");
    sim::SimConfig config = test::ChipConfig(kKT420);
    config.faults.replyFaults.push_back({fault, 0x0C, 2, 5, 0xFF, Millis{0}});
    test::SimSession rig(config);
    ASSERT_TRUE(rig.Ready());
    test::Bytes block0 = test::Pattern(0x200, 91);
    rig.SetFlash(0, 0, block0);
    rig.op.byteEditPresses.push_back([](ByteEditDialog& d) {
      d.addressText = "0010";
      d.newDataText = "AA BB";
      return ByteEditButton::ReplaceData;
    });
    rig.op.answers = {true};
    EXPECT_TRUE(rig.Run(OnEditBlock0).Ok());
    block0[0x10] = 0xAA;
    block0[0x11] = 0xBB;
    EXPECT_TRUE(rig.Flash(0, 0, 0x200) == block0) << "block 0 does not hold what it held";
    EXPECT_TRUE(rig.RecoveryFiles().empty());
  }
}

}  // namespace
}  // namespace brisko
