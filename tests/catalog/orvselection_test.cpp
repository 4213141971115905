#include "catalog/orvselection.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "catalog/orvschema.h"
#include "core/orvtypefunc.h"

namespace orv {
namespace {

// An object that records the statement each action asks of it; its
// dependents are the objects that reference it.
class TScripted : public TORVConfigObject {
 public:
  TScripted() = default;
  TScripted(const TORVString& Name, int32_t ID, const TORVString& Body = u"") : Body(Body) {
    SetName(Name);
    SetID(ID);
  }

  TORVString GetTypeName() const override { return u"thing"; }
  void SetDependencies() override {
    for (TORVConfigObject* Referrer : Referrers) GetDependencies()->Add(Referrer);
  }
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override {
    TORVConfigObject::Assign(FromObject, CopyReferences);
    Body = static_cast<TScripted*>(FromObject)->Body;
  }
  void BuildAlterSQL(int32_t Action, TORVConfigObject* Target, char16_t StatementTerminator) override {
    static const char16_t* const Words[] = {u"CREATE", u"ALTER", u"DROP"};
    AlterSQL.clear();
    if (Action == 1 && static_cast<TScripted*>(Target)->Body == Body) return;
    AlterSQL = TORVString(Words[Action]) + u" " + GetName() + StatementTerminator;
  }
  TORVString GetAlterSQL() override { return AlterSQL; }
  // Z references Y: Y lists Z among the objects that depend on it.
  void ReferencedBy(TORVConfigObject* Referrer) { Referrers.push_back(Referrer); }

  TORVString Body;
  TORVString AlterSQL;
  std::vector<TORVConfigObject*> Referrers;
};

// Selects the objects of Pool that are not hidden, and copies them.
class TPicked : public TORVSelectedConfigObjects {
 public:
  void SelectObjects() override {
    for (TScripted* Object : Pool) Object->AddObjects(*this);
  }
  TORVConfigObject* CopyObject(TORVConfigObject* /*Object*/) override { return new TScripted(); }

  std::vector<TScripted*> Pool;
};

std::vector<TORVString> Names(TORVConfigObjects& List) {
  std::vector<TORVString> Result;
  for (int32_t Index = 0; Index < List.GetCount(); ++Index) Result.push_back(List.GetObjects(Index)->GetName());
  return Result;
}

std::vector<TORVString> Statements(TORVConfigObjects& List) {
  std::vector<TORVString> Result;
  for (int32_t Index = 0; Index < List.GetCount(); ++Index) Result.push_back(List.GetObjects(Index)->GetAlterSQL());
  return Result;
}

TEST(Selection, BuildPutsEveryObjectAfterTheObjectsItReferences) {
  struct TCase {
    const char* Name;
    // Edges (referrer, referenced) over objects named by their IDs 1-3.
    std::vector<std::pair<int32_t, int32_t>> References;
    std::vector<TORVString> Expected;
  };
  const std::vector<TCase> Cases = {
      // Z (1) references Y (2), Y references X (3).
      {"chain against the IDs", {{1, 2}, {2, 3}}, {u"O3", u"O2", u"O1"}},
      {"no references", {}, {u"O1", u"O2", u"O3"}},
      // 2 and 3 reference each other and are both ordered in the first
      // pass; 1 references 3 and waits for it (as a cycle it would come first).
      {"mutual reference", {{1, 3}, {2, 3}, {3, 2}}, {u"O2", u"O3", u"O1"}},
      // Each references the next: the cycle rule orders all three by ID.
      {"three-object cycle", {{1, 2}, {2, 3}, {3, 1}}, {u"O1", u"O2", u"O3"}},
      // 3 references the cycle of 1 and 2 and comes after it.
      {"after a cycle", {{3, 1}, {1, 2}, {2, 1}}, {u"O1", u"O2", u"O3"}},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    std::vector<std::unique_ptr<TScripted>> Objects;
    TPicked Selection;
    // Added out of ID order: Build sorts by ID first.
    for (int32_t ID : {3, 1, 2}) {
      Objects.push_back(std::make_unique<TScripted>(u"O" + TORVString(1, char16_t(u'0' + ID)), ID));
    }
    auto ByID = [&](int32_t ID) {
      for (auto& Object : Objects)
        if (Object->GetID() == ID) return Object.get();
      return static_cast<TScripted*>(nullptr);
    };
    for (const auto& [Referrer, Referenced] : Case.References) ByID(Referenced)->ReferencedBy(ByID(Referrer));
    for (auto& Object : Objects) Selection.Pool.push_back(Object.get());
    Selection.Build();
    EXPECT_EQ(Names(Selection), Case.Expected);
    EXPECT_TRUE(Selection.GetBuilt());
  }
}

TEST(Selection, AHiddenObjectIsNeverSelectedAndABuiltSelectionIsKeptUntilCleared) {
  TScripted Shown(u"Shown", 1);
  TScripted Hidden(u"Hidden", 2);
  Hidden.SetHidden(true);
  TPicked Selection;
  Selection.Pool = {&Shown, &Hidden};
  Selection.Build();
  EXPECT_EQ(Names(Selection), (std::vector<TORVString>{u"Shown"}));
  Hidden.SetHidden(false);
  Selection.Build();
  EXPECT_EQ(Selection.GetCount(), 1);
  Selection.Clear();
  EXPECT_FALSE(Selection.GetBuilt());
  Selection.Build();
  EXPECT_EQ(Selection.GetCount(), 2);
}

TEST(Selection, SortsAndDuplicateRemoval) {
  TScripted A(u"beta", 2), B(u"Alpha ", 1), C(u"alpha", 1), D(u"gamma", 2), E(u"Delta", 2);
  TORVSelectedConfigObjects List;
  for (TScripted* Object : {&A, &B, &C, &D, &E}) List.Add(Object);
  List.SortByID();
  List.RemoveDuplicates();
  ASSERT_EQ(List.GetCount(), 2);
  EXPECT_EQ(List.GetConfigObject(0)->GetID(), 1);
  EXPECT_EQ(List.GetConfigObject(1)->GetID(), 2);
  List.Clear();
  for (TScripted* Object : {&A, &E, &D}) List.Add(Object);
  List.SortByName();
  EXPECT_EQ(Names(List), (std::vector<TORVString>{u"beta", u"Delta", u"gamma"}));
}

class Difference : public ::testing::Test {
 protected:
  // Source: X <- Y <- Z (Z references Y, Y references X), and W.
  void SetUp() override {
    for (auto* Object : {&X, &Y, &Z, &W}) Source.Pool.push_back(Object);
    X.ReferencedBy(&Y);
    Y.ReferencedBy(&Z);
  }

  TScripted X{u"X", 4, u"x"}, Y{u"Y", 2, u"y"}, Z{u"Z", 1, u"z"}, W{u"W", 3, u"w"};
  TPicked Source;
  TPicked Target;
  TORVConfigObjectsDifference Diff;
};

TEST_F(Difference, IdenticalSelectionsGiveAnEmptyDifference) {
  TScripted X2{u"x", 14, u"x"}, Y2{u"Y", 12, u"y"}, Z2{u"z", 11, u"z"}, W2{u"W", 13, u"w"};
  Target.Pool = {&X2, &Y2, &Z2, &W2};
  Diff.Build(Source, Target, u';');
  EXPECT_EQ(Diff.GetCount(), 0);
  EXPECT_EQ(Diff.GetNewObjectCount(), 0);
}

TEST_F(Difference, CreationsAndAlterationsInTargetOrderThenDropsInReverseSourceOrder) {
  // The target keeps W (changed) and adds V; X, Y and Z are gone.
  TScripted W2{u"W", 13, u"changed"}, V{u"V", 15, u"v"}, Hidden{u"H", 16, u"h"};
  Hidden.SetHidden(true);
  Target.Pool = {&W2, &V, &Hidden};
  Diff.Build(Source, Target, u';');
  EXPECT_EQ(Statements(Diff), (std::vector<TORVString>{u"ALTER W;", u"CREATE V;", u"DROP Z;", u"DROP Y;", u"DROP X;"}));
  // The creation is a copy the difference owns; the rest belong to the source.
  EXPECT_NE(Diff.GetConfigObject(1), &V);
  EXPECT_EQ(Diff.GetNewObjectCount(), 1);
  EXPECT_EQ(Diff.GetConfigObject(0), &W);
  Diff.Clear();
  EXPECT_EQ(Diff.GetCount(), 0);
  EXPECT_EQ(Diff.GetNewObjectCount(), 0);
  // Built again from scratch, and the copies of a difference left built are
  // freed with it (the sanitizer checks the leak).
  Source.Clear();
  Target.Clear();
  Diff.Build(Source, Target, u';');
  EXPECT_EQ(Diff.GetNewObjectCount(), 1);
}

TEST(InformationTables, SelectionsDifferencesAndDependenciesDescribeTheirTables) {
  struct TCase {
    const TORVConfigObjectsClass& Class;
    const char16_t* Table;
    size_t Columns;
    size_t Indexes;
  };
  for (const TCase& Case : {TCase{SelectedConfigObjectsClass(), u"ConfigObjects", 8, 4},
                            TCase{ConfigObjectsDifferenceClass(), u"ConfigDifference", 5, 4},
                            TCase{DependenciesClass(), u"Dependencies", 8, 8},
                            TCase{SchemaObjectsClass(), u"SchemaObjects", 8, 4},
                            TCase{SchemaDifferenceClass(), u"SchemaDifference", 5, 4}}) {
    EXPECT_EQ(TORVString(Case.Class.TableName), Case.Table);
    EXPECT_EQ(Case.Class.Description->Columns.size(), Case.Columns);
    EXPECT_EQ(Case.Class.Description->Indexes.size(), Case.Indexes);
    for (const TORVTableIndexDef& Index : Case.Class.Description->Indexes)
      EXPECT_EQ(TORVString(Index.Name),
                TORVString(Case.Class.Description->Columns[static_cast<size_t>(Index.Positions[0] - 1)].Name));
    std::unique_ptr<TORVConfigObjects> Made(Case.Class.Create(nullptr));
    EXPECT_FALSE(Made->GetOwnsObjects());
  }
  const auto& Dependents = DependenciesClass().Description->Columns;
  EXPECT_EQ(Dependents[7].Length, 80);
  EXPECT_EQ(Dependents[5].Length, 15);
  EXPECT_EQ(ConfigObjectsDifferenceClass().Description->Columns[4].DataType, dtLargeObject);
}

}  // namespace
}  // namespace orv
