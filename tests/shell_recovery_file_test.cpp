#include <gtest/gtest.h>

#include <sys/stat.h>

#include "shell/recovery_file.hpp"
#include "support/temp_dir.hpp"

namespace brisko {
namespace {

// The layout (sector 0, then 2000h-217Fh) is checked where a failed put-back
// writes the file; here: its name, its rights and that none is overwritten.
TEST(RecoveryFile, IsPrivateNeverOverwritesAnEarlierOneAndFailsWhereItCannotWrite) {
  test::TempDir dir;
  SavedAreas saved;
  saved.savedSector0[5] = 5;
  const std::string first = WriteBlock0RecoveryFile(dir.Path(), saved, 1000);
  const std::string second = WriteBlock0RecoveryFile(dir.Path(), SavedAreas{}, 1000);
  ASSERT_FALSE(first.empty());
  ASSERT_FALSE(second.empty());
  EXPECT_NE(first, second);
  EXPECT_EQ(first.rfind(dir.Path() + "/block0-recovery-", 0), 0u);
  EXPECT_EQ(first.substr(first.size() - 4), ".bin");
  EXPECT_EQ(test::ReadFile(first)[5], 5);
  EXPECT_EQ(test::ReadFile(second), std::string(kRecoveryFileSize, '\0'));
  struct stat st {};
  ASSERT_EQ(::stat(first.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_TRUE(RemoveBlock0RecoveryFile(first));
  EXPECT_FALSE(RemoveBlock0RecoveryFile(first));

  EXPECT_NE(WriteBlock0RecoveryFile(dir.File("made/on/demand"), saved, 0), "");
  test::WriteFile(dir.File("plain"), "x");
  EXPECT_EQ(WriteBlock0RecoveryFile(dir.File("plain/below"), saved, 0), "");
  EXPECT_EQ(WriteBlock0RecoveryFile("", saved, 0), "");
}

}  // namespace
}  // namespace brisko
