#include "catalog/orvselection.h"

#include "core/orvtypefunc.h"

namespace orv {

namespace {

// Action codes of BuildAlterSQL.
constexpr int32_t CreateAction = 0;
constexpr int32_t AlterAction = 1;
constexpr int32_t DropAction = 2;

TORVTableColumnDef Text(const char16_t* Name, int32_t Length) { return {Name, dtCharacter, stVarChar, Length, 0, true}; }

TORVTableColumnDef Clob(const char16_t* Name) { return {Name, dtLargeObject, stClob, 0, 0, true}; }

// One index per column, named after it, over the first Count columns.
std::vector<TORVTableIndexDef> IndexPerColumn(const std::vector<TORVTableColumnDef>& Columns, int32_t Count) {
  std::vector<TORVTableIndexDef> Indexes;
  for (int32_t Position = 1; Position <= Count; ++Position)
    Indexes.push_back({Columns[static_cast<size_t>(Position - 1)].Name, {Position}});
  return Indexes;
}

TORVTableDescription Described(std::vector<TORVTableColumnDef> Columns, int32_t IndexedColumns) {
  TORVTableDescription Description{std::move(Columns), {}};
  Description.Indexes = IndexPerColumn(Description.Columns, IndexedColumns);
  return Description;
}

}  // namespace

// -------------------------------------------- TORVConfigObjectsDifference

TORVConfigObjectsDifference::TORVConfigObjectsDifference() : FNewObjects(std::make_unique<TORVSelectedConfigObjects>()) {}

TORVConfigObjectsDifference::~TORVConfigObjectsDifference() { FreeNewObjects(); }

void TORVConfigObjectsDifference::FreeNewObjects() {
  // Destructors do not throw, so every copy is freed and the list emptied.
  for (int32_t Index = FNewObjects->GetCount() - 1; Index >= 0; --Index) delete FNewObjects->GetObjects(Index);
  FNewObjects->Clear();
}

void TORVConfigObjectsDifference::Clear() {
  TORVSelectedConfigObjects::Clear();
  FreeNewObjects();
}

void TORVConfigObjectsDifference::Build(TORVSelectedConfigObjects& SourceObjects,
                                        TORVSelectedConfigObjects& TargetObjects, char16_t StatementTerminator) {
  Clear();
  SourceObjects.Build();
  TargetObjects.Build();
  for (int32_t Index = 0; Index < TargetObjects.GetCount(); ++Index) {
    TORVConfigObject* Target = TargetObjects.GetConfigObject(Index);
    if (Target->GetHidden()) continue;
    const int32_t Found = FindObject(SourceObjects, Target);
    if (Found < 0) {
      std::unique_ptr<TORVConfigObject> Copy(TargetObjects.CopyObject(Target));
      if (Copy == nullptr) continue;
      FNewObjects->Add(Copy.get());
      TORVConfigObject* Made = Copy.release();
      Made->Assign(Target, false);
      Made->BuildAlterSQL(CreateAction, nullptr, StatementTerminator);
      Add(Made);
    } else {
      TORVConfigObject* Source = SourceObjects.GetConfigObject(Found);
      Source->BuildAlterSQL(AlterAction, Target, StatementTerminator);
      if (!Source->GetAlterSQL().empty()) Add(Source);
    }
  }
  for (int32_t Index = SourceObjects.GetCount() - 1; Index >= 0; --Index) {
    TORVConfigObject* Source = SourceObjects.GetConfigObject(Index);
    if (Source->GetHidden() || FindObject(TargetObjects, Source) >= 0) continue;
    Source->BuildAlterSQL(DropAction, nullptr, StatementTerminator);
    Add(Source);
  }
}

int32_t FindObject(TORVConfigObjects& Objects, TORVConfigObject* Object) {
  for (int32_t Index = 0; Index < Objects.GetCount(); ++Index)
    if (Objects.GetObjects(Index)->Same(Object)) return Index;
  return -1;
}

// ------------------------------------------------------- information tables

const TORVConfigObjectsClass& SelectedConfigObjectsClass() {
  static const TORVTableDescription Description =
      Described({Text(u"ParentName", 80), Text(u"ParentType", 30), Text(u"Name", 80), Text(u"Type", 30),
                 Clob(u"CreateSQL"), Clob(u"PostCreateSQL"), Clob(u"PreDropSQL"), Clob(u"DropSQL")},
                4);
  static const TORVConfigObjectsClass Class{[](TORVConfig*) { return new TORVSelectedConfigObjects(); },
                                            u"ConfigObjects", &Description};
  return Class;
}

const TORVConfigObjectsClass& ConfigObjectsDifferenceClass() {
  static const TORVTableDescription Description = Described(
      {Text(u"ParentName", 80), Text(u"ParentType", 30), Text(u"Name", 80), Text(u"Type", 30), Clob(u"AlterSQL")}, 4);
  static const TORVConfigObjectsClass Class{[](TORVConfig*) { return new TORVConfigObjectsDifference(); },
                                            u"ConfigDifference", &Description};
  return Class;
}

const TORVConfigObjectsClass& DependenciesClass() {
  // DependentType is 80 characters long where the other type columns are 15.
  static const TORVTableDescription Description =
      Described({Text(u"ParentName", 80), Text(u"ParentType", 15), Text(u"Name", 80), Text(u"Type", 15),
                 Text(u"DependentParentName", 80), Text(u"DependentParentType", 15), Text(u"DependentName", 80),
                 Text(u"DependentType", 80)},
                8);
  static const TORVConfigObjectsClass Class{[](TORVConfig*) { return new TORVDependencies(); }, u"Dependencies",
                                            &Description};
  return Class;
}

}  // namespace orv
