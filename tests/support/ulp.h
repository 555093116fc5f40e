// Units of the last place between two doubles of one sign, for tests that hold functions to
// within a unit of a reference.
#pragma once

#include <cstring>

namespace vortan::support {

inline long long UlpDistance(double a, double b) {
  long long ia, ib;
  std::memcpy(&ia, &a, sizeof a);
  std::memcpy(&ib, &b, sizeof b);
  return ia > ib ? ia - ib : ib - ia;
}

}  // namespace vortan::support
