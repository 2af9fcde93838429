// The data files on a real file system: a name taken by a FIFO or a folder
// is refused at once, the bytes are those a Windows text-mode stream
// stores, and a record written in part is cut back only while the file
// still ends with it.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <string>

#include "e2e/scratch_dir.h"
#include "harness/child_process.h"
#include "platform/services.h"
#include "posix/pty_pair.h"

namespace scalecheck::platform {
namespace {

using e2e::ScratchDir;

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// A call that would wait for a FIFO's reader ends the test process here
// (SIGALRM) instead of hanging it.
class HangGuard {
 public:
  HangGuard() { alarm(posix_test::kSafetyMs / 1000); }
  ~HangGuard() { alarm(0); }
  HangGuard(const HangGuard&) = delete;
  HangGuard& operator=(const HangGuard&) = delete;
};

mode_t typeOf(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0 ? info.st_mode & S_IFMT : 0;
}

TEST(PosixFiles, ANameTakenByAFifoOrAFolderIsRefusedAtOnce) {
  enum class Taker { kFifo, kFifoWithReader, kFolder };
  for (const Taker taker : {Taker::kFifo, Taker::kFifoWithReader, Taker::kFolder}) {
    SCOPED_TRACE(static_cast<int>(taker));
    const ScratchDir work;
    const std::string path = work.file("#Log.csv");
    ASSERT_EQ(taker == Taker::kFolder ? mkdir(path.c_str(), 0755) : mkfifo(path.c_str(), 0666), 0);
    const int reader =
        taker == Taker::kFifoWithReader ? open(path.c_str(), O_RDONLY | O_NONBLOCK) : -1;
    const mode_t type = typeOf(path);

    OsError error;
    {
      const HangGuard guard;
      EXPECT_FALSE(systemFiles().appendText(path.c_str(), "r\n", 2, error));
    }
    EXPECT_EQ(error.kind, FailureKind::kNotRegularFile);
    EXPECT_EQ(typeOf(path), type);
    if (reader >= 0) {
      // No writer came and went: the reader's stream was not ended (a
      // FIFO reports POLLHUP once a writer has left), and it got no bytes.
      pollfd entry{reader, POLLIN, 0};
      EXPECT_EQ(poll(&entry, 1, 0), 0);
      close(reader);
    }
  }
}

TEST(PosixFiles, StoresEachLfAsCrLfAndKeepsEveryOtherByte) {
  const ScratchDir work;
  const std::string path = work.file("#DeviceIO");
  // A Ctrl+Z ending what is there already stays, as does one in a record.
  writeFile(path, "old\x1a");
  OsError error;
  EXPECT_TRUE(systemFiles().appendText(path.c_str(), "x\n", 2, error));
  EXPECT_TRUE(systemFiles().appendText(path.c_str(), "\x1a;\r\n\n", 5, error));
  EXPECT_FALSE(error.failed());
  EXPECT_EQ(work.read("#DeviceIO"), "old\x1ax\r\n\x1a;\r\r\n\r\n");

  EXPECT_TRUE(systemFiles().appendText(work.file("new").c_str(), "n\n", 2, error));
  EXPECT_EQ(work.read("new"), "n\r\n");
}

// The other writer of the test below: the kernel sends SIGXFSZ when a
// write meets the file size limit, and the handler runs before that
// write returns to the code under test, so its bytes land between our
// partial record and our look at the file's size.
int otherWriter = -1;
constexpr char kOtherRecord[] = "other;\r\n";

extern "C" void appendAsAnotherWriter(int) {
  const int savedErrno = errno;
  const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
  setrlimit(RLIMIT_FSIZE, &unlimited);
  if (write(otherWriter, kOtherRecord, sizeof kOtherRecord - 1) < 0) _exit(4);
  errno = savedErrno;
}

// Appends `record` in a child process whose file size limit lets only
// `room` more bytes in; the exit status says whether the append failed as
// it should (0), succeeded (1) or failed for another reason (2).
int appendAtSizeLimit(const std::string& path, const std::string& record, off_t room,
                      bool otherWriterAppends) {
  harness::ChildProcess child;
  const bool started = child.startFork([&path, &record, room, otherWriterAppends] {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) _exit(3);
    if (otherWriterAppends) otherWriter = open(path.c_str(), O_WRONLY | O_APPEND);
    signal(SIGXFSZ, otherWriterAppends ? appendAsAnotherWriter : SIG_IGN);
    const rlimit limit{static_cast<rlim_t>(info.st_size + room), RLIM_INFINITY};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(3);
    OsError error;
    if (systemFiles().appendText(path.c_str(), record.data(), record.size(), error)) _exit(1);
    _exit(error.kind == FailureKind::kOther && error.code == EFBIG ? 0 : 2);
  });
  if (!started) return -1;
  // One append to a local file: the bound only keeps a hang from lasting.
  const harness::ExitStatus status = child.wait(harness::Deadline(posix_test::kSafetyMs));
  return status.exited ? status.code : -1;
}

TEST(PosixFiles, APartialRecordIsCutBackOnlyWhileTheFileEndsWithIt) {
  const struct {
    const char* what;
    bool otherWriterAppends;
    std::string after;
  } cases[] = {
      {"our own part is cut back", false, "old;\r\n"},
      {"nothing is cut behind another writer", true, "old;\r\nabcde" + std::string(kOtherRecord)},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.what);
    const ScratchDir work;
    const std::string path = work.file("#Log.csv");
    writeFile(path, "old;\r\n");
    EXPECT_EQ(appendAtSizeLimit(path, "abcdefgh\n", 5, test.otherWriterAppends), 0);
    EXPECT_EQ(work.read("#Log.csv"), test.after);
  }
}

}  // namespace
}  // namespace scalecheck::platform
