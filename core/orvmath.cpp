#include "core/orvmath.h"

#include <climits>
#include <cmath>
#include <stdexcept>
#include <string>

#include "core/orvcommon.h"
#include "platform/orvplatformtime.h"

namespace orv {

namespace {

constexpr int32_t kMaxFloatDecimals = 20;

// 10^N, exact in extended precision for N up to 27.
long double PowerOfTen(int32_t N) {
  long double result = 1.0L;
  for (int32_t i = 0; i < N; ++i) result *= 10.0L;
  return result;
}

int64_t ToInt64(long double X, const char* What) {
  // 2^63 is exact in extended precision; anything at or above it, or NaN,
  // has no 64-bit integer value.
  constexpr long double kLimit = 9223372036854775808.0L;
  if (!(X >= -kLimit && X < kLimit)) throw std::overflow_error(std::string(What) + ": value outside 64 bits");
  return static_cast<int64_t>(X);
}

// Scaled units per step when keeping Decimals of the decimal's four places.
int64_t CurrencyStep(int32_t Decimals) {
  int64_t step = TORVCurrency::Scale;
  for (int32_t i = 0; i < Decimals; ++i) step /= 10;
  return step;
}

}  // namespace

int32_t Min(int32_t A, int32_t B) { return A < B ? A : B; }
int32_t Max(int32_t A, int32_t B) { return A > B ? A : B; }
int64_t Min(int64_t A, int64_t B) { return A < B ? A : B; }
int64_t Max(int64_t A, int64_t B) { return A > B ? A : B; }

int32_t WrapIncInteger(int32_t& Value, int32_t Increment) {
  if (Value == INT32_MAX) {
    Value = Increment;
  } else {
    const int64_t sum = static_cast<int64_t>(Value) + Increment;
    if (sum > INT32_MAX || sum < INT32_MIN) throw std::overflow_error("WrapIncInteger: sum outside 32 bits");
    Value = static_cast<int32_t>(sum);
  }
  return Value;
}

int32_t LockedWrapIncInteger(std::atomic<int32_t>& Value, int32_t WrapValue) {
  for (;;) {
    const int32_t old = Value.load();
    const int32_t next = old == INT32_MAX ? WrapValue : old + 1;
    if (LockedCompareExchange(Value, next, old) == old) return next;
    // Another thread got there first: let it run before trying again.
    Sleep(0);
  }
}

long double ArcCos(long double X) { return std::acos(X); }
long double ArcSin(long double X) { return std::asin(X); }
long double ArcTan2(long double Y, long double X) { return std::atan2(Y, X); }
long double Tan(long double X) { return std::tan(X); }
long double Cotan(long double X) { return 1.0L / std::tan(X); }
long double Log10(long double X) { return std::log10(X); }
long double Power(long double Base, long double Exponent) { return std::pow(Base, Exponent); }
long double RadToDeg(long double X) { return X * 57.295779513082320877L; }
long double DegToRad(long double X) { return X * 0.017453292519943295769L; }

int64_t Ceil(long double X) { return ToInt64(std::ceil(X), "Ceil"); }
int64_t Floor(long double X) { return ToInt64(std::floor(X), "Floor"); }

long double TruncateFloat(long double Value, int32_t Decimals) {
  if (Value == 0) return 0;
  if (Decimals > kMaxFloatDecimals) Decimals = kMaxFloatDecimals;
  if (Decimals <= 0) return std::trunc(Value);
  // Nudge away from zero so that 0.29, stored as 0.28999..., stays 0.29.
  const long double nudge = std::fmax(std::fabs(Value) * 1e-16L, 1e-16L);
  const long double nudged = Value > 0 ? Value + nudge : Value - nudge;
  const long double factor = PowerOfTen(Decimals);
  return std::trunc(nudged * factor) / factor;
}

long double RoundFloat(long double Value, int32_t Decimals) {
  if (Value == 0) return 0;
  if (Decimals > kMaxFloatDecimals) Decimals = kMaxFloatDecimals;
  const long double factor = Decimals > 0 ? PowerOfTen(Decimals) : 1.0L;
  const long double scaled = Value * factor;
  return std::trunc(Value > 0 ? scaled + 0.5L : scaled - 0.5L) / factor;
}

TORVCurrency TruncateCurr(TORVCurrency Value, int32_t Decimals) {
  if (Value.Scaled() == 0 || Decimals > 3) return Value;
  const int64_t step = CurrencyStep(Decimals < 0 ? 0 : Decimals);
  return TORVCurrency::FromScaled(Value.Scaled() / step * step);
}

TORVCurrency RoundCurr(TORVCurrency Value, int32_t Decimals) {
  if (Value.Scaled() == 0 || Decimals > 3) return Value;
  const int64_t step = CurrencyStep(Decimals < 0 ? 0 : Decimals);
  const int64_t scaled = Value.Scaled();
  int64_t units = scaled / step;
  const int64_t rest = scaled % step;  // same sign as scaled, |rest| < step
  if (2 * (rest < 0 ? -rest : rest) >= step) units += rest > 0 ? 1 : -1;
  // Rounding the very ends of the range away from zero leaves 64 bits.
  if (units > INT64_MAX / step || units < INT64_MIN / step)
    throw std::overflow_error("RoundCurr: result outside the decimal range");
  return TORVCurrency::FromScaled(units * step);
}

}  // namespace orv
