// Names the operator gives, as the system takes them: an argument shown as
// typed, the program's own terminal known by its number, a COM mapping
// folder that is missing, and two spellings of one file.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "e2e/scratch_dir.h"
#include "platform/argument_text.h"
#include "platform/files.h"
#include "platform/port_names.h"
#include "posix/forked_child.h"

namespace scalecheck::platform {
namespace {

using e2e::ScratchDir;

TEST(Names, AnArgumentKeepsItsLettersInTheConsolesCodePage) {
  const std::pair<std::string, std::string> cases[] = {
      {"ком1", "\xEA\xEE\xEC\x31"},
      {"№5 Ёж", "\xB9\x35 \xA8\xE6"},
      {"é😀x", "??x"},            // letters Windows-1251 lacks: one '?' each
      {"\xFF\xD0", "??"},        // no UTF-8 at all, and a cut sequence
      {"\xC0\xAF", "??"},        // an overlong '/'
      {"\xED\xA0\x80", "???"},   // a surrogate
      {"a\x1b[2J", "a\x1b[2J"},  // control characters are the caller's to refuse
  };
  for (const auto& [typed, shown] : cases) EXPECT_EQ(argumentAs1251(typed), shown) << typed;
}

// A child of its own session takes a pseudo-terminal as its controlling
// terminal, closes it again, and asks about it and about another one; then
// about a third that is its standard input.
TEST(Names, TheProgramsOwnTerminalIsKnownByItsNumber) {
  EXPECT_TRUE(isOwnTerminal("/dev/tty"));
  EXPECT_FALSE(isOwnTerminal("/dev/null"));
  EXPECT_FALSE(isOwnTerminal("/nonexistent"));
  posix_test::PtyPair controlling;
  posix_test::PtyPair other;
  posix_test::PtyPair input;
  ASSERT_TRUE(controlling.ok() && other.ok() && input.ok());
  posix_test::ForkedChild child([&](int report) {
    const int terminal = setsid() < 0 ? -1 : ::open(controlling.slavePath().c_str(), O_RDWR);
    if (terminal >= 0) ::close(terminal);
    const int stdinTerminal = ::open(input.slavePath().c_str(), O_RDWR | O_NOCTTY);
    if (stdinTerminal < 0 || dup2(stdinTerminal, STDIN_FILENO) < 0) _exit(2);
    std::string line;
    for (const posix_test::PtyPair* pty : {&controlling, &other, &input}) {
      line += isOwnTerminal(pty->slavePath()) ? "own " : "other ";
    }
    line += "\n";
    static_cast<void>(::write(report, line.data(), line.size()));
  });
  EXPECT_EQ(child.nextLine(), "own other own ");
}

TEST(Names, AMissingComMappingFolderIsNamed) {
  const ScratchDir work;
  std::ofstream(work.file("file")) << "x";
  for (const std::string& folder : {work.path(), work.file("missing"), work.file("file")}) {
    setenv("SCALECHECK_PORT_DIR", folder.c_str(), 1);
    EXPECT_EQ(missingPortFolder(), folder == work.path() ? "" : folder);
  }
  unsetenv("SCALECHECK_PORT_DIR");
  EXPECT_EQ(missingPortFolder(), "");
}

TEST(Names, OneFileIsKnownHoweverItIsSpelt) {
  const ScratchDir work;
  std::ofstream(work.file("log")) << "x";
  std::ofstream(work.file("other")) << "x";
  ASSERT_EQ(symlink("log", work.file("link").c_str()), 0);
  ASSERT_EQ(mkdir(work.file("sub").c_str(), 0755), 0);
  struct Case {
    std::string first;
    std::string second;
    bool same;
  };
  const Case cases[] = {
      {work.file("link"), work.path() + "/./log", true},
      {work.file("other"), work.file("log"), false},
      {work.file("log"), work.file("sub/log"), false},  // one there, one yet to be made
      {work.file("new"), work.path() + "/sub/../new", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sameFile(c.first.c_str(), c.second.c_str()), c.same) << c.first << " " << c.second;
  }
}

}  // namespace
}  // namespace scalecheck::platform
