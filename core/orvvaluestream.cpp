// Persistence of values: the stream record used in parameter records, keys,
// rows and messages, and the field slot of a data-access record buffer.
#include "core/orvvalue.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/orvdatetime.h"
#include "core/orvliteral.h"
#include "core/orvmath.h"
#include "core/orvstream.h"
#include "core/orvtypefunc.h"

namespace orv {

namespace {

// The data-access layer's packed BCD record: precision, sign and places,
// then the digits as nibble pairs, most significant first.
constexpr int32_t kBcdSize = 34;
constexpr int32_t kBcdPrecision = 32;
constexpr int32_t kBcdDigitBytes = 32;
constexpr uint8_t kBcdNegative = 0x80;
constexpr uint8_t kBcdSpecial = 0x40;
constexpr uint8_t kBcdPlacesMask = 0x3F;

void EncodeBcd(int64_t Scaled, int32_t Places, uint8_t* Record) {
  std::memset(Record, 0, kBcdSize);
  // The decimal already holds no more places than its scale; the places
  // beyond it are dropped from the 4 of the scaled image.
  uint64_t Magnitude = Scaled < 0 ? 0 - static_cast<uint64_t>(Scaled) : static_cast<uint64_t>(Scaled);
  for (int32_t I = Places; I < 4; ++I) Magnitude /= 10;
  Record[0] = kBcdPrecision;
  Record[1] = static_cast<uint8_t>((Scaled < 0 ? kBcdNegative : 0) | Places);
  for (int32_t Digit = kBcdPrecision - 1; Digit >= 0 && Magnitude != 0; --Digit) {
    const uint8_t Value = static_cast<uint8_t>(Magnitude % 10);
    Magnitude /= 10;
    uint8_t& Pair = Record[2 + Digit / 2];
    Pair = static_cast<uint8_t>(Digit % 2 == 0 ? (Pair | (Value << 4)) : (Pair | Value));
  }
}

// False when the record is not a plain number that fits the scaled image.
bool DecodeBcd(const uint8_t* Record, int64_t& Scaled) {
  Scaled = 0;
  const int32_t Precision = Record[0];
  const int32_t Places = Record[1] & kBcdPlacesMask;
  if (Precision < 1 || Precision > 2 * kBcdDigitBytes || Places > Precision || (Record[1] & kBcdSpecial) != 0)
    return false;
  int64_t Magnitude = 0;
  bool RoundUp = false;
  for (int32_t Digit = 0; Digit < Precision; ++Digit) {
    const uint8_t Pair = Record[2 + Digit / 2];
    const int32_t Value = Digit % 2 == 0 ? Pair >> 4 : Pair & 0x0F;
    if (Value > 9) return false;
    const int32_t PlaceIndex = Digit - (Precision - Places);  // 0 = first decimal place
    if (PlaceIndex >= 4) {
      // Digits beyond the fourth place round the image half away from zero.
      if (PlaceIndex == 4) RoundUp = Value >= 5;
      continue;
    }
    if (__builtin_mul_overflow(Magnitude, 10, &Magnitude) || __builtin_add_overflow(Magnitude, Value, &Magnitude))
      return false;
  }
  for (int32_t Place = Places; Place < 4; ++Place)
    if (__builtin_mul_overflow(Magnitude, 10, &Magnitude)) return false;
  if (RoundUp && __builtin_add_overflow(Magnitude, 1, &Magnitude)) return false;
  Scaled = (Record[1] & kBcdNegative) != 0 ? -Magnitude : Magnitude;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Stream record

void TORVValue::Save(TORVMemoryStream& Stream) {
  const bool IsNull = GetNull();
  Stream.WriteBoolean(IsNull);
  if (IsNull) return;
  switch (FDataType) {
    case dtCharacter:
      GetString(FString1);
      Stream.WriteString(FString1, 0, false, FCodePage);
      break;
    case dtBytes:
      GetBytes(FBytes1);
      Stream.WriteBytes(FBytes1, 0, false);
      break;
    case dtLargeObject: {
      TORVMemoryStream* Blob = GetBlob();
      const int32_t Size = Blob == nullptr ? 0 : static_cast<int32_t>(Blob->GetSize());
      Stream.WriteInteger(Size);
      if (Size > 0) Blob->SaveToStream(Stream, Size);
      break;
    }
    case dtBoolean:
      Stream.WriteBoolean(GetBoolean());
      break;
    case dtSmallInt:
      Stream.WriteSmallInt(GetSmallInt());
      break;
    case dtInteger:
    case dtDate:
    case dtTime:
    case dtYearMonthInterval:
      Stream.WriteInteger(GetInteger());
      break;
    case dtBigInt:
    case dtTimeStamp:
    case dtDayTimeInterval:
      Stream.WriteLargeInt(GetLargeInt());
      break;
    case dtFloat:
      Stream.WriteDouble(GetDouble());
      break;
    case dtDecimal:
      Stream.WriteCurrency(GetCurrency());
      break;
    default:
      break;
  }
}

// A record that ends before its image would load as a wrong value; it is
// refused instead.
void TORVValue::NeedBytes(TORVMemoryStream& Stream, int64_t Count) {
  if (Count < 0 || Stream.GetAvailable() < Count) RaiseConversionError(TORVString(), false);
}

// Checks that a count-prefixed run of Units of UnitSize bytes follows.
void TORVValue::NeedCountedRun(TORVMemoryStream& Stream, int32_t UnitSize) {
  NeedBytes(Stream, 4);
  const int64_t Start = Stream.GetPosition();
  const int32_t Count = Stream.ReadInteger();
  Stream.SetPosition(Start);
  if (Count < 0) RaiseConversionError(TORVString(), false);
  NeedBytes(Stream, 4 + static_cast<int64_t>(Count) * UnitSize);
}

void TORVValue::Load(TORVMemoryStream& Stream) {
  NeedBytes(Stream, 1);
  if (Stream.ReadBoolean()) {
    SetAsNull(true);
    return;
  }
  // The image is read completely before anything is stored, so a short
  // record leaves the value as it was.
  switch (FDataType) {
    case dtCharacter:
      NeedCountedRun(Stream, Stream.GetCharacterSet() == CharacterSetUnicode ? 2 : 1);
      Stream.ReadString(FString1, false, FCodePage);
      SetString(FString1);
      break;
    case dtBytes:
      NeedCountedRun(Stream, 1);
      Stream.ReadBytes(FBytes1, false);
      SetBytes(FBytes1);
      break;
    case dtLargeObject: {
      NeedCountedRun(Stream, 1);
      const int32_t Size = Stream.ReadInteger();
      // A size of 0 is an empty large object; nothing more is read.
      SetBlob(Size == 0 ? nullptr : &Stream, Size);
      break;
    }
    case dtBoolean:
      NeedBytes(Stream, 1);
      SetBoolean(Stream.ReadBoolean());
      break;
    case dtSmallInt:
      NeedBytes(Stream, 2);
      SetSmallInt(Stream.ReadSmallInt());
      break;
    case dtInteger:
    case dtDate:
    case dtTime:
    case dtYearMonthInterval:
      NeedBytes(Stream, 4);
      SetInteger(Stream.ReadInteger());
      break;
    case dtBigInt:
    case dtTimeStamp:
    case dtDayTimeInterval:
      NeedBytes(Stream, 8);
      SetLargeInt(Stream.ReadLargeInt());
      break;
    case dtFloat:
      NeedBytes(Stream, 8);
      SetDouble(Stream.ReadDouble());
      break;
    case dtDecimal:
      NeedBytes(Stream, 8);
      SetCurrency(RoundCurr(Stream.ReadCurrency(), FScale));
      break;
    default:
      break;
  }
  FinishSet();
}

// ---------------------------------------------------------------------------
// Record-buffer field slot

bool TORVValue::SaveRaw(uint8_t* Buffer, int32_t BufferSize, bool VCLFormat) {
  if (GetNull()) return false;
  if (Buffer == nullptr) return true;
  // Every slot is written whole or not at all: a slot too small for the
  // value is refused rather than overrun or silently cut.
  auto Fits = [&](int64_t Count) {
    if (Count > BufferSize) RaiseTruncationError(CurrentText(), false);
  };
  auto Put = [&](const void* Data, int32_t Count) {
    Fits(Count);
    if (Count > 0) std::memcpy(Buffer, Data, static_cast<std::size_t>(Count));
  };
  // Prefix bytes of Header, then Count bytes of Data, then Trailer zero
  // bytes, copied straight from the raw image.
  auto PutFramed = [&](const uint8_t* Header, int32_t HeaderSize, const void* Data, int32_t Count, int32_t Trailer) {
    Fits(static_cast<int64_t>(HeaderSize) + Count + Trailer);
    if (HeaderSize > 0) std::memcpy(Buffer, Header, static_cast<std::size_t>(HeaderSize));
    if (Count > 0) std::memcpy(Buffer + HeaderSize, Data, static_cast<std::size_t>(Count));
    if (Trailer > 0) std::memset(Buffer + HeaderSize + Count, 0, static_cast<std::size_t>(Trailer));
  };
  switch (FDataType) {
    case dtCharacter: {
      // The text and its terminator.
      int32_t Length = 0;
      if (FCharacterSet == CharacterSetUnicode) {
        const char16_t* Text = GetRawUnicodeString(Length);
        PutFramed(nullptr, 0, Text, Length * 2, 2);
      } else {
        const uint8_t* Text = GetRawAnsiString(Length);
        PutFramed(nullptr, 0, Text, Length, 1);
      }
      break;
    }
    case dtBytes: {
      int32_t Length = 0;
      const uint8_t* Bytes = GetRawBytes(Length);
      if (FSubType != stVarByte) {
        PutFramed(nullptr, 0, Bytes, Length, 0);
        break;
      }
      if (Length > std::numeric_limits<uint16_t>::max())
        RaiseTruncationError(BinaryToSQLStr(TORVBytes(Bytes, Bytes + Length)), true);
      // An empty value still writes its zero length, so that the slot
      // never keeps the length of an earlier value.
      const uint8_t Header[2] = {static_cast<uint8_t>(Length & 0xFF), static_cast<uint8_t>(Length >> 8)};
      PutFramed(Header, 2, Bytes, Length, 0);
      break;
    }
    case dtBoolean:
      if (VCLFormat) {
        const uint16_t Image = GetBoolean() ? 0xFFFF : 0;
        Put(&Image, 2);
      } else {
        const uint8_t Image = GetBoolean() ? 1 : 0;
        Put(&Image, 1);
      }
      break;
    case dtSmallInt: {
      const int16_t Image = GetSmallInt();
      Put(&Image, 2);
      break;
    }
    case dtInteger:
    case dtDate:
    case dtTime:
    case dtYearMonthInterval: {
      const int32_t Image = GetInteger();
      Put(&Image, 4);
      break;
    }
    case dtBigInt:
    case dtDayTimeInterval: {
      const int64_t Image = GetLargeInt();
      Put(&Image, 8);
      break;
    }
    case dtFloat: {
      const double Image = GetDouble();
      Put(&Image, 8);
      break;
    }
    case dtDecimal:
      if (VCLFormat) {
        uint8_t Record[kBcdSize];
        EncodeBcd(RoundCurr(GetCurrency(), FScale).Scaled(), FScale, Record);
        Put(Record, kBcdSize);
      } else {
        const int64_t Image = GetCurrency().Scaled();
        Put(&Image, 8);
      }
      break;
    case dtTimeStamp:
      if (VCLFormat) {
        const double Image = static_cast<double>(GetLargeInt());
        Put(&Image, 8);
      } else {
        const int64_t Image = GetLargeInt();
        Put(&Image, 8);
      }
      break;
    default:
      // Large objects travel separately; type 0 has no image.
      break;
  }
  return true;
}

void TORVValue::LoadRaw(const uint8_t* Buffer, int32_t BufferSize, bool VCLFormat) {
  if (Buffer == nullptr) {
    SetAsNull(true);
    return;
  }
  // A slot shorter than the image it should hold is refused.
  auto Need = [&](int32_t Count) {
    if (Count > BufferSize) RaiseConversionError(TORVString(), true);
  };
  switch (FDataType) {
    case dtCharacter:
      // The text ends at its terminator, or at the end of the slot.
      if (FCharacterSet == CharacterSetUnicode) {
        FString1.clear();
        for (int32_t Offset = 0; Offset + 1 < BufferSize; Offset += 2) {
          char16_t Unit;
          std::memcpy(&Unit, Buffer + Offset, 2);
          if (Unit == 0) break;
          FString1.push_back(Unit);
        }
        SetUnicodeString(FString1);
      } else {
        const uint8_t* End = Buffer + std::max(BufferSize, 0);
        SetAnsiString(TORVAnsiString(Buffer, std::find(Buffer, End, uint8_t{0})));
      }
      break;
    case dtBytes:
      if (FSubType == stVarByte) {
        Need(2);
        const int32_t Length = Buffer[0] | (Buffer[1] << 8);
        Need(2 + Length);
        SetBytes(TORVBytes(Buffer + 2, Buffer + 2 + Length));
      } else {
        const int32_t Length = GetLength();
        Need(Length);
        SetBytes(TORVBytes(Buffer, Buffer + Length));
      }
      break;
    case dtLargeObject:
      return;
    case dtBoolean:
      if (VCLFormat) {
        Need(2);
        SetBoolean((Buffer[0] | Buffer[1]) != 0);
      } else {
        Need(1);
        SetBoolean(Buffer[0] != 0);
      }
      break;
    case dtSmallInt: {
      Need(2);
      int16_t Image;
      std::memcpy(&Image, Buffer, 2);
      SetSmallInt(Image);
      break;
    }
    case dtInteger:
    case dtDate:
    case dtTime:
    case dtYearMonthInterval: {
      Need(4);
      int32_t Image;
      std::memcpy(&Image, Buffer, 4);
      SetInteger(Image);
      break;
    }
    case dtBigInt:
    case dtDayTimeInterval: {
      Need(8);
      int64_t Image;
      std::memcpy(&Image, Buffer, 8);
      SetLargeInt(Image);
      break;
    }
    case dtFloat: {
      Need(8);
      double Image;
      std::memcpy(&Image, Buffer, 8);
      SetDouble(Image);
      break;
    }
    case dtDecimal: {
      int64_t Scaled = 0;
      if (VCLFormat) {
        Need(kBcdSize);
        if (!DecodeBcd(Buffer, Scaled)) RaiseConversionError(TORVString(), true);
      } else {
        Need(8);
        std::memcpy(&Scaled, Buffer, 8);
      }
      SetCurrency(RoundCurr(TORVCurrency::FromScaled(Scaled), FScale));
      break;
    }
    case dtTimeStamp: {
      Need(8);
      int64_t Image;
      if (VCLFormat) {
        double Milliseconds;
        std::memcpy(&Milliseconds, Buffer, 8);
        const double Truncated = std::trunc(Milliseconds);
        if (!InInt64Range(Truncated)) RaiseConversionError(TORVString(), true);
        Image = static_cast<int64_t>(Truncated);
      } else {
        std::memcpy(&Image, Buffer, 8);
      }
      SetLargeInt(Image);
      break;
    }
    default:
      break;
  }
  FinishSet();
}

}  // namespace orv
