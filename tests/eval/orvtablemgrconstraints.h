// Constraints of the tables of a test database, and a second table of a
// session's database that the session's helpers can be turned to.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <utility>

#include "catalog/orvcolumns.h"
#include "catalog/orvconstraint.h"
#include "catalog/orvindexes.h"
#include "catalog/orvtable.h"
#include "eval/orvtablemgr.h"
#include "tests/eval/orvtablemgrtest.h"

namespace orv::test {

// A constraint of Table on Columns, enforced by Index (none for a check).
inline TORVConstraint* AddConstraint(TORVBaseTable* Table, const TORVString& Name, int32_t Type,
                                     std::initializer_list<const char16_t*> Columns, TORVIndex* Index) {
  std::unique_ptr<TORVConstraint> Made(static_cast<TORVConstraint*>(Table->GetConstraints().GetNewObject()));
  Made->SetName(Name);
  Made->SetConstraintType(Type);
  for (const char16_t* Column : Columns) {
    auto* Member = static_cast<TORVConstraintColumn*>(Made->GetConstraintColumns()->GetNewObject());
    Member->SetColumn(static_cast<TORVColumn*>(Table->GetColumns().FindByName(Column, true)));
    Made->GetConstraintColumns()->Add(Member);
  }
  if (Index != nullptr) Made->SetEnforcingIndex(Index);
  Table->GetConstraints().Add(Made.get());
  return Made.release();
}

// A foreign key of From on Column referencing Key of To, with the reverse
// link the catalog gives the key.
inline TORVConstraint* AddForeignKey(TORVBaseTable* From, const char16_t* Column, TORVBaseTable* To,
                                     TORVConstraint* Key, const TORVString& Name = u"fk") {
  TORVIndex* Index = AddTestIndex(From, Name + u"Index", itForeignKey, {Column});
  TORVConstraint* Foreign = AddConstraint(From, Name, ctForeignKey, {Column}, Index);
  Foreign->SetTargetTable(To);
  Foreign->SetTargetTableConstraint(Key);
  auto* Link = static_cast<TORVSourceConstraint*>(Key->GetSourceConstraints()->GetNewObject());
  Link->SetSourceTable(From);
  Link->SetSourceTableConstraint(Foreign);
  Key->GetSourceConstraints()->Add(Link);
  return Foreign;
}

inline TORVIndex* IndexNamed(TORVBaseTable* Table, const TORVString& Name) {
  return static_cast<TORVIndex*>(Table->GetIndexes().FindByName(Name, true));
}

// The primary key constraint PK over t's ById index.
inline TORVConstraint* AddPrimaryKey(TORVBaseTable* Table) {
  return AddConstraint(Table, u"PK", ctPrimaryKey, {u"id"}, IndexNamed(Table, u"ById"));
}

// Another table of a session's database, shaped as t, used through the
// session's helpers while Use is in force.
class TOtherTable {
 public:
  TOtherTable(TTableConnection& Session, const TORVString& Name, int32_t LockSlot) : FSession(Session) {
    FTable = Session.Database.AddTable(Name, LockSlot);
    FTable->SetInternalName(Name);
    AddTestColumn(FTable->GetColumns(), u"id", dtInteger);
    AddTestColumn(FTable->GetColumns(), u"name", dtCharacter, stVarChar, 20);
    AddTestColumn(FTable->GetColumns(), u"n", dtInteger);
    AddTestIndex(FTable, u"ById", itPrimaryKey, {u"id"});
  }

  TORVBaseTable* Table() const { return FTable; }

  TORVTableManager& Open() {
    FManager = static_cast<TORVTableManager*>(FSession.Managers.Open(FTable, ltShared));
    FRow = FManager->CreateNewRow();
    FValues = std::make_unique<TORVRowsetRowValues>(FManager->RowsetManager(), FSession.CharacterSet());
    FValues->SetRow(FRow.get());
    return *FManager;
  }

  // Act runs with the session's helpers turned to this table.
  template <typename TAct>
  void Use(TAct Act) {
    Swap();
    struct TBack {
      TOtherTable* Other;
      ~TBack() { Other->Swap(); }
    } Back{this};
    Act();
  }

 private:
  void Swap() {
    std::swap(FSession.Table, FTable);
    std::swap(FSession.Manager, FManager);
    std::swap(FSession.Row, FRow);
    std::swap(FSession.Values, FValues);
  }

  TTableConnection& FSession;
  TORVBaseTable* FTable = nullptr;
  TORVTableManager* FManager = nullptr;
  std::unique_ptr<TORVRowsetRow> FRow;
  std::unique_ptr<TORVRowsetRowValues> FValues;
};

}  // namespace orv::test
