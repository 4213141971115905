// Comparison and assignment of values, with their cross-type branches.
//
// Sorting, B-tree keys, DISTINCT and searches rest on Compare, so it must be
// a consistent order: a.Compare(b) = -b.Compare(a) for every pair. When two
// values of different types meet, one side's type decides how the other is
// read; which side decides is fixed by the pair of kinds (CompareRank), not
// by which value happens to be on the left, so that both orders agree.
#include "core/orvvalue.h"

#include <cmath>
#include <cstdint>

#include "core/orvcollation.h"
#include "core/orvcommon.h"
#include "core/orvdatetime.h"
#include "core/orvmath.h"
#include "core/orvtypefunc.h"

namespace orv {

namespace {

// Kinds of value for comparison. Types of one kind compare with each other
// by one rule.
enum TORVCompareKind : int32_t {
  ckNone,
  ckText,    // character and CLOB
  ckBinary,  // bytes and BLOB
  ckBoolean,
  ckWhole,  // SmallInt, Integer, BigInt
  ckFloat,
  ckDecimal,
  ckDate,
  ckTime,
  ckTimeStamp,
  ckYearMonth,
  ckDayTime
};

// The side with the higher rank reads the other side in its own type; equal
// ranks agree whichever side reads. Text decides against everything, as an
// Integer compared with a text is the mirror of the text compared with the
// Integer; bytes decide against everything but text; intervals read a number
// as a count of their field; a time against a timestamp compares the time of
// day. A number reads a Boolean as 0 or 1: were the Boolean to decide, every
// non-zero number would equal True, and 2 = True = 3 while 2 < 3 is no order
// an index can keep.
bool IsKnownCharacterSet(int32_t CharacterSet) {
  return CharacterSet == CharacterSetAnsi || CharacterSet == CharacterSetUnicode;
}

int32_t CompareRank(int32_t Kind) {
  switch (Kind) {
    case ckText:
      return 9;
    case ckBinary:
      return 8;
    case ckYearMonth:
    case ckDayTime:
      return 6;
    case ckTime:
      return 5;
    case ckDate:
    case ckTimeStamp:
      return 4;
    case ckFloat:
      return 3;
    case ckWhole:
    case ckDecimal:
      return 2;
    case ckBoolean:
      return 1;
    default:
      return 0;
  }
}

template <typename T>
int32_t CompareOrdered(T A, T B) {
  if (A < B) return -1;
  if (A > B) return 1;
  return 0;
}

// NaN equals itself and sorts after every number.
int32_t CompareDoubles(double A, double B) {
  const bool ANaN = std::isnan(A);
  const bool BNaN = std::isnan(B);
  if (ANaN || BNaN) return ANaN == BNaN ? 0 : (ANaN ? 1 : -1);
  return CompareOrdered(A, B);
}

// A double against a whole number, exactly: a whole number beyond 2^53 is
// not rounded to the nearest double first, so that two different whole
// numbers never both equal one double.
int32_t CompareDoubleToWhole(double A, int64_t B) {
  if (std::isnan(A)) return 1;
  if (A >= TwoPow63) return 1;
  if (A < -TwoPow63) return -1;
  const double Whole = std::trunc(A);
  const int64_t WholeImage = static_cast<int64_t>(Whole);
  if (WholeImage != B) return CompareOrdered(WholeImage, B);
  return CompareOrdered(A, Whole);
}

// A whole number against a scaled decimal, exactly and without overflow:
// Whole x 10,000 against Scaled.
int32_t CompareWholeToScaled(int64_t Whole, int64_t Scaled) {
  const int64_t Quotient = Scaled / TORVCurrency::Scale;
  const int64_t Remainder = Scaled % TORVCurrency::Scale;
  if (Whole != Quotient) return CompareOrdered(Whole, Quotient);
  return CompareOrdered<int64_t>(0, Remainder);
}

}  // namespace

int32_t TORVValue::CompareKind() const {
  switch (FDataType) {
    case dtCharacter:
      return ckText;
    case dtBytes:
      return ckBinary;
    case dtLargeObject:
      return FSubType == stClob ? ckText : ckBinary;
    case dtBoolean:
      return ckBoolean;
    case dtSmallInt:
    case dtInteger:
    case dtBigInt:
      return ckWhole;
    case dtFloat:
      return ckFloat;
    case dtDecimal:
      return ckDecimal;
    case dtDate:
      return ckDate;
    case dtTime:
      return ckTime;
    case dtTimeStamp:
      return ckTimeStamp;
    case dtYearMonthInterval:
      return ckYearMonth;
    case dtDayTimeInterval:
      return ckDayTime;
    default:
      return ckNone;
  }
}

int32_t TORVValue::Compare(TORVValue& ValueToCompare, int32_t PartialLength, bool CaseInsensitive,
                           int32_t CompareCollation) {
  const bool ANull = GetNull();
  const bool BNull = ValueToCompare.GetNull();
  if (ANull || BNull) return ANull == BNull ? 0 : (ANull ? -1 : 1);
  const int32_t AKind = CompareKind();
  const int32_t BKind = ValueToCompare.CompareKind();
  // A value without a type equals everything, from either side.
  if (AKind == ckNone || BKind == ckNone) return 0;
  if (FDataType == ValueToCompare.FDataType && AKind == BKind)
    return CompareSameType(ValueToCompare, PartialLength, CaseInsensitive, CompareCollation);
  if (CompareRank(AKind) >= CompareRank(BKind))
    return CompareCross(ValueToCompare, PartialLength, CaseInsensitive, CompareCollation);
  return -ValueToCompare.CompareCross(*this, PartialLength, CaseInsensitive, CompareCollation);
}

int32_t TORVValue::CompareSameType(TORVValue& B, int32_t PartialLength, bool CaseInsensitive,
                                   int32_t CompareCollation) {
  switch (CompareKind()) {
    case ckText: {
      int32_t ALength = 0;
      int32_t BLength = 0;
      // Values of different character sets meet as UTF-16 from either side;
      // an ANSI reading of the Unicode side could order them differently.
      if (FCharacterSet == CharacterSetAnsi && B.FCharacterSet == CharacterSetAnsi) {
        const uint8_t* AText = GetRawAnsiString(ALength);
        const uint8_t* BText = B.GetRawAnsiString(BLength);
        return CompareStrings(CompareCollation, AText, ALength, BText, BLength, PartialLength, CaseInsensitive);
      }
      if (IsKnownCharacterSet(FCharacterSet) && IsKnownCharacterSet(B.FCharacterSet)) {
        const char16_t* AText = GetRawUnicodeString(ALength);
        const char16_t* BText = B.GetRawUnicodeString(BLength);
        return CompareStrings(CompareCollation, AText, ALength, BText, BLength, PartialLength, CaseInsensitive);
      }
      return 0;
    }
    case ckBinary: {
      int32_t ALength = 0;
      int32_t BLength = 0;
      const uint8_t* ABytes = GetRawBytes(ALength);
      const uint8_t* BBytes = B.GetRawBytes(BLength);
      return CompareBytes(ABytes, ALength, BBytes, BLength);
    }
    case ckBoolean:
      return CompareOrdered<int32_t>(GetBoolean() ? 1 : 0, B.GetBoolean() ? 1 : 0);
    case ckWhole:
      if (FDataType == dtSmallInt) return CompareOrdered(GetSmallInt(), B.GetSmallInt());
      if (FDataType == dtInteger) return CompareOrdered(GetInteger(), B.GetInteger());
      return CompareOrdered(GetLargeInt(), B.GetLargeInt());
    case ckFloat:
      return CompareDoubles(GetDouble(), B.GetDouble());
    case ckDecimal:
      return CompareOrdered(GetCurrency().Scaled(), B.GetCurrency().Scaled());
    case ckDate:
    case ckTime:
    case ckYearMonth:
      return CompareOrdered(GetInteger(), B.GetInteger());
    case ckTimeStamp:
    case ckDayTime:
      return CompareOrdered(GetLargeInt(), B.GetLargeInt());
    default:
      return 0;
  }
}

// This value's kind ranks at least as high as B's: this value's type decides
// how B is read.
int32_t TORVValue::CompareCross(TORVValue& B, int32_t PartialLength, bool CaseInsensitive, int32_t CompareCollation) {
  switch (CompareKind()) {
    case ckText:
      GetString(FString1);
      FString2 = B.GetAsString();
      return CompareStrings(CompareCollation, FString1.data(), static_cast<int32_t>(FString1.size()), FString2.data(),
                            static_cast<int32_t>(FString2.size()), PartialLength, CaseInsensitive);
    case ckBinary:
      GetBytes(FBytes1);
      FBytes2 = B.GetAsBytes();
      return CompareBytes(FBytes1, FBytes2);
    case ckWhole: {
      // B is another whole number, a Boolean (0 or 1) or a decimal.
      const int64_t Whole = GetAsLargeInt();
      if (B.FDataType == dtDecimal) return CompareWholeToScaled(Whole, B.GetCurrency().Scaled());
      return CompareOrdered(Whole, B.GetAsLargeInt());
    }
    case ckDecimal:
      // Only whole numbers and Booleans rank as low as a decimal.
      return -CompareWholeToScaled(B.GetAsLargeInt(), GetCurrency().Scaled());
    case ckFloat:
      if (B.CompareKind() == ckWhole || B.CompareKind() == ckBoolean)
        return CompareDoubleToWhole(GetDouble(), B.GetAsLargeInt());
      return CompareDoubles(GetDouble(), B.GetAsDouble());
    case ckDate:
      return CompareOrdered(GetInteger(), B.GetAsDate());
    case ckTime:
      return CompareOrdered(GetInteger(), B.GetAsTime());
    case ckTimeStamp:
      if (B.FDataType == dtDate) return CompareOrdered(DateFromTimeStamp(GetLargeInt()), B.GetInteger());
      return CompareOrdered(GetLargeInt(), B.GetAsTimeStamp());
    case ckYearMonth:
      return CompareOrdered(GetInteger(), B.GetYearMonthInterval(FSubType));
    case ckDayTime:
      return CompareOrdered(GetLargeInt(), B.GetDayTimeInterval(FSubType));
    default:
      return 0;
  }
}

// ---------------------------------------------------------------------------
// Assignment

void TORVValue::Assign(TORVValue& FromValue) {
  if (FromValue.GetNull()) {
    SetAsNull(true);
    return;
  }
  // The value is converted and stored first; the NULL state changes only
  // when that succeeded, so a refused assignment leaves the value as it was.
  if (FDataType == FromValue.FDataType)
    AssignSameType(FromValue);
  else
    AssignCross(FromValue);
}

void TORVValue::AssignSameType(TORVValue& FromValue) {
  switch (FDataType) {
    case dtCharacter:
      FromValue.GetString(FString1);
      SetString(FString1);
      break;
    case dtBytes:
      FromValue.GetBytes(FBytes1);
      SetBytes(FBytes1);
      break;
    case dtLargeObject:
      if (FSubType == stClob) {
        FromValue.GetString(FString1);
        SetString(FString1);
      } else {
        // The whole contents, without moving the source's stream position.
        FromValue.GetBytes(FBytes1);
        SetBytes(FBytes1);
      }
      break;
    case dtBoolean:
      SetBoolean(FromValue.GetBoolean());
      break;
    case dtSmallInt:
      SetSmallInt(FromValue.GetSmallInt());
      break;
    case dtInteger:
    case dtDate:
    case dtTime:
      SetInteger(FromValue.GetInteger());
      break;
    case dtBigInt:
    case dtTimeStamp:
      SetLargeInt(FromValue.GetLargeInt());
      break;
    case dtFloat:
      SetDouble(FromValue.GetDouble());
      break;
    case dtDecimal:
      SetCurrency(RoundCurr(FromValue.GetCurrency(), FScale));
      break;
    case dtYearMonthInterval:
      SetYearMonthInterval(FromValue.GetInteger(), FromValue.FSubType);
      return;
    case dtDayTimeInterval:
      SetDayTimeInterval(FromValue.GetLargeInt(), FromValue.FSubType);
      return;
    default:
      break;
  }
  FinishSet();
}

void TORVValue::AssignCross(TORVValue& FromValue) {
  switch (FromValue.FDataType) {
    case dtCharacter:
      FromValue.GetString(FString1);
      if (IsBlobType()) {
        // The characters become the BLOB's bytes.
        SetString(FString1);
        FinishSet();
      } else if (IsBytesType()) {
        // Likewise the characters' bytes, never a parse of the text as
        // hexadecimal and never the old bytes left in place.
        FromValue.GetBytes(FBytes1);
        SetBytes(FBytes1);
        FinishSet();
      } else {
        SetAsString(FString1);
      }
      break;
    case dtBytes:
      FromValue.GetBytes(FBytes1);
      SetAsBytes(FBytes1);
      break;
    case dtLargeObject:
      if (FDataType == dtCharacter) {
        SetAsString(FromValue.GetAsString());
      } else if (FDataType == dtBytes) {
        SetAsBytes(FromValue.GetAsBytes());
      } else if (FromValue.FSubType == stClob) {
        FromValue.GetString(FString1);
        SetAsString(FString1);
      } else {
        // A BLOB fits only a large object, which the same-type branch took.
        GetAsBlob();
      }
      break;
    case dtBoolean:
      SetAsBoolean(FromValue.GetBoolean());
      break;
    case dtSmallInt:
      SetAsSmallInt(FromValue.GetSmallInt());
      break;
    case dtInteger:
      SetAsInteger(FromValue.GetInteger());
      break;
    case dtBigInt:
      SetAsLargeInt(FromValue.GetLargeInt());
      break;
    case dtFloat:
      SetAsDouble(FromValue.GetDouble());
      break;
    case dtDecimal:
      SetAsCurrency(FromValue.GetCurrency());
      break;
    case dtDate:
      SetAsDate(FromValue.GetInteger());
      break;
    case dtTime:
      SetAsTime(FromValue.GetInteger());
      break;
    case dtTimeStamp:
      SetAsTimeStamp(FromValue.GetLargeInt());
      break;
    case dtYearMonthInterval:
      SetYearMonthInterval(FromValue.GetInteger(), FromValue.FSubType);
      break;
    case dtDayTimeInterval:
      SetDayTimeInterval(FromValue.GetLargeInt(), FromValue.FSubType);
      break;
    default:
      break;
  }
}

}  // namespace orv
