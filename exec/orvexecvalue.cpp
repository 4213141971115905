#include "exec/orvexecvalue.h"

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

}  // namespace orv
