// The number work of the evaluator's routines: integer arithmetic that
// wraps (signed overflow is undefined in C++, so it is done unsigned),
// decimal arithmetic through a 128-bit intermediate, and the check of a
// floating-point result.
#pragma once

#include <cstdint>

#include "base/orvtype.h"

namespace orv {

__extension__ typedef __int128 TORVInt128;

// Sums, differences, products and negations modulo 2^32 and 2^64.
constexpr int32_t WrapAdd32(int32_t A, int32_t B) {
  return static_cast<int32_t>(static_cast<uint32_t>(A) + static_cast<uint32_t>(B));
}
constexpr int32_t WrapSub32(int32_t A, int32_t B) {
  return static_cast<int32_t>(static_cast<uint32_t>(A) - static_cast<uint32_t>(B));
}
constexpr int32_t WrapMul32(int32_t A, int32_t B) {
  return static_cast<int32_t>(static_cast<uint32_t>(A) * static_cast<uint32_t>(B));
}
constexpr int64_t WrapAdd64(int64_t A, int64_t B) {
  return static_cast<int64_t>(static_cast<uint64_t>(A) + static_cast<uint64_t>(B));
}
constexpr int64_t WrapSub64(int64_t A, int64_t B) {
  return static_cast<int64_t>(static_cast<uint64_t>(A) - static_cast<uint64_t>(B));
}
constexpr int64_t WrapMul64(int64_t A, int64_t B) {
  return static_cast<int64_t>(static_cast<uint64_t>(A) * static_cast<uint64_t>(B));
}
constexpr int16_t WrapNegate16(int16_t A) { return static_cast<int16_t>(0u - static_cast<uint16_t>(A)); }
constexpr int32_t WrapNegate32(int32_t A) { return static_cast<int32_t>(0u - static_cast<uint32_t>(A)); }
constexpr int64_t WrapNegate64(int64_t A) { return static_cast<int64_t>(0u - static_cast<uint64_t>(A)); }

// Remainders of truncating division, the sign following the dividend. A
// divisor of -1 gives 0 without dividing: the smallest integer divided by
// -1 traps on the hardware. Divisor is never 0.
constexpr int32_t Remainder32(int32_t A, int32_t Divisor) { return Divisor == -1 ? 0 : A % Divisor; }
constexpr int64_t Remainder64(int64_t A, int64_t Divisor) { return Divisor == -1 ? 0 : A % Divisor; }

// Numerator / Denominator rounded to the nearest integer, ties to even.
// Denominator is never 0.
TORVInt128 DivideRoundEven(TORVInt128 Numerator, TORVInt128 Denominator);

// A count of ten-thousandths as a decimal, or the range error of the
// DECIMAL type (ORV_VALUE_ERROR) when it lies beyond 64 bits.
TORVCurrency CheckedCurrency(TORVInt128 Scaled);

// Value as the Double a Float result is stored as. An infinite or NaN
// result raises the floating-point error: an EORVBaseException without an
// error code, which handlers that catch only EORVException let pass.
double CheckedFloat(long double Value);

// The real value of a decimal.
constexpr long double CurrencyToFloat(TORVCurrency Value) {
  return static_cast<long double>(Value.Scaled()) / TORVCurrency::Scale;
}

}  // namespace orv
