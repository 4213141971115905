#include "catalog/orvroutine.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "base/orverror.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvdatatype.h"
#include "catalog/orvmodule.h"
#include "catalog/orvschema.h"
#include "core/orvenv.h"
#include "core/orvparam.h"
#include "core/orvstream.h"
#include "core/orvtypefunc.h"
#include "sql/orvbuilder.h"
#include "sql/orvparser.h"
#include "sql/orvvalidater.h"
#include "tests/catalog/orvcatalogroot.h"
#include "tests/support/orverrortext.h"

namespace orv {
namespace {

using test::TParamSpec;

// A configuration with its compiler and the database Main whose catalog
// holds t (a INTEGER, b VARCHAR(10)); collation names come from the
// configuration's collations.
class StoredRoutineTest : public ::testing::Test, public test::TCompilingCatalogs {
 protected:
  StoredRoutineTest() {
    Config->SetOnGetCollationName([this](int32_t Collation) {
      TORVConfigObject* Found = Config->GetCollations().FindByID(Collation, false);
      return Found != nullptr ? Found->GetName() : TORVString();
    });
    Catalog->SetVersion(EngineCatalogVersion);
    test::NewTableT(*Catalog);
  }

  TORVSchema& Default() const { return *Catalog->GetDefaultSchema(); }

  TORVFunction* AddFunction(const TORVString& Name, const TORVString& Text, const std::vector<TParamSpec>& Params,
                            int32_t ResultType = dtInteger) {
    return static_cast<TORVFunction*>(
        test::AddRoutine(*Catalog, Default().GetFunctions(), Name, Text, Params, ResultType));
  }

  TORVProcedure* AddProcedure(const TORVString& Name, const TORVString& Text,
                              const std::vector<TParamSpec>& Params = {}) {
    return static_cast<TORVProcedure*>(test::AddRoutine(*Catalog, Default().GetProcedures(), Name, Text, Params));
  }

  // An external routines module of the test libraries.
  TORVModule* AddModule(const TORVString& Name, const TORVString& Library) {
    Config->SetPath(u"" ORV_TEST_MODULE_DIR);
    auto Module = std::make_unique<TORVModule>(Config.get());
    Module->SetName(Name);
    Module->SetPath(Library + u".so");
    Module->SetLockSlot(Config->GetNewModuleLockSlot());
    Config->GetModules().Add(Module.get());
    return Module.release();
  }
};

// The first node of Tree for which Match holds; nil when none.
const TORVExprToken* FindNode(const TORVExprToken* Tree, const std::function<bool(const TORVExprToken*)>& Match) {
  std::vector<const TORVExprToken*> Stack{Tree};
  while (!Stack.empty()) {
    const TORVExprToken* Node = Stack.back();
    Stack.pop_back();
    if (Node == nullptr) continue;
    if (Match(Node)) return Node;
    Stack.push_back(Node->GetLeftToken());
    Stack.push_back(Node->GetRightToken());
    for (int32_t I = 0; I < Node->GetNumArguments(); ++I) Stack.push_back(Node->GetArgument(I));
  }
  return nullptr;
}

constexpr char16_t IncText[] = u"FUNCTION inc (IN x INTEGER) RETURNS INTEGER\r\nBEGIN\r\n  RETURN x + 1;\r\nEND";

TEST_F(StoredRoutineTest, FunctionCreateTextHasHeaderResultBodyFromBeginAndVersion) {
  TORVFunction* Inc = AddFunction(u"inc", IncText, {{rpInput, u"x", dtInteger}});
  EXPECT_EQ(Inc->GetCreateSQL(false, false, false),
            u"CREATE FUNCTION \"inc\" (IN \"x\" INTEGER)\r\nRETURNS INTEGER\r\n"
            u"BEGIN\r\n  RETURN x + 1;\r\nEND\r\nVERSION 1.00");
  EXPECT_EQ(Inc->GetDropSQL(false, false), u"DROP FUNCTION \"inc\"");

  Inc->SetDescription(u"adds one");
  Inc->SetAttributes(u"fast");
  EXPECT_EQ(Inc->GetSQL(true).substr(Inc->GetSQL(false).size()),
            u"\r\nDESCRIPTION 'adds one'\r\nVERSION 1.00\r\nATTRIBUTES 'fast'");
}

TEST_F(StoredRoutineTest, CharacterParametersShowTheirCollationAndOthersDoNot) {
  TORVProcedure* P = AddProcedure(u"p", u"PROCEDURE p () BEGIN END",
                                  {{rpInput, u"v", dtCharacter, stVarChar, 20},
                                   {rpOutput, u"g", dtCharacter, stGUID},
                                   {rpInputOutput, u"i", dtInteger}});
  const TORVString Collation = Config->GetOnGetCollationName()(0);
  ASSERT_FALSE(Collation.empty());
  EXPECT_EQ(P->GetParams().GetCreateSQL(false, false, false),
            u"IN \"v\" VARCHAR(20) COLLATE \"" + Collation + u"\", OUT \"g\" GUID COLLATE \"" + Collation +
                u"\", INOUT \"i\" INTEGER");
  EXPECT_EQ(P->GetNumInputParams(), 2);
  EXPECT_EQ(P->GetNumOutputParams(), 2);
}

TEST_F(StoredRoutineTest, BodyStartsAtTheFirstBeginAndComparesIgnoringCase) {
  struct {
    TORVString Text;
    TORVString Body;
  } Cases[] = {
      {u"PROCEDURE p () -- the old BEGIN-less header\r\nBEGIN\r\nEND", u"BEGIN\r\nEND"},
      {u"PROCEDURE p () /* comment */ begin END  \r\n", u"begin END"},
      {u"PROCEDURE p () EXTERNAL NAME m", u"PROCEDURE p () EXTERNAL NAME m"},
  };
  for (const auto& Case : Cases) {
    TORVProcedure P(Config.get(), nullptr, Catalog);
    P.SetDefinitionText(Case.Text);
    EXPECT_EQ(P.GetRoutineBody(), Case.Body);
  }

  TORVProcedure A(Config.get(), nullptr, Catalog);
  TORVProcedure B(Config.get(), nullptr, Catalog);
  A.SetName(u"p");
  B.SetName(u"p");
  A.SetDefinitionText(u"PROCEDURE p () BEGIN SET x = 1; END");
  B.SetDefinitionText(u"procedure   P() -- another header\r\nbegin set X = 1; end");
  EXPECT_TRUE(A.Compare(&B, false));
  B.SetDefinitionText(u"PROCEDURE p () BEGIN SET x = 2; END");
  EXPECT_FALSE(A.Compare(&B, false));

  A.SetImplementationType(riExternal);
  B.SetImplementationType(riExternal);
  A.SetModuleName(u"Mod");
  B.SetModuleName(u"MOD");
  EXPECT_TRUE(A.Compare(&B, false));
}

TEST_F(StoredRoutineTest, ProceduresAndFunctionsShareOneNameSpace) {
  AddFunction(u"f", u"FUNCTION f () RETURNS INTEGER BEGIN RETURN 1; END", {});
  AddProcedure(u"p", u"PROCEDURE p () BEGIN END");
  for (auto* List : {static_cast<TORVPrivilegedCatalogObjects*>(&Default().GetProcedures()),
                     static_cast<TORVPrivilegedCatalogObjects*>(&Default().GetFunctions())}) {
    for (const TORVString Name : {u"F", u"p"}) {
      std::unique_ptr<TORVConfigObject> Routine(List->GetNewObject(nullptr));
      Routine->SetName(Name);
      EXPECT_EQ(test::ErrorOf([&] { List->Add(Routine.get()); }).substr(0, 4), "400 ");
    }
  }
  EXPECT_EQ(Default().GetRoutines().GetCount(), 2);
  EXPECT_EQ(Catalog->GetNewRoutineLockSlot(), 3);
}

TEST_F(StoredRoutineTest, FunctionReferencesAreTypedByTheResultAndCallsFindFunctionsFirst) {
  AddFunction(u"half", u"FUNCTION half (IN x INTEGER) RETURNS DECIMAL(10,2) BEGIN RETURN x / 2; END",
              {{rpInput, u"x", dtInteger}}, dtDecimal);
  TORVFunction* Inc = AddFunction(u"inc", IncText, {{rpInput, u"x", dtInteger}});
  TORVProcedure* Caller = AddProcedure(u"caller",
                                       u"PROCEDURE caller (INOUT y INTEGER)\r\nBEGIN\r\n  SET y = inc(y);\r\n"
                                       u"  CALL half(y);\r\nEND",
                                       {{rpInputOutput, u"y", dtInteger}});
  Caller->Compile();
  ASSERT_EQ(Caller->GetReferencedFunctions().GetCount(), 2);
  EXPECT_EQ(Caller->GetReferencedProcedures().GetCount(), 0);
  const TORVExprToken* Call = FindNode(Caller->GetDefinition().FTokens, [](const TORVExprToken* Node) {
    return Node->FTokenType == ttFUNCREF && Node->FName == u"inc";
  });
  ASSERT_NE(Call, nullptr);
  EXPECT_EQ(Call->FDataType, dtInteger);
  EXPECT_EQ(Call->FPosition, Inc->GetPosition());

  std::unique_ptr<TORVExprToken> Param(Catalog->GetProcedureParamToken(u"caller", 0));
  ASSERT_NE(Param, nullptr);
  EXPECT_EQ(Param->FTokenOperator, toINPUTOUTPUT);
  EXPECT_EQ(Catalog->GetFunctionParamToken(u"inc", 1), nullptr);
  EXPECT_EQ(Catalog->GetFunctionParamToken(u"nothing", 0), nullptr);

  auto Missing = AddProcedure(u"broken", u"PROCEDURE broken () BEGIN CALL nothing(); END");
  EXPECT_EQ(test::ErrorOf([&] { Missing->Compile(); }).substr(0, 4), "700 ");
}

TEST_F(StoredRoutineTest, RenamingAFunctionRewritesItsCallsAndItsRecursiveCalls) {
  TORVFunction* Fact = AddFunction(
      u"fact", u"FUNCTION fact (IN n INTEGER) RETURNS INTEGER\r\nBEGIN\r\n  IF n <= 1 THEN RETURN 1; END IF;\r\n"
               u"  RETURN n * fact(n - 1);\r\nEND",
      {{rpInput, u"n", dtInteger}});
  TORVProcedure* Caller = AddProcedure(
      u"caller", u"PROCEDURE caller (INOUT y INTEGER)\r\nBEGIN\r\n  SET y = fact(y);\r\nEND",
      {{rpInputOutput, u"y", dtInteger}});
  Catalog->SetModified(false);
  Fact->RenameDependencies(u"factorial");
  Fact->RenameDependenciesToObject(Fact, u"factorial");
  EXPECT_EQ(Caller->GetRoutineBody(), u"BEGIN\r\n  SET y = factorial(y);\r\nEND");
  EXPECT_EQ(Fact->GetRoutineBody(),
            u"BEGIN\r\n  IF n <= 1 THEN RETURN 1; END IF;\r\n  RETURN n * factorial(n - 1);\r\nEND");
  EXPECT_TRUE(Catalog->GetModified());
}

// The record a routine of a 2.03 catalog has: no attributes, no user
// version and no routine version.
void WriteOldProcedure(TORVMemoryStream& Stream, TORVProcedure& Source) {
  Source.TORVConfigObject::Save(Stream, false);
  Stream.WriteString(u"System");
  Source.GetPrivileges().Save(Stream, false);
  Stream.WriteInteger(riSQL);
  Stream.WriteInteger(0);
  Stream.WriteString(Source.GetDefinition().GetExpression());
  Stream.WriteString(u"");
  Source.GetParams().Save(Stream, false);
  Source.GetResultParam().TORVRoutineParam::Save(Stream, false);
  Stream.WriteInteger(7);
}

TEST_F(StoredRoutineTest, RoutineOf203CatalogKeepsParsingTheOldDynamicSyntax) {
  constexpr char16_t Text[] = u"PROCEDURE old () BEGIN START TRANSACTION ON TABLES t; COMMIT; END";
  auto ConvertsNames = [](TORVProcedure& Procedure) {
    TORVPartialTree Tree(Procedure.GetDefinition().Parse());
    return FindNode(Tree.Get(), [](const TORVExprToken* Node) {
             return Node->FTokenType == ttCONST && Node->FTokenConstant == u"t";
           }) != nullptr;
  };

  TORVProcedure Source(Config.get(), nullptr, Catalog);
  Source.SetName(u"old");
  Source.SetDefinitionText(Text);
  TORVMemoryStream Stream(CharacterSetUnicode);
  WriteOldProcedure(Stream, Source);

  const TORVCurrency Old = TORVCurrency::FromScaled(20300);
  Catalog->SetVersion(Old);
  std::unique_ptr<TORVProcedure> Loaded(
      static_cast<TORVProcedure*>(Default().GetProcedures().GetNewObject(nullptr)));
  Stream.SetPosition(0);
  Loaded->Load(Stream);
  EXPECT_EQ(Loaded->GetLockSlot(), 7);
  EXPECT_EQ(Loaded->GetRoutineVersion(), Old);
  Catalog->SetVersion(EngineCatalogVersion);
  EXPECT_TRUE(ConvertsNames(*Loaded));

  // Neither a description nor a rename makes the old text new syntax.
  Loaded->SetDescription(u"still old");
  Loaded->GetDefinition().Rename(u"older");
  EXPECT_EQ(Loaded->GetRoutineVersion(), Old);
  EXPECT_TRUE(ConvertsNames(*Loaded));

  // A text a statement gives follows the catalog's syntax.
  Loaded->SetDefinitionText(Text);
  EXPECT_EQ(Loaded->GetRoutineVersion(), EngineCatalogVersion);
  EXPECT_FALSE(ConvertsNames(*Loaded));
  Loaded->SetRoutineVersion(TORVCurrency::FromScaled(20400));
  EXPECT_FALSE(ConvertsNames(*Loaded));
}

TEST_F(StoredRoutineTest, ParsedDefinitionsGiveParametersResultAndModule) {
  TORVProcedure P(Config.get(), nullptr, Catalog);
  P.SetName(u"p");
  P.SetDefinitionText(
      u"PROCEDURE p (IN x INTEGER, OUT y VARCHAR(10) DESCRIPTION 'the y', INOUT z DECIMAL(10,2)) BEGIN END");
  // The statement's builders read the validated tree.
  P.Compile();
  P.BuildParams(P.GetDefinition().FTokens);
  P.BuildResultParam(P.GetDefinition().FTokens);
  P.BuildModule(P.GetDefinition().FTokens);
  ASSERT_EQ(P.GetParams().GetCount(), 3);
  EXPECT_EQ(P.GetParams().GetCreateSQL(false, false, false).substr(0, 45),
            u"IN \"x\" INTEGER, OUT \"y\" VARCHAR(10) COLLATE \"");
  EXPECT_EQ(P.GetParams().GetParam(1)->GetDescription(), u"the y");
  EXPECT_EQ(P.GetParams().GetParam(2)->GetParamType(), rpInputOutput);
  EXPECT_EQ(P.GetParams().GetParam(2)->GetScale(), 2);
  EXPECT_EQ(P.GetResultParam().GetParamType(), rpNone);
  EXPECT_EQ(P.GetImplementationType(), riSQL);

  TORVModule* Module = AddModule(u"Mod", u"orvtm_routine");
  TORVFunction F(Config.get(), nullptr, Catalog);
  F.SetName(u"f");
  F.SetDefinitionText(u"FUNCTION f (x INTEGER) RETURNS VARCHAR(20) EXTERNAL NAME mod");
  // The statement's builders read the validated tree.
  F.Compile();
  F.BuildParams(F.GetDefinition().FTokens);
  F.BuildResultParam(F.GetDefinition().FTokens);
  F.BuildModule(F.GetDefinition().FTokens);
  EXPECT_EQ(F.GetResultParam().GetParamType(), rpResult);
  EXPECT_EQ(F.GetResultParam().GetLength(), 20);
  EXPECT_EQ(F.GetImplementationType(), riExternal);
  EXPECT_EQ(F.GetModule(), Module);
  EXPECT_EQ(F.GetModuleName(), u"Mod");
  EXPECT_EQ(F.GetSQL(false).substr(F.GetSQL(false).find(u"\r\n")),
            u"\r\nRETURNS VARCHAR(20) COLLATE \"" + Config->GetOnGetCollationName()(0) +
                u"\"\r\nEXTERNAL NAME \"Mod\"");
}

TEST_F(StoredRoutineTest, ExternalRoutinesOpenCallAndCloseTheirModule) {
  int32_t Loads = 0;
  int32_t Unloads = 0;
  Config->SetOnModuleLoad([&](TORVModule*) { ++Loads; });
  Config->SetOnModuleUnload([&](TORVModule*) { ++Unloads; });
  AddModule(u"Mod", u"orvtm_routine");
  AddModule(u"Filter", u"orvtm_filter");
  for (const TORVString Name : {u"Quiet", u"Fail"}) {
    TORVProcedure* P = AddProcedure(Name, u"PROCEDURE " + Name + u" () EXTERNAL NAME Mod");
    P->Compile();
    P->BuildModule(P->GetDefinition().FTokens);
    P->OpenModule();
    P->OpenModule();
    EXPECT_NE(P->GetModuleHandle(), 0u);
    TORVParamValues Values(Config->GetCharacterSet());
    if (Name == u"Fail")
      EXPECT_EQ(test::ErrorOf([&] { P->CallExternalRoutine(Values); }).substr(0, 4), "202 ");
    else
      P->CallExternalRoutine(Values);
    P->CloseModule();
    EXPECT_EQ(P->GetModuleHandle(), 0u);
  }
  EXPECT_EQ(Loads, Unloads);

  // A module of another kind is refused when the routine is built.
  TORVProcedure* Wrong = AddProcedure(u"wrong", u"PROCEDURE wrong () EXTERNAL NAME Filter");
  Wrong->Compile();
  EXPECT_EQ(test::ErrorOf([&] { Wrong->BuildModule(Wrong->GetDefinition().FTokens); }).substr(0, 4), "202 ");
  EXPECT_EQ(Wrong->GetImplementationType(), riSQL);
}

TEST_F(StoredRoutineTest, SchemaStreamRoundTripsItsRoutines) {
  AddFunction(u"inc", IncText, {{rpInput, u"x", dtInteger}});
  AddProcedure(u"p", u"PROCEDURE p (OUT r VARCHAR(5)) BEGIN SET r = 'a'; END",
               {{rpOutput, u"r", dtCharacter, stVarChar, 5}});
  TORVMemoryStream Stream(CharacterSetUnicode);
  Catalog->Save(Stream, false);
  auto Copy = test::AttachCatalog(*Config, u"Copy");
  Stream.SetPosition(0);
  Copy->Load(Stream);
  EXPECT_TRUE(Copy->GetDefaultSchema()->Compare(Catalog->GetDefaultSchema(), true));
  ASSERT_EQ(Copy->GetDefaultSchema()->GetRoutines().GetCount(), 2);
  auto* Inc = Copy->GetDefaultSchema()->FindFunction(u"inc", nullptr, true);
  EXPECT_EQ(Inc->GetResultParam().GetDataType(), dtInteger);
  EXPECT_EQ(Inc->GetLockSlot(), 1);
  EXPECT_EQ(Inc->GetCreateSQL(false, false, false),
            Catalog->GetDefaultSchema()->FindFunction(u"inc", nullptr, true)->GetCreateSQL(false, false, false));
}

}  // namespace
}  // namespace orv
