#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "image/hex_file_name.hpp"
#include "image/image_file.hpp"
#include "link/result_codes.hpp"
#include "support/result_print.hpp"
#include "image/intel_hex_image.hpp"
#include "image/sha256.hpp"
#include "support/recording_sink.hpp"
#include "support/temp_dir.hpp"

namespace brisko {
namespace {

using Bytes = std::vector<std::uint8_t>;

HexImage Build(const std::string& text, const std::string& name = "fw.hex") {
  std::istringstream in(text);
  return BuildImageFromHex(in, name);
}

// `size` erased bytes with `pieces` written in at their offsets.
Bytes Image(std::size_t size, std::initializer_list<std::pair<std::size_t, Bytes>> pieces) {
  Bytes image(size, 0xFF);
  for (const auto& [offset, bytes] : pieces) std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<long>(offset));
  return image;
}

TEST(HexImage, RecordsLandAtTheirOffsetsInOneWindowWithGapsErased) {
  const Bytes counting{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  struct Case {
    const char* what;
    std::string text;
    Bytes expected;
  } cases[] = {
      {"data at 0100h", ":10010000000102030405060708090A0B0C0D0E0F77\n:00000001FF\n", Image(0x110, {{0x100, counting}})},
      {"lower case", ":03000000abcdef96\n:00000001ff\n", {0xAB, 0xCD, 0xEF}},
      {"out of order", ":02002000AABB79\n:0100000011EE\n:0100100022CD\n:00000001FF\n",
       Image(0x22, {{0, {0x11}}, {0x10, {0x22}}, {0x20, {0xAA, 0xBB}}})},
      {"later overwrites earlier", ":020000001122CB\n:0100010033CB\n:00000001FF\n", {0x11, 0x33}},
      {"end record stops", ":0100000011EE\n:00000001FF\n:0100100022CD\n", {0x11}},
      {"text before the colon, CR LF", "; by hand\r\n  rec :0100000011EE\r\n\r\n:00000001FF\r\n", {0x11}},
      {"two records on a line", ":0100000011EE:0100010022DC:00000001FF\n", {0x11, 0x22}},
      {"03, 05 and an 01 with data write nothing",
       ":0400000300001234B3\n:0400000500001234B1\n:01000001AA54\n:0100000011EE\n:00000001FF\n", {0x11}},
      // One far window keeps the 16-bit offsets: the external high bank's view.
      {"linear base 1_0000h", ":020000040001F9\n:0100100011DE\n:00000001FF\n", Image(0x11, {{0x10, {0x11}}})},
      {"segment 1000h", ":020000021000EC\n:0100100011DE\n:00000001FF\n", Image(0x11, {{0x10, {0x11}}})},
      {"segment 0010h is base 0100h", ":020000020010EC\n:0100000011EE\n:00000001FF\n", Image(0x101, {{0x100, {0x11}}})},
      {"segment addressing wraps inside the segment", ":020000020000FC\n:02FFFF001122CD\n:00000001FF\n",
       Image(0x10000, {{0, {0x22}}, {0xFFFF, {0x11}}})},
  };
  for (const auto& c : cases) {
    HexImage image = Build(c.text);
    ASSERT_TRUE(image.ok) << c.what << ": " << image.error;
    EXPECT_EQ(image.bytes, c.expected) << c.what;
  }
}

TEST(HexImage, RefusalsNameTheFileAndTheLine) {
  const std::string twoWindows =
      "Intel HEX file \"fw.hex\" has data in more than one 64 KB window (line %); it cannot be loaded as one image";
  auto windows = [&](char line) { return std::string(twoWindows).replace(twoWindows.find('%'), 1, 1, line); };
  struct Case {
    std::string text;
    std::string message;
  } cases[] = {
      {":0100000011EE\n:01000100227D\n", "Bad Intel HEX record at line 2 of \"fw.hex\": checksum mismatch"},
      {":0100000011EE\n\n:0100010022\n", "Bad Intel HEX record at line 3 of \"fw.hex\": record too short"},
      {":0100000011EE\r\n:0100010022\r\n", "Bad Intel HEX record at line 2 of \"fw.hex\": record too short"},
      {":01000000X1EE\n", "Bad Intel HEX record at line 1 of \"fw.hex\": not a hexadecimal digit"},
      {":0100000404F7\n",
       "Bad Intel HEX record at line 1 of \"fw.hex\": extended address record without two data bytes"},
      // Data in two windows is refused rather than folded onto each other.
      {":0100000011EE\n:020000040001F9\n:0100000022DD\n", windows('3')},
      {":02FFFF001122CD\n", windows('1')},  // one record running over FFFFh
  };
  for (const auto& c : cases) {
    HexImage image = Build(c.text);
    EXPECT_FALSE(image.ok) << c.text;
    EXPECT_EQ(image.error, c.message) << c.text;
  }
}

TEST(HexFileName, ChoosesHexByTheLastThreeCharactersOrIhx) {
  for (const char* name : {"a.hex", "a.HEX", "dir/A.hEx", "fw.ihx", "FW.IHX", "hex"})
    EXPECT_TRUE(IsHexFileName(name)) << name;
  for (const char* name : {"a.hx", "a.bin", "a.hex.bin", "", "a.ih"}) EXPECT_FALSE(IsHexFileName(name)) << name;
}

TEST(ImageFileTest, ReadsWholeInMemoryAndRefusesWhatCannotBeWritten) {
  test::TempDir dir;
  std::filesystem::create_directory(dir.File("folder.hex"));
  const std::string cannotOpen = "Can't open the selected file!!!";
  struct Case {
    const char* name;
    const char* content;  // null: no such file
    std::string message;  // "" when the file opens
  } cases[] = {
      {"in.hex", ":020001001122CA\n:00000001FF\n", ""},
      {"in.bin", "\x01\x02", ""},
      {"bad.hex", ":0100000011EE\n:0100010022FF\n", "Bad Intel HEX record at line 2 of \"bad.hex\": checksum mismatch"},
      {"none.hex", nullptr, cannotOpen},
      {"folder.hex", nullptr, cannotOpen},
      // Images without a data byte would "succeed" having written nothing.
      {"empty.bin", "", "The file \"empty.bin\" holds no data bytes!!!"},
      {"end-only.hex", ":00000001FF\n", "The file \"end-only.hex\" holds no data bytes!!!"},
      {"words.hex", "no records here\n:00000001FF\n", "The file \"words.hex\" holds no data bytes!!!"},
      // A build output cut short has no end record.
      {"cut.hex", ":020001001122CA\n", "Intel HEX file \"cut.hex\" has no end record; it may be cut short"},
  };
  for (const Case& c : cases) {
    if (c.content) test::WriteFile(dir.File(c.name), c.content);
    test::RecordingSink sink;
    ImageFile image;
    const Result opened = image.Open(dir.File(c.name), sink);
    EXPECT_EQ(opened, c.message.empty() ? Result::Ok : Result::Failed) << c.name;
    EXPECT_EQ(sink.messages, c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message})
        << c.name;
  }
  test::RecordingSink sink;
  ImageFile image;
  ASSERT_EQ(image.Open(dir.File("in.hex"), sink), Result::Ok);
  std::uint8_t bytes[3] = {};
  ASSERT_TRUE(image.Read(0, bytes, 3));
  EXPECT_EQ(std::string(bytes, bytes + 3), std::string("\xFF\x11\x22", 3));
  EXPECT_FALSE(image.Read(1, bytes, 3));  // past the image
}

// The digests that name a downloaded file in the run log: the standard's
// messages, across the 55/56-byte padding edge, and a file read in pieces.
TEST(ImageFileTest, Sha256OfKnownMessagesAndFiles) {
  const struct { std::string message; const char* digest; } rows[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  test::TempDir dir;
  for (const auto& row : rows) {
    Sha256 sha;
    sha.Add(row.message.data(), row.message.size());
    EXPECT_EQ(sha.HexDigest(), row.digest) << row.message.size();
    test::WriteFile(dir.File("m.bin"), row.message);
    EXPECT_EQ(FileSha256(dir.File("m.bin")), row.digest);
  }
  EXPECT_EQ(FileSha256(dir.File("missing.bin")), std::nullopt);
}

}  // namespace
}  // namespace brisko
