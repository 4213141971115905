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
    const TORVParamType paramType = Stream.ReadInteger();
    const int64_t nameStart = Stream.GetPosition();
    const int32_t nameCount = Stream.ReadInteger();
    const int64_t nameBytes = static_cast<int64_t>(nameCount) * (Stream.GetCharacterSet() == CharacterSetUnicode ? 2 : 1);
    if (nameCount < 0 || Stream.GetAvailable() < nameBytes + (kTypeIntegers - 2) * 4) {
      Stream.SetPosition(nameStart - 4);
      RaiseConversionError(TORVString(), false);
    }
    Stream.SetPosition(nameStart);
    TORVString name;
    Stream.ReadString(name);
    const int32_t dataType = Stream.ReadInteger();
    const int32_t subType = Stream.ReadInteger();
    const int32_t length = Stream.ReadInteger();
    const int32_t scale = Stream.ReadInteger();
    const int32_t collation = Stream.ReadInteger();
    if (length < 0) RaiseConversionError(TORVString(), false);
    FParamType = paramType;
    FName = name;
    // Each setter sees the ones applied before it: a new data type resets
    // the subtype, length, scale and collation to its defaults first.
    SetDataType(dataType);
    SetSubType(subType);
    SetLength(length);
    SetScale(scale);
    SetCollation(collation);
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
  TORVValue* value = GetItems(Index);
  auto* param = dynamic_cast<TORVParamValue*>(value);
  if (param == nullptr)
    throw std::logic_error("parameter list entry " + std::to_string(Index) + " is not a parameter");
  return param;
}

TORVParamValue* TORVParamValues::FindByName(const TORVString& ParamName) {
  for (int32_t i = 0; i < FCount; ++i) {
    TORVParamValue* param = GetParams(i);
    if (SameString(param->GetName(), ParamName)) return param;
  }
  ParamNotFoundError(ParamName);
  // Should an override return, the list's own error is raised.
  TORVParamValues::ParamNotFoundError(ParamName);
}

TORVParamValue* TORVParamValues::CreateNew() {
  TORVValue* value = CreateValueObject(FCount);
  try {
    Add(value);
  } catch (...) {
    delete value;
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
  for (int32_t i = 0; i < FCount; ++i) {
    TORVParamValue* param = GetParams(i);
    if (IsOutputParam(param->GetParamType())) param->Save(Stream, false);
  }
}

void TORVParamValues::LoadOutputParams(TORVMemoryStream& Stream) {
  for (int32_t i = 0; i < FCount; ++i) {
    TORVParamValue* param = GetParams(i);
    if (IsOutputParam(param->GetParamType())) param->Load(Stream, false);
  }
}

// ---------------------------------------------------------------------------
// TORVReferencedParamValues

TORVReferencedParamValues::TORVReferencedParamValues(int32_t CharacterSetToUse)
    : TORVParamValues(CharacterSetToUse, false) {}

}  // namespace orv
