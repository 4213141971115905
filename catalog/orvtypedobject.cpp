#include "catalog/orvtypedobject.h"

#include "core/orvtypefunc.h"

namespace orv {

void TORVTypedCatalogObject::SetDataType(int32_t Value) {
  if (Value == FDataType) return;
  AssignDataType(GetConfigCharacterSet(), Value, FDataType, FSubType, FLength, FSize, FScale, FCollation);
  // A slot's text and bytes keep their length, sized for the new type.
  if (FRowSlot) SizeLength();
  SetModified(true);
}

void TORVTypedCatalogObject::SetSubType(int32_t Value) {
  if (Value == FSubType) return;
  AssignSubType(GetConfigCharacterSet(), FDataType, Value, FSubType, FLength, FSize, FScale, FCollation);
  // A GUID fixes its length; a varying subtype takes the count prefix.
  if (FRowSlot) SizeLength();
  SetModified(true);
}

void TORVTypedCatalogObject::SetLength(int32_t Value) {
  if (Value == FLength) return;
  AssignLength(GetConfigCharacterSet(), FDataType, FSubType, Value, FLength, FSize, FRowSlot);
  SetModified(true);
}

void TORVTypedCatalogObject::SetScale(int32_t Value) {
  if (Value == FScale) return;
  AssignScale(FDataType, FSubType, Value, FScale);
  SetModified(true);
}

void TORVTypedCatalogObject::SetCollation(int32_t Value) {
  if (Value == FCollation) return;
  AssignCollation(FDataType, FSubType, Value, FCollation);
  SetModified(true);
}

TORVString TORVTypedCatalogObject::GetDataTypeName() const { return DataTypeToString(FDataType, FSubType); }

void TORVTypedCatalogObject::SizeLength() {
  AssignLength(GetConfigCharacterSet(), FDataType, FSubType, FLength, FLength, FSize, FRowSlot);
}

}  // namespace orv
