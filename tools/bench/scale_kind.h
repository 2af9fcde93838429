#pragma once

#include <string>
#include <vector>

namespace scalecheck::bench {

// The kinds of scale scale-sim plays; kQuiet: one that sends nothing, so
// every poll fails.
enum class ScaleKind { kStream, kTwoStep, kCombined, kQuiet };

// "stream", "two-step", "combined", "quiet".
const char* kindName(ScaleKind kind);

// How a reading of `kind` is tagged on the screen; empty for a quiet scale.
std::string tagOf(ScaleKind kind);

// The kinds `text` names: one of `offered` by name, or all of them.
bool parseKinds(const std::string& text, const std::vector<ScaleKind>& offered,
                std::vector<ScaleKind>& kinds);

}  // namespace scalecheck::bench
