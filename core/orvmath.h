// Numeric helpers: minimum and maximum, wrapping counters, trigonometric and
// logarithmic functions, and rounding of floats and fixed-point decimals.
#pragma once

#include <atomic>
#include <cstdint>

#include "base/orvtype.h"

namespace orv {

// 2^63, exact as a double: the first value beyond the 64-bit integers.
inline constexpr double TwoPow63 = 9223372036854775808.0;

// True when Value lies in [-2^63, 2^63), so that its whole part converts to
// a 64-bit integer; false for NaN.
constexpr bool InInt64Range(double Value) { return Value >= -TwoPow63 && Value < TwoPow63; }

int32_t Min(int32_t A, int32_t B);
int32_t Max(int32_t A, int32_t B);
int64_t Min(int64_t A, int64_t B);
int64_t Max(int64_t A, int64_t B);

// Value := Increment when Value is 2,147,483,647, else Value + Increment;
// returns the new value. Not atomic: callers hold their own lock. Any other
// sum outside 32 bits raises std::overflow_error and leaves Value alone.
int32_t WrapIncInteger(int32_t& Value, int32_t Increment);
// Atomically Value := WrapValue when Value is 2,147,483,647, else Value + 1;
// returns the new value.
int32_t LockedWrapIncInteger(std::atomic<int32_t>& Value, int32_t WrapValue);

long double ArcCos(long double X);
long double ArcSin(long double X);
long double ArcTan2(long double Y, long double X);
long double Tan(long double X);
long double Cotan(long double X);
long double Log10(long double X);
long double Power(long double Base, long double Exponent);
long double RadToDeg(long double X);
long double DegToRad(long double X);

// The smallest integer not below X and the largest not above it. A result
// outside 64 bits (or X not a number) raises the value error of the BIGINT
// type (ORV_VALUE_ERROR).
int64_t Ceil(long double X);
int64_t Floor(long double X);

// Value cut toward zero, or rounded half away from zero, at Decimals places
// (at most 20; 0 or fewer gives a whole number).
long double TruncateFloat(long double Value, int32_t Decimals);
long double RoundFloat(long double Value, int32_t Decimals);

// The same on the fixed-point decimal, exactly: Decimals above 3 leave Value
// as it is, 0 or fewer give a whole number. A rounded result beyond the
// decimal range raises the value error of the DECIMAL type.
TORVCurrency TruncateCurr(TORVCurrency Value, int32_t Decimals);
TORVCurrency RoundCurr(TORVCurrency Value, int32_t Decimals);

}  // namespace orv
