// Damaged configuration and catalog streams: every load of a cut or
// overwritten stream either succeeds or raises an engine exception; it
// never crashes, allocates without bound, or throws anything else.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <random>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

#include "base/orverror.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvconstraint.h"
#include "catalog/orvdatatype.h"
#include "catalog/orvindexes.h"
#include "catalog/orvjob.h"
#include "catalog/orvmodule.h"
#include "catalog/orvprivilege.h"
#include "catalog/orvroutine.h"
#include "catalog/orvschema.h"
#include "catalog/orvstore.h"
#include "catalog/orvtable.h"
#include "catalog/orvtextfilter.h"
#include "catalog/orvtrigger.h"
#include "catalog/orvuser.h"
#include "catalog/orvwordgen.h"
#include "core/orvstream.h"
#include "core/orvtypefunc.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/catalog/orvcompilingcatalog.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvrowfakes.h"

namespace orv {
namespace {

// Loads the stream into a fresh object and uses what it loaded.
using TLoader = std::function<void(TORVMemoryStream&)>;

// Loads Bytes through Load; empty when the load succeeded or raised an
// engine exception, else what went wrong.
std::string LoadFault(const TORVBytes& Bytes, const TLoader& Load) {
  TORVMemoryStream Stream(CharacterSetUnicode);
  if (!Bytes.empty()) Stream.Write(Bytes, 0, static_cast<int32_t>(Bytes.size()));
  Stream.SetPosition(0);
  try {
    Load(Stream);
  } catch (const EORVBaseException&) {
    return {};
  } catch (const std::bad_alloc&) {
    return "std::bad_alloc";
  } catch (const std::exception& E) {
    return std::string(typeid(E).name()) + ": " + E.what();
  } catch (...) {
    return "an unknown exception";
  }
  return {};
}

// The words a damaged or hostile file most likely holds where a count, a
// length, an ID or a type code belongs.
constexpr uint32_t ExtremeWords[] = {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu, 0x00FFFFFFu,
                                     0x0000FFFFu, 0xFFFFFFFEu, 0x00010000u, 0x00000100u};

// How many damaged copies of each kind one stream gets: every part of the
// stream is reached while the sanitized debug build stays within seconds.
constexpr int32_t CutLoads = 400;
constexpr int32_t WordLoads = 1200;
constexpr int32_t FlipLoads = 400;

// An odd step, so that overwritten words fall on every alignment.
int32_t Step(std::size_t Size, int32_t Loads) { return std::max<int32_t>(1, static_cast<int32_t>(Size) / Loads) | 1; }

// Cuts, overwrites and flips Good in many deterministic ways and loads each
// result; collects the first faults with the damage that caused them.
std::vector<std::string> Faults(const TORVBytes& Good, const TLoader& Load) {
  std::vector<std::string> Found;
  auto Check = [&](const TORVBytes& Damaged, const std::string& How) {
    if (Found.size() >= 8) return;
    const std::string Fault = LoadFault(Damaged, Load);
    if (!Fault.empty()) Found.push_back(How + ": " + Fault);
  };
  const auto Size = static_cast<int32_t>(Good.size());
  for (int32_t Cut = 0; Cut < Size; Cut += Step(Good.size(), CutLoads))
    Check(TORVBytes(Good.begin(), Good.begin() + Cut), "cut at " + std::to_string(Cut));
  std::size_t Next = 0;
  for (int32_t Offset = 0; Offset + 4 <= Size; Offset += Step(Good.size(), WordLoads)) {
    TORVBytes Damaged = Good;
    const uint32_t Word = ExtremeWords[Next++ % std::size(ExtremeWords)];
    std::memcpy(Damaged.data() + Offset, &Word, sizeof Word);
    Check(Damaged, "word " + std::to_string(Word) + " at " + std::to_string(Offset));
  }
  std::mt19937 Random(20261211);
  std::uniform_int_distribution<int32_t> Position(0, Size - 1);
  std::uniform_int_distribution<int32_t> Mask(1, 255);
  for (int32_t Flip = 0; Flip < FlipLoads; ++Flip) {
    TORVBytes Damaged = Good;
    const int32_t At = Position(Random);
    Damaged[static_cast<std::size_t>(At)] ^= static_cast<uint8_t>(Mask(Random));
    Check(Damaged, "flip at " + std::to_string(At));
  }
  return Found;
}

TORVBytes Saved(TORVConfigObject& Object) {
  TORVMemoryStream Stream(CharacterSetUnicode);
  Object.Save(Stream, false);
  return StreamBytes(Stream);
}

// What the engine does with an object it loaded: writes it back, checks
// it, scripts it and compiles it. Damage may be refused by an engine error
// at each step, but must not reach memory that is gone, and every list of
// the tree keeps its invariants after the load and after each step.
void UseLoaded(TORVConfigObject& Loaded) {
  Loaded.CheckInvariants();
  Saved(Loaded);
  const std::function<void()> Uses[] = {[&] { Loaded.Validate(); },
                                        [&] { (void)Loaded.GetCreateSQL(true, false, false); },
                                        [&] { Loaded.Compile(); }};
  for (const std::function<void()>& Use : Uses) {
    try {
      Use();
    } catch (const EORVBaseException&) {
      // Refused as damage: the next use still has to cope.
    }
    Loaded.CheckInvariants();
  }
}

// A compiled catalog with tables of many column types, defaulted, computed
// and generated columns, a primary key, a unique index, a text index, a
// foreign key, a check constraint, a trigger, a view, a procedure, a
// function and privileges granted to a user.
class CorruptCatalogStream : public ::testing::Test, protected test::TCompilingCatalog {
 protected:
  CorruptCatalogStream() {
    TORVUser* Reader = test::NewUser(*Config, u"Reader");
    TORVBaseTable* Parent = test::NewTable(*Catalog, u"parent");
    AddTestColumn(Parent->GetColumns(), u"a", dtInteger);
    AddTestColumn(Parent->GetColumns(), u"name", dtCharacter, stVarChar, 40);
    AddTestColumn(Parent->GetColumns(), u"price", dtDecimal, 0, 12);
    AddTestColumn(Parent->GetColumns(), u"born", dtDate);
    AddTestColumn(Parent->GetColumns(), u"seen", dtTimeStamp);
    AddTestColumn(Parent->GetColumns(), u"flag", dtBoolean);
    AddTestColumn(Parent->GetColumns(), u"data", dtLargeObject, stClob);
    AddTestColumn(Parent->GetColumns(), u"ratio", dtFloat);
    TORVConstraint* Key = AddConstraint(Parent, u"pk", ctPrimaryKey, u"a");
    test::AddTestIndex(Parent, u"pk", itPrimaryKey, {u"a"});
    test::AddTestIndex(Parent, u"byname", itUnique, {u"name", u"born"}, {false, true});
    test::AddTestIndex(Parent, u"words", itTextIndex, {u"data"});

    TORVBaseTable* Child = test::NewTable(*Catalog, u"child");
    AddTestColumn(Child->GetColumns(), u"a", dtInteger);
    AddTestColumn(Child->GetColumns(), u"note", dtCharacter, stChar, 8);
    AddTestColumn(Child->GetColumns(), u"big", dtBigInt);
    TORVColumn* Counted = AddTestColumn(Child->GetColumns(), u"counted", dtInteger);
    Counted->SetDefaulted(true);
    Counted->GetDefaultExpr()->SetExpression(u"0");
    TORVColumn* Twice = AddTestColumn(Child->GetColumns(), u"twice", dtBigInt);
    Twice->SetComputed(true);
    Twice->GetComputeExpr()->SetExpression(u"big * 2");
    TORVColumn* Stamp = AddTestColumn(Child->GetColumns(), u"stamp", dtTimeStamp);
    Stamp->SetGenerated(true);
    Stamp->GetGenerateExpr()->SetExpression(u"CURRENT_TIMESTAMP");
    TORVConstraint* Foreign = AddConstraint(Child, u"fk", ctForeignKey, u"a");
    Foreign->SetTargetTable(Parent);
    Foreign->SetTargetTableConstraint(Key);
    Foreign->SetDeleteAction(caCascade);
    auto* Target = static_cast<TORVTargetTableColumn*>(Foreign->GetTargetTableColumns()->GetNewObject());
    Target->SetTargetColumn(static_cast<TORVColumn*>(Parent->GetColumns().FindByName(u"a", true)));
    Foreign->GetTargetTableColumns()->Add(Target);
    auto* Link = static_cast<TORVSourceConstraint*>(Key->GetSourceConstraints()->GetNewObject());
    Link->SetSourceTable(Child);
    Link->SetSourceTableConstraint(Foreign);
    Key->GetSourceConstraints()->Add(Link);
    AddConstraint(Child, u"positive", ctCheck, nullptr)->GetCheckExpr()->SetExpression(u"a > 0");
    test::AddTestIndex(Child, u"fk", itForeignKey, {u"a"});

    auto* Trigger = static_cast<TORVTrigger*>(Child->GetTriggers().GetNewObject());
    Trigger->SetName(u"stamp");
    Trigger->SetActionTime(taBefore);
    Trigger->SetActionType(tyInsert);
    Trigger->GetDefinition()->SetExpression(u"TRIGGER \"stamp\"\r\nBEGIN END");
    Child->GetTriggers().Add(Trigger);

    TORVSchema& Default = *Catalog->GetDefaultSchema();
    std::unique_ptr<TORVView> View(static_cast<TORVView*>(Default.GetViews().GetNewObject(nullptr)));
    View->SetName(u"names");
    View->GetDefinition().SetExpression(u"SELECT a, name FROM parent");
    Default.GetViews().Add(View.get());
    View.release()->GrantDefaultPrivileges();

    test::AddRoutine(*Catalog, Default.GetProcedures(), u"p", u"PROCEDURE p () BEGIN END", {});
    test::AddRoutine(*Catalog, Default.GetFunctions(), u"f",
                     u"FUNCTION f (IN x INTEGER) RETURNS INTEGER BEGIN RETURN x; END", {{rpInput, u"x", dtInteger}},
                     dtInteger);

    Parent->GrantPrivilege(Config->GetSystemUser(), Reader, PrivilegeSelect);
    Child->GrantPrivilege(Config->GetSystemUser(), Config->GetPublicRole(), PrivilegeSelect);
    Catalog->Compile();
  }

  static TORVConstraint* AddConstraint(TORVBaseTable* Table, const TORVString& Name, int32_t Type,
                                       const char16_t* ColumnName) {
    auto* Constraint = static_cast<TORVConstraint*>(Table->GetConstraints().GetNewObject());
    Constraint->SetName(Name);
    Constraint->SetConstraintType(Type);
    if (ColumnName != nullptr) {
      auto* Member = static_cast<TORVConstraintColumn*>(Constraint->GetConstraintColumns()->GetNewObject());
      Member->SetColumn(static_cast<TORVColumn*>(Table->GetColumns().FindByName(ColumnName, true)));
      Constraint->GetConstraintColumns()->Add(Member);
    }
    Table->GetConstraints().Add(Constraint);
    return Constraint;
  }

  TLoader LoadIntoNewCatalog() {
    return [this](TORVMemoryStream& Stream) {
      TORVCatalog Loaded(Config.get());
      Loaded.Load(Stream);
      UseLoaded(Loaded);
    };
  }

  TORVBytes Good() { return Saved(*Catalog); }
};

TEST_F(CorruptCatalogStream, TheUndamagedStreamLoadsWhole) {
  const TORVBytes Good = this->Good();
  TORVMemoryStream Stream(CharacterSetUnicode);
  Stream.Write(Good, 0, static_cast<int32_t>(Good.size()));
  Stream.SetPosition(0);
  TORVCatalog Loaded(Config.get());
  Loaded.Load(Stream);
  EXPECT_EQ(Stream.GetAvailable(), 0);
  EXPECT_EQ(Saved(Loaded), Good);
}

// The catalog's check reaches every list of the tree: a key column out of
// its place in an index of a table of a schema is caught from the root.
TEST_F(CorruptCatalogStream, AListCorruptedDeepInTheTreeIsCaughtFromTheRoot) {
  Catalog->CheckInvariants();
  auto* Parent = static_cast<TORVBaseTable*>(Catalog->GetDefaultSchema()->GetBaseTables().FindByName(u"parent", true));
  auto* Index = static_cast<TORVIndex*>(Parent->GetIndexes().FindByName(u"byname", true));
  TORVConfigObject* Second = Index->GetIndexColumns()->GetObjects(1);
  Second->SetPosition(0);
  EXPECT_THROW(Catalog->CheckInvariants(), std::logic_error);
  Second->SetPosition(1);
  Catalog->CheckInvariants();
}

TEST_F(CorruptCatalogStream, CutOrOverwrittenStreamsLoadOrRaiseAnEngineError) {
  const std::vector<std::string> Found = Faults(Good(), LoadIntoNewCatalog());
  EXPECT_TRUE(Found.empty()) << ::testing::PrintToString(Found);
}


// Where Pattern's bytes first stand in Bytes at or after From, plus Skip.
std::size_t OffsetOf(const TORVBytes& Bytes, const void* Pattern, std::size_t Size, std::size_t Skip = 0,
                     std::size_t From = 0) {
  const auto* First = static_cast<const uint8_t*>(Pattern);
  const auto Found = std::search(Bytes.begin() + static_cast<std::ptrdiff_t>(From), Bytes.end(), First, First + Size);
  EXPECT_NE(Found, Bytes.end());
  return Found == Bytes.end() ? 0 : static_cast<std::size_t>(Found - Bytes.begin()) + Skip;
}

// A column's slot size adds up to its table's row size and a text index's
// word length makes its key size: stored values no column or index can have
// are refused before they are used.
TEST_F(CorruptCatalogStream, StoredSizesNoObjectCanHaveAreMetadataErrors) {
  const TORVBytes Good = this->Good();
  // The VARCHAR(40) column's type, subtype and length; its size follows.
  const int32_t ColumnHeader[] = {dtCharacter, stVarChar, 40};
  const std::size_t SizeAt = OffsetOf(Good, ColumnHeader, sizeof ColumnHeader, sizeof ColumnHeader);
  // The text index's name, then its default word length.
  const TORVString TextIndexName = u"words";
  const int32_t WordLength = DefaultTextWordLength;
  const std::size_t WordLengthAt = OffsetOf(Good, &WordLength, sizeof WordLength, 0,
                                            OffsetOf(Good, TextIndexName.data(), TextIndexName.size() * 2));
  struct TCase {
    std::size_t At;
    int32_t Value;
    const char* Error;
  };
  const TCase Cases[] = {{SizeAt, 0x7FFFFFFF, "The size is above the maximum of 1024"},
                         {SizeAt, 2049, "The size is above the maximum of 1024"},
                         {SizeAt, -1, "The size is below the minimum of 1"},
                         {SizeAt, static_cast<int32_t>(0x80000000u), "The size is below the minimum of 1"},
                         {WordLengthAt, 0x70000000, "The word size is above the maximum of 1024"},
                         {WordLengthAt, 1025, "The word size is above the maximum of 1024"},
                         {WordLengthAt, 0, "The word size is below the minimum of 1"},
                         {WordLengthAt, -5, "The word size is below the minimum of 1"}};
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(std::to_string(Case.Value) + " at " + std::to_string(Case.At));
    TORVBytes Damaged = Good;
    std::memcpy(Damaged.data() + Case.At, &Case.Value, sizeof Case.Value);
    TORVMemoryStream Stream(CharacterSetUnicode);
    Stream.Write(Damaged, 0, static_cast<int32_t>(Damaged.size()));
    Stream.SetPosition(0);
    TORVCatalog Loaded(Config.get());
    const std::string Error = test::ErrorOf([&] { Loaded.Load(Stream); });
    EXPECT_EQ(Error.substr(0, 4), "100 ") << Error;
    EXPECT_NE(Error.find(Case.Error), std::string::npos) << Error;
  }
}

// The stream holds the Default schema alone; loading frees the schemas it
// does not hold by ID. Whatever count or ID a damaged stream gives, the
// catalog's Default schema stays one of its live schemas, also when the
// catalog held the undamaged catalog before.
TEST_F(CorruptCatalogStream, TheDefaultSchemaSurvivesADamagedSchemaCountOrID) {
  const TORVBytes Good = this->Good();
  // The version, the last ID, then the schema count and the first schema's ID.
  constexpr std::size_t CountAt = 12;
  constexpr std::size_t IDAt = 16;
  auto With = [&](std::size_t At, int32_t Value, std::size_t Size) {
    TORVBytes Damaged(Good.begin(), Good.begin() + static_cast<std::ptrdiff_t>(Size));
    std::memcpy(Damaged.data() + At, &Value, sizeof Value);
    return Damaged;
  };
  struct TCase {
    const char* Name;
    TORVBytes Bytes;
    int32_t Tables;  // of the Default schema after the load
  };
  const TCase Cases[] = {{"no schema stored", With(CountAt, 0, CountAt + 4), 0},
                         {"the schema under another ID", With(IDAt, 77, Good.size()), 2}};
  for (const TCase& Case : Cases) {
    for (const bool HeldGood : {false, true}) {
      SCOPED_TRACE(std::string(Case.Name) + (HeldGood ? ", over the undamaged catalog" : ""));
      TORVCatalog Loaded(Config.get());
      TORVMemoryStream Stream(CharacterSetUnicode);
      if (HeldGood) {
        Stream.Write(Good, 0, static_cast<int32_t>(Good.size()));
        Stream.SetPosition(0);
        Loaded.Load(Stream);
        Stream.SetSize(0);
      }
      Stream.Write(Case.Bytes, 0, static_cast<int32_t>(Case.Bytes.size()));
      Stream.SetPosition(0);
      Loaded.Load(Stream);
      ASSERT_EQ(Loaded.GetSchemas().GetCount(), 2);
      EXPECT_EQ(Loaded.GetSchemas().GetObjects(1), Loaded.GetDefaultSchema());
      EXPECT_EQ(Loaded.GetDefaultSchema()->GetName(), u"Default");
      EXPECT_EQ(Loaded.GetDefaultSchema()->GetBaseTables().GetCount(), Case.Tables);
    }
  }
}

// A configuration with users, a role, a database, a store, a job, a
// module, a text filter and a word generator.
class CorruptConfigStream : public ::testing::Test {
 protected:
  CorruptConfigStream() : Config(test::NewRoot()) {
    TORVUser* Owner = test::NewUser(*Config, u"Owner");
    test::NewUser(*Config, u"Guest");
    TORVRole* Staff = test::NewRole(*Config, u"Staff");
    Owner->GrantRole(Config->GetSystemUser(), Staff);
    test::NewDatabase(*Config, u"Sales", Owner);

    std::unique_ptr<TORVStore> Store(
        static_cast<TORVStore*>(Config->GetStores().CreateObject(Config->GetAdminUser())));
    Store->SetName(u"Backups");
    Store->SetLockSlot(Config->GetNewStoreLockSlot());
    Config->GetStores().Add(Store.release());

    auto Job = std::make_unique<TORVJob>(Config.get());
    Job->SetName(u"Nightly");
    Job->SetRunUserName(u"Owner");
    Job->SetLockSlot(Config->GetNewJobLockSlot());
    Config->GetJobs().Add(Job.release());

    auto Module = std::make_unique<TORVModule>(Config.get());
    Module->SetName(u"Filters");
    Module->SetPath(u"filters.so");
    Module->SetLockSlot(Config->GetNewModuleLockSlot());
    Config->GetModules().Add(Module.release());
    auto Filter = std::make_unique<TORVTextFilter>(Config.get());
    Filter->SetName(u"Pages");
    Filter->SetModuleName(u"Filters");
    Filter->SetFilterType(u"HTML");
    Config->GetTextFilters().Add(Filter.release());
    auto Generator = std::make_unique<TORVWordGenerator>(Config.get());
    Generator->SetName(u"Stems");
    Config->GetWordGenerators().Add(Generator.release());
  }

  TORVBytes Good() { return Saved(*Config); }

  static void LoadIntoNewConfig(TORVMemoryStream& Stream) {
    auto Loaded = test::NewRoot();
    Loaded->Load(Stream);
    UseLoaded(*Loaded);
  }

  std::unique_ptr<TORVConfig> Config;
};

TEST_F(CorruptConfigStream, TheUndamagedStreamLoadsWhole) {
  const TORVBytes Good = this->Good();
  TORVMemoryStream Stream(CharacterSetUnicode);
  Stream.Write(Good, 0, static_cast<int32_t>(Good.size()));
  Stream.SetPosition(0);
  auto Loaded = test::NewRoot();
  Loaded->Load(Stream);
  EXPECT_EQ(Stream.GetAvailable(), 0);
  EXPECT_EQ(Saved(*Loaded), Good);
}

TEST_F(CorruptConfigStream, CutOrOverwrittenStreamsLoadOrRaiseAnEngineError) {
  const std::vector<std::string> Found = Faults(Good(), LoadIntoNewConfig);
  EXPECT_TRUE(Found.empty()) << ::testing::PrintToString(Found);
}


}  // namespace
}  // namespace orv
