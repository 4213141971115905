#include "catalog/orvtextfilter.h"

#include "core/orvstream.h"
#include "core/orvstrings.h"

namespace orv {

TORVString TORVTextFilter::GetTypeName() const { return u"text filter"; }

void TORVTextFilter::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVModuleObject::Assign(FromObject, CopyReferences);
  if (auto* From = dynamic_cast<TORVTextFilter*>(FromObject)) FFilterType = From->FFilterType;
}

bool TORVTextFilter::Compare(TORVConfigObject* ObjectToCompare, bool CompareID) {
  if (!TORVModuleObject::Compare(ObjectToCompare, CompareID)) return false;
  auto* Other = dynamic_cast<TORVTextFilter*>(ObjectToCompare);
  return Other == nullptr || FFilterType == Other->FFilterType;
}

void TORVTextFilter::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  SaveBase(Stream, CRCOnly);
  Stream.WriteString(FFilterType);
  Stream.WriteString(FModuleName);
}

void TORVTextFilter::Load(TORVMemoryStream& Stream) {
  LoadBase(Stream);
  FFilterType.clear();
  Stream.ReadString(FFilterType);
  FModuleName.clear();
  Stream.ReadString(FModuleName);
  if (FModuleHandle == 0) FModule = nullptr;
}

int32_t TORVTextFilter::GetMemorySize() { return TORVModuleObject::GetMemorySize() + StringSize(FFilterType); }

TORVString TORVTextFilter::GetCreateSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/,
                                        bool /*Restricted*/) {
  return u"CREATE TEXT FILTER " + QuotedModuleName(FName) + u"\r\nTYPE " + QuotedString(FFilterType, u'\'') +
         ModuleLines();
}

TORVString TORVTextFilter::GetDropSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/) {
  return u"DROP TEXT FILTER " + QuotedModuleName(FName);
}

void TORVTextFilter::FilterText(int32_t Collation, const TORVString& FilterType, const TORVString& TextToFilter,
                                TORVString& FilteredText) {
  OpenModule();
  FModule->CallTextFilter(FModuleHandle, Collation, FilterType, TextToFilter);
  FilteredText = FModule->GetText();
}

void TORVTextFilter::SetFilterType(const TORVString& Value) {
  if (SameString(Value, FFilterType)) return;
  FFilterType = Value;
  SetModified(true);
}

TORVString TORVTextFilters::GetTypeName() const { return u"text filter"; }

TORVTextFilter* TORVTextFilters::FindByType(const TORVString& SearchType) const {
  for (int32_t I = 0; I < FCount; ++I)
    if (SameString(GetTextFilter(I)->GetFilterType(), SearchType)) return GetTextFilter(I);
  return nullptr;
}

void TORVTextFilters::CloseModules() {
  for (int32_t I = 0; I < FCount; ++I) GetTextFilter(I)->CloseModule();
}

const TORVConfigObjectsClass& TextFiltersClass() {
  static const TORVTableDescription Description{
      {TableText(u"Name", 80, true), TableClob(u"Description", false), TableText(u"Type", 15, true),
       TableText(u"ModuleName", 255, true), TableClob(u"CreateSQL", true), TableClob(u"DropSQL", true)},
      {{u"Name", {1}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVTextFilters(Config); },
                                            u"TextFilters", &Description};
  return Class;
}

}  // namespace orv
