// Text filters: the modules that turn documents of one type into plain
// text for text indexing.
#pragma once

#include <cstdint>

#include "base/orvtype.h"
#include "catalog/orvconfigobject.h"
#include "catalog/orvmodule.h"

namespace orv {

class TORVTextFilter : public TORVModuleObject {
 public:
  using TORVModuleObject::TORVModuleObject;

  TORVString GetTypeName() const override;
  int32_t GetModuleKind() const override { return ModuleTypeTextFilter; }
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  // Also FilterType exactly, against another filter.
  bool Compare(TORVConfigObject* ObjectToCompare, bool CompareID) override;
  // FilterType, then ModuleName after the base record.
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;
  int32_t GetMemorySize() override;
  TORVString GetCreateSQL(bool IncludeDependentObjects, bool DependentObjectsOnly, bool Restricted) override;
  TORVString GetDropSQL(bool IncludeDependentObjects, bool DependentObjectsOnly) override;

  // Opens the module on first use and passes the document through it.
  void FilterText(int32_t Collation, const TORVString& FilterType, const TORVString& TextToFilter,
                  TORVString& FilteredText);

  const TORVString& GetFilterType() const { return FFilterType; }
  // A change of letter case alone is not stored.
  void SetFilterType(const TORVString& Value);

 private:
  TORVString FFilterType;
};

class TORVTextFilters : public TORVConfigObjects {
 public:
  explicit TORVTextFilters(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}

  TORVString GetTypeName() const override;
  TORVConfigObject* CreateObject() override { return new TORVTextFilter(FConfig); }

  TORVTextFilter* GetTextFilter(int32_t Index) const { return static_cast<TORVTextFilter*>(GetObjects(Index)); }
  // The first filter in collection order whose type matches ignoring case;
  // nil when none does.
  TORVTextFilter* FindByType(const TORVString& SearchType) const;
  // Every member's working context, in order.
  void CloseModules();
};

// The "TextFilters" table.
const TORVConfigObjectsClass& TextFiltersClass();

}  // namespace orv
