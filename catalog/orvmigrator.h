// Migrators: the modules that read another database's metadata and rows for
// MIGRATE DATABASE.
#pragma once

#include <cstdint>

#include "base/orvtype.h"
#include "catalog/orvconfigobject.h"
#include "catalog/orvmodule.h"

namespace orv {

class TORVMigrator : public TORVModuleObject {
 public:
  using TORVModuleObject::TORVModuleObject;

  TORVString GetTypeName() const override;
};

class TORVMigrators : public TORVConfigObjects {
 public:
  explicit TORVMigrators(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}

  TORVString GetTypeName() const override;
  TORVConfigObject* CreateObject() override { return new TORVMigrator(FConfig); }

  TORVMigrator* GetMigrator(int32_t Index) const { return static_cast<TORVMigrator*>(GetObjects(Index)); }
};

}  // namespace orv
