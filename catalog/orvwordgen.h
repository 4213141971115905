// Word generators: the modules that split text into the words a text index
// holds.
#pragma once

#include <cstdint>

#include "base/orvtype.h"
#include "catalog/orvconfigobject.h"
#include "catalog/orvmodule.h"

namespace orv {

class TORVWordGenerator : public TORVModuleObject {
 public:
  using TORVModuleObject::TORVModuleObject;

  TORVString GetTypeName() const override;
};

class TORVWordGenerators : public TORVConfigObjects {
 public:
  explicit TORVWordGenerators(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}

  TORVString GetTypeName() const override;
  TORVConfigObject* CreateObject() override { return new TORVWordGenerator(FConfig); }

  TORVWordGenerator* GetWordGenerator(int32_t Index) const { return static_cast<TORVWordGenerator*>(GetObjects(Index)); }
};

}  // namespace orv
