#pragma once

#include <cstddef>

namespace scalecheck::platform {

constexpr int kKeyEscape = 27;

// The operator's console. Texts are Windows-1251 bytes; each system shows
// them in its own way (UTF-16 to a Windows console, UTF-8 to a terminal).
class Console {
 public:
  virtual ~Console() = default;
  // Writes the text as it stands; no line end is added. Never waits long:
  // text that an output held up (its reader no longer reading) cannot take
  // within a bound is dropped.
  virtual void write(const char* text1251, std::size_t length) = 0;
  // Writes a text that reports a failure: to standard error once shell
  // conventions are followed, else as write does.
  virtual void writeError(const char* text1251, std::size_t length) = 0;
  // From now on the program serves a shell or a script (a run with
  // options): failures go to standard error, and on POSIX a stream that is
  // no terminal gets its lines ended by LF alone. A terminal still receives
  // the same bytes in the same order; Windows keeps CR LF everywhere.
  virtual void followShellConventions() = 0;
  // Reads one echoed line, without its line end, into `buffer` (NUL
  // terminated, at most size - 1 bytes). The rest of a longer line is read
  // and discarded. At the end of input the line is empty.
  virtual void readLine(char* buffer, std::size_t size) = 0;
  // _kbhit: true when a key is waiting; never blocks.
  virtual bool keyWaiting() = 0;
  // _getch: one key, unechoed; blocks until there is one. A lone Esc gives
  // kKeyEscape; a key that sends a sequence is consumed whole and never gives
  // kKeyEscape. Returns -1 when no key can ever come (end of input).
  virtual int readKey() = 0;
  // True once the operator asked the program to stop by other means than
  // Esc (Ctrl+C, or a termination signal on POSIX); the program then closes
  // the link and ends as after Esc.
  virtual bool interruptRequested() = 0;
  // True once the input is a terminal that has gone (its window closed, its
  // ssh session dropped): no key can come any more, Esc included, so the
  // program ends as after Esc. A pipe or file at its end is no terminal: it
  // merely gives no keys. Windows reports a closed console window as an
  // interrupt instead.
  virtual bool inputGone() = 0;
};

// The process's console. Its first use prepares it (code pages, terminal
// modes, interrupt handling); everything it changed is restored at exit.
Console& systemConsole();

}  // namespace scalecheck::platform
