#include "scale_kind.h"

namespace scalecheck::bench {

const char* kindName(ScaleKind kind) {
  switch (kind) {
    case ScaleKind::kStream:
      return "stream";
    case ScaleKind::kTwoStep:
      return "two-step";
    case ScaleKind::kCombined:
      return "combined";
    case ScaleKind::kQuiet:
      return "quiet";
  }
  return "?";
}

std::string tagOf(ScaleKind kind) {
  switch (kind) {
    case ScaleKind::kStream:
      return "~22";
    case ScaleKind::kTwoStep:
      return "AD";
    case ScaleKind::kCombined:
      return "ad";
    case ScaleKind::kQuiet:
      break;
  }
  return "";
}

bool parseKinds(const std::string& text, const std::vector<ScaleKind>& offered,
                std::vector<ScaleKind>& kinds) {
  std::vector<ScaleKind> chosen;
  for (ScaleKind kind : offered) {
    if (text == "all" || text == kindName(kind)) chosen.push_back(kind);
  }
  if (chosen.empty()) return false;
  kinds = chosen;
  return true;
}

}  // namespace scalecheck::bench
