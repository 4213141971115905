// The local evaluator's procedural blocks: routine bodies, declarations and
// their values on the value stack, RETURN, FINALLY and EXCEPTION clauses,
// RAISE and RETRY, and the cursor a procedure returns.
#include <optional>
#include <stdexcept>
#include <utility>

#include "base/orverror.h"
#include "exec/orvexecvalue.h"
#include "local/orvlocaleval.h"
#include "sql/orvexprtoken.h"
#include "sql/orvroutineslots.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"

namespace orv {

namespace {

bool IsExceptionClause(const TORVExprToken* Handler) {
  return Handler != nullptr && Handler->FTokenID == BlockExceptionID;
}

bool IsFinallyClause(const TORVExprToken* Handler) {
  return Handler != nullptr && Handler->FTokenID == BlockFinallyID;
}

// The routine a RETURN assigns: the nearest function, procedure or script
// above the node.
TORVExprToken* EnclosingRoutine(TORVExprToken* Token) {
  for (TORVExprToken* Upper = Token; Upper != nullptr; Upper = Upper->FUpperToken) {
    switch (Upper->FTokenType) {
      case ttFUNCTION:
      case ttPROCEDURE:
      case ttSCRIPT:
        if (IsRoutineNode(Upper)) return Upper;
        break;
      default:
        break;
    }
  }
  return nullptr;
}

int32_t CountOf(const TORVExprToken* Clause) { return Clause != nullptr ? Clause->GetNumArguments() : 0; }

}  // namespace

void TORVLocalExprEvaluator::EvaluateRoutine(TORVExprToken* Token) {
  TORVEvaluatorContext& Context = CurrentContext();
  Context.FEvaluationState = esRun;
  Context.FRetryAfterException = false;
  Context.FAborted = false;
  try {
    EvaluateBlock(SlotOf(Token, RoutineBodySlot));
  } catch (...) {
    // The body's own error is the one the caller must see; the reset puts
    // the context back on its database even when closing the used one
    // fails, so nothing is left open either way.
    try {
      Context.ResetDatabaseManager();
    } catch (...) {
    }
    throw;
  }
  Context.ResetDatabaseManager();
}

TORVExprToken* TORVLocalExprEvaluator::EvaluateBlock(TORVExprToken* Block) {
  if (Block == nullptr) return nullptr;
  TORVExprToken* Declarations = SlotOf(Block, BlockDeclarationsSlot);
  EvaluateDeclarations(Declarations);
  TORVExprToken* Result = nullptr;
  try {
    Result = EvaluateBlockBody(Block);
  } catch (...) {
    PopDeclarations(Declarations, CountOf(Declarations));
    throw;
  }
  PopDeclarations(Declarations, CountOf(Declarations));
  return Result;
}

TORVExprToken* TORVLocalExprEvaluator::EvaluateBlockBody(TORVExprToken* Block) {
  TORVExprToken* Handler = SlotOf(Block, BlockHandlerSlot);
  TORVExprToken* Result = nullptr;
  try {
    bool ReRaise = false;
    try {
      Result = EvaluateBlockStatements(SlotOf(Block, BlockStatementsSlot), ReRaise);
      if (ReRaise) ReRaiseCurrentException();
      TORVExprToken* Return = SlotOf(Block, BlockReturnSlot);
      if (Result == nullptr && Return != nullptr) EvaluateReturn(Return);
    } catch (...) {
      if (IsFinallyClause(Handler)) {
        bool FinallyReRaise = false;
        EvaluateBlockStatements(Handler, FinallyReRaise);
        if (FinallyReRaise) ReRaiseCurrentException();
      }
      throw;
    }
    if (IsFinallyClause(Handler)) {
      Result = EvaluateBlockStatements(Handler, ReRaise);
      if (ReRaise) ReRaiseCurrentException();
    }
  } catch (const EORVException& E) {
    if (!IsExceptionClause(Handler)) throw;
    return EvaluateHandler(Handler, E);
  }
  return Result;
}

TORVExprToken* TORVLocalExprEvaluator::EvaluateHandler(TORVExprToken* Handler, const EORVException& Exception) {
  TORVEvaluatorContext& Context = CurrentContext();
  // Inside an enclosing handler, that handler's exception is current again
  // once this one ends; outside every handler the handled one stays.
  std::optional<EORVException> Enclosing;
  if (FHandlerDepth > 0) Enclosing = Context.FCurException;
  Context.SetCurException(&Exception);
  struct TDepthScope {
    int32_t& Depth;
    explicit TDepthScope(int32_t& D) : Depth(D) { ++Depth; }
    ~TDepthScope() { --Depth; }
  } Depth(FHandlerDepth);
  bool ReRaise = false;
  TORVExprToken* Result = nullptr;
  try {
    Result = EvaluateBlockStatements(Handler, ReRaise);
  } catch (...) {
    if (Enclosing) Context.SetCurException(&*Enclosing);
    throw;
  }
  if (ReRaise) {
    if (Enclosing) Context.SetCurException(&*Enclosing);
    throw Exception;
  }
  if (Enclosing) Context.SetCurException(&*Enclosing);
  return Result;
}

TORVExprToken* TORVLocalExprEvaluator::EvaluateBlockStatements(TORVExprToken* Clause, bool& ReRaise) {
  ReRaise = false;
  if (Clause == nullptr) return nullptr;
  TORVExprToken* Block = Clause->FUpperToken;
  TORVExprToken* Result = nullptr;
  for (int32_t I = 0; I < Clause->GetNumArguments(); ++I) {
    TORVExprToken* Statement = Clause->GetArgument(I);
    if (Statement == nullptr) continue;
    Result = Statement->FTokenType == ttBLOCK ? EvaluateBlock(Statement) : EvaluateControl(Statement);
    if (Stopped()) return Result;
    if (Result == nullptr) continue;
    if (Block != nullptr && Result->FSourceToken == Block) {
      if (Result->FTokenOperator == toRETRY) CurrentContext().FRetryAfterException = true;
      return nullptr;
    }
    break;
  }
  if (Result == nullptr || Result->FTokenOperator != toRAISE) return Result;
  TORVExprToken* Code = SlotOf(Result, RaiseCodeSlot);
  if (Code != nullptr) {
    TORVExprToken* Message = SlotOf(Result, RaiseMessageSlot);
    EvaluateNextToken(Code);
    TORVString Text;
    if (Message != nullptr) {
      EvaluateNextToken(Message);
      Text = Message->FValue->GetAsString();
    }
    throw EORVException(Code->FValue->GetAsInteger(), Text);
  }
  if (CurrentContext().GetCurException() != nullptr) {
    ReRaise = true;
  } else {
    ReRaiseCurrentException();
  }
  return Result;
}

void TORVLocalExprEvaluator::ReRaiseCurrentException() {
  const EORVException* Current = CurrentContext().GetCurException();
  if (Current == nullptr) return;
  throw EORVException(Current->ErrorCode(), Current->ErrorMsg(), Current->ErrorLine(), Current->ErrorColumn());
}

void TORVLocalExprEvaluator::EvaluateReturn(TORVExprToken* Return) {
  TORVExprToken* Expression = SlotOf(Return, ReturnValueSlot);
  if (Expression == nullptr) return;
  EvaluateNextToken(Expression);
  TORVExprToken* Returns = SlotOf(EnclosingRoutine(Return), RoutineReturnsSlot);
  TORVExprToken* ResultToken = Returns != nullptr ? Returns->GetArgument(FirstItemSlot) : nullptr;
  if (ResultToken == nullptr) return;
  GetValue(ResultToken);
  ResultToken->FValue->Assign(*Expression->FValue);
}

void TORVLocalExprEvaluator::EvaluateDeclarations(TORVExprToken* Clause) {
  const int32_t Count = CountOf(Clause);
  for (int32_t I = 0; I < Count; ++I) {
    try {
      EvaluateDeclaration(Clause->GetArgument(I));
    } catch (...) {
      // The failed declaration popped its own names; the earlier ones are
      // the block's, which never starts.
      PopDeclarations(Clause, I);
      throw;
    }
  }
}

void TORVLocalExprEvaluator::EvaluateDeclaration(TORVExprToken* Declare) {
  TORVExprToken* Names = SlotOf(Declare, DeclareNamesSlot);
  TORVExprToken* First = Names != nullptr ? Names->GetArgument(FirstItemSlot) : nullptr;
  if (First == nullptr) return;
  if (First->FTokenType == ttCURSOR) {
    TORVExprToken* Statement = SlotOf(First, CursorStatementSlot);
    PushValue(Statement);
    try {
      EvaluateNextToken(Statement);
      auto* Value = dynamic_cast<TORVStatementValue*>(Statement->FValue.get());
      if (Value == nullptr) throw std::logic_error("a cursor's statement has no statement value");
      Value->FWantLiveResult = First->FTokenID != CursorInsensitiveID;
    } catch (...) {
      PopValue(Statement);
      throw;
    }
    return;
  }
  TORVExprToken* Default = nullptr;
  if (First->FTokenType == ttVARIABLE || First->FTokenType == ttARRAY) {
    Default = SlotOf(Declare, DeclareDefaultSlot);
    if (Default != nullptr) EvaluateNextToken(Default);
    TORVExprToken* Size = SlotOf(Declare, DeclareArraySizeSlot);
    if (First->FTokenType == ttARRAY && Size != nullptr) EvaluateNextToken(Size);
  }
  int32_t Pushed = 0;
  try {
    for (int32_t I = 0; I < Names->GetNumArguments(); ++I) {
      TORVExprToken* Name = Names->GetArgument(I);
      PushValue(Name);
      ++Pushed;
      EvaluateNextToken(Name);
      if (Default != nullptr) {
        Name->FValue->Assign(*Default->FValue);
      } else if (Name->FTokenType == ttVARIABLE) {
        Name->FValue->SetNull(true);
      }
    }
  } catch (...) {
    PopNames(Names, Pushed);
    throw;
  }
}

void TORVLocalExprEvaluator::PopNames(TORVExprToken* Names, int32_t Count) {
  for (int32_t I = Count - 1; I >= 0; --I) PopValue(Names->GetArgument(I));
}

void TORVLocalExprEvaluator::PopDeclarations(TORVExprToken* Clause, int32_t Count) {
  for (int32_t I = Count - 1; I >= 0; --I) PopDeclaration(Clause->GetArgument(I));
}

void TORVLocalExprEvaluator::PopDeclaration(TORVExprToken* Declare) {
  TORVExprToken* Names = SlotOf(Declare, DeclareNamesSlot);
  TORVExprToken* First = Names != nullptr ? Names->GetArgument(FirstItemSlot) : nullptr;
  if (First == nullptr) return;
  if (First->FTokenType != ttCURSOR) {
    PopNames(Names, Names->GetNumArguments());
    return;
  }
  TORVExprToken* Statement = SlotOf(First, CursorStatementSlot);
  if (SlotOf(First, CursorReturnSlot) == nullptr) {
    PopValue(Statement);
    return;
  }
  // The returned cursor stays on its node for the caller; the value saved
  // under it must still leave the stack now, or the next pop of another
  // declaration would take it.
  const int32_t Top = FValueStack.GetCount() - 1;
  std::unique_ptr<TORVValue> Saved(Top >= 0 ? FValueStack.GetItems(Top) : nullptr);
  if (Top >= 0) FValueStack.Delete(Top);
  FReturnCursorSaved.emplace_back(Statement, std::move(Saved));
}

TORVLocalExprEvaluator::TORVReturnedCursor TORVLocalExprEvaluator::EvaluateReturnCursor(TORVExprToken* Token,
                                                                                      bool Keep) {
  TORVReturnedCursor Answer;
  if (Token == nullptr || Token->FSourceToken == nullptr) return Answer;
  TORVExprToken* Statement = Token->FSourceToken;
  std::unique_ptr<TORVValue> Detached = std::move(Statement->FValue);
  for (auto It = FReturnCursorSaved.rbegin(); It != FReturnCursorSaved.rend(); ++It) {
    if (It->first != Statement) continue;
    Statement->FValue = std::move(It->second);
    FReturnCursorSaved.erase(std::next(It).base());
    break;
  }
  auto* Value = dynamic_cast<TORVStatementValue*>(Detached.get());
  if (!Keep || Value == nullptr || Value->FResultCursor == nullptr) return Answer;
  Answer.Cursor = Value->FResultCursor;
  Value->FreeResultCursor(false);
  Detached.release();
  Answer.StatementValue.reset(Value);
  return Answer;
}

}  // namespace orv
