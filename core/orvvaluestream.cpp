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

constexpr double kTwoPow63 = 9223372036854775808.0;

void EncodeBcd(int64_t Scaled, int32_t Places, uint8_t* Record) {
  std::memset(Record, 0, kBcdSize);
  // The decimal already holds no more places than its scale; the places
  // beyond it are dropped from the 4 of the scaled image.
  uint64_t magnitude = Scaled < 0 ? 0 - static_cast<uint64_t>(Scaled) : static_cast<uint64_t>(Scaled);
  for (int32_t i = Places; i < 4; ++i) magnitude /= 10;
  Record[0] = kBcdPrecision;
  Record[1] = static_cast<uint8_t>((Scaled < 0 ? kBcdNegative : 0) | Places);
  for (int32_t digit = kBcdPrecision - 1; digit >= 0 && magnitude != 0; --digit) {
    const uint8_t value = static_cast<uint8_t>(magnitude % 10);
    magnitude /= 10;
    uint8_t& pair = Record[2 + digit / 2];
    pair = static_cast<uint8_t>(digit % 2 == 0 ? (pair | (value << 4)) : (pair | value));
  }
}

// False when the record is not a plain number that fits the scaled image.
bool DecodeBcd(const uint8_t* Record, int64_t& Scaled) {
  Scaled = 0;
  const int32_t precision = Record[0];
  const int32_t places = Record[1] & kBcdPlacesMask;
  if (precision < 1 || precision > 2 * kBcdDigitBytes || places > precision || (Record[1] & kBcdSpecial) != 0)
    return false;
  int64_t magnitude = 0;
  bool roundUp = false;
  for (int32_t digit = 0; digit < precision; ++digit) {
    const uint8_t pair = Record[2 + digit / 2];
    const int32_t value = digit % 2 == 0 ? pair >> 4 : pair & 0x0F;
    if (value > 9) return false;
    const int32_t placeIndex = digit - (precision - places);  // 0 = first decimal place
    if (placeIndex >= 4) {
      // Digits beyond the fourth place round the image half away from zero.
      if (placeIndex == 4) roundUp = value >= 5;
      continue;
    }
    if (__builtin_mul_overflow(magnitude, 10, &magnitude) || __builtin_add_overflow(magnitude, value, &magnitude))
      return false;
  }
  for (int32_t place = places; place < 4; ++place)
    if (__builtin_mul_overflow(magnitude, 10, &magnitude)) return false;
  if (roundUp && __builtin_add_overflow(magnitude, 1, &magnitude)) return false;
  Scaled = (Record[1] & kBcdNegative) != 0 ? -magnitude : magnitude;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Stream record

void TORVValue::Save(TORVMemoryStream& Stream) {
  const bool isNull = GetNull();
  Stream.WriteBoolean(isNull);
  if (isNull) return;
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
      TORVMemoryStream* blob = GetBlob();
      const int32_t size = blob == nullptr ? 0 : static_cast<int32_t>(blob->GetSize());
      Stream.WriteInteger(size);
      if (size > 0) blob->SaveToStream(Stream, size);
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
  const int64_t start = Stream.GetPosition();
  const int32_t count = Stream.ReadInteger();
  Stream.SetPosition(start);
  if (count < 0) RaiseConversionError(TORVString(), false);
  NeedBytes(Stream, 4 + static_cast<int64_t>(count) * UnitSize);
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
      const int32_t size = Stream.ReadInteger();
      // A size of 0 is an empty large object; nothing more is read.
      SetBlob(size == 0 ? nullptr : &Stream, size);
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
  auto fits = [&](int64_t Count) {
    if (Count > BufferSize) RaiseTruncationError(CurrentText(), false);
  };
  auto put = [&](const void* Data, int32_t Count) {
    fits(Count);
    if (Count > 0) std::memcpy(Buffer, Data, static_cast<std::size_t>(Count));
  };
  // Prefix bytes of Header, then Count bytes of Data, then Trailer zero
  // bytes, copied straight from the raw image.
  auto putFramed = [&](const uint8_t* Header, int32_t HeaderSize, const void* Data, int32_t Count, int32_t Trailer) {
    fits(static_cast<int64_t>(HeaderSize) + Count + Trailer);
    if (HeaderSize > 0) std::memcpy(Buffer, Header, static_cast<std::size_t>(HeaderSize));
    if (Count > 0) std::memcpy(Buffer + HeaderSize, Data, static_cast<std::size_t>(Count));
    if (Trailer > 0) std::memset(Buffer + HeaderSize + Count, 0, static_cast<std::size_t>(Trailer));
  };
  switch (FDataType) {
    case dtCharacter: {
      // The text and its terminator.
      int32_t length = 0;
      if (FCharacterSet == CharacterSetUnicode) {
        const char16_t* text = GetRawUnicodeString(length);
        putFramed(nullptr, 0, text, length * 2, 2);
      } else {
        const uint8_t* text = GetRawAnsiString(length);
        putFramed(nullptr, 0, text, length, 1);
      }
      break;
    }
    case dtBytes: {
      int32_t length = 0;
      const uint8_t* bytes = GetRawBytes(length);
      if (FSubType != stVarByte) {
        putFramed(nullptr, 0, bytes, length, 0);
        break;
      }
      if (length > std::numeric_limits<uint16_t>::max())
        RaiseTruncationError(BinaryToSQLStr(TORVBytes(bytes, bytes + length)), true);
      // An empty value still writes its zero length, so that the slot
      // never keeps the length of an earlier value.
      const uint8_t header[2] = {static_cast<uint8_t>(length & 0xFF), static_cast<uint8_t>(length >> 8)};
      putFramed(header, 2, bytes, length, 0);
      break;
    }
    case dtBoolean:
      if (VCLFormat) {
        const uint16_t image = GetBoolean() ? 0xFFFF : 0;
        put(&image, 2);
      } else {
        const uint8_t image = GetBoolean() ? 1 : 0;
        put(&image, 1);
      }
      break;
    case dtSmallInt: {
      const int16_t image = GetSmallInt();
      put(&image, 2);
      break;
    }
    case dtInteger:
    case dtDate:
    case dtTime:
    case dtYearMonthInterval: {
      const int32_t image = GetInteger();
      put(&image, 4);
      break;
    }
    case dtBigInt:
    case dtDayTimeInterval: {
      const int64_t image = GetLargeInt();
      put(&image, 8);
      break;
    }
    case dtFloat: {
      const double image = GetDouble();
      put(&image, 8);
      break;
    }
    case dtDecimal:
      if (VCLFormat) {
        uint8_t record[kBcdSize];
        EncodeBcd(RoundCurr(GetCurrency(), FScale).Scaled(), FScale, record);
        put(record, kBcdSize);
      } else {
        const int64_t image = GetCurrency().Scaled();
        put(&image, 8);
      }
      break;
    case dtTimeStamp:
      if (VCLFormat) {
        const double image = static_cast<double>(GetLargeInt());
        put(&image, 8);
      } else {
        const int64_t image = GetLargeInt();
        put(&image, 8);
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
  auto need = [&](int32_t Count) {
    if (Count > BufferSize) RaiseConversionError(TORVString(), true);
  };
  switch (FDataType) {
    case dtCharacter:
      // The text ends at its terminator, or at the end of the slot.
      if (FCharacterSet == CharacterSetUnicode) {
        FString1.clear();
        for (int32_t offset = 0; offset + 1 < BufferSize; offset += 2) {
          char16_t unit;
          std::memcpy(&unit, Buffer + offset, 2);
          if (unit == 0) break;
          FString1.push_back(unit);
        }
        SetUnicodeString(FString1);
      } else {
        const uint8_t* end = Buffer + std::max(BufferSize, 0);
        SetAnsiString(TORVAnsiString(Buffer, std::find(Buffer, end, uint8_t{0})));
      }
      break;
    case dtBytes:
      if (FSubType == stVarByte) {
        need(2);
        const int32_t length = Buffer[0] | (Buffer[1] << 8);
        need(2 + length);
        SetBytes(TORVBytes(Buffer + 2, Buffer + 2 + length));
      } else {
        const int32_t length = GetLength();
        need(length);
        SetBytes(TORVBytes(Buffer, Buffer + length));
      }
      break;
    case dtLargeObject:
      return;
    case dtBoolean:
      if (VCLFormat) {
        need(2);
        SetBoolean((Buffer[0] | Buffer[1]) != 0);
      } else {
        need(1);
        SetBoolean(Buffer[0] != 0);
      }
      break;
    case dtSmallInt: {
      need(2);
      int16_t image;
      std::memcpy(&image, Buffer, 2);
      SetSmallInt(image);
      break;
    }
    case dtInteger:
    case dtDate:
    case dtTime:
    case dtYearMonthInterval: {
      need(4);
      int32_t image;
      std::memcpy(&image, Buffer, 4);
      SetInteger(image);
      break;
    }
    case dtBigInt:
    case dtDayTimeInterval: {
      need(8);
      int64_t image;
      std::memcpy(&image, Buffer, 8);
      SetLargeInt(image);
      break;
    }
    case dtFloat: {
      need(8);
      double image;
      std::memcpy(&image, Buffer, 8);
      SetDouble(image);
      break;
    }
    case dtDecimal: {
      int64_t scaled = 0;
      if (VCLFormat) {
        need(kBcdSize);
        if (!DecodeBcd(Buffer, scaled)) RaiseConversionError(TORVString(), true);
      } else {
        need(8);
        std::memcpy(&scaled, Buffer, 8);
      }
      SetCurrency(RoundCurr(TORVCurrency::FromScaled(scaled), FScale));
      break;
    }
    case dtTimeStamp: {
      need(8);
      int64_t image;
      if (VCLFormat) {
        double milliseconds;
        std::memcpy(&milliseconds, Buffer, 8);
        const double truncated = std::trunc(milliseconds);
        if (!(truncated >= -kTwoPow63 && truncated < kTwoPow63)) RaiseConversionError(TORVString(), true);
        image = static_cast<int64_t>(truncated);
      } else {
        std::memcpy(&image, Buffer, 8);
      }
      SetLargeInt(image);
      break;
    }
    default:
      break;
  }
  FinishSet();
}

}  // namespace orv
