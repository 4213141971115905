// The local evaluator's dynamic statements and cursor statements: PREPARE,
// UNPREPARE, EXECUTE, OPEN, CLOSE, FETCH, REFRESH and the row edits
// through a cursor, on the statement value of the declaration that their
// reference names.
#include <functional>
#include <stdexcept>

#include "base/orverror.h"
#include "base/orverrors.h"
#include "catalog/orvcursor.h"
#include "catalog/orvcursorcolumns.h"
#include "catalog/orvcursorrow.h"
#include "core/orvliteral.h"
#include "exec/orvexecvalue.h"
#include "local/orvlocaleval.h"
#include "sql/orvexprtoken.h"
#include "sql/orvroutineslots.h"
#include "sql/orvtreeutil.h"

namespace orv {

namespace {

// The node whose line and column stand for an expression: its leftmost.
const TORVExprToken* FirstToken(const TORVExprToken* Token) {
  while (Token->GetLeftToken() != nullptr) Token = Token->GetLeftToken();
  return Token;
}

// The value at the source position of a cursor column in Row.
TORVValue& ColumnValue(TORVCursorRow& Row, TORVCursorColumn& Column) {
  return *Row.GetValues()->GetItems(Column.GetSourceColumn()->GetPosition());
}

// The cursor column an item names (its FLeftToken, read as a string), or
// else the one at Index; nil when the cursor has fewer columns.
TORVCursorColumn* ItemColumn(TORVLocalExprEvaluator& Evaluator, TORVCursor& Cursor, TORVExprToken* Item,
                             int32_t Index) {
  TORVCursorColumns& Columns = *Cursor.GetCursorColumns();
  if (Item->GetLeftToken() != nullptr) {
    Evaluator.EvaluateNextToken(Item->GetLeftToken());
    return static_cast<TORVCursorColumn*>(Columns.FindByName(Item->GetLeftToken()->FValue->GetAsString(), true));
  }
  if (Index >= Columns.GetCount()) return nullptr;
  return Columns.GetCursorColumn(Index);
}

// Each item of Pairs, its value (right operand) evaluated, with the cursor
// column it names or stands at; an item without a value or beyond the
// cursor's columns is the columns error naming StatementWord, raised
// before anything reads past the columns.
void ForEachItemColumn(TORVLocalExprEvaluator& Evaluator, TORVCursor& Cursor, TORVExprToken* Statement,
                       TORVExprToken* Pairs, const TORVString& CursorName, const char16_t* StatementWord,
                       const std::function<void(TORVExprToken& Value, TORVCursorColumn& Column)>& Action) {
  for (int32_t I = 0; Pairs != nullptr && I < Pairs->GetNumArguments(); ++I) {
    TORVExprToken* Item = Pairs->GetArgument(I);
    TORVExprToken* Value = Item->GetRightToken();
    TORVCursorColumn* Column = nullptr;
    if (Value != nullptr) {
      Evaluator.EvaluateNextToken(Value);
      Column = ItemColumn(Evaluator, Cursor, Item, I);
    }
    if (Column == nullptr) {
      TORVStatementValue::CursorColumnsError(CursorName, StatementWord, Statement->FLine, Statement->FCol);
    }
    Action(*Value, *Column);
  }
}

}  // namespace

TORVStatementValue& TORVLocalExprEvaluator::ReferencedStatement(TORVExprToken* Reference) {
  TORVExprToken* Declared = Reference->FSourceToken;
  if (Declared != nullptr && Declared->FTokenType == ttCURSOR) Declared = SlotOf(Declared, CursorStatementSlot);
  auto* Value = Declared != nullptr ? dynamic_cast<TORVStatementValue*>(Declared->FValue.get()) : nullptr;
  // The declaration made the value; a reference outside its block is a
  // tree the validater refuses.
  if (Value == nullptr) throw std::logic_error("a statement reference outside its declaration's block");
  return *Value;
}

TORVStatementValue& TORVLocalExprEvaluator::OpenCursor(TORVExprToken* Reference, bool NeedRow) {
  TORVStatementValue& Statement = ReferencedStatement(Reference);
  if (NeedRow) {
    Statement.CheckCursorRow(Reference->FName, Reference->FLine, Reference->FCol);
  } else {
    Statement.CheckCursorOpen(Reference->FName, Reference->FLine, Reference->FCol);
  }
  if (Statement.FResultCursorRow == nullptr) Statement.FResultCursorRow = Statement.FResultCursor->CreateRow(true);
  return Statement;
}

TORVExprToken* TORVLocalExprEvaluator::EvaluatePREPARE(TORVExprToken* Token) {
  TORVExprToken* Text = SlotOf(Token, PrepareTextSlot);
  const TORVExprToken* First = FirstToken(Text);
  EvaluateNextToken(Text);
  ReferencedStatement(SlotOf(Token, PrepareStatementSlot))
      .Prepare(Text->FValue->GetAsString(), First->FLine, First->FCol);
  return nullptr;
}

TORVExprToken* TORVLocalExprEvaluator::EvaluateUNPREPARE(TORVExprToken* Token) {
  ReferencedStatement(SlotOf(Token, PrepareStatementSlot)).UnPrepare();
  return nullptr;
}

namespace {

// EXECUTE and OPEN: the USING values, then the statement value runs at the
// reference's position.
void ExecuteReferenced(TORVLocalExprEvaluator& Evaluator, TORVStatementValue& Statement, TORVExprToken* Reference,
                       TORVExprToken* Using) {
  if (Using != nullptr) Evaluator.EvaluateParams(Using);
  Statement.Execute(Using, Reference->FLine, Reference->FCol);
}

}  // namespace

TORVExprToken* TORVLocalExprEvaluator::EvaluateEXECUTE(TORVExprToken* Token) {
  TORVExprToken* Reference = SlotOf(Token, ExecuteStatementSlot);
  ExecuteReferenced(*this, ReferencedStatement(Reference), Reference, SlotOf(Token, ExecuteUsingSlot));
  return nullptr;
}

TORVExprToken* TORVLocalExprEvaluator::EvaluateOPEN(TORVExprToken* Token) {
  TORVExprToken* Reference = SlotOf(Token, CursorRefSlot);
  ExecuteReferenced(*this, ReferencedStatement(Reference), Reference, SlotOf(Token, OpenUsingSlot));
  return nullptr;
}

TORVExprToken* TORVLocalExprEvaluator::EvaluateCLOSE(TORVExprToken* Token) {
  ReferencedStatement(SlotOf(Token, CursorRefSlot)).FreeResultCursor(true);
  return nullptr;
}

TORVExprToken* TORVLocalExprEvaluator::EvaluateFETCH(TORVExprToken* Token) {
  TORVExprToken* Reference = SlotOf(Token, FetchCursorSlot);
  TORVStatementValue& Statement = OpenCursor(Reference, false);
  TORVCursor& Cursor = *Statement.FResultCursor;
  TORVExprToken* Orientation = SlotOf(Token, FetchOrientationSlot);
  const int32_t How = Orientation != nullptr ? Orientation->FTokenID : FetchDefaultID;
  auto Count = [&]() {
    TORVExprToken* Value = SlotOf(Orientation, FetchOrientationValueSlot);
    EvaluateNextToken(Value);
    return Value->FValue->GetNull() ? 0 : Value->FValue->GetAsInteger();
  };
  switch (How) {
    case FetchNextID:
      Cursor.Next();
      break;
    case FetchPriorID:
      Cursor.Prior();
      break;
    case FetchFirstID:
      Cursor.First();
      break;
    case FetchLastID:
      Cursor.Last();
      break;
    case FetchAbsoluteID:
      Cursor.SetToSequenceNumber(Count());
      break;
    case FetchRelativeID: {
      const int32_t N = Count();
      for (int32_t I = 0; I < N && !Cursor.GetEOF(); ++I) Cursor.Next();
      for (int32_t I = 0; I > N && !Cursor.GetBOF(); --I) Cursor.Prior();
      break;
    }
    default:
      break;
  }
  TORVCursorRow& Row = *Statement.FResultCursorRow;
  Cursor.GetCurrentRow(Row, false);
  ForEachItemColumn(*this, Cursor, Token, SlotOf(Token, FetchPairsSlot), Reference->FName, u"FETCH",
                    [&](TORVExprToken& Target, TORVCursorColumn& Column) {
                      Target.FValue->Assign(ColumnValue(Row, Column));
                    });
  return nullptr;
}

TORVExprToken* TORVLocalExprEvaluator::EvaluateREFRESH(TORVExprToken* Token) {
  OpenCursor(SlotOf(Token, CursorRefSlot), false).FResultCursor->Refresh();
  return nullptr;
}

TORVExprToken* TORVLocalExprEvaluator::EvaluateINSERTCURSOR(TORVExprToken* Token) {
  TORVExprToken* Reference = SlotOf(Token, CursorRefSlot);
  TORVStatementValue& Statement = OpenCursor(Reference, false);
  TORVCursor& Cursor = *Statement.FResultCursor;
  TORVCursorRow& Row = *Statement.FResultCursorRow;
  Row.Initialize();
  ForEachItemColumn(*this, Cursor, Token, SlotOf(Token, CursorPairsSlot), Reference->FName, u"INSERT",
                    [&](TORVExprToken& Value, TORVCursorColumn& Column) {
                      ColumnValue(Row, Column).Assign(*Value.FValue);
                    });
  Cursor.Insert(Row);
  return nullptr;
}

TORVExprToken* TORVLocalExprEvaluator::EvaluateUPDATECURSOR(TORVExprToken* Token) {
  TORVExprToken* Reference = SlotOf(Token, CursorRefSlot);
  TORVStatementValue& Statement = OpenCursor(Reference, true);
  TORVCursor& Cursor = *Statement.FResultCursor;
  TORVCursorRow& Row = *Statement.FResultCursorRow;
  Cursor.GetCurrentRow(Row, true);
  try {
    ForEachItemColumn(*this, Cursor, Token, SlotOf(Token, CursorPairsSlot), Reference->FName, u"UPDATE",
                      [&](TORVExprToken& Value, TORVCursorColumn& Column) {
                        ColumnValue(Row, Column).Assign(*Value.FValue);
                      });
    Cursor.Update(Row);
  } catch (...) {
    Cursor.Cancel(Row);
    throw;
  }
  return nullptr;
}

TORVExprToken* TORVLocalExprEvaluator::EvaluateDELETECURSOR(TORVExprToken* Token) {
  TORVStatementValue& Statement = OpenCursor(SlotOf(Token, CursorRefSlot), true);
  TORVCursorRow& Row = *Statement.FResultCursorRow;
  Statement.FResultCursor->Delete(Row);
  Statement.FResultCursor->GetCurrentRow(Row, false);
  return nullptr;
}

}  // namespace orv
