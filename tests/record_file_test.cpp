#include "link/record_file.h"

#include <gtest/gtest.h>

#include <string>

#include "fakes/fake_files.h"

namespace scalecheck {
namespace {

TEST(RecordFile, RecordsWaitInOrderUntilTheFileCanBeWritten) {
  testing::FakeFiles files;
  RecordFile file(files, "log");
  files.unwritable.insert("log");
  EXPECT_FALSE(file.append("a\n", 2));
  EXPECT_FALSE(file.append("b\n", 2));
  EXPECT_FALSE(file.flush());
  EXPECT_EQ(file.pendingCount(), 2U);
  files.unwritable.clear();
  EXPECT_TRUE(file.append("c\n", 2));
  EXPECT_EQ(files.contents["log"], "a\r\nb\r\nc\r\n");
  EXPECT_EQ(file.unwrittenCount(), 0U);
}

TEST(RecordFile, BeyondItsMemoryRecordsAreCountedAsLostButNeverWhenTheyCouldBeWritten) {
  testing::FakeFiles files;
  RecordFile file(files, "log");
  files.unwritable.insert("log");
  for (std::size_t i = 0; i < RecordFile::kMaxPending + 3; ++i) file.append("r", 1);
  EXPECT_EQ(file.pendingCount(), RecordFile::kMaxPending);
  EXPECT_EQ(file.droppedCount(), 3U);
  EXPECT_EQ(file.unwrittenCount(), RecordFile::kMaxPending + 3);
  // The file opens again just as the memory is full: the new record is
  // written after all that waited, not dropped.
  files.unwritable.clear();
  EXPECT_TRUE(file.append("s", 1));
  EXPECT_EQ(files.contents["log"], std::string(RecordFile::kMaxPending, 'r') + "s");
  EXPECT_EQ(file.droppedCount(), 3U);
}

// The file's state as the console reads it to say when it became
// unwritable, why, and when it was written again: one run of steps.
TEST(RecordFile, TellsWhetherTheLastWriteSucceededAndWhyTheLastFailureHappened) {
  using platform::FailureKind;
  const platform::OsError folder{FailureKind::kNotRegularFile, 21};
  const platform::OsError denied{FailureKind::kNoPermission, 13};
  const struct {
    const char* what;
    const platform::OsError* failure;  // none: the file can be written
    bool flushOnly;
    bool writable;
    platform::OsError lastFailure;
    std::size_t pending;
  } steps[] = {
      {"refused", &folder, false, false, folder, 1},
      {"refused otherwise", &denied, true, false, denied, 1},
      {"written again", nullptr, false, true, denied, 0},
      // With nothing waiting, a flush tries nothing, so learns nothing.
      {"nothing to flush", &folder, true, true, denied, 0},
  };
  testing::FakeFiles files;
  RecordFile file(files, "log");
  EXPECT_TRUE(file.writable());
  EXPECT_FALSE(file.lastFailure().failed());
  for (const auto& step : steps) {
    SCOPED_TRACE(step.what);
    files.unwritable.clear();
    if (step.failure != nullptr) {
      files.unwritable.insert("log");
      files.failure = *step.failure;
    }
    EXPECT_EQ(step.flushOnly ? file.flush() : file.append("r\n", 2), step.pending == 0);
    EXPECT_EQ(file.writable(), step.writable);
    EXPECT_EQ(file.lastFailure().kind, step.lastFailure.kind);
    EXPECT_EQ(file.lastFailure().code, step.lastFailure.code);
    EXPECT_EQ(file.pendingCount(), step.pending);
  }
  EXPECT_EQ(files.contents["log"], "r\r\nr\r\n");
}

}  // namespace
}  // namespace scalecheck
