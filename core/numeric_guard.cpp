#include "core/numeric_guard.h"

#include <cstdint>
#include <cstring>

namespace vortan {
namespace {

const char* NameOf(bool overflow, bool divisionByZero, bool invalid) {
  if (overflow) return "overflow";
  if (divisionByZero) return "division by zero";
  if (invalid) return "invalid operation";
  return "";
}

}  // namespace

#if VORTAN_HARDWARE_FAULT_FLAGS

namespace {
constexpr int kFaults = FE_OVERFLOW | FE_DIVBYZERO | FE_INVALID;
}  // namespace

void RaiseNumericFault(NumericFault fault) {
  switch (fault) {
    case NumericFault::kOverflow: std::feraiseexcept(FE_OVERFLOW); break;
    case NumericFault::kDivisionByZero: std::feraiseexcept(FE_DIVBYZERO); break;
    case NumericFault::kInvalid: std::feraiseexcept(FE_INVALID); break;
  }
}

namespace numeric_guard_internal {
void NoteNonFinite(double) {}
}  // namespace numeric_guard_internal

NumericGuard::NumericGuard() { Reset(); }

// Testing the flags is cheap; clearing them rewrites the x87 environment and costs as much as
// a good part of a point. Points almost never raise a flag, so they are cleared only when set.
void NumericGuard::Reset() {
  if (std::fetestexcept(kFaults) != 0) std::feclearexcept(kFaults);
}

bool NumericGuard::Clean() const { return std::fetestexcept(kFaults) == 0; }

const char* NumericGuard::FaultName() const {
  const int raised = std::fetestexcept(kFaults);
  return NameOf(raised & FE_OVERFLOW, raised & FE_DIVBYZERO, raised & FE_INVALID);
}

#else

namespace {
// The flags of the one thread that computes (the WebAssembly build has no others).
thread_local unsigned softwareFlags = 0;

bool Raised(NumericFault fault) { return (softwareFlags & static_cast<unsigned>(fault)) != 0; }
}  // namespace

void RaiseNumericFault(NumericFault fault) { softwareFlags |= static_cast<unsigned>(fault); }

namespace numeric_guard_internal {
void NoteNonFinite(double value) {
  RaiseNumericFault(std::isnan(value) ? NumericFault::kInvalid : NumericFault::kOverflow);
}
}  // namespace numeric_guard_internal

NumericGuard::NumericGuard() { Reset(); }
void NumericGuard::Reset() { softwareFlags = 0; }
bool NumericGuard::Clean() const { return softwareFlags == 0; }
const char* NumericGuard::FaultName() const {
  return NameOf(Raised(NumericFault::kOverflow), Raised(NumericFault::kDivisionByZero),
                Raised(NumericFault::kInvalid));
}

// The compiler's check of every floating-point division (-fsanitize=float-divide-by-zero in the
// WebAssembly build) calls this where the divisor is zero: a finite non-zero dividend raises
// division by zero, a zero one invalid operation, as the processor's division does; an infinite
// or NaN dividend raises nothing. The checks of integer divisions never come here (the build
// asks for the float check alone).
namespace {
struct TypeDescriptor {
  std::uint16_t kind;  // 1: floating point
  std::uint16_t info;  // its width in bits
};
struct SourceLocation {
  const char* file;
  std::uint32_t line, column;
};
struct OverflowData {
  SourceLocation location;
  const TypeDescriptor* type;
};

double Operand(const TypeDescriptor& type, std::uintptr_t handle) {
  // Values wider than a pointer are passed by address, narrower ones in the handle's bits.
  if (type.info == 64) {
    if (sizeof(std::uintptr_t) >= 8) {
      double value;
      std::memcpy(&value, &handle, sizeof value);
      return value;
    }
    return *reinterpret_cast<const double*>(handle);
  }
  if (type.info == 32) {
    float value;
    const std::uint32_t bits = static_cast<std::uint32_t>(handle);
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }
  return 1;  // long double and others: any finite non-zero dividend
}

void DivisionByZero(const OverflowData* data, std::uintptr_t lhs) {
  if (data == nullptr || data->type == nullptr || data->type->kind != 1) return;
  const double dividend = Operand(*data->type, lhs);
  if (!std::isfinite(dividend)) return;
  RaiseNumericFault(dividend == 0 ? NumericFault::kInvalid : NumericFault::kDivisionByZero);
}
}  // namespace

extern "C" void __ubsan_handle_divrem_overflow(const OverflowData* data, std::uintptr_t lhs,
                                               std::uintptr_t) {
  DivisionByZero(data, lhs);
}
extern "C" void __ubsan_handle_divrem_overflow_abort(const OverflowData* data,
                                                     std::uintptr_t lhs, std::uintptr_t) {
  DivisionByZero(data, lhs);
}

#endif

}  // namespace vortan
