#include "faults.h"

namespace scalecheck::sim {
namespace {

bool isUnitLetter(char c) {
  switch (c) {
    case 'g':
    case 'G':
    case 'k':
    case 'K':
    case 't':
    case 'T':
      return true;
    default:
      return false;
  }
}

std::string withoutUnit(std::string frame) {
  const std::size_t firstDigit = frame.find_first_of("0123456789");
  if (firstDigit == std::string::npos) return frame;
  for (std::size_t i = firstDigit; i < frame.size(); ++i) {
    if (isUnitLetter(frame[i])) frame[i] = ' ';
  }
  return frame;
}

}  // namespace

std::string GarbageSource::next(std::size_t length) {
  // Printable ASCII without the ten digits: 95 - 10 = 85 characters.
  static constexpr char kAlphabet[] =
      " !\"#$%&'()*+,-./:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~";
  constexpr std::uint32_t kAlphabetSize = sizeof kAlphabet - 1;
  std::string text;
  text.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    // xorshift32: cheap, and good enough for noise on a line.
    state_ ^= state_ << 13U;
    state_ ^= state_ >> 17U;
    state_ ^= state_ << 5U;
    text.push_back(kAlphabet[state_ % kAlphabetSize]);
  }
  return text;
}

std::string applyFault(const std::string& frame, Fault fault, GarbageSource& garbage) {
  switch (fault) {
    case Fault::kShort:
      return frame.substr(0, kShortFrameLength);
    case Fault::kNoUnit:
      return withoutUnit(frame);
    case Fault::kGarbage:
      return garbage.next(frame.size());
    case Fault::kNone:
    case Fault::kSilence:
    case Fault::kNak:
      break;
  }
  return frame;
}

}  // namespace scalecheck::sim
