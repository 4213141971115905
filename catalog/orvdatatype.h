// The reference lists of the data types and collations the engine offers.
// They are filled right after the configuration root is made, listed by
// the system tables DataTypes, SQLTypes and Collations, and never stored.
#pragma once

#include <cstdint>

#include "base/orvtype.h"
#include "catalog/orvconfigobject.h"
#include "catalog/orvtabledesc.h"

namespace orv {

class TORVEnvironment;

class TORVDataType : public TORVConfigObject {
 public:
  using TORVConfigObject::TORVConfigObject;

  TORVString GetTypeName() const override;
  // Data types keep ID 0.
  void AssignID() override {}

  int32_t GetDataType() const { return FDataType; }
  void SetDataType(int32_t Value) { FDataType = Value; }
  int32_t GetSubType() const { return FSubType; }
  void SetSubType(int32_t Value) { FSubType = Value; }
  // The storage size of the type without a length, in the configuration's
  // character set: 0 for character, byte and large-object types.
  int32_t GetBinarySize();

 private:
  int32_t FDataType = 0;
  int32_t FSubType = 0;
};

class TORVDataTypes : public TORVConfigObjects {
 public:
  explicit TORVDataTypes(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}

  TORVString GetTypeName() const override;
  TORVConfigObject* CreateObject() override { return new TORVDataType(FConfig); }

  TORVDataType* GetDataType(int32_t Index) const { return static_cast<TORVDataType*>(GetObjects(Index)); }
};

// Only its table differs; the configuration holds no instance.
class TORVODBCTypes : public TORVDataTypes {
 public:
  using TORVDataTypes::TORVDataTypes;
};

// Its ID is the collation's locale identifier (0 binary), its name the
// name COLLATE clauses use, its description the locale's display text.
class TORVCollation : public TORVConfigObject {
 public:
  using TORVConfigObject::TORVConfigObject;

  TORVString GetTypeName() const override;
  // The ID is set by whoever makes the entry.
  void AssignID() override {}
};

class TORVCollations : public TORVConfigObjects {
 public:
  explicit TORVCollations(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}

  TORVString GetTypeName() const override;
  TORVConfigObject* CreateObject() override { return new TORVCollation(FConfig); }
  // The filler checks names itself; the list lets any name in.
  bool CheckForDuplicate(TORVConfigObject* /*NewObject*/, TORVConfigObject* /*Member*/) const override {
    return false;
  }

  TORVCollation* GetCollation(int32_t Index) const { return static_cast<TORVCollation*>(GetObjects(Index)); }
};

// The session's fillers, run right after the configuration root is made:
// the built-in types in their fixed order, and the binary collation
// ("ANSI" or "UNI" by the character set) followed by one entry per locale
// of Environment whose name is not in the list yet.
void LoadConfigDataTypes(TORVDataTypes& DataTypes);
void LoadConfigCollations(TORVCollations& Collations, int32_t CharacterSet, const TORVEnvironment& Environment);

// The information tables "DataTypes", "SQLTypes" and "Collations".
const TORVConfigObjectsClass& DataTypesClass();
const TORVConfigObjectsClass& ODBCTypesClass();
const TORVConfigObjectsClass& CollationsClass();

}  // namespace orv
