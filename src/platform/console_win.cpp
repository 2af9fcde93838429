#include <conio.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "platform/console.h"

// Win32 calls return zero on failure unless said otherwise.

namespace scalecheck::platform {
namespace {

constexpr UINT kCodePage1251 = 1251;
// _getch gives a key without a character (arrows, function keys) as a lead
// byte, 0 or 224, followed by its scan code.
constexpr int kLeadFunctionKey = 0;
constexpr int kLeadExtendedKey = 224;
// Keys consumed as such a pair come back above the range of single bytes,
// so that none of them can be mistaken for Esc or a character.
constexpr int kKeyPairBase = 0x100;
// When the console window is closed, Windows ends the process as soon as
// the handler returns, and at the latest after 5 s: this grace lets the main
// thread close the port and end on its own first.
constexpr DWORD kCloseGraceMs = 3000;
// A key waited for is looked for this often: the poll loop's step.
constexpr DWORD kKeyLookMs = 24;

std::atomic<bool> interrupted{false};

BOOL WINAPI onConsoleControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      // The first is handled: the program ends itself, closing the link.
      // Another one before it has ended finds it stuck in a call without a
      // bound; FALSE passes that one on to the default handler, which ends
      // the process.
      return interrupted.exchange(true) ? FALSE : TRUE;
    case CTRL_CLOSE_EVENT:
      interrupted = true;
      Sleep(kCloseGraceMs);
      return FALSE;
    default:
      return FALSE;
  }
}

// Only a console has a console mode: GetConsoleMode fails for a pipe, a
// file, or no handle at all.
bool isConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

bool stdinIsConsole() {
  return isConsole(GetStdHandle(STD_INPUT_HANDLE));
}

// Windows-1251 to UTF-16 and WriteConsoleW: the letters come out right
// whatever code page the console window uses.
void writeToConsole(HANDLE console, const char* text, std::size_t length) {
  constexpr std::size_t kChunk = 256;  // one UTF-16 unit per byte in this code page
  wchar_t wide[kChunk];
  while (length > 0) {
    const auto chunk = static_cast<int>(std::min(length, kChunk));
    const int units = MultiByteToWideChar(kCodePage1251, 0, text, chunk, wide, kChunk);
    if (units <= 0) return;
    int done = 0;
    while (done < units) {
      DWORD written = 0;
      if (WriteConsoleW(console, wide + done, static_cast<DWORD>(units - done), &written,
                        nullptr) == 0 ||
          written == 0) {
        return;
      }
      done += static_cast<int>(written);
    }
    text += chunk;
    length -= static_cast<std::size_t>(chunk);
  }
}

// A pipe or a file gets the bytes unchanged: WriteFile bypasses the C
// runtime's text mode, which would turn the texts' CR LF into CR CR LF.
void writeToFile(HANDLE file, const char* text, std::size_t length) {
  while (length > 0) {
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(length, 0x10000));
    DWORD written = 0;
    if (WriteFile(file, text, chunk, &written, nullptr) == 0 || written == 0) return;
    text += written;
    length -= written;
  }
}

class WinConsole final : public Console {
 public:
  WinConsole() {
    // Without a console both read 0, and no code page is changed.
    previousInputCodePage_ = GetConsoleCP();
    previousOutputCodePage_ = GetConsoleOutputCP();
    // Typed answers then arrive as Windows-1251, like every text of the
    // program. On failure they stay in the console's code page; nothing
    // else to do.
    if (previousInputCodePage_ != 0) SetConsoleCP(kCodePage1251);
    if (previousOutputCodePage_ != 0) SetConsoleOutputCP(kCodePage1251);
    // Its failure is ignored: Ctrl+C then ends the process at once, which
    // is the only loss.
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
  }

  // The code pages belong to the console window, which outlives the program.
  ~WinConsole() override {
    if (previousInputCodePage_ != 0) SetConsoleCP(previousInputCodePage_);
    if (previousOutputCodePage_ != 0) SetConsoleOutputCP(previousOutputCodePage_);
  }

  WinConsole(const WinConsole&) = delete;
  WinConsole& operator=(const WinConsole&) = delete;

  void write(const char* text1251, std::size_t length) override {
    writeTo(STD_OUTPUT_HANDLE, text1251, length);
  }

  void writeError(const char* text1251, std::size_t length) override {
    writeTo(shellConventions_ ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE, text1251, length);
  }

  // CR LF is the line end of Windows' own tools too: only the stream of
  // failures changes.
  void followShellConventions() override { shellConventions_ = true; }

  void readLine(char* buffer, std::size_t size) override {
    if (size == 0) return;
    std::size_t stored = 0;
    int c = 0;
    while ((c = std::getc(stdin)) != EOF && c != '\n') {
      if (stored + 1 < size) buffer[stored++] = static_cast<char>(c);
    }
    // A console or a file written on Windows ends its lines with CR LF.
    while (stored > 0 && buffer[stored - 1] == '\r') --stored;
    buffer[stored] = '\0';
    if (c == EOF && stdinIsConsole()) awaitControlHandler();
  }

  // Without a console (a pipe or a file) no key can come: the one-key wait
  // of a scripted run must not hang.
  bool keyWaiting() override { return stdinIsConsole() && _kbhit() != 0; }

  int readKey() override {
    if (!stdinIsConsole()) return -1;
    // _getch is not ended by Ctrl+C: the key is waited for in looks a step
    // apart, so that a stop request ends the wait (the one-key wait after a
    // failure) at the first press rather than the second.
    while (_kbhit() == 0) {
      if (interrupted) return -1;
      Sleep(kKeyLookMs);
    }
    // _getch has no error return. Wine's gives a character as a signed byte
    // (the Cyrillic я, 0xFF, would be -1, the end of input); the mask makes
    // it the byte value that Windows' own gives.
    const int lead = _getch() & 0xFF;
    if (lead != kLeadFunctionKey && lead != kLeadExtendedKey) return lead;
    // The scan code of a pair is queued the moment _getch returns its lead,
    // so _kbhit sees it. A 224 with nothing queued is a key of its own: the
    // Cyrillic letter а in code page 1251.
    if (_kbhit() == 0) return lead;
    const int code = _getch() & 0xFF;
    // No key of the 224 group has scan code 27: this is а followed by Esc.
    if (lead == kLeadExtendedKey && code == kKeyEscape) return kKeyEscape;
    return kKeyPairBase + code;
  }

  bool interruptRequested() override { return interrupted; }

  // A console window that is closed sends CTRL_CLOSE_EVENT, which requests
  // the stop instead.
  bool inputGone() override { return false; }

 private:
  // Ctrl+C ends a console read at once, but the handler that notes it runs
  // on a thread of its own, a moment later: wait up to 200 ms for it, so the
  // caller sees the request rather than an empty answer.
  static void awaitControlHandler() {
    for (int i = 0; i < 20 && !interrupted; ++i) Sleep(10);
  }

  // Null (the process has no such stream) and INVALID_HANDLE_VALUE (the
  // query failed) alike leave nowhere to write.
  static void writeTo(DWORD stream, const char* text1251, std::size_t length) {
    HANDLE handle = GetStdHandle(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    if (isConsole(handle)) {
      writeToConsole(handle, text1251, length);
    } else {
      writeToFile(handle, text1251, length);
    }
  }

  bool shellConventions_ = false;
  UINT previousInputCodePage_ = 0;
  UINT previousOutputCodePage_ = 0;
};

}  // namespace

Console& systemConsole() {
  static WinConsole console;
  return console;
}

}  // namespace scalecheck::platform
