#include "platform/com_number.h"

namespace scalecheck::platform {

int comNumberFromDigits(const char* digits) {
  if (*digits < '1' || *digits > '9') return 0;  // no sign, no leading zero, not empty
  int number = 0;
  for (; *digits != '\0'; ++digits) {
    if (*digits < '0' || *digits > '9') return 0;
    number = number * 10 + (*digits - '0');
    if (number > kHighestComNumber) return 0;
  }
  return number;
}

}  // namespace scalecheck::platform
