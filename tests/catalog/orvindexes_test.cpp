#include "catalog/orvindexes.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "catalog/orvcatalog.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvconfig.h"
#include "catalog/orvschema.h"
#include "catalog/orvmodule.h"
#include "catalog/orvtable.h"
#include "catalog/orvtextfilter.h"
#include "catalog/orvwordgen.h"
#include "core/orvenv.h"
#include "core/orvliteral.h"
#include "core/orvstream.h"
#include "core/orvtypefunc.h"
#include "core/orvwords.h"
#include "sql/orvexprtoken.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/support/orverrortext.h"

namespace orv {
namespace {

struct TKeyColumn {
  const char16_t* Name;
  bool Descending = false;
};

// A catalog of one base table t (with "__RowID") in a configuration of the
// given character set.
class IndexFixture : public ::testing::Test {
 protected:
  void MakeCatalog(int32_t CharacterSet, TORVCurrency Version = EngineCatalogVersion) {
    Config = test::NewRoot(CharacterSet);
    Catalog = std::make_unique<TORVCatalog>(Config.get());
    Catalog->SetVersion(Version);
    Table = test::NewTable(*Catalog, u"t");
  }
  void SetUp() override { MakeCatalog(CharacterSetAnsi); }
  void TearDown() override {
    Catalog.reset();
    Config.reset();
  }

  TORVColumn* Column(const TORVString& Name, int32_t DataType, int32_t SubType = 0, int32_t Length = 0) {
    return AddTestColumn(Table->GetColumns(), Name, DataType, SubType, Length);
  }

  // A new index of IndexType over the named columns, not yet in the table.
  std::unique_ptr<TORVIndex> NewIndex(const TORVString& Name, int32_t IndexType, std::initializer_list<TKeyColumn> Keys) {
    std::unique_ptr<TORVIndex> Index(static_cast<TORVIndex*>(Table->GetIndexes().GetNewObject()));
    Index->SetName(Name);
    Index->SetIndexType(IndexType);
    for (const TKeyColumn& Key : Keys) {
      TORVIndexColumns& KeyColumns = *Index->GetIndexColumns();
      std::unique_ptr<TORVIndexColumn> KeyColumn(static_cast<TORVIndexColumn*>(KeyColumns.GetNewObject()));
      KeyColumn->SetSourceColumn(static_cast<TORVColumn*>(Table->GetColumns().FindByName(Key.Name, true)));
      KeyColumn->SetDescending(Key.Descending);
      KeyColumns.Add(KeyColumn.get());
      KeyColumn.release();
    }
    return Index;
  }

  // Validates and adds the index; the error text when that fails, else an
  // empty text.
  std::string Add(std::unique_ptr<TORVIndex>& Index) {
    const std::string Error = test::ErrorOf([&] { Table->GetIndexes().Add(Index.get()); });
    if (Error != "no error") return Error;
    Index.release();
    return "";
  }

  TORVIndex* AddIndex(const TORVString& Name, int32_t IndexType, std::initializer_list<TKeyColumn> Keys) {
    std::unique_ptr<TORVIndex> Index = NewIndex(Name, IndexType, Keys);
    TORVIndex* Added = Index.get();
    const std::string Error = Add(Index);
    EXPECT_EQ(Error, "");
    return Added;
  }

  std::unique_ptr<TORVConfig> Config;
  std::unique_ptr<TORVCatalog> Catalog;
  TORVBaseTable* Table = nullptr;
};

// ---------------------------------------------------------------------------
// Key and page sizes, validation

TEST_F(IndexFixture, TextIndexKeyFollowsTheWordLengthInTheCatalogsCharacterSet) {
  MakeCatalog(CharacterSetUnicode);
  Column(u"body", dtCharacter, stVarChar, 200);
  TORVIndex* Index = AddIndex(u"words", itTextIndex, {{u"body"}});
  EXPECT_EQ(Index->GetIndexColumns()->GetKeySize(), 63);
  EXPECT_EQ(Index->GetIndexColumns()->GetRequiredPageSize(), 304);
  // A text key column takes the column's collation, case-insensitive.
  EXPECT_TRUE(GetLocaleFlag(Index->GetIndexColumns()->GetIndexColumn(0)->GetCollation(), CollationCaseInsensitiveBit));
  Index->SetTextWordLength(10);
  EXPECT_EQ(Index->GetIndexColumns()->GetKeySize(), 23);
  EXPECT_EQ(Index->GetIndexColumns()->GetRequiredPageSize(), 144);
}

// A key column goes by its table column's name, found in any case.
TEST_F(IndexFixture, KeyColumnsAreFoundByTheirColumnsNames) {
  Column(u"n", dtInteger);
  Column(u"Amount", dtInteger);
  TORVIndexColumns& Keys = *AddIndex(u"i", itIndex, {{u"n"}, {u"Amount"}})->GetIndexColumns();
  EXPECT_EQ(Keys.FindByName(u"AMOUNT", false), Keys.GetIndexColumn(1));
  EXPECT_EQ(Keys.FindByName(u"N", false), Keys.GetIndexColumn(0));
  EXPECT_EQ(Keys.FindByName(u"i", false), nullptr);
}

TEST_F(IndexFixture, NormalIndexNeedsAnIndexPageThatHoldsFourKeys) {
  Column(u"n", dtInteger);
  Column(u"name", dtCharacter, stVarChar, 20);
  Table->SetIndexPageSize(160);
  std::unique_ptr<TORVIndex> Index = NewIndex(u"i", itIndex, {{u"n"}, {u"name"}});
  EXPECT_EQ(Add(Index),
            "100 There is an error in the metadata for the index i in the table t (The index page size is below the "
            "required of 168)");
  EXPECT_EQ(Index->GetIndexColumns()->GetKeySize(), 28);
  EXPECT_EQ(Index->GetIndexColumns()->GetRequiredPageSize(), 168);
  EXPECT_EQ(Table->GetIndexes().GetCount(), 0);

  Table->SetIndexPageSize(168);
  EXPECT_EQ(Add(Index), "");
  EXPECT_EQ(Table->GetIndexes().GetCount(), 1);
}

TEST_F(IndexFixture, SetKeySizeRecomputesTheRequiredPageSize) {
  Column(u"n", dtInteger);
  TORVIndexColumns& Keys = *AddIndex(u"i", itIndex, {{u"n"}})->GetIndexColumns();
  EXPECT_EQ(Keys.GetRequiredPageSize(), 72);
  Keys.SetKeySize(83);
  EXPECT_EQ(Keys.GetRequiredPageSize(), 384);
}

TEST_F(IndexFixture, TextIndexSettingsAreValidated) {
  Column(u"body", dtCharacter, stVarChar, 100);
  Column(u"kind", dtCharacter, stChar, 10);
  Column(u"n", dtInteger);
  Column(u"data", dtLargeObject, stBlob);
  // Room for the longest words.
  Table->SetIndexPageSize(8192);
  struct TCase {
    int32_t WordLength;
    const char16_t* FilterColumn;
    std::string Detail;
  } Cases[] = {
      {0, nullptr, "The word size is below the minimum of 1"},
      {1025, nullptr, "The word size is above the maximum of 1024"},
      {1, nullptr, ""},
      {1024, nullptr, ""},
      {30, u"kind", ""},
      {30, u"n", "The text filter type column must be a CHAR column"},
  };
  int32_t Number = 0;
  for (const TCase& Case : Cases) {
    std::unique_ptr<TORVIndex> Index = NewIndex(u"x" + IntToString(Number++), itTextIndex, {{u"body"}});
    Index->SetTextWordLength(Case.WordLength);
    if (Case.FilterColumn != nullptr)
      Index->SetTextFilterTypeColumn(static_cast<TORVColumn*>(Table->GetColumns().FindByName(Case.FilterColumn, true)));
    const std::string Error = Add(Index);
    if (Case.Detail.empty())
      EXPECT_EQ(Error, "") << Case.WordLength;
    else
      EXPECT_NE(Error.find("in the table t (" + Case.Detail + ")"), std::string::npos) << Error;
  }

  // A key column is checked as soon as its index takes it.
  EXPECT_EQ(test::ErrorOf([&] { NewIndex(u"b", itIndex, {{u"n"}, {u"data"}}); }),
            "100 There is an error in the metadata for the index b in the table t (BLOB columns cannot be included "
            "in a non-text index)");
  EXPECT_NE(test::ErrorOf([&] { NewIndex(u"c", itTextIndex, {{u"n"}}); })
                .find("(Columns that are not CHAR, VARCHAR, or CLOB columns cannot be included in a text index)"),
            std::string::npos);
  EXPECT_EQ(Table->GetIndexes().GetCount(), 3);
}

TEST_F(IndexFixture, ValidationGivesOnlyAPrimaryKeyUniqueKeys) {
  Column(u"n", dtInteger);
  EXPECT_TRUE(AddIndex(u"pk", itPrimaryKey, {{u"n"}})->GetUniqueKeys());
  EXPECT_FALSE(AddIndex(u"u", itUnique, {{u"n"}})->GetUniqueKeys());
  EXPECT_FALSE(AddIndex(u"i", itIndex, {{u"n"}})->GetUniqueKeys());
}

// ---------------------------------------------------------------------------
// SQL text

TEST_F(IndexFixture, CreateTextShowsKeysAndEndsATextIndexWithItsWordGenerator) {
  Column(u"n", dtInteger);
  Column(u"name", dtCharacter, stVarChar, 20);
  Config->SetOnGetCollationName([](int32_t Collation) {
    return (Collation & ~CollationFlagsMask) == 0 ? TORVString(u"ANSI") : TORVString();
  });
  TORVIndex* Normal = AddIndex(u"by name", itIndex, {{u"name"}, {u"n", true}});
  Normal->SetDescription(u"Names\r\n");
  EXPECT_EQ(Normal->GetCreateSQL(false, false, false),
            u"CREATE INDEX \"by name\" ON \"t\" (\"name\" COLLATE \"ANSI\", \"n\" DESC)\r\nDESCRIPTION 'Names'");

  TORVIndex* Text = AddIndex(u"words", itTextIndex, {{u"name"}});
  EXPECT_EQ(Text->GetCreateSQL(false, false, false),
            u"CREATE TEXT INDEX \"words\" ON \"t\" (\"name\" COLLATE \"ANSI\")\r\nINDEXED WORD LENGTH 30\r\n"
            u"WORD GENERATOR \"Default\"");
  EXPECT_EQ(Text->GetDropSQL(false, false), u"DROP INDEX \"words\" FROM \"t\"");

  // Without a name for the collation the clause is left out.
  Config->SetOnGetCollationName(nullptr);
  EXPECT_EQ(Normal->GetSQL(false), u"INDEX \"by name\" ON \"t\" (\"name\", \"n\" DESC)");

  for (int32_t KeyType : {itPrimaryKey, itForeignKey, itUnique})
    EXPECT_EQ(AddIndex(u"k" + IntToString(KeyType), KeyType, {{u"n"}})->GetCreateSQL(false, false, false), u"");
}

TEST_F(IndexFixture, AlterTextNamesOnlyTheClausesThatDiffer) {
  Column(u"body", dtCharacter, stVarChar, 100);
  TORVIndex* Current = AddIndex(u"words", itTextIndex, {{u"body"}});
  std::unique_ptr<TORVIndex> Target = NewIndex(u"words", itTextIndex, {{u"body"}});
  Target->Assign(Current, true);
  Current->BuildAlterSQL(1, Target.get(), u';');
  EXPECT_EQ(Current->GetAlterSQL(), u"");
  Target->SetTextWordLength(40);
  Current->BuildAlterSQL(1, Target.get(), u';');
  EXPECT_EQ(Current->GetAlterSQL(), u"ALTER TEXT INDEX \"words\" ON \"t\" (\"body\")\r\nINDEXED WORD LENGTH 40");
}

// ---------------------------------------------------------------------------
// Index choice

TORVExprToken* ColumnToken(const TORVString& Name, int32_t Collation = 0) {
  auto* Token = new TORVExprToken();
  Token->FTokenType = ttCOLUMN;
  Token->FName = Name;
  Token->FCollation = Collation;
  return Token;
}

struct TTokenDeleter {
  void operator()(TORVExprToken* Token) const { FreeTokens(Token); }
};
using TTokenPtr = std::unique_ptr<TORVExprToken, TTokenDeleter>;

TTokenPtr RowToken(std::initializer_list<const char16_t*> Names) {
  TTokenPtr Row(new TORVExprToken());
  Row->FTokenType = ttROWVALUE;
  for (const char16_t* Name : Names) Row->AddArgument(ColumnToken(Name));
  return Row;
}

TEST_F(IndexFixture, ColumnConditionTakesTheSmallestQualifyingIndexAndTheFirstOfEquals) {
  Column(u"n", dtInteger);
  Column(u"code", dtCharacter, stChar, 40);
  Column(u"m", dtInteger);
  AddIndex(u"wide", itIndex, {{u"n"}, {u"code"}});
  AddIndex(u"narrow", itIndex, {{u"n"}});
  AddIndex(u"same", itIndex, {{u"n"}});
  AddIndex(u"text", itTextIndex, {{u"code"}});
  TTokenPtr N(ColumnToken(u"N"));
  EXPECT_EQ(Table->GetIndexes().GetIndexNumberForToken(N.get()), 1);
  // The origin name counts before the token's own name.
  TTokenPtr Alias(ColumnToken(u"alias"));
  Alias->FOriginName = u"n";
  EXPECT_EQ(Table->GetIndexes().GetIndexNumberForToken(Alias.get()), 1);
  TTokenPtr M(ColumnToken(u"m"));
  EXPECT_EQ(Table->GetIndexes().GetIndexNumberForToken(M.get()), -1);
}

TEST_F(IndexFixture, RowConditionNeedsTheKeyPrefixInOrderAndOneDirection) {
  Column(u"a", dtInteger);
  Column(u"b", dtInteger);
  Column(u"x", dtInteger);
  struct TCase {
    std::initializer_list<TKeyColumn> Keys;
    bool Matches;
  } Cases[] = {
      {{{u"a"}, {u"b"}, {u"x"}}, true},
      {{{u"a", true}, {u"b"}}, false},
      {{{u"b"}, {u"a"}}, false},
      {{{u"a"}}, false},
      {{{u"a", true}, {u"b", true}}, true},
  };
  TTokenPtr Row = RowToken({u"a", u"b"});
  for (const TCase& Case : Cases) {
    Table->GetIndexes().Clear();
    AddIndex(u"i", itIndex, Case.Keys);
    EXPECT_EQ(Table->GetIndexes().GetIndexNumberForToken(Row.get()), Case.Matches ? 0 : -1);
  }
}

TEST_F(IndexFixture, ADifferentCollationDisqualifiesOnlyACharacterKeyColumn) {
  Column(u"n", dtInteger);
  Column(u"name", dtCharacter, stVarChar, 20);
  AddIndex(u"by n", itIndex, {{u"n"}});
  AddIndex(u"by name", itIndex, {{u"name"}});
  constexpr int32_t OtherCollation = 1033;
  TTokenPtr N(ColumnToken(u"n", OtherCollation));
  EXPECT_EQ(Table->GetIndexes().GetIndexNumberForToken(N.get()), 0);
  TTokenPtr Name(ColumnToken(u"name", OtherCollation));
  EXPECT_EQ(Table->GetIndexes().GetIndexNumberForToken(Name.get()), -1);
  TTokenPtr SameCollation(ColumnToken(u"name", 0));
  EXPECT_EQ(Table->GetIndexes().GetIndexNumberForToken(SameCollation.get()), 1);
}

TEST_F(IndexFixture, TextIndexWithTheDefaultCollationServesTheColumnsCaseSensitiveCollation) {
  constexpr int32_t English = 1033;
  TORVColumn* Body = Column(u"body", dtCharacter, stVarChar, 100);
  Body->SetCollation(English);
  Column(u"n", dtInteger);
  AddIndex(u"i", itIndex, {{u"n"}});
  TORVIndex* Text = AddIndex(u"words", itTextIndex, {{u"body"}});
  TTokenPtr Token(ColumnToken(u"body", English));
  EXPECT_EQ(Table->GetIndexes().GetTextIndexNumberForToken(Token.get()), 1);

  // An explicit collation is taken as it stands.
  constexpr int32_t German = 1031;
  Text->GetIndexColumns()->GetIndexColumn(0)->SetCollation(German | CollationCaseInsensitiveFlag);
  TTokenPtr GermanToken(ColumnToken(u"body", German));
  EXPECT_EQ(Table->GetIndexes().GetTextIndexNumberForToken(GermanToken.get()), -1);
  TTokenPtr GermanInsensitive(ColumnToken(u"body", German | CollationCaseInsensitiveFlag));
  EXPECT_EQ(Table->GetIndexes().GetTextIndexNumberForToken(GermanInsensitive.get()), 1);
  TTokenPtr Other(ColumnToken(u"n", 0));
  EXPECT_EQ(Table->GetIndexes().GetTextIndexNumberForToken(Other.get()), -1);
}

// ---------------------------------------------------------------------------
// Words, stream, generators, alter state

TEST_F(IndexFixture, WordListCutsWordsToTheWordLengthAndKeepsEachOnce) {
  Column(u"body", dtCharacter, stVarChar, 100);
  TORVIndex* Text = AddIndex(u"words", itTextIndex, {{u"body"}});
  Text->SetTextWordLength(4);
  std::unique_ptr<TORVWordList> Words = Text->BuildWordList(u"Catalogue catalog, indexes!", false);
  ASSERT_EQ(Words->GetNumWords(), 2);
  EXPECT_EQ(Words->GetWords(0).GetValue(), u"Cata");
  EXPECT_EQ(Words->GetWords(1).GetValue(), u"inde");
  EXPECT_EQ(Text->BuildWordList(u"", false)->GetNumWords(), 0);
}

TORVWordGenerator* NewGenerator(TORVConfig& Config, const TORVString& Name) {
  auto Generator = std::make_unique<TORVWordGenerator>(&Config);
  Generator->SetName(Name);
  Config.GetWordGenerators().Add(Generator.get());
  return Generator.release();
}

TEST_F(IndexFixture, StreamNamesTheWordGeneratorByIDBefore203AndByNameFrom203) {
  for (int64_t Version : {20200, 20300}) {
    MakeCatalog(CharacterSetAnsi, TORVCurrency::FromScaled(Version));
    TORVWordGenerator* Generator = NewGenerator(*Config, u"Stems");
    Column(u"body", dtCharacter, stVarChar, 100);
    TORVColumn* Kind = Column(u"kind", dtCharacter, stChar, 10);
    std::unique_ptr<TORVIndex> Made = NewIndex(u"words", itTextIndex, {{u"body", true}});
    Made->SetWordGenerator(Generator);
    Made->SetTextWordLength(12);
    Made->SetTextFilterTypeColumn(Kind);
    ASSERT_EQ(Add(Made), "");
    TORVIndex* Text = Table->GetIndexes().GetIndex(0);

    TORVMemoryStream Stream(CharacterSetAnsi);
    Text->Save(Stream, false);
    // ID, name, description, hidden, read-only, type, one key column, then
    // the text settings.
    Stream.SetPosition(0);
    Stream.ReadInteger();
    TORVString Text1;
    Stream.ReadString(Text1);
    Stream.ReadString(Text1);
    Stream.ReadBoolean();
    Stream.ReadBoolean();
    EXPECT_EQ(Stream.ReadInteger(), itTextIndex);
    EXPECT_EQ(Stream.ReadInteger(), 1);
    for (int32_t Skip = 0; Skip < 3; ++Skip) Stream.ReadInteger();
    Stream.ReadBoolean();
    Stream.ReadBoolean();
    Stream.ReadBoolean();
    Stream.ReadBoolean();
    EXPECT_EQ(Stream.ReadInteger(), 12);
    EXPECT_EQ(Stream.ReadInteger(), Kind->GetID());
    if (Version < 20300) {
      EXPECT_EQ(Stream.ReadInteger(), Generator->GetID());
    } else {
      TORVString Name;
      Stream.ReadString(Name);
      EXPECT_EQ(Name, u"Stems");
    }
    EXPECT_EQ(Stream.GetPosition(), Stream.GetSize());

    std::unique_ptr<TORVIndex> Loaded(static_cast<TORVIndex*>(Table->GetIndexes().GetNewObject()));
    Stream.SetPosition(0);
    Loaded->Load(Stream);
    EXPECT_EQ(Loaded->GetWordGenerator(), Generator) << Version;
    EXPECT_EQ(Loaded->GetTextWordLength(), 12);
    EXPECT_EQ(Loaded->GetIndexColumns()->GetKeySize(), 15);
    EXPECT_TRUE(Loaded->GetIndexColumns()->GetIndexColumn(0)->GetDescending());
    EXPECT_TRUE(Loaded->Compare(Text, true));
  }
}

TEST_F(IndexFixture, RenamingAWordGeneratorRenamesItsIndexesAndDroppingItLeavesThemOnDefault) {
  TORVWordGenerator* Generator = NewGenerator(*Config, u"Stems");
  Column(u"body", dtCharacter, stVarChar, 100);
  Column(u"title", dtCharacter, stVarChar, 100);
  TORVIndex* Texts[2];
  int32_t Number = 0;
  for (const char16_t* Name : {u"body", u"title"}) {
    std::unique_ptr<TORVIndex> Made = NewIndex(TORVString(u"w") + Name, itTextIndex, {{Name}});
    Made->SetWordGenerator(Generator);
    Texts[Number++] = Made.get();
    ASSERT_EQ(Add(Made), "");
  }
  Table->AddDependenciesToObject(Generator);
  EXPECT_EQ(Generator->GetDependencies()->GetCount(), 2);

  Table->RenameDependenciesToObject(Generator, u"Roots");
  Generator->SetName(u"Roots");
  for (TORVIndex* Text : Texts) {
    EXPECT_EQ(Text->GetWordGeneratorName(), u"Roots");
    Text->ResetReferences();
    EXPECT_EQ(Text->GetWordGenerator(), Generator);
  }

  Table->DeleteDependenciesToObject(Generator);
  for (TORVIndex* Text : Texts) {
    EXPECT_EQ(Text->GetWordGeneratorName(), u"");
    EXPECT_EQ(Text->GetWordGenerator(), Config->GetDefaultWordGenerator());
    EXPECT_NE(Text->GetCreateSQL(false, false, false).find(u"WORD GENERATOR \"Default\""), TORVString::npos);
  }
}

// Text indexes whose generators and filters run the test module libraries
// (a Unicode configuration, as those libraries are built for one).
class TextModuleFixture : public IndexFixture {
 protected:
  void SetUp() override {
    MakeCatalog(CharacterSetUnicode);
    Config->SetPath(u"" ORV_TEST_MODULE_DIR);
    Column(u"body", dtCharacter, stVarChar, 100);
    Column(u"kind", dtCharacter, stChar, 10);
  }

  void AddModule(const TORVString& Name, const TORVString& Library) {
    auto Module = std::make_unique<TORVModule>(Config.get());
    Module->SetName(Name);
    Module->SetPath(Library + u".so");
    Module->SetLockSlot(Config->GetNewModuleLockSlot());
    Config->GetModules().Add(Module.get());
    Module.release();
  }

  TORVWordGenerator* ModuleGenerator() {
    AddModule(u"m", u"orvtm_wordgen");
    TORVWordGenerator* Generator = NewGenerator(*Config, u"Blanks");
    Generator->SetModuleName(u"m");
    return Generator;
  }

  // A text index over body; nil keeps the generator the index validates to.
  TORVIndex* TextIndex(TORVWordGenerator* Generator, int32_t WordLength) {
    std::unique_ptr<TORVIndex> Made = NewIndex(u"words", itTextIndex, {{u"body"}});
    if (Generator != nullptr) Made->SetWordGenerator(Generator);
    Made->SetTextWordLength(WordLength);
    Made->SetTextFilterTypeColumn(static_cast<TORVColumn*>(Table->GetColumns().FindByName(u"kind", true)));
    TORVIndex* Text = Made.get();
    EXPECT_EQ(Add(Made), "");
    return Text;
  }

  static std::vector<TORVString> WordsOf(const TORVWordList& List) {
    std::vector<TORVString> Result;
    for (int32_t I = 0; I < List.GetNumWords(); ++I) Result.push_back(List.GetWords(I).GetValue());
    return Result;
  }
};

TEST_F(TextModuleFixture, GeneratorModulesWordsComeBackCutToTheWordLength) {
  TORVIndex* Text = TextIndex(ModuleGenerator(), 4);
  // The built-in splitter would drop the two-letter words: the module keeps them.
  EXPECT_EQ(WordsOf(*Text->BuildWordList(u"alphabet be*ta alphanumeric ok", false)),
            (std::vector<TORVString>{u"alph", u"be", u"ok", u"ta"}));
  // Search texts reach the module as such: it keeps the wildcard inside.
  EXPECT_EQ(WordsOf(*Text->BuildWordList(u"be*ta", true)), (std::vector<TORVString>{u"be*t"}));
  EXPECT_EQ(Text->BuildWordList(u"   ", false)->GetNumWords(), 0);
}

TEST_F(TextModuleFixture, DefaultGeneratorSplitsWithTheBuiltInSplitterAndLoadsNothing) {
  AddModule(u"m", u"orvtm_wordgen");
  TORVIndex* Text = TextIndex(nullptr, 5);
  ASSERT_EQ(Text->GetWordGenerator(), Config->GetDefaultWordGenerator());
  EXPECT_EQ(WordsOf(*Text->BuildWordList(u"ab quickly be*ta", false)), (std::vector<TORVString>{u"quick"}));
  EXPECT_EQ(Config->GetDefaultWordGenerator()->GetModuleHandle(), 0u);
  EXPECT_EQ(static_cast<TORVModule*>(Config->GetModules().FindByName(u"m", true))->GetModuleInstanceCount(), 0);
}

TEST_F(TextModuleFixture, GeneratorThatDoesNotAdvanceRaisesTheModuleError) {
  TORVIndex* Text = TextIndex(ModuleGenerator(), 10);
  EXPECT_EQ(test::ErrorOf([&] { Text->BuildWordList(u"one stuck two", false); }),
            "202 An error occurred with the module m (Module execution error: The module returned a word without "
            "moving past position 4)");
}

TEST_F(TextModuleFixture, FilterModuleConvertsTextOfItsTypeAndOtherTypesPassUnchanged) {
  AddModule(u"f", u"orvtm_filter");
  auto Filter = std::make_unique<TORVTextFilter>(Config.get());
  Filter->SetName(u"Pages");
  Filter->SetModuleName(u"f");
  Filter->SetFilterType(u"HTML");
  Config->GetTextFilters().Add(Filter.get());
  Filter.release();
  TORVIndex* Text = TextIndex(nullptr, 20);
  struct Case {
    const char16_t* Type;
    const char16_t* Filtered;
  };
  const Case Cases[] = {{u"HTML", u"5:hello"}, {u"html", u"5:hello"}, {u"pdf", u"hello"}, {u"", u"hello"}};
  for (const Case& C : Cases) {
    SCOPED_TRACE(std::string(C.Type, C.Type + std::char_traits<char16_t>::length(C.Type)));
    TORVString Filtered = u"stale";
    Text->FilterText(C.Type, u"hello", Filtered);
    EXPECT_EQ(Filtered, C.Filtered);
  }
}

TEST_F(IndexFixture, AlterStateAsksForARebuildOnlyWhenKeysOrWordSettingsChange) {
  Column(u"body", dtCharacter, stVarChar, 100);
  Column(u"n", dtInteger);
  TORVIndex* Old = AddIndex(u"words", itTextIndex, {{u"body"}});
  TORVIndex* OldNormal = AddIndex(u"i", itIndex, {{u"n"}});
  const TORVAlterStates Altered{asIndexAltered};
  const TORVAlterStates Rebuild{asIndexAltered, asRebuildIndex};

  std::unique_ptr<TORVIndex> New = NewIndex(u"words", itTextIndex, {});
  New->Assign(Old, true);
  New->SetDescription(u"changed");
  EXPECT_EQ(New->GetAlterState(Old), Altered);
  EXPECT_TRUE(New->GetAltered());
  New->SetTextWordLength(20);
  EXPECT_EQ(New->GetAlterState(Old), Rebuild);
  New->Assign(Old, true);
  New->SetWordGenerator(NewGenerator(*Config, u"Stems"));
  EXPECT_EQ(New->GetAlterState(Old), Rebuild);

  std::unique_ptr<TORVIndex> NewNormal = NewIndex(u"i", itIndex, {});
  NewNormal->Assign(OldNormal, true);
  EXPECT_EQ(NewNormal->GetAlterState(OldNormal), Altered);
  NewNormal->GetIndexColumns()->GetIndexColumn(0)->SetDescending(true);
  EXPECT_EQ(NewNormal->GetAlterState(OldNormal), Rebuild);
}

TEST_F(IndexFixture, AConstraintsIndexIsAlteredOnlyThroughItsConstraint) {
  Column(u"n", dtInteger);
  TORVIndex* Key = AddIndex(u"k", itUnique, {{u"n"}});
  TORVIndex* Normal = AddIndex(u"i", itIndex, {{u"n"}});
  Key->SetOwnerConstraintID(99);
  EXPECT_EQ(test::ErrorOf([&] { Key->CheckSystemObject(); }).substr(0, 4), "200 ");
  EXPECT_EQ(test::ErrorOf([&] { Normal->CheckSystemObject(); }), "no error");
}

}  // namespace
}  // namespace orv
