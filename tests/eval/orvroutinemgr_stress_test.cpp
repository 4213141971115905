// Sessions share one module library but nothing else: each has its own
// configuration, catalog, module object and routine, and the library's
// working contexts are per open. Run under ThreadSanitizer, this shows
// that opening, calling and closing the same external function from two
// sessions at once neither races nor hands one session's answer or
// callbacks to the other.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "catalog/orvmodule.h"
#include "catalog/orvroutine.h"
#include "catalog/orvschema.h"
#include "core/orvparam.h"
#include "core/orvstream.h"
#include "eval/orvviewmgr.h"
#include "tests/catalog/orvcompilingcatalog.h"
#include "tests/eval/orvstubowner.h"

namespace orv {
namespace {

constexpr int32_t Rounds = 1000;

// What a session's module callback handler saw: an input value, or a
// callback that reached the wrong session.
struct TSessionTrace {
  int32_t LastInput = -1;
  int32_t Misrouted = 0;
};

// One session: its own configuration and catalog, with the module
// registered under its name and the external function Echo(x) bound to it.
// The session's callback handler answers every call with x * 2 + Tag, read
// from the parameters the module reports, so that an answer or a callback
// that strays to the other session shows in the result.
class TRoutineSession : public test::TStubOwner {
 public:
  explicit TRoutineSession(int32_t SessionTag) : Tag(SessionTag) {
    TORVConfig& Config = *Catalog.Config;
    Config.SetPath(u"" ORV_TEST_MODULE_DIR);
    auto Made = std::make_unique<TORVModule>(&Config);
    Made->SetName(u"Mod");
    Made->SetPath(u"orvtm_routine.so");
    Made->SetLockSlot(Config.GetNewModuleLockSlot());
    Module = Made.get();
    Config.GetModules().Add(Made.release());
    Config.SetOnModuleCallback([this](TORVModule* From, int32_t ID, intptr_t Data, int32_t& DataSize) {
      if (From != Module || std::this_thread::get_id() != Owner) ++Trace.Misrouted;
      if (ID == 5) {
        TORVParamValues Received(CharacterSetUnicode);
        Shape(Received);
        TORVMemoryStream Stream(CharacterSetUnicode);
        Stream.Write(reinterpret_cast<const uint8_t*>(Data), DataSize);
        Stream.SetPosition(0);
        Received.Load(Stream);
        Trace.LastInput = Received.FindByName(u"x")->GetAsInteger();
        return;
      }
      if (ID != 3) return;
      TORVParamValues Answer(CharacterSetUnicode);
      Shape(Answer);
      Answer.FindByName(u"Result")->SetAsInteger(Trace.LastInput * 2 + Tag);
      TORVMemoryStream Stream(CharacterSetUnicode);
      Answer.SaveOutputParams(Stream);
      if (Stream.GetSize() > DataSize) throw std::length_error("answer larger than the module's buffer");
      std::memcpy(reinterpret_cast<uint8_t*>(Data), Stream.GetMemory(), static_cast<std::size_t>(Stream.GetSize()));
      DataSize = static_cast<int32_t>(Stream.GetSize());
    });
    Function = test::AddRoutine(*Catalog.Catalog, Catalog.Catalog->GetDefaultSchema()->GetFunctions(), u"Echo",
                                u"FUNCTION Echo (IN x INTEGER) RETURNS INTEGER EXTERNAL NAME Mod",
                                {{rpInput, u"x", dtInteger}}, dtInteger);
    Function->Compile();
    Function->BuildModule(Function->GetDefinition().FTokens);
    Function->Decompile();
  }

  void HandleException(const std::exception& Exception, int32_t FunctionCode) override {
    Logged.push_back(std::to_string(FunctionCode) + " " + Exception.what());
  }

  // x, then the result, as the function's parameters are passed.
  static void Shape(TORVParamValues& Values) {
    TORVParamValue* X = Values.CreateNew();
    X->SetName(u"x");
    X->SetParamType(ptInput);
    X->SetDataType(dtInteger);
    TORVParamValue* Result = Values.CreateNew();
    Result->SetName(u"Result");
    Result->SetParamType(ptResult);
    Result->SetDataType(dtInteger);
  }

  // Open, call with x and close, as a session does for one statement; the
  // function's answer.
  int32_t CallOnce(int32_t X) {
    TORVRoutineManager Manager(this, Function);
    Manager.InternalOpen();
    if (Function->GetModuleHandle() == 0) throw std::logic_error("the module was not opened");
    Manager.InternalInitialize();
    TORVParamValues Values(CharacterSetUnicode);
    Shape(Values);
    Values.FindByName(u"x")->SetAsInteger(X);
    Function->CallExternalRoutine(Values);
    Manager.InternalReset();
    Manager.InternalClose();
    if (Function->GetModuleHandle() != 0) throw std::logic_error("the module stayed open");
    return Values.FindByName(u"Result")->GetAsInteger();
  }

  const int32_t Tag;
  const std::thread::id Owner = std::this_thread::get_id();
  test::TCompilingCatalog Catalog;
  TORVModule* Module = nullptr;
  TORVRoutine* Function = nullptr;
  TSessionTrace Trace;
  std::vector<std::string> Logged;
};

// What one thread found.
struct TSessionRun {
  std::vector<int32_t> Wrong;  // the rounds whose answer was not the session's own
  int32_t Misrouted = 0;
  std::vector<std::string> Logged;
  std::string Failure;
  int32_t ModuleReferencesLeft = -1;
};

TEST(RoutineManagerStress, TwoSessionsOpenCallAndCloseTheSameExternalFunction) {
  std::atomic<int32_t> Ready{0};
  TSessionRun Runs[2];
  const auto Run = [&](int32_t Tag) {
    TSessionRun& Found = Runs[Tag];
    try {
      TRoutineSession Session(Tag);
      // Both sessions are set up before either calls, so that the calls
      // overlap from the first round.
      Ready.fetch_add(1);
      while (Ready.load() < 2) std::this_thread::yield();
      for (int32_t Round = 0; Round < Rounds; ++Round) {
        const int32_t X = Round * 10 + Tag;
        if (Session.CallOnce(X) != X * 2 + Tag) Found.Wrong.push_back(Round);
      }
      Found.Misrouted = Session.Trace.Misrouted;
      Found.Logged = Session.Logged;
      Found.ModuleReferencesLeft = Session.Module->GetModuleInstanceCount();
    } catch (const std::exception& E) {
      Ready.fetch_add(2);
      Found.Failure = E.what();
    }
  };
  std::thread First(Run, 0);
  std::thread Second(Run, 1);
  First.join();
  Second.join();
  for (int32_t Tag = 0; Tag < 2; ++Tag) {
    SCOPED_TRACE("session " + std::to_string(Tag));
    const TSessionRun& Found = Runs[Tag];
    EXPECT_EQ(Found.Failure, "");
    EXPECT_TRUE(Found.Wrong.empty()) << Found.Wrong.size() << " answers were not the session's own, first in round "
                                     << Found.Wrong.front();
    EXPECT_EQ(Found.Misrouted, 0);
    EXPECT_TRUE(Found.Logged.empty()) << Found.Logged.front();
    EXPECT_EQ(Found.ModuleReferencesLeft, 0);
  }
}

}  // namespace
}  // namespace orv
