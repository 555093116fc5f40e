// The numeric-fault guard: a point is computed with the floating-point exception flags cleared
// and tested afterwards, so that an overflow, a division by zero or an invalid operation
// becomes an error for that point instead of a silently wrong number.
#pragma once

#include <string>

namespace vortan {

class NumericGuard {
 public:
  // Clears the overflow, division-by-zero and invalid-operation flags of this thread.
  NumericGuard();

  // True when none of the three flags was raised since construction (or the last Reset).
  bool Clean() const;

  // "overflow", "division by zero" or "invalid operation" (the first raised), or "".
  std::string Fault() const { return FaultName(); }
  const char* FaultName() const;

  void Reset();
};

}  // namespace vortan
