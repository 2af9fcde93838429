#pragma once

#include <string>

#include "sim_options.h"

namespace scalecheck::sim {

enum class ParseOutcome {
  kRun,      // options are complete and consistent
  kHelp,     // --help was given
  kVersion,  // --version was given (and --help was not)
  kError,    // `error` says what is wrong
};

struct ParsedCommandLine {
  ParseOutcome outcome = ParseOutcome::kError;
  SimOptions options;
  std::string error;
};

// Reads the command line (argv[0] is the program). Options take their value
// as the next argument or after "=" (--weight=1.5). Reads no files: the
// --frames file is loaded by the caller.
ParsedCommandLine parseCommandLine(int argc, const char* const* argv);

// The longest frame a reader keeps whole: it takes at most 22 bytes of a
// reply, and a stream frame of 22 bytes can still be cut out of the stream.
constexpr std::size_t kLongestReadableFrame = 22;

// False, with `error` set, when the default template would make a frame
// longer than kLongestReadableFrame for `fields`; a reader would then lose the
// unit or the number. Other templates are the user's choice and pass.
bool frameFitsReader(const SimOptions& options, const FrameFields& fields, std::string& error);

}  // namespace scalecheck::sim
