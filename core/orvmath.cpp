#include "core/orvmath.h"

#include <climits>
#include <cmath>
#include <stdexcept>
#include <string>

#include "core/orvcommon.h"
#include "core/orvliteral.h"
#include "core/orvtypefunc.h"
#include "platform/orvplatformtime.h"

namespace orv {

namespace {

constexpr int32_t kMaxFloatDecimals = 20;

// 10^N, exact in extended precision for N up to 27.
long double PowerOfTen(int32_t N) {
  long double Result = 1.0L;
  for (int32_t I = 0; I < N; ++I) Result *= 10.0L;
  return Result;
}

// Whole numbers come from SQL arguments, so a result beyond 64 bits is the
// value error of the BIGINT type.
int64_t ToInt64(long double X) {
  // 2^63 is exact in extended precision; anything at or above it, or NaN,
  // has no 64-bit integer value.
  constexpr long double Limit = TwoPow63;
  if (!(X >= -Limit && X < Limit)) RaiseValueRangeError(FloatToSQLStr(static_cast<double>(X)), dtBigInt, stNone);
  return static_cast<int64_t>(X);
}

// Scaled units per step when keeping Decimals of the decimal's four places.
int64_t CurrencyStep(int32_t Decimals) {
  int64_t Step = TORVCurrency::Scale;
  for (int32_t I = 0; I < Decimals; ++I) Step /= 10;
  return Step;
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
    const int64_t Sum = static_cast<int64_t>(Value) + Increment;
    // The counters given here are the engine's own; a sum beyond the wrap
    // point is a caller's broken contract, not input.
    if (Sum > INT32_MAX || Sum < INT32_MIN) throw std::overflow_error("WrapIncInteger: sum outside 32 bits");
    Value = static_cast<int32_t>(Sum);
  }
  return Value;
}

int32_t LockedWrapIncInteger(std::atomic<int32_t>& Value, int32_t WrapValue) {
  for (;;) {
    const int32_t Old = Value.load();
    const int32_t Next = Old == INT32_MAX ? WrapValue : Old + 1;
    if (LockedCompareExchange(Value, Next, Old) == Old) return Next;
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

int64_t Ceil(long double X) { return ToInt64(std::ceil(X)); }
int64_t Floor(long double X) { return ToInt64(std::floor(X)); }

long double TruncateFloat(long double Value, int32_t Decimals) {
  if (Value == 0) return 0;
  if (Decimals > kMaxFloatDecimals) Decimals = kMaxFloatDecimals;
  if (Decimals <= 0) return std::trunc(Value);
  // Nudge away from zero so that 0.29, stored as 0.28999..., stays 0.29.
  const long double Nudge = std::fmax(std::fabs(Value) * 1e-16L, 1e-16L);
  const long double Nudged = Value > 0 ? Value + Nudge : Value - Nudge;
  const long double Factor = PowerOfTen(Decimals);
  return std::trunc(Nudged * Factor) / Factor;
}

long double RoundFloat(long double Value, int32_t Decimals) {
  if (Value == 0) return 0;
  if (Decimals > kMaxFloatDecimals) Decimals = kMaxFloatDecimals;
  const long double Factor = Decimals > 0 ? PowerOfTen(Decimals) : 1.0L;
  const long double Scaled = Value * Factor;
  return std::trunc(Value > 0 ? Scaled + 0.5L : Scaled - 0.5L) / Factor;
}

TORVCurrency TruncateCurr(TORVCurrency Value, int32_t Decimals) {
  if (Value.Scaled() == 0 || Decimals > 3) return Value;
  const int64_t Step = CurrencyStep(Decimals < 0 ? 0 : Decimals);
  return TORVCurrency::FromScaled(Value.Scaled() / Step * Step);
}

TORVCurrency RoundCurr(TORVCurrency Value, int32_t Decimals) {
  if (Value.Scaled() == 0 || Decimals > 3) return Value;
  const int64_t Step = CurrencyStep(Decimals < 0 ? 0 : Decimals);
  const int64_t Scaled = Value.Scaled();
  int64_t Units = Scaled / Step;
  const int64_t Rest = Scaled % Step;  // same sign as Scaled, |Rest| < Step
  if (2 * (Rest < 0 ? -Rest : Rest) >= Step) Units += Rest > 0 ? 1 : -1;
  // Rounding the very ends of the range away from zero leaves 64 bits.
  if (Units > INT64_MAX / Step || Units < INT64_MIN / Step)
    RaiseValueRangeError(DecimalToString(Value), dtDecimal, stNone);
  return TORVCurrency::FromScaled(Units * Step);
}

}  // namespace orv
