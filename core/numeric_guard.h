// The numeric-fault guard: a point is computed with the floating-point exception flags cleared
// and tested afterwards, so that an overflow, a division by zero or an invalid operation
// becomes an error for that point instead of a silently wrong number.
//
// Where the processor keeps no such flags (WebAssembly), the guard keeps them in software: a
// division by zero raises its flag as the processor would (the compiler checks every division
// there), the core raises the invalid-operation flag where it would convert a value that has no
// whole number, and each core routine notes its results, an infinite one raising overflow and a
// NaN invalid operation. Elsewhere noting a result costs nothing.
#pragma once

#include <cfenv>
#include <cmath>
#include <string>

#if defined(FE_OVERFLOW) && defined(FE_DIVBYZERO) && defined(FE_INVALID)
#define VORTAN_HARDWARE_FAULT_FLAGS 1
#else
#define VORTAN_HARDWARE_FAULT_FLAGS 0
#endif

namespace vortan {

inline constexpr bool kSoftwareFaultFlags = !VORTAN_HARDWARE_FAULT_FLAGS;

enum class NumericFault : unsigned { kOverflow = 1, kDivisionByZero = 2, kInvalid = 4 };

// Raises the flag of a fault, in the processor where it has flags.
void RaiseNumericFault(NumericFault fault);

namespace numeric_guard_internal {
void NoteNonFinite(double value);
}  // namespace numeric_guard_internal

// A result of a core routine: with software flags, an infinite value raises overflow and a NaN
// invalid operation (the flags a processor raises in the operation that made it).
inline void NoteResult(double value) {
  if constexpr (kSoftwareFaultFlags) {
    if (!std::isfinite(value)) numeric_guard_internal::NoteNonFinite(value);
  } else {
    (void)value;
  }
}
template <typename... Values>
inline void NoteResults(Values... values) {
  (NoteResult(values), ...);
}

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
