#include "sql/orvexprcatalog.h"

#include <memory>
#include <stdexcept>

#include "sql/orvbuilder.h"
#include "sql/orvcompiledexpr.h"
#include "sql/orvparser.h"
#include "sql/orvtokenslots.h"

namespace orv {

TORVExprToken* ParseExprWithOptions(TORVExprParser& Parser, TORVCompiledExpr& Expr, TORVParseOptions Options) {
  Parser.Initialize(&Expr);
  return Parser.ParseExpr(Options);
}

TORVExprToken* ParseQueryWithOptions(TORVExprParser& Parser, TORVCompiledExpr& Expr, TORVParseOptions Options) {
  Parser.Initialize(&Expr);
  return Parser.ParseQuery(Options);
}

TORVString BuildExprText(TORVExprBuilder& Builder, const TORVExprToken* Token, bool Plan, bool PlanCosts,
                         bool ShowParameterValues) {
  Builder.ClearExpr();
  Builder.SetIndentationLevel(-1);
  Builder.SetIncludeLineBreaks(false);
  Builder.SetIncludePlan(Plan);
  Builder.SetIncludePlanCosts(PlanCosts);
  Builder.SetIncludeParameterValues(ShowParameterValues);
  Builder.BuildStatement(Token);
  TORVString Text = Builder.GetExpressionLiteral();
  Builder.ClearExpr();
  return Text;
}

namespace {

// A column reference as the parser makes it: the array-element and
// collation slots present and empty.
TORVExprToken* NewColumnRef(const TORVString& Name) {
  auto* Ref = new TORVExprToken();
  Ref->FTokenType = ttCOLUMNREF;
  Ref->FName = Name;
  Ref->AddArgument(nullptr);
  Ref->AddArgument(nullptr);
  return Ref;
}

TORVExprToken* QuerySlot(TORVExprToken* Query, int32_t Slot) {
  if (Query == nullptr || Query->GetNumArguments() <= Slot) return nullptr;
  return Query->GetArgument(Slot);
}

}  // namespace

void AssignColumnToToken(TORVExprToken* Token, const TORVColumnDescriptor& Column) {
  Token->FPosition = Column.OriginPosition >= 0 ? Column.OriginPosition : Column.Position;
  Token->FCorrelationDescription = Column.Description;
  Token->FDataType = Column.DataType;
  Token->FSubType = Column.SubType;
  Token->FLength = Column.Length;
  Token->FScale = Column.Scale;
  Token->FCollation = Column.Collation;
  if (!Column.OriginName.empty()) Token->FOriginName = Column.OriginName;
}

TORVExprToken* MakeParamToken(const std::vector<TORVColumnDescriptor>& Params, int32_t Index) {
  if (Index < 0 || static_cast<size_t>(Index) >= Params.size()) return nullptr;
  const TORVColumnDescriptor& Param = Params[static_cast<size_t>(Index)];
  auto* Token = new TORVExprToken();
  Token->FTokenType = ttPARAM;
  Token->FName = Param.Name;
  AssignColumnToToken(Token, Param);
  Token->FPosition = Param.Position;
  return Token;
}

void ExpandSelectColumns(TORVExprToken* Query, TORVExprToken* TableRef, int32_t& Position,
                         TORVExprToken* StarColumn, const TORVTableColumnsFunc& ColumnsOf) {
  TORVExprToken* SelectClause = QuerySlot(Query, QuerySelectSlot);
  if (SelectClause == nullptr || Position < 0 || Position >= SelectClause->GetNumArguments() ||
      SelectClause->GetArgument(Position) != StarColumn) {
    // The validater passes the wildcard it found there: a broken internal
    // contract.
    throw std::invalid_argument("the wildcard is not the select column at the given position");
  }
  std::vector<TORVExprToken*> Tables;
  if (TableRef != nullptr) {
    Tables.push_back(TableRef);
  } else if (TORVExprToken* From = QuerySlot(Query, QueryFromSlot)) {
    for (int32_t I = 0; I < From->GetNumArguments(); ++I) {
      if (TORVExprToken* Table = From->GetArgument(I)) Tables.push_back(Table);
    }
  }
  std::vector<std::vector<TORVColumnDescriptor>> ColumnLists;
  ColumnLists.reserve(Tables.size());
  for (TORVExprToken* Table : Tables) ColumnLists.push_back(ColumnsOf(Table));

  // Build every new select column before the list changes.
  std::vector<TORVExprToken*> NewColumns;
  try {
    for (size_t T = 0; T < Tables.size(); ++T) {
      TORVExprToken* Table = Tables[T];
      for (const TORVColumnDescriptor& Column : ColumnLists[T]) {
        if (Column.Hidden) continue;
        auto Select = std::make_unique<TORVExprToken>();
        Select->FTokenType = ttSELECTCOLUMN;
        Select->FTokenConstant = Column.Name;
        Select->AssignPos(StarColumn);
        TORVExprToken* Ref = NewColumnRef(Column.Name);
        Select->AddArgument(Ref);
        Ref->AssignPos(StarColumn);
        if (!Table->FCorrelationName.empty()) {
          Ref->FSourceName = Table->FCorrelationName;
        } else {
          Ref->FSourceName = Table->FName;
          Ref->FDatabaseName = Table->FDatabaseName;
        }
        Ref->FSourceToken = Table;
        AssignColumnToToken(Ref, Column);
        Select->AssignType(Ref);
        Select->FCorrelationDescription = Column.Description;
        NewColumns.push_back(Select.release());
      }
    }
  } catch (...) {
    for (TORVExprToken*& Column : NewColumns) FreeTokens(Column);
    throw;
  }

  SelectClause->DeleteArgument(Position);
  TORVExprToken* Star = StarColumn;
  FreeTokens(Star);
  for (TORVExprToken* Column : NewColumns) {
    SelectClause->InsertArgument(Position, Column);
    Column->FPosition = Position;
    ++Position;
  }
}

void ExpandInsertColumns(TORVExprToken* TableRef, TORVExprToken* ColumnsClause,
                         const std::vector<TORVColumnDescriptor>& Columns) {
  for (const TORVColumnDescriptor& Column : Columns) {
    std::unique_ptr<TORVExprToken> Ref(NewColumnRef(Column.Name));
    Ref->AssignPos(TableRef);
    Ref->FSourceToken = TableRef;
    AssignColumnToToken(Ref.get(), Column);
    ColumnsClause->AddArgument(Ref.get());
    Ref.release();
  }
}

void RunValidation(const std::function<void()>& Validate, const std::function<void()>& Unlock) {
  try {
    Validate();
  } catch (...) {
    try {
      Unlock();
    } catch (...) {
      // The validation's error is the one the user must see.
    }
    throw;
  }
}

}  // namespace orv
