// The evaluator a manager runs triggers through, with scripted bodies: each
// trigger's WHEN answer and what its body does (abort, ask for a retry,
// raise) come from the test, and every step is written to a shared log so
// that a test states the order of triggers and storage steps.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/orvutf8.h"
#include "catalog/orvtrigger.h"
#include "eval/orvtriggereval.h"

namespace orv::test {

// What one run of a trigger's body saw and may change.
struct TTriggerRun {
  TORVTrigger* Trigger = nullptr;
  TORVRowValues* OldRowValues = nullptr;
  TORVRowValues* NewRowValues = nullptr;
  TORVTriggerContextSettings Settings;
  // How many times this trigger's body ran so far, this run included.
  int32_t Count = 0;
  bool Aborted = false;
  bool RetryAfterException = false;
};

struct TTriggerScript {
  // The WHEN answer; none means the trigger has no condition worth
  // scripting and the real tree decides nothing.
  std::function<bool(TTriggerRun&)> When;
  std::function<void(TTriggerRun&)> Body;
};

class TScriptedTriggerEvaluator : public TORVTriggerEvaluator {
 public:
  explicit TScriptedTriggerEvaluator(std::vector<std::string>& Log) : FLog(Log) {}

  void InitializeCompiled(TORVExprToken* Token) override { Initialized.push_back(Token); }
  void ResetCompiled(TORVExprToken* Token) override { Reset.push_back(Token); }

  TORVEvaluatorContext* NewTriggerContext(const TORVTriggerContextSettings& Settings) override {
    FContexts.push_back({});
    FContexts.back().Settings = Settings;
    ++ContextDepth;
    // Any distinct address serves as the saved context.
    return reinterpret_cast<TORVEvaluatorContext*>(static_cast<uintptr_t>(FContexts.size()));
  }
  void RestoreContext(TORVEvaluatorContext* SavedContext) override {
    if (FContexts.empty() ||
        reinterpret_cast<TORVEvaluatorContext*>(static_cast<uintptr_t>(FContexts.size())) != SavedContext)
      throw std::logic_error("RestoreContext without its NewContext");
    FContexts.pop_back();
    --ContextDepth;
  }
  bool GetContextAborted() override { return Current().Aborted; }
  bool GetContextRetryAfterException() override { return Current().RetryAfterException; }

  void BindRowVariables(TORVTrigger& Trigger, TORVRowValues* OldRowValues, TORVRowValues* NewRowValues) override {
    TTriggerRun& Run = Current();
    Run.Trigger = &Trigger;
    Run.OldRowValues = OldRowValues;
    Run.NewRowValues = NewRowValues;
    ++BoundRows;
  }
  void ReleaseRowVariables(TORVTrigger& /*Trigger*/) override { --BoundRows; }

  bool EvaluateCondition(TORVExprToken* /*Token*/) override {
    TTriggerRun& Run = Current();
    const TTriggerScript* Script = Find(Run);
    const bool Result = Script == nullptr || !Script->When || Script->When(Run);
    FLog.push_back("when " + Name(Run) + (Result ? " true" : " false"));
    return Result;
  }

  void EvaluateRoutine(TORVExprToken* /*Token*/) override {
    TTriggerRun& Run = Current();
    Run.Count = ++FRunCounts[Run.Trigger];
    FLog.push_back(Name(Run));
    Runs.push_back(Run);
    if (const TTriggerScript* Script = Find(Run); Script != nullptr && Script->Body) Script->Body(Run);
  }

  // What trigger Name's body and WHEN do.
  void Script(const TORVString& TriggerName, TTriggerScript Value) { FScripts[TriggerName] = std::move(Value); }

  // Every run of a body, as it was when the body started.
  std::vector<TTriggerRun> Runs;
  std::vector<TORVExprToken*> Initialized;
  std::vector<TORVExprToken*> Reset;
  int32_t ContextDepth = 0;
  int32_t BoundRows = 0;

 private:
  TTriggerRun& Current() {
    if (FContexts.empty()) throw std::logic_error("a trigger step outside its context");
    return FContexts.back();
  }
  const TTriggerScript* Find(const TTriggerRun& Run) const {
    if (Run.Trigger == nullptr) return nullptr;
    const auto Found = FScripts.find(Run.Trigger->GetName());
    return Found != FScripts.end() ? &Found->second : nullptr;
  }
  static std::string Name(const TTriggerRun& Run) {
    return Run.Trigger != nullptr ? StringToUtf8(Run.Trigger->GetName()) : std::string("?");
  }

  std::vector<std::string>& FLog;
  std::vector<TTriggerRun> FContexts;
  std::map<TORVString, TTriggerScript> FScripts;
  std::map<TORVTrigger*, int32_t> FRunCounts;
};

}  // namespace orv::test
