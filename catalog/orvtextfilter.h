// Text filters: the modules that turn documents of one type into plain
// text for text indexing.
#pragma once

#include <cstdint>

#include "base/orvtype.h"
#include "catalog/orvconfigobject.h"

namespace orv {

class TORVTextFilter : public TORVConfigObject {
 public:
  using TORVConfigObject::TORVConfigObject;

  TORVString GetTypeName() const override;
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  // FilterType, then ModuleName after the base record.
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  void Load(TORVMemoryStream& Stream) override;

  const TORVString& GetFilterType() const { return FFilterType; }
  void SetFilterType(const TORVString& Value);
  const TORVString& GetModuleName() const { return FModuleName; }
  void SetModuleName(const TORVString& Value);

 private:
  TORVString FFilterType;
  TORVString FModuleName;
};

class TORVTextFilters : public TORVConfigObjects {
 public:
  explicit TORVTextFilters(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}

  TORVString GetTypeName() const override;
  TORVConfigObject* CreateObject() override { return new TORVTextFilter(FConfig); }

  TORVTextFilter* GetTextFilter(int32_t Index) const { return static_cast<TORVTextFilter*>(GetObjects(Index)); }
};

}  // namespace orv
