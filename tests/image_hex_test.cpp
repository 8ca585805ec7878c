#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "image/hex_converter.hpp"
#include "image/intel_hex_image.hpp"
#include "support/recording_sink.hpp"
#include "support/temp_dir.hpp"

namespace brisko {
namespace {

using Bytes = std::vector<std::uint8_t>;

HexImage Build(const std::string& text, const std::string& name = "x.hex") {
  std::istringstream in(text);
  return BuildImageFromHex(in, name);
}

Bytes Erased(std::size_t n) { return Bytes(n, 0xFF); }

TEST(HexImage, DataRecordAt0100hGivesLeadingErasedBytes) {
  HexImage image = Build(":10010000000102030405060708090A0B0C0D0E0F77\n:00000001FF\n");
  ASSERT_TRUE(image.ok) << image.error;
  Bytes expected = Erased(0x100);
  for (int i = 0; i < 16; ++i) expected.push_back(static_cast<std::uint8_t>(i));
  EXPECT_EQ(image.bytes, expected);
}

TEST(HexImage, LowerCaseDigitsReadAsTheirValues) {
  HexImage image = Build(":03000000abcdef96\n");
  ASSERT_TRUE(image.ok) << image.error;
  EXPECT_EQ(image.bytes, (Bytes{0xAB, 0xCD, 0xEF}));
}

TEST(HexImage, RecordsOutOfOrderLeaveEveryUncoveredByteErased) {
  HexImage image = Build(
      ":02002000AABB79\n"
      ":0100000011EE\n"
      ":0100100022CD\n"
      ":00000001FF\n");
  ASSERT_TRUE(image.ok) << image.error;
  Bytes expected = Erased(0x22);
  expected[0x00] = 0x11;
  expected[0x10] = 0x22;
  expected[0x20] = 0xAA;
  expected[0x21] = 0xBB;
  EXPECT_EQ(image.bytes, expected);
}

TEST(HexImage, LaterRecordsOverwriteEarlierOnes) {
  HexImage image = Build(":020000001122CB\n:0100010033CB\n");
  ASSERT_TRUE(image.ok) << image.error;
  EXPECT_EQ(image.bytes, (Bytes{0x11, 0x33}));
}

TEST(HexImage, EndRecordStopsAndMissingEndRecordConvertsToTheLastRecord) {
  HexImage ended = Build(":0100000011EE\n:00000001FF\n:0100100022CD\n");
  ASSERT_TRUE(ended.ok);
  EXPECT_EQ(ended.bytes, (Bytes{0x11}));

  HexImage open = Build(":0100000011EE\n:0100030022DA");
  ASSERT_TRUE(open.ok) << open.error;
  EXPECT_EQ(open.bytes, (Bytes{0x11, 0xFF, 0xFF, 0x22}));
}

TEST(HexImage, SkipsTextBeforeTheColonAndAcceptsCrLf) {
  HexImage image = Build("; built by hand\r\n  rec :0100000011EE\r\n\r\n:00000001FF\r\n");
  ASSERT_TRUE(image.ok) << image.error;
  EXPECT_EQ(image.bytes, (Bytes{0x11}));
}

TEST(HexImage, TwoRecordsOnOneLineAreBothTaken) {
  HexImage image = Build(":0100000011EE:0100010022DC\n");
  ASSERT_TRUE(image.ok) << image.error;
  EXPECT_EQ(image.bytes, (Bytes{0x11, 0x22}));
}

TEST(HexImage, TypesWithoutDataWriteNothing) {
  // Start-address records (03, 05) and an 01 record that carries data.
  HexImage image = Build(
      ":0400000300001234B3\n"
      ":0400000500001234B1\n"
      ":01000001AA54\n"
      ":0100000011EE\n");
  ASSERT_TRUE(image.ok) << image.error;
  EXPECT_EQ(image.bytes, (Bytes{0x11}));
}

TEST(HexImage, RefusalsNameTheFileAndTheLine) {
  struct Case {
    std::string text;
    std::string message;
  } cases[] = {
      {":0100000011EE\n:01000100227D\n",
       "Bad Intel HEX record at line 2 of \"fw.hex\": checksum mismatch"},
      {":0100000011EE\n\n:0100010022\n", "Bad Intel HEX record at line 3 of \"fw.hex\": record too short"},
      {":0100000011EE\r\n:0100010022\r\n", "Bad Intel HEX record at line 2 of \"fw.hex\": record too short"},
      {":01000000X1EE\n", "Bad Intel HEX record at line 1 of \"fw.hex\": not a hexadecimal digit"},
      {":0100000404F7\n",
       "Bad Intel HEX record at line 1 of \"fw.hex\": extended address record without two data bytes"},
  };
  for (const auto& c : cases) {
    HexImage image = Build(c.text, "fw.hex");
    EXPECT_FALSE(image.ok) << c.text;
    EXPECT_EQ(image.error, c.message) << c.text;
  }
}

TEST(HexImage, DataInsideOneFarWindowKeepsItsSixteenBitOffsets) {
  // Linear base 0001_0000h: the external high bank's view of the data.
  HexImage linear = Build(":020000040001F9\n:0100100011DE\n:00000001FF\n");
  ASSERT_TRUE(linear.ok) << linear.error;
  Bytes expected = Erased(0x11);
  expected[0x10] = 0x11;
  EXPECT_EQ(linear.bytes, expected);

  // Segment 1000h is base 10000h too.
  HexImage segment = Build(":020000021000EC\n:0100100011DE\n:00000001FF\n");
  ASSERT_TRUE(segment.ok) << segment.error;
  EXPECT_EQ(segment.bytes, expected);
}

TEST(HexImage, SegmentBaseMovesDataWithinTheWindow) {
  // Segment 0010h is base 0100h: offset 0000h lands at 0100h, not at 0000h.
  HexImage image = Build(":020000020010EC\n:0100000011EE\n");
  ASSERT_TRUE(image.ok) << image.error;
  ASSERT_EQ(image.bytes.size(), 0x101u);
  EXPECT_EQ(image.bytes[0x100], 0x11);
  EXPECT_EQ(image.bytes[0], 0xFF);
}

TEST(HexImage, DataInTwoWindowsIsRefusedInsteadOfFolded) {
  HexImage linear = Build(":0100000011EE\n:020000040001F9\n:0100000022DD\n", "two.hex");
  EXPECT_FALSE(linear.ok);
  EXPECT_EQ(linear.error,
            "Intel HEX file \"two.hex\" has data in more than one 64 KB window (line 3); it cannot be "
            "loaded as one image");

  // One record running over FFFFh under linear addressing.
  HexImage crossing = Build(":02FFFF001122CD\n", "two.hex");
  EXPECT_FALSE(crossing.ok);
  EXPECT_NE(crossing.error.find("line 1"), std::string::npos);
}

TEST(HexImage, SegmentAddressingWrapsInsideTheSegment) {
  // Under segment 0000h a record at FFFFh wraps to 0000h of the same window.
  HexImage image = Build(":020000020000FC\n:02FFFF001122CD\n");
  ASSERT_TRUE(image.ok) << image.error;
  ASSERT_EQ(image.bytes.size(), 0x10000u);
  EXPECT_EQ(image.bytes[0xFFFF], 0x11);
  EXPECT_EQ(image.bytes[0x0000], 0x22);
}

TEST(HexFileName, ChoosesHexByTheLastThreeCharactersOrIhx) {
  for (const char* name : {"a.hex", "a.HEX", "a.Hex", "dir/A.hEx", "fw.ihx", "FW.IHX"})
    EXPECT_TRUE(IsHexFileName(name)) << name;
  for (const char* name : {"a.hx", "a.bin", "a.hex.bin", "hex", "", "a.ih"})
    EXPECT_EQ(IsHexFileName(name), std::string(name) == "hex") << name;
}

class HexConversion : public ::testing::Test {
 protected:
  test::TempDir dir;
  test::RecordingSink sink;
  std::string hex = dir.File("in.hex");
  std::string bin = dir.File("out.bin");
};

TEST_F(HexConversion, WritesTheImageAndOverwritesAnOldOne) {
  test::WriteFile(bin, std::string(1000, 'x'));
  test::WriteFile(hex, ":020001001122CA\n:00000001FF\n");
  ASSERT_EQ(ConvertHexToBinary(hex, bin, sink), 1);
  EXPECT_EQ(test::ReadFile(bin), std::string("\xFF\x11\x22", 3));
  EXPECT_TRUE(sink.messages.empty());
}

TEST_F(HexConversion, FailureLeavesTheTargetAsItWasAndSaysWhy) {
  test::WriteFile(bin, "previous image");
  test::WriteFile(hex, ":0100000011EE\n:0100010022FF\n");
  EXPECT_EQ(ConvertHexToBinary(hex, bin, sink), 0);
  EXPECT_EQ(test::ReadFile(bin), "previous image");
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages[0], "Bad Intel HEX record at line 2 of \"in.hex\": checksum mismatch");
}

TEST_F(HexConversion, MissingSourceIsCantOpen) {
  EXPECT_EQ(ConvertHexToBinary(dir.File("none.hex"), bin, sink), 0);
  EXPECT_EQ(sink.messages, std::vector<std::string>{"Can't open the selected file!!!"});
  EXPECT_EQ(ConvertHexToBinary(dir.Path() + "/", bin, sink), 0);
}

TEST_F(HexConversion, UnwritableTargetFailsWithAMessage) {
  test::WriteFile(hex, ":0100000011EE\n");
  EXPECT_EQ(ConvertHexToBinary(hex, dir.File("no/such/dir/out.bin"), sink), 0);
  EXPECT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(ConvertHexToBinary(hex, "", sink), 0);
}

}  // namespace
}  // namespace brisko
