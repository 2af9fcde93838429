#pragma once

#include <vector>

namespace scalecheck::bench {

struct Spread {
  double median = 0.0;
  double min = 0.0;
  double max = 0.0;
};

// Median, least and greatest of `values`; all 0 when there are none.
Spread spreadOf(std::vector<double> values);

// |value - expected| for each value.
std::vector<double> distancesFrom(const std::vector<double>& values, double expected);

}  // namespace scalecheck::bench
