// Objects that live in a schema and carry privileges: tables, views,
// procedures and functions. Each keeps the version number its CREATE or
// ALTER statement gave it.
#pragma once

#include "base/orvtype.h"
#include "catalog/orvcatalogobject.h"
#include "catalog/orvprivilege.h"

namespace orv {

class TORVSchema;

// Streams carry the user version at this level from this version on; older
// base tables keep it in their own part of the stream.
inline constexpr TORVCurrency SchemaObjectVersionVersion = TORVCurrency::FromScaled(20400);

class TORVPrivilegedSchemaObject : public TORVCatalogBound<TORVPrivilegedConfigObject> {
 public:
  explicit TORVPrivilegedSchemaObject(TORVConfig* OwnerConfig = nullptr);
  TORVPrivilegedSchemaObject(TORVConfig* OwnerConfig, TORVUser* OwnerUser);

  // Also the user version, from another schema object.
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  bool Compare(TORVConfigObject* ObjectToCompare, bool CompareID) override;
  // The user version follows the privileged record, in the checksum form
  // too.
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;

  // The schema whose collection holds the object; nil outside one.
  TORVSchema* GetSchema() const;
  TORVCurrency GetUserVersion() const { return FUserVersion; }
  // A different version marks the object modified.
  void SetUserVersion(TORVCurrency Value);

 protected:
  TORVCurrency FUserVersion = TORVCurrency::FromInt(1);
};

}  // namespace orv
