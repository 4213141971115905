// Word generators: the modules that split text into the words a text index
// holds. The built-in "Default" generator names no module and splits with
// the engine's own splitter.
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
  int32_t GetModuleKind() const override { return ModuleTypeWordGenerator; }
  // Text indexes name generators: the requests go to the databases.
  void SetDependencies() override;
  void RenameDependencies(const TORVString& NewName) override;
  void DeleteDependencies() override;
  // Empty for the built-in generator.
  TORVString GetCreateSQL(bool IncludeDependentObjects, bool DependentObjectsOnly, bool Restricted) override;
  TORVString GetDropSQL(bool IncludeDependentObjects, bool DependentObjectsOnly) override;

  // The next word at or after Position (1-based), Position moved past it;
  // empty when the text is exhausted. A generator without a module uses
  // the built-in splitter and loads nothing.
  void GetNextTextIndexWord(int32_t Collation, const TORVString& Text, int32_t& Position, TORVString& Word,
                            bool SearchWords);
};

class TORVWordGenerators : public TORVConfigObjects {
 public:
  explicit TORVWordGenerators(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}

  TORVString GetTypeName() const override;
  TORVConfigObject* CreateObject() override { return new TORVWordGenerator(FConfig); }

  TORVWordGenerator* GetWordGenerator(int32_t Index) const { return static_cast<TORVWordGenerator*>(GetObjects(Index)); }
  // Every member's working context, in order.
  void CloseModules();
};

// The "WordGenerators" table.
const TORVConfigObjectsClass& WordGeneratorsClass();

}  // namespace orv
