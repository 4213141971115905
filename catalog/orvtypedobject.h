// Catalog objects that declare the type of a value: columns, and the
// parameters and results of routines.
#pragma once

#include <cstdint>

#include "base/orvtype.h"
#include "catalog/orvcatalogobject.h"

namespace orv {

class TORVConfig;

// The type and the attributes that go with it. The setters keep them
// consistent by the type rules, counting characters in the character set of
// the collection that holds the object, so an object is made with its
// collection's GetNewObject and typed before it is added. Each setter marks
// the object modified only when the value changes.
//
// A value that lives in a row-buffer slot (a column) counts its VarChar and
// VarByte length prefix in 2 bytes, and a change of type or subtype sizes
// its length again for the new type; any other value counts the prefix in
// the 4 bytes of a value's stream and keeps the size it had.
class TORVTypedCatalogObject : public TORVCatalogObject {
 public:
  int32_t GetDataType() const { return FDataType; }
  void SetDataType(int32_t Value);
  int32_t GetSubType() const { return FSubType; }
  void SetSubType(int32_t Value);
  int32_t GetLength() const { return FLength; }
  void SetLength(int32_t Value);
  // The bytes the value takes, from its type and length.
  int32_t GetSize() const { return FSize; }
  int32_t GetScale() const { return FScale; }
  void SetScale(int32_t Value);
  int32_t GetCollation() const { return FCollation; }
  void SetCollation(int32_t Value);
  TORVString GetDataTypeName() const;

 protected:
  TORVTypedCatalogObject(bool RowSlot, TORVConfig* OwnerConfig)
      : TORVCatalogObject(OwnerConfig), FRowSlot(RowSlot) {}

  int32_t FDataType = 0;
  int32_t FSubType = 0;
  int32_t FLength = 0;
  int32_t FSize = 0;
  int32_t FScale = 0;
  int32_t FCollation = 0;

 private:
  void SizeLength();

  const bool FRowSlot;
};

}  // namespace orv
