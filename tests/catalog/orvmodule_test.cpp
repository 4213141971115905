// External modules against the test libraries of tests/modules: kinds and
// set-up, the call protocol, load references, and the text filters, word
// generators and migrators that call them.
#include "catalog/orvmodule.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "catalog/orvconfig.h"
#include "catalog/orvmigrator.h"
#include "catalog/orvtextfilter.h"
#include "catalog/orvwordgen.h"
#include "core/orvparam.h"
#include "core/orvstream.h"
#include "core/orvstrings.h"
#include "core/orvtypefunc.h"
#include "tests/catalog/orvconfigroot.h"
#include "tests/support/orverrortext.h"

namespace orv {
namespace {

using test::ErrorOf;

// Greek: its locale's ANSI code page is 1253.
constexpr int32_t GreekCollation = 1032;

std::string Utf8(const TORVString& Text) {
  std::string Result;
  for (char16_t C : Text) Result += C < 128 ? static_cast<char>(C) : '?';
  return Result;
}

class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override { MakeRoot(CharacterSetUnicode); }

  void MakeRoot(int32_t CharacterSet) {
    Config = test::NewRoot(CharacterSet);
    Config->SetPath(u"" ORV_TEST_MODULE_DIR);
    Config->SetOnModuleLoad([this](TORVModule*) { ++Loads; });
    Config->SetOnModuleUnload([this](TORVModule*) { ++Unloads; });
  }

  // A module whose path is relative to the configuration folder.
  TORVModule* AddModule(const TORVString& Name, const TORVString& Library) {
    auto Module = std::make_unique<TORVModule>(Config.get());
    Module->SetName(Name);
    Module->SetPath(Library + u".so");
    Module->SetLockSlot(Config->GetNewModuleLockSlot());
    Config->GetModules().Add(Module.get());
    return Module.release();
  }

  template <typename T, typename TList>
  T* AddUser(TList& List, const TORVString& Name, const TORVString& ModuleName) {
    auto Object = std::make_unique<T>(Config.get());
    Object->SetName(Name);
    Object->SetModuleName(ModuleName);
    List.Add(Object.get());
    return Object.release();
  }

  std::unique_ptr<TORVConfig> Config;
  int32_t Loads = 0;
  int32_t Unloads = 0;
};

// ------------------------------------------------------- kinds and set-up

TEST_F(ModuleTest, KindProbeNamesTheFirstAcceptedKindAndHoldsNoReference) {
  struct Case {
    const char16_t* Library;
    int32_t Kind;
    const char16_t* KindName;
    const char16_t* CharSetName;
  };
  const Case Cases[] = {
      {u"orvtm_novalidate", ModuleTypeNone, u"", u"Unicode"},
      {u"no_such_library", ModuleTypeNotLoaded, u"", u""},
      {u"orvtm_dual", ModuleTypeRoutines, u"External Routines", u""},
      {u"orvtm_filter_ansi", ModuleTypeTextFilter, u"Text Filter", u"ANSI"},
      {u"orvtm_wordgen", ModuleTypeWordGenerator, u"Word Generator", u"Unicode"},
      {u"orvtm_migrator", ModuleTypeMigrator, u"Migrator", u"Unicode"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(Utf8(C.Library));
    TORVModule* Module = AddModule(C.Library, C.Library);
    EXPECT_EQ(Module->GetModuleType(), C.Kind);
    EXPECT_EQ(Module->GetModuleTypeName(), C.KindName);
    EXPECT_EQ(Module->GetModuleCharSetName(), C.CharSetName);
    EXPECT_EQ(Module->GetModuleInstanceCount(), 0);
    EXPECT_EQ(Module->GetModuleInstance(), 0u);
    EXPECT_TRUE(Module->GetModuleVersion().empty());
    EXPECT_TRUE(Module->GetModuleDescription().empty());
  }
  EXPECT_EQ(Loads, Unloads);
}

TEST_F(ModuleTest, LibraryWithoutCharacterSetExportLoadsUnderEitherCharacterSet) {
  TORVModule* Module = AddModule(u"m", u"orvtm_dual");
  Module->LoadModule(ModuleTypeTextFilter);
  EXPECT_TRUE(Module->GetModuleSetup());
  Module->UnloadModule();
  Config->SetCharacterSet(CharacterSetAnsi);
  Module->LoadModule(ModuleTypeRoutines);
  EXPECT_TRUE(Module->GetModuleSetup());
  Module->UnloadModule();
}

TEST_F(ModuleTest, LoadForTheWrongKindOrCharacterSetFailsAndKeepsTheCount) {
  TORVModule* Module = AddModule(u"m", u"orvtm_routine");
  Module->LoadModule(ModuleTypeNone);
  EXPECT_EQ(ErrorOf([&] { Module->LoadModule(ModuleTypeTextFilter); }),
            "202 An error occurred with the module m (The module is not a Text Filter module)");
  EXPECT_EQ(Module->GetModuleInstanceCount(), 1);
  Module->UnloadModule();
  EXPECT_EQ(Module->GetModuleInstanceCount(), 0);

  Config->SetCharacterSet(CharacterSetAnsi);
  EXPECT_EQ(ErrorOf([&] { Module->LoadModule(ModuleTypeRoutines); }),
            "202 An error occurred with the module m (The module is not compiled to use the ANSI character set)");
  EXPECT_EQ(Module->GetModuleInstanceCount(), 0);
  EXPECT_EQ(Module->GetModuleInstance(), 0u);
  EXPECT_EQ(ErrorOf([&] { Module->CheckModuleCharSet(CharacterSetAnsi); }),
            "202 An error occurred with the module m (The module is not compiled to use the ANSI character set)");
}

TEST_F(ModuleTest, LibraryThatDoesNotLoadRaisesTheLoaderText) {
  TORVModule* Module = AddModule(u"m", u"no_such_library");
  const std::string Error = ErrorOf([&] { Module->LoadModule(ModuleTypeRoutines); });
  EXPECT_EQ(Error.rfind("202 An error occurred with the module m (The module could not be loaded (OS Error: ", 0), 0u)
      << Error;
  EXPECT_NE(Error.find("no_such_library.so"), std::string::npos) << Error;
  EXPECT_EQ(Module->GetModuleInstanceCount(), 0);
  EXPECT_EQ(Loads, 1);
  EXPECT_EQ(Unloads, 1);
}

TEST_F(ModuleTest, RelativePathLiesInTheConfigurationFolderAndAbsolutePathStaysAsItIs) {
  TORVModule* Module = AddModule(u"m", u"orvtm_routine");
  EXPECT_EQ(Module->GetFullPath(), u"" ORV_TEST_MODULE_DIR "/orvtm_routine.so");
  Module->SetPath(u"/opt/lib/x.so");
  EXPECT_EQ(Module->GetFullPath(), u"/opt/lib/x.so");
}

// ---------------------------------------------------------------- protocol

class ModuleRoutineTest : public ModuleTest {
 protected:
  void Open(const TORVString& Library) {
    Module = AddModule(u"m", Library);
    Module->LoadModule(ModuleTypeRoutines);
    Handle = Module->OpenModule();
  }
  void TearDown() override {
    if (Module != nullptr && Handle != 0) {
      Module->CloseModule(Handle);
      Module->UnloadModule();
    }
  }

  // IN name, OUT count, INOUT total, RETURNS result.
  std::unique_ptr<TORVParamValues> Params() {
    auto List = std::make_unique<TORVParamValues>(Config->GetCharacterSet());
    const struct {
      const char16_t* Name;
      TORVParamType Type;
      int32_t DataType;
    } Items[] = {{u"Name", ptInput, dtCharacter},
                 {u"Count", ptOutput, dtInteger},
                 {u"Total", ptInputOutput, dtInteger},
                 {u"Result", ptResult, dtInteger}};
    for (const auto& Item : Items) {
      TORVParamValue* Param = List->CreateNew();
      Param->SetName(Item.Name);
      Param->SetParamType(Item.Type);
      Param->SetDataType(Item.DataType);
      if (Item.DataType == dtCharacter) Param->SetLength(20);
    }
    List->FindByName(u"Name")->SetAsString(u"abc");
    List->FindByName(u"Count")->SetAsInteger(1);
    List->FindByName(u"Total")->SetAsInteger(2);
    List->FindByName(u"Result")->SetAsInteger(3);
    return List;
  }

  TORVModule* Module = nullptr;
  TORVModuleHandle Handle = 0;
};

TEST_F(ModuleRoutineTest, CallPassesTheWholeListAndReadsOutputValuesBackInListOrder) {
  Open(u"orvtm_routine");
  auto List = Params();
  std::vector<uint8_t> Received;
  // The module reports what it received (callback 5) and answers what the
  // handler writes for it (callback 3): the output values in list order.
  Config->SetOnModuleCallback([&](TORVModule* From, int32_t ID, intptr_t Data, int32_t& DataSize) {
    EXPECT_EQ(From, Module);
    auto* Bytes = reinterpret_cast<uint8_t*>(Data);
    if (ID == 5) {
      Received.assign(Bytes, Bytes + DataSize);
      return;
    }
    auto Answer = Params();
    Answer->FindByName(u"Count")->SetAsInteger(10);
    Answer->FindByName(u"Total")->SetAsInteger(20);
    Answer->FindByName(u"Result")->SetAsInteger(30);
    TORVMemoryStream Stream(Config->GetCharacterSet());
    Answer->SaveOutputParams(Stream);
    ASSERT_LE(Stream.GetSize(), DataSize);
    std::memcpy(Bytes, Stream.GetMemory(), static_cast<std::size_t>(Stream.GetSize()));
    DataSize = static_cast<int32_t>(Stream.GetSize());
  });
  TORVMemoryStream Expected(Config->GetCharacterSet());
  List->Save(Expected);

  Module->CallRoutine(Handle, u"Echo", *List);

  ASSERT_EQ(Received.size(), static_cast<std::size_t>(Expected.GetSize()));
  EXPECT_EQ(std::memcmp(Received.data(), Expected.GetMemory(), Received.size()), 0);
  EXPECT_EQ(List->FindByName(u"Name")->GetAsString(), u"abc");
  EXPECT_EQ(List->FindByName(u"Count")->GetAsInteger(), 10);
  EXPECT_EQ(List->FindByName(u"Total")->GetAsInteger(), 20);
  EXPECT_EQ(List->FindByName(u"Result")->GetAsInteger(), 30);
}

TEST_F(ModuleRoutineTest, EmptyOutputDataLeavesTheOutputParametersUnchanged) {
  Open(u"orvtm_routine");
  auto List = Params();
  Module->CallRoutine(Handle, u"Quiet", *List);
  EXPECT_EQ(List->FindByName(u"Count")->GetAsInteger(), 1);
  EXPECT_EQ(List->FindByName(u"Result")->GetAsInteger(), 3);
}

TEST_F(ModuleRoutineTest, ModuleFailuresRaise202WithTheModulesOwnMessage) {
  Open(u"orvtm_routine");
  auto List = Params();
  EXPECT_EQ(ErrorOf([&] { Module->CallRoutine(Handle, u"Fail", *List); }),
            "202 An error occurred with the module m (Module execution error: routine failed)");
  // A handler that raises makes the callback answer False, nothing more.
  Config->SetOnModuleCallback([](TORVModule*, int32_t, intptr_t, int32_t&) { throw std::runtime_error("no"); });
  EXPECT_EQ(ErrorOf([&] { Module->CallRoutine(Handle, u"Echo", *List); }),
            "202 An error occurred with the module m (Module execution error: callback 5 failed)");
  // The context survives failed calls.
  EXPECT_EQ(ErrorOf([&] { Module->CallRoutine(Handle, u"Quiet", *List); }), "no error");
}

// The library keeps one callback registration for the whole process, and a
// second session that loads it registers its own module object over the
// first's. Each session's calls must still call back into its own handler,
// also once the other session's configuration is gone.
TEST_F(ModuleRoutineTest, CallbacksReachTheCallingSessionWhenAnotherLoadedTheLibraryLater) {
  Open(u"orvtm_routine");
  std::vector<TORVModule*> Reached;
  Config->SetOnModuleCallback([&](TORVModule* From, int32_t, intptr_t, int32_t& DataSize) {
    Reached.push_back(From);
    DataSize = 0;
  });
  const auto CallsReach = [&](TORVModule* Caller, TORVModuleHandle CallerHandle) {
    Reached.clear();
    auto List = Params();
    Caller->CallRoutine(CallerHandle, u"Echo", *List);
    return Reached;
  };
  const std::vector<TORVModule*> Own{Module, Module};

  auto OtherConfig = test::NewRoot(CharacterSetUnicode);
  OtherConfig->SetPath(u"" ORV_TEST_MODULE_DIR);
  int32_t OtherCallbacks = 0;
  OtherConfig->SetOnModuleCallback([&](TORVModule*, int32_t, intptr_t, int32_t& DataSize) {
    ++OtherCallbacks;
    DataSize = 0;
  });
  auto Other = std::make_unique<TORVModule>(OtherConfig.get());
  Other->SetName(u"m");
  Other->SetPath(u"orvtm_routine.so");
  Other->LoadModule(ModuleTypeRoutines);
  TORVModuleHandle OtherHandle = Other->OpenModule();
  EXPECT_EQ(CallsReach(Module, Handle), Own);
  EXPECT_EQ(OtherCallbacks, 0);
  EXPECT_EQ(CallsReach(Other.get(), OtherHandle), std::vector<TORVModule*>{});
  EXPECT_EQ(OtherCallbacks, 2);

  // The other session ends; the library stays loaded for this one.
  Other->CloseModule(OtherHandle);
  Other->UnloadModule();
  Other.reset();
  OtherConfig.reset();
  EXPECT_EQ(CallsReach(Module, Handle), Own);
}

TEST_F(ModuleRoutineTest, FailureOnHandleZeroRaisesNothing) {
  Open(u"orvtm_routine");
  auto List = Params();
  EXPECT_EQ(ErrorOf([&] { Module->CallRoutine(0, u"Fail", *List); }), "no error");
  EXPECT_EQ(List->FindByName(u"Count")->GetAsInteger(), 1);
}

TEST_F(ModuleRoutineTest, MissingExportRaisesTheLoaderTextNamingIt) {
  Open(u"orvtm_nocall");
  auto List = Params();
  const std::string Error = ErrorOf([&] { Module->CallRoutine(Handle, u"Quiet", *List); });
  EXPECT_EQ(Error.rfind("202 An error occurred with the module m (An error occurred with the module call "
                        "CallORVRoutine (OS Error: ",
                        0),
            0u)
      << Error;
  EXPECT_NE(Error.find("undefined symbol: CallORVRoutine"), std::string::npos) << Error;
}

TEST_F(ModuleRoutineTest, OutputSizeBeyondTheBoundIsRefused) {
  Open(u"orvtm_routine");
  auto List = Params();
  EXPECT_EQ(ErrorOf([&] { Module->CallRoutine(Handle, u"Huge", *List); }),
            "202 An error occurred with the module m (Module execution error: The module returned an invalid "
            "length (2147483632))");
}

TEST_F(ModuleRoutineTest, AnsiModuleGetsTheRoutineNameInTheEngineCodePage) {
  MakeRoot(CharacterSetAnsi);
  Open(u"orvtm_routine_ansi");
  auto List = Params();
  EXPECT_EQ(ErrorOf([&] { Module->CallRoutine(Handle, u"Fail", *List); }),
            "202 An error occurred with the module m (Module execution error: routine failed)");
}

// ------------------------------------------------------------ references

TEST_F(ModuleTest, LastUnloadFreesTheLibraryUnlessCached) {
  TORVModule* Module = AddModule(u"m", u"orvtm_filter");
  Module->LoadModule(ModuleTypeTextFilter);
  Module->LoadModule(ModuleTypeTextFilter);
  Module->UnloadModule();
  EXPECT_NE(Module->GetModuleInstance(), 0u);
  Module->UnloadModule();
  EXPECT_EQ(Module->GetModuleInstance(), 0u);
  EXPECT_FALSE(Module->GetModuleSetup());
  EXPECT_EQ(Loads, 1);
  EXPECT_EQ(Unloads, 1);

  Config->SetCacheModuleLibraries(true);
  Module->LoadModule(ModuleTypeTextFilter);
  Module->UnloadModule();
  EXPECT_NE(Module->GetModuleInstance(), 0u);
  EXPECT_TRUE(Module->GetModuleSetup());
  EXPECT_EQ(Unloads, 2);
  Module->LoadModule(ModuleTypeTextFilter);
  EXPECT_EQ(Loads, 2);
  TORVModuleHandle Handle = Module->OpenModule();
  Module->CallTextFilter(Handle, 0, u"txt", u"ab");
  EXPECT_EQ(Module->GetText(), u"2:ab");
  Module->CloseModule(Handle);
  Module->UnloadModule();
}

TEST_F(ModuleTest, ForcedUnloadFreesTheLibraryWithReferencesOutstanding) {
  TORVModule* Module = AddModule(u"m", u"orvtm_filter");
  Module->LoadModule(ModuleTypeTextFilter);
  Module->LoadModule(ModuleTypeTextFilter);
  Config->UnloadAllModules();
  EXPECT_EQ(Module->GetModuleInstance(), 0u);
  EXPECT_EQ(Module->GetModuleInstanceCount(), 1);
  EXPECT_FALSE(Module->GetModuleSetup());
}

TEST_F(ModuleTest, ClosingLeavesTheHandleZeroAlsoWhenTheModuleFails) {
  TORVModule* Module = AddModule(u"m", u"orvtm_filter");
  Module->LoadModule(ModuleTypeTextFilter);
  TORVModuleHandle Handle = 0;
  Module->CloseModule(Handle);
  EXPECT_EQ(Handle, 0u);
  Handle = Module->OpenModule();
  Module->CallTextFilter(Handle, 0, u"failclose", u"x");
  EXPECT_EQ(ErrorOf([&] { Module->CloseModule(Handle); }).rfind(
                "202 An error occurred with the module m (An error occurred with the module call CloseORVModule", 0),
            0u);
  EXPECT_EQ(Handle, 0u);
  Module->UnloadModule();
}

// ---------------------------------------------------------- text filters

class FilterTest : public ModuleTest {
 protected:
  TORVTextFilter* AddFilter(const TORVString& Name, const TORVString& Type, const TORVString& ModuleName) {
    TORVTextFilter* Filter = AddUser<TORVTextFilter>(Config->GetTextFilters(), Name, ModuleName);
    Filter->SetFilterType(Type);
    return Filter;
  }
};

TEST_F(FilterTest, FilterReturnsTheModulesTextAndHoldsOneReferenceUntilClosed) {
  TORVModule* Module = AddModule(u"m", u"orvtm_filter");
  TORVTextFilter* Filter = AddFilter(u"f", u"txt", u"M");
  TORVString Filtered;
  Filter->FilterText(0, u"txt", u"hello", Filtered);
  EXPECT_EQ(Filtered, u"5:hello");
  Filter->FilterText(0, u"txt", u"", Filtered);
  EXPECT_EQ(Filtered, u"0:");
  EXPECT_EQ(Module->GetModuleInstanceCount(), 1);
  Config->GetTextFilters().CloseModules();
  EXPECT_EQ(Filter->GetModuleHandle(), 0u);
  EXPECT_EQ(Module->GetModuleInstanceCount(), 0);
  Config->GetTextFilters().CloseModules();
  EXPECT_EQ(Module->GetModuleInstanceCount(), 0);
}

TEST_F(FilterTest, OpenContextIsClosedInItsModuleAfterTheNameChanges) {
  TORVModule* First = AddModule(u"m", u"orvtm_filter");
  TORVModule* Second = AddModule(u"n", u"orvtm_filter");
  TORVTextFilter* Filter = AddFilter(u"f", u"txt", u"m");
  Filter->OpenModule();
  Filter->SetModuleName(u"n");
  Filter->ResetReferences();
  Filter->CloseModule();
  EXPECT_EQ(First->GetModuleInstanceCount(), 0);
  EXPECT_EQ(Second->GetModuleInstanceCount(), 0);
  TORVString Filtered;
  Filter->FilterText(0, u"txt", u"a", Filtered);
  EXPECT_EQ(Second->GetModuleInstanceCount(), 1);
}

TEST_F(FilterTest, EmptyTextStillGetsTheDataCall) {
  AddModule(u"m", u"orvtm_filter");
  TORVTextFilter* Filter = AddFilter(u"f", u"zero", u"m");
  TORVString Filtered;
  EXPECT_EQ(ErrorOf([&] { Filter->FilterText(0, u"zero", u"abc", Filtered); }),
            "202 An error occurred with the module m (Module execution error: data call reached)");
}

TEST_F(FilterTest, NegativeTextLengthIsRefused) {
  AddModule(u"m", u"orvtm_filter");
  TORVTextFilter* Filter = AddFilter(u"f", u"lie", u"m");
  TORVString Filtered = u"before";
  EXPECT_EQ(ErrorOf([&] { Filter->FilterText(0, u"lie", u"abc", Filtered); }),
            "202 An error occurred with the module m (Module execution error: The module returned an invalid "
            "length (-1))");
  EXPECT_EQ(Filtered, u"before");
}

TEST_F(FilterTest, RoutineModuleRefusedAsFilterLeavesTheFilterClosed) {
  TORVModule* Module = AddModule(u"m", u"orvtm_routine");
  TORVTextFilter* Filter = AddFilter(u"f", u"txt", u"m");
  TORVString Filtered;
  EXPECT_EQ(ErrorOf([&] { Filter->FilterText(0, u"txt", u"abc", Filtered); }),
            "202 An error occurred with the module m (The module is not a Text Filter module)");
  EXPECT_EQ(Filter->GetModuleHandle(), 0u);
  EXPECT_EQ(Module->GetModuleInstanceCount(), 0);
  EXPECT_EQ(ErrorOf([&] { AddFilter(u"g", u"x", u"nobody")->OpenModule(); }), "401 The module nobody does not exist in the configuration ORVConfig");
}

TEST_F(FilterTest, FindByTypeIgnoresCaseAndAnswersTheFirst) {
  TORVTextFilter* First = AddFilter(u"a", u"HTML", u"m");
  AddFilter(u"b", u"html", u"m");
  EXPECT_EQ(Config->GetTextFilters().FindByType(u"Html"), First);
  EXPECT_EQ(Config->GetTextFilters().FindByType(u"pdf"), nullptr);
  Config->SetModified(false);
  First->SetFilterType(u"html");
  EXPECT_EQ(First->GetFilterType(), u"HTML");
  EXPECT_FALSE(Config->GetModified());
}

TEST_F(FilterTest, AnsiFilterTextTravelsInTheCollationsCodePage) {
  MakeRoot(CharacterSetAnsi);
  AddModule(u"m", u"orvtm_filter_ansi");
  TORVTextFilter* Filter = AddFilter(u"f", u"txt", u"m");
  ASSERT_EQ(Environment().LocaleToCodePage(GreekCollation), 1253);
  TORVString Filtered;
  // Three Greek letters are three bytes in code page 1253 (and would not
  // survive code page 1252).
  int32_t Collation = GreekCollation;
  SetLocaleFlag(Collation, CollationCaseInsensitiveBit);
  Filter->FilterText(Collation, u"txt", u"\u03b1\u03b2\u03b3", Filtered);
  EXPECT_EQ(Filtered, u"3:\u03b1\u03b2\u03b3");
}

TEST_F(FilterTest, CreateTextNamesTypeModuleAndDescription) {
  AddModule(u"Html Module", u"orvtm_filter");
  TORVTextFilter* Filter = AddFilter(u"f", u"HTML", u"html module");
  Filter->SetDescription(u"Pages\r\n");
  EXPECT_EQ(Filter->GetCreateSQL(false, false, false),
            u"CREATE TEXT FILTER \"f\"\r\nTYPE 'HTML'\r\nMODULE \"Html Module\"\r\nDESCRIPTION 'Pages'");
  EXPECT_EQ(Filter->GetDropSQL(false, false), u"DROP TEXT FILTER \"f\"");
}

// --------------------------------------------------------- word generators

TEST_F(ModuleTest, GeneratorModuleGivesWordsUntilTheTextIsExhausted) {
  AddModule(u"m", u"orvtm_wordgen");
  auto* Generator = AddUser<TORVWordGenerator>(Config->GetWordGenerators(), u"g", u"m");
  std::vector<TORVString> Words;
  int32_t Position = 1;
  TORVString Word;
  for (;;) {
    Generator->GetNextTextIndexWord(0, u"  alpha be*ta  gamma ", Position, Word, false);
    if (Word.empty()) break;
    Words.push_back(Word);
  }
  EXPECT_EQ(Words, (std::vector<TORVString>{u"alpha", u"be", u"ta", u"gamma"}));
  Position = 1;
  Generator->GetNextTextIndexWord(0, u"be*ta", Position, Word, true);
  EXPECT_EQ(Word, u"be*ta");
}

TEST_F(ModuleTest, GeneratorThatDoesNotAdvanceOrOverrunsItsBufferIsRefused) {
  AddModule(u"m", u"orvtm_wordgen");
  auto* Generator = AddUser<TORVWordGenerator>(Config->GetWordGenerators(), u"g", u"m");
  int32_t Position = 1;
  TORVString Word;
  EXPECT_EQ(ErrorOf([&] { Generator->GetNextTextIndexWord(0, u"stuck here", Position, Word, false); }),
            "202 An error occurred with the module m (Module execution error: The module returned a word without "
            "moving past position 1)");
  Position = 1;
  EXPECT_EQ(ErrorOf([&] { Generator->GetNextTextIndexWord(0, u"huge", Position, Word, false); }),
            "202 An error occurred with the module m (Module execution error: The module returned an invalid "
            "length (1025))");
  Position = 1;
  EXPECT_EQ(ErrorOf([&] { Generator->GetNextTextIndexWord(0, u"fail", Position, Word, false); }),
            "202 An error occurred with the module m (Module execution error: generator failed)");
}

TEST_F(ModuleTest, DefaultGeneratorHasNoCreateTextAndLoadsNothing) {
  TORVWordGenerator* Default = Config->GetDefaultWordGenerator();
  EXPECT_EQ(Default->GetCreateSQL(false, false, false), u"");
  int32_t Position = 1;
  TORVString Word;
  Default->GetNextTextIndexWord(0, u"ab quick", Position, Word, false);
  EXPECT_EQ(Word, u"quick");
  EXPECT_EQ(Default->GetModuleHandle(), 0u);
  EXPECT_EQ(Loads, 0);
}

TEST_F(ModuleTest, RenamingAModuleRewritesTheNameInItsUsers) {
  TORVModule* Module = AddModule(u"m", u"orvtm_filter");
  auto* Filter = AddUser<TORVTextFilter>(Config->GetTextFilters(), u"f", u"M");
  auto* Generator = AddUser<TORVWordGenerator>(Config->GetWordGenerators(), u"g", u"m");
  auto* Migrator = AddUser<TORVMigrator>(Config->GetMigrators(), u"x", u"m");
  auto* Other = AddUser<TORVWordGenerator>(Config->GetWordGenerators(), u"h", u"other");
  Module->SetDependencies();
  EXPECT_EQ(Module->GetDependencies()->GetCount(), 3);
  Module->RenameDependencies(u"n");
  EXPECT_EQ(Filter->GetModuleName(), u"n");
  EXPECT_EQ(Generator->GetModuleName(), u"n");
  EXPECT_EQ(Migrator->GetModuleName(), u"n");
  EXPECT_EQ(Other->GetModuleName(), u"other");
}

TEST_F(ModuleTest, CreateTextOfAModuleHidesThePathWhenRestricted) {
  TORVModule* Module = AddModule(u"m", u"orvtm_filter");
  Module->SetDescription(u"Filters");
  EXPECT_EQ(Module->GetCreateSQL(false, false, false),
            u"CREATE MODULE \"m\"\r\nPATH 'orvtm_filter.so'\r\nDESCRIPTION 'Filters'");
  EXPECT_EQ(Module->GetCreateSQL(false, false, true), u"CREATE MODULE \"m\"\r\nPATH ''\r\nDESCRIPTION 'Filters'");
  EXPECT_EQ(Module->GetDropSQL(false, false), u"DROP MODULE \"m\"");
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

// --------------------------------------------------------------- migrators

std::vector<TORVString> Items(const TORVStringsList& List) {
  std::vector<TORVString> Result;
  List.AssignTo(Result);
  return Result;
}

class MigratorTest : public ModuleTest {
 protected:
  TORVMigrator* Open(const TORVString& Library) {
    Module = AddModule(u"m", Library);
    TORVMigrator* Migrator = AddUser<TORVMigrator>(Config->GetMigrators(), u"x", u"m");
    Migrator->OpenModule();
    return Migrator;
  }

  TORVModule* Module = nullptr;
};

TEST_F(MigratorTest, CapabilitiesFollowTheBoundExports) {
  TORVMigrator* Full = Open(u"orvtm_migrator");
  EXPECT_TRUE(Module->GetObjectMigratorModule());
  EXPECT_TRUE(Module->GetInsertParamsMigratorModule());
  Full->CloseModule();
  EXPECT_FALSE(Module->GetObjectMigratorModule());

  auto Flat = AddModule(u"flat", u"orvtm_migrator_flat");
  auto* Migrator = AddUser<TORVMigrator>(Config->GetMigrators(), u"y", u"flat");
  Migrator->OpenModule();
  EXPECT_FALSE(Flat->GetObjectMigratorModule());
  EXPECT_FALSE(Flat->GetInsertParamsMigratorModule());
  TORVStringsList Names;
  const std::string Error = ErrorOf([&] { Migrator->GetObjectNames(Names); });
  EXPECT_EQ(Error.rfind("202 An error occurred with the module flat (An error occurred with the module call "
                        "GetORVObjectNames (OS Error: ",
                        0),
            0u)
      << Error;
  Migrator->GetTableNames(Names);
  EXPECT_EQ(Items(Names), (std::vector<TORVString>{u"Orders", u"Items"}));
}

TEST_F(MigratorTest, ParametersTravelWithTheirTypesBothWays) {
  TORVMigrator* Migrator = Open(u"orvtm_migrator");
  Migrator->GetParams();
  EXPECT_EQ(Migrator->GetParamValues().GetCount(), 0);

  TORVParamValue* Source = Migrator->GetParamValues().CreateNew();
  Source->SetName(u"Source");
  Source->SetParamType(ptInput);
  Source->SetDataType(dtCharacter);
  Source->SetLength(40);
  Source->SetAsString(u"/data/old");
  TORVParamValue* Port = Migrator->GetParamValues().CreateNew();
  Port->SetName(u"Port");
  Port->SetParamType(ptInput);
  Port->SetDataType(dtInteger);
  Port->SetAsInteger(5432);
  Migrator->SetParams();

  // The module answers what it was given.
  Migrator->GetParams();
  TORVParamValues& Params = Migrator->GetParamValues();
  ASSERT_EQ(Params.GetCount(), 2);
  EXPECT_EQ(Params.GetParams(0)->GetName(), u"Source");
  EXPECT_EQ(Params.GetParams(0)->GetDataType(), dtCharacter);
  EXPECT_EQ(Params.GetParams(0)->GetAsString(), u"/data/old");
  EXPECT_EQ(Params.GetParams(1)->GetDataType(), dtInteger);
  EXPECT_EQ(Params.FindByName(u"port")->GetAsInteger(), 5432);

  TORVParamValues Row(Config->GetCharacterSet());
  Migrator->GetInsertParams(u"Orders", Row);
  EXPECT_EQ(Row.GetCount(), 2);
  Migrator->GetInsertParams(u"Empty", Row);
  EXPECT_EQ(Row.GetCount(), 0);
  EXPECT_EQ(ErrorOf([&] { Migrator->GetInsertParams(u"Corrupt", Row); }).rfind(
                "202 An error occurred with the module m (Module execution error: The module returned invalid "
                "parameter data (",
                0),
            0u);
}

TEST_F(MigratorTest, NameListsStatementsAndRowsComeFromTheModule) {
  TORVMigrator* Migrator = Open(u"orvtm_migrator");
  TORVStringsList Names;
  Names.Add(u"stale");
  Migrator->GetObjectNames(Names);
  ASSERT_EQ(Names.GetCount(), 2);
  EXPECT_EQ(Names.GetName(1), u"Totals");
  EXPECT_EQ(Names.GetValueFromIndex(1), u"VIEW");
  TORVString Statement;
  Migrator->GetCreateObjectStatement(u"Totals", u"VIEW", false, Statement);
  EXPECT_EQ(Statement, u"CREATE VIEW Totals");
  Migrator->GetCreateObjectStatement(u"Totals", u"VIEW", true, Statement);
  EXPECT_EQ(Statement, u"");

  Migrator->GetViewNames(Names);
  EXPECT_EQ(Names.GetCount(), 0);
  Migrator->GetIndexNames(u"Orders", Names);
  EXPECT_EQ(Items(Names), (std::vector<TORVString>{u"OrdersKey", u"ByName"}));
  Migrator->GetCreateIndexStatement(u"Orders", u"ByName", Statement);
  EXPECT_EQ(Statement, u"CREATE INDEX ByName ON Orders");
  Migrator->GetCreateTableStatement(u"Items", Statement);
  EXPECT_EQ(Statement, u"CREATE TABLE Items");

  int32_t Rows = 0;
  Migrator->GetRowsToInsert(u"Orders", Rows);
  EXPECT_EQ(Rows, 2);
  std::vector<TORVString> Inserts;
  for (int32_t I = 0; I < 3; ++I) {
    Migrator->GetInsertStatement(u"Orders", Statement);
    Inserts.push_back(Statement);
  }
  EXPECT_EQ(Inserts, (std::vector<TORVString>{u"INSERT INTO Orders VALUES (2)", u"INSERT INTO Orders VALUES (1)",
                                               u""}));
  Migrator->GetInsertParamStatement(u"Orders", Statement);
  EXPECT_EQ(Statement, u"INSERT INTO Orders VALUES (:Value)");
}

TEST_F(MigratorTest, OpeningAndClosingTakeAndReleaseOneReference) {
  TORVMigrator* Migrator = Open(u"orvtm_migrator");
  EXPECT_NE(Migrator->GetModuleHandle(), 0u);
  EXPECT_EQ(Module->GetModuleInstanceCount(), 1);
  Migrator->OpenModule();
  EXPECT_EQ(Module->GetModuleInstanceCount(), 1);
  Migrator->CloseModule();
  EXPECT_EQ(Migrator->GetModuleHandle(), 0u);
  EXPECT_EQ(Module->GetModuleInstanceCount(), 0);

  AddModule(u"words", u"orvtm_wordgen");
  auto* Wrong = AddUser<TORVMigrator>(Config->GetMigrators(), u"w", u"words");
  EXPECT_EQ(ErrorOf([&] { Wrong->OpenModule(); }),
            "202 An error occurred with the module words (The module is not a Migrator module)");
  EXPECT_EQ(Wrong->GetModule()->GetModuleInstanceCount(), 0);
  EXPECT_EQ(Wrong->GetModuleHandle(), 0u);
}

TEST_F(MigratorTest, CreateTextNamesTheModuleAndUnknownModulesRaise401) {
  AddModule(u"Source Reader", u"orvtm_migrator");
  auto* Migrator = AddUser<TORVMigrator>(Config->GetMigrators(), u"x", u"source reader");
  EXPECT_EQ(Migrator->GetCreateSQL(false, false, false), u"CREATE MIGRATOR \"x\"\r\nMODULE \"Source Reader\"");
  Migrator->SetDescription(u"Reads");
  EXPECT_EQ(Migrator->GetCreateSQL(false, false, false),
            u"CREATE MIGRATOR \"x\"\r\nMODULE \"Source Reader\"\r\nDESCRIPTION 'Reads'");
  EXPECT_EQ(Migrator->GetDropSQL(false, false), u"DROP MIGRATOR \"x\"");

  auto* Lost = AddUser<TORVMigrator>(Config->GetMigrators(), u"y", u"gone");
  const std::string NotFound = "401 The module gone does not exist in the configuration ORVConfig";
  EXPECT_EQ(ErrorOf([&] { Lost->OpenModule(); }), NotFound);
  EXPECT_EQ(ErrorOf([&] { Lost->GetCreateSQL(false, false, false); }), NotFound);
}

}  // namespace
}  // namespace orv

namespace orv {
namespace {

// The information tables of modules and their users: name, column names
// and types in order, and the Name index on the first column.
TEST(ModuleTables, DescribeTheirColumnsInOrderWithANameIndex) {
  struct Case {
    const TORVConfigObjectsClass& Class;
    const char16_t* TableName;
    std::vector<std::u16string> Columns;
  };
  const std::vector<std::u16string> Users{u"Name", u"Description", u"ModuleName", u"CreateSQL", u"DropSQL"};
  const Case Cases[] = {
      {ModulesClass(), u"Modules",
       {u"Name", u"Description", u"FilePath", u"FileVersion", u"FileDescription", u"Type", u"CharacterSet",
        u"CreateSQL", u"DropSQL"}},
      {TextFiltersClass(), u"TextFilters", {u"Name", u"Description", u"Type", u"ModuleName", u"CreateSQL", u"DropSQL"}},
      {WordGeneratorsClass(), u"WordGenerators", Users},
      {MigratorsClass(), u"Migrators", Users},
      {MigratorParamsClass(), u"MigratorParams",
       {u"Name", u"Mode", u"Type", u"Collation", u"Length", u"Precision", u"Scale", u"DefaultValue", u"OrdinalPos"}},
      {MigratorTablesClass(), u"MigratorTables", {u"Name"}},
      {MigratorViewsClass(), u"MigratorViews", {u"Name"}},
      {MigratorFunctionsClass(), u"MigratorFunctions", {u"Name"}},
      {MigratorProceduresClass(), u"MigratorProcedures", {u"Name"}},
  };
  auto Config = test::NewRoot();
  for (const Case& C : Cases) {
    SCOPED_TRACE(Utf8(C.TableName));
    EXPECT_EQ(std::u16string(C.Class.TableName), C.TableName);
    std::vector<std::u16string> Columns;
    for (const TORVTableColumnDef& Column : C.Class.Description->Columns) Columns.emplace_back(Column.Name);
    EXPECT_EQ(Columns, C.Columns);
    ASSERT_EQ(C.Class.Description->Indexes.size(), 1u);
    EXPECT_EQ(C.Class.Description->Indexes[0].Positions, std::vector<int32_t>{1});
    std::unique_ptr<TORVConfigObjects> Collection(C.Class.Create(Config.get()));
    EXPECT_EQ(Collection->GetCount(), 0);
  }
  const TORVTableColumnDef& Version = ModulesClass().Description->Columns[3];
  EXPECT_EQ(Version.DataType, dtCharacter);
  EXPECT_EQ(Version.Length, 15);
  EXPECT_TRUE(Version.IgnoreCase);
  EXPECT_FALSE(MigratorParamsClass().Description->Columns[7].IgnoreCase);
  EXPECT_EQ(MigratorParamsClass().Description->Columns[8].DataType, dtInteger);
}

}  // namespace
}  // namespace orv
