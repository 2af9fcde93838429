#include "poll_stats.h"

#include <algorithm>
#include <cmath>

namespace scalecheck::bench {

Spread spreadOf(std::vector<double> values) {
  Spread spread;
  if (values.empty()) return spread;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  spread.median =
      values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
  spread.min = values.front();
  spread.max = values.back();
  return spread;
}

std::vector<double> distancesFrom(const std::vector<double>& values, double expected) {
  std::vector<double> distances;
  distances.reserve(values.size());
  for (double value : values) distances.push_back(std::fabs(value - expected));
  return distances;
}

}  // namespace scalecheck::bench
