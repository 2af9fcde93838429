#include <winsock2.h>  // brings windows.h, after the socket declarations

#include "platform/os_error.h"
#include "platform/wide_text_win.h"

namespace scalecheck::platform {

std::string osErrorText(const OsError& error) {
  if (error.code == 0) return "";
  wchar_t* wide = nullptr;
  // The text is in the system's language, hence UTF-16 and then
  // Windows-1251.
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error.code), 0, reinterpret_cast<wchar_t*>(&wide), 0, nullptr);
  if (length == 0 || wide == nullptr) return "error " + std::to_string(error.code);
  std::string text = wideToCp1251(wide, static_cast<int>(length));
  LocalFree(wide);
  // The system's texts end with CR LF (and often a full stop before it).
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

FailureKind classifyInUseError(int code) {
  switch (code) {
    // What ClearCommError, ReadFile and WriteFile report once a USB serial
    // adapter has been pulled out; drivers differ in which one they pick.
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_REMOVED:
    case ERROR_ACCESS_DENIED:
    case ERROR_OPERATION_ABORTED:
    case ERROR_GEN_FAILURE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_INVALID_HANDLE:
    case ERROR_FILE_NOT_FOUND:
    // A peer that closed or reset a connection.
    case WSAECONNRESET:
    case WSAECONNABORTED:
    case WSAENOTCONN:
    case WSAESHUTDOWN:
      return FailureKind::kGone;
    default:
      return FailureKind::kOther;
  }
}

FailureKind classifyConnectError(int code) {
  switch (code) {
    case WSAECONNREFUSED:
      return FailureKind::kRefused;
    case WSAENETUNREACH:
    case WSAEHOSTUNREACH:
    case WSAENETDOWN:
    case WSAEHOSTDOWN:
      return FailureKind::kUnreachable;
    case WSAETIMEDOUT:
      return FailureKind::kTimedOut;
    default:
      return FailureKind::kOther;
  }
}

}  // namespace scalecheck::platform
