#include "core/orvparam.h"

#include <stdexcept>
#include <string>

#include "base/orverrors.h"
#include "base/orverror.h"
#include "core/orvstream.h"
#include "core/orvstrings.h"
#include "core/orvtypefunc.h"

namespace orv {

namespace {

// Parameter type, data type, subtype, defined length, scale and collation,
// and the name's count.
constexpr int32_t kTypeIntegers = 7;

bool IsOutputParam(TORVParamType ParamType) {
  return ParamType == ptOutput || ParamType == ptInputOutput || ParamType == ptResult;
}

}  // namespace

// ---------------------------------------------------------------------------
// TORVParamValue

TORVParamValue::TORVParamValue(int32_t CharacterSetToUse) : TORVContainedValue(CharacterSetToUse, true) {}

void TORVParamValue::RaiseParamError(const TORVString& Detail) {
  RaiseError(ORV_VALUE_ERROR, {u"parameter", FName, Detail});
}

void TORVParamValue::TruncationError(const TORVString& Value, bool IncludeValue) {
  RaiseParamError(TruncationDetail(Value, IncludeValue));
}

void TORVParamValue::RangeError(const TORVString& Value, bool IncludeValue) {
  RaiseParamError(RangeDetail(Value, IncludeValue));
}

void TORVParamValue::ConversionError(const TORVString& Value, bool IncludeValue) {
  RaiseParamError(ConversionDetail(Value, IncludeValue));
}

void TORVParamValue::Save(TORVMemoryStream& Stream) { Save(Stream, true); }

void TORVParamValue::Load(TORVMemoryStream& Stream) { Load(Stream, true); }

void TORVParamValue::Save(TORVMemoryStream& Stream, bool SaveTypeInfo) {
  if (SaveTypeInfo) {
    Stream.WriteInteger(FParamType);
    Stream.WriteString(FName);
    Stream.WriteInteger(FDataType);
    Stream.WriteInteger(FSubType);
    Stream.WriteInteger(GetDefinedLength());
    Stream.WriteInteger(FScale);
    Stream.WriteInteger(FCollation);
  }
  TORVValue::Save(Stream);
}

void TORVParamValue::Load(TORVMemoryStream& Stream, bool LoadTypeInfo) {
  if (LoadTypeInfo) {
    // The whole type part is read and checked before any of it is applied,
    // so that a short or damaged record leaves the parameter as it was.
    if (Stream.GetAvailable() < kTypeIntegers * 4) RaiseConversionError(TORVString(), false);
    const TORVParamType ParamType = Stream.ReadInteger();
    const int64_t NameStart = Stream.GetPosition();
    const int32_t NameCount = Stream.ReadInteger();
    const int64_t NameBytes = static_cast<int64_t>(NameCount) * (Stream.GetCharacterSet() == CharacterSetUnicode ? 2 : 1);
    if (NameCount < 0 || Stream.GetAvailable() < NameBytes + (kTypeIntegers - 2) * 4) {
      Stream.SetPosition(NameStart - 4);
      RaiseConversionError(TORVString(), false);
    }
    Stream.SetPosition(NameStart);
    TORVString Name;
    Stream.ReadString(Name);
    const int32_t DataType = Stream.ReadInteger();
    const int32_t SubType = Stream.ReadInteger();
    const int32_t Length = Stream.ReadInteger();
    const int32_t Scale = Stream.ReadInteger();
    const int32_t Collation = Stream.ReadInteger();
    if (Length < 0) RaiseConversionError(TORVString(), false);
    FParamType = ParamType;
    FName = Name;
    // Each setter sees the ones applied before it: a new data type resets
    // the subtype, length, scale and collation to its defaults first.
    SetDataType(DataType);
    SetSubType(SubType);
    SetLength(Length);
    SetScale(Scale);
    SetCollation(Collation);
  }
  TORVValue::Load(Stream);
}

// ---------------------------------------------------------------------------
// TORVParamValues

TORVParamValues::TORVParamValues(int32_t CharacterSetToUse) : TORVParamValues(CharacterSetToUse, true) {}

TORVParamValues::TORVParamValues(int32_t CharacterSetToUse, bool OwnsValues)
    : TORVValues(CharacterSetToUse, OwnsValues) {}

TORVValue* TORVParamValues::CreateValueObject(int32_t /*Index*/) { return new TORVParamValue(FCharacterSet); }

void TORVParamValues::ParamNotFoundError(const TORVString& ParamName) {
  RaiseError(ORV_NOT_FOUND_ERROR, {u"parameter", ParamName});
}

TORVParamValue* TORVParamValues::GetParams(int32_t Index) const {
  TORVValue* Value = GetItems(Index);
  auto* Param = dynamic_cast<TORVParamValue*>(Value);
  // Only parameters are put in a parameter list: another entry is a broken
  // internal contract.
  if (Param == nullptr)
    throw std::logic_error("parameter list entry " + std::to_string(Index) + " is not a parameter");
  return Param;
}

TORVParamValue* TORVParamValues::FindByName(const TORVString& ParamName) {
  for (int32_t I = 0; I < FCount; ++I) {
    TORVParamValue* Param = GetParams(I);
    if (SameString(Param->GetName(), ParamName)) return Param;
  }
  ParamNotFoundError(ParamName);
  // Should an override return, the list's own error is raised.
  TORVParamValues::ParamNotFoundError(ParamName);
}

TORVParamValue* TORVParamValues::CreateNew() {
  TORVValue* Value = CreateValueObject(FCount);
  try {
    Add(Value);
  } catch (...) {
    delete Value;
    throw;
  }
  return GetParams(FCount - 1);
}

void TORVParamValues::RemoveAll() {
  if (!FOwnsValues) return;
  FreeRange(0, FCount);
  FCount = 0;
}

void TORVParamValues::SaveOutputParams(TORVMemoryStream& Stream) {
  for (int32_t I = 0; I < FCount; ++I) {
    TORVParamValue* Param = GetParams(I);
    if (IsOutputParam(Param->GetParamType())) Param->Save(Stream, false);
  }
}

void TORVParamValues::LoadOutputParams(TORVMemoryStream& Stream) {
  for (int32_t I = 0; I < FCount; ++I) {
    TORVParamValue* Param = GetParams(I);
    if (IsOutputParam(Param->GetParamType())) Param->Load(Stream, false);
  }
}

// ---------------------------------------------------------------------------
// TORVReferencedParamValues

TORVReferencedParamValues::TORVReferencedParamValues(int32_t CharacterSetToUse)
    : TORVParamValues(CharacterSetToUse, false) {}

}  // namespace orv
