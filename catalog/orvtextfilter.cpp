#include "catalog/orvtextfilter.h"

#include "core/orvstream.h"
#include "core/orvstrings.h"

namespace orv {

TORVString TORVTextFilter::GetTypeName() const { return u"text filter"; }

void TORVTextFilter::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVConfigObject::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVTextFilter*>(FromObject);
  if (From == nullptr) return;
  FFilterType = From->FFilterType;
  FModuleName = From->FModuleName;
}

void TORVTextFilter::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVConfigObject::Save(Stream, CRCOnly);
  Stream.WriteString(FFilterType);
  Stream.WriteString(FModuleName);
}

void TORVTextFilter::Load(TORVMemoryStream& Stream) {
  TORVConfigObject::Load(Stream);
  FFilterType.clear();
  Stream.ReadString(FFilterType);
  FModuleName.clear();
  Stream.ReadString(FModuleName);
}

void TORVTextFilter::SetFilterType(const TORVString& Value) {
  // A change of letter case alone is not stored.
  if (SameString(Value, FFilterType)) return;
  FFilterType = Value;
  SetModified(true);
}

void TORVTextFilter::SetModuleName(const TORVString& Value) {
  if (SameString(Value, FModuleName)) return;
  FModuleName = Value;
  SetModified(true);
}

TORVString TORVTextFilters::GetTypeName() const { return u"text filter"; }

}  // namespace orv
