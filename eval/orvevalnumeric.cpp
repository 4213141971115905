#include "eval/orvevalnumeric.h"

#include <cmath>
#include <limits>

#include "base/orverror.h"
#include "core/orvtypefunc.h"

namespace orv {

namespace {

// Floating-point errors carry no code (see CheckedFloat).
constexpr char16_t FloatOverflowMsg[] = u"Floating point overflow";
constexpr char16_t FloatInvalidMsg[] = u"Invalid floating point operation";

TORVInt128 Magnitude(TORVInt128 Value) { return Value < 0 ? -Value : Value; }

// The decimal text of a count of ten-thousandths, for the range error.
TORVString ScaledText(TORVInt128 Scaled) {
  const bool Negative = Scaled < 0;
  TORVInt128 Rest = Magnitude(Scaled);
  TORVString Digits;
  for (int32_t Place = 0; Rest != 0 || Place <= 4; ++Place) {
    if (Place == 4) Digits.insert(Digits.begin(), u'.');
    Digits.insert(Digits.begin(), static_cast<char16_t>(u'0' + static_cast<int32_t>(Rest % 10)));
    Rest /= 10;
  }
  while (Digits.back() == u'0') Digits.pop_back();
  if (Digits.back() == u'.') Digits.pop_back();
  return Negative ? u"-" + Digits : Digits;
}

}  // namespace

TORVInt128 DivideRoundEven(TORVInt128 Numerator, TORVInt128 Denominator) {
  TORVInt128 Quotient = Numerator / Denominator;
  const TORVInt128 Rest = Magnitude(Numerator % Denominator);
  const TORVInt128 Half = Magnitude(Denominator) - Rest;  // compared with Rest: 2 Rest vs |Denominator|
  if (Rest > Half || (Rest == Half && Quotient % 2 != 0)) {
    Quotient += (Numerator < 0) == (Denominator < 0) ? 1 : -1;
  }
  return Quotient;
}

TORVCurrency CheckedCurrency(TORVInt128 Scaled) {
  if (Scaled < std::numeric_limits<int64_t>::min() || Scaled > std::numeric_limits<int64_t>::max()) {
    RaiseValueRangeError(ScaledText(Scaled), dtDecimal, stNone);
  }
  return TORVCurrency::FromScaled(static_cast<int64_t>(Scaled));
}

double CheckedFloat(long double Value) {
  const double Result = static_cast<double>(Value);
  if (std::isnan(Result)) throw EORVBaseException(FloatInvalidMsg);
  if (std::isinf(Result)) throw EORVBaseException(FloatOverflowMsg);
  return Result;
}

}  // namespace orv
