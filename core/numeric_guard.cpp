#include "core/numeric_guard.h"

#include <cfenv>

namespace vortan {
namespace {

constexpr int kFaults = FE_OVERFLOW | FE_DIVBYZERO | FE_INVALID;

}  // namespace

NumericGuard::NumericGuard() { Reset(); }

// Testing the flags is cheap; clearing them rewrites the x87 environment and costs as much as
// a good part of a point. Points almost never raise a flag, so they are cleared only when set.
void NumericGuard::Reset() {
  if (std::fetestexcept(kFaults) != 0) std::feclearexcept(kFaults);
}

bool NumericGuard::Clean() const { return std::fetestexcept(kFaults) == 0; }

const char* NumericGuard::FaultName() const {
  const int raised = std::fetestexcept(kFaults);
  if (raised & FE_OVERFLOW) return "overflow";
  if (raised & FE_DIVBYZERO) return "division by zero";
  if (raised & FE_INVALID) return "invalid operation";
  return "";
}

}  // namespace vortan
