#include "exec/orvexecvalue.h"

#include "base/orverror.h"
#include "base/orverrors.h"
#include "catalog/orvcursor.h"
#include "core/orvliteral.h"
#include "eval/orveval.h"
#include "sql/orvexprtoken.h"

namespace orv {

TORVExecValue::TORVExecValue(TORVExprEvaluator* Evaluator, TORVExprToken* Token)
    : TORVContainedValue(Evaluator->GetCharacterSet()), FEvaluator(Evaluator), FToken(Token) {
  SetDataType(Token->FDataType);
  SetSubType(Token->FSubType);
  SetLength(Token->FLength);
  SetScale(Token->FScale);
  SetCollation(Token->FCollation);
}

void TORVStatementValue::CheckCursorOpen(const TORVString& CursorName, int32_t Line, int32_t Column) const {
  if (FResultCursor != nullptr) return;
  throw MakeError(ORV_CURSOR_AT_ERROR, {CursorName, IntToString(Line), IntToString(Column), ORV_CURSOR_CLOSED_DETAIL},
                  Line, Column);
}

void TORVStatementValue::CheckCursorRow(const TORVString& CursorName, int32_t Line, int32_t Column) const {
  CheckCursorOpen(CursorName, Line, Column);
  if (FResultCursor->GetRowNumber() != 0) return;
  throw MakeError(ORV_CURSOR_AT_ERROR, {CursorName, IntToString(Line), IntToString(Column), ORV_CURSOR_NO_ROW_DETAIL},
                  Line, Column);
}

void TORVStatementValue::CursorColumnsError(const TORVString& CursorName, const TORVString& StatementWord,
                                            int32_t Line, int32_t Column) {
  throw MakeError(ORV_CURSOR_AT_ERROR,
                  {CursorName, IntToString(Line), IntToString(Column),
                   FormatString(ORV_CURSOR_COLUMNS_DETAIL, {StatementWord})},
                  Line, Column);
}

void TORVStatementValue::CheckStatementPrepared(const TORVString& StatementName, int32_t Line,
                                                int32_t Column) const {
  if (FStatementManager != nullptr) return;
  throw MakeError(ORV_STATEMENT_ERROR,
                  {IntToString(Line), IntToString(Column), FormatString(ORV_STATEMENT_UNPREPARED_DETAIL, {StatementName})},
                  Line, Column);
}

}  // namespace orv
