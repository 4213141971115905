#include "base/orverrors.h"
#include "tests/support/orvsqlfakeexpr.h"

#include <utility>

#include "base/orverror.h"
#include "core/orvstrings.h"
#include "sql/orvexprcatalog.h"
#include "sql/orvtokenslots.h"
#include "tests/support/orvsqltreedump.h"

namespace orv::test {

TORVFakeCatalogExpr::TORVFakeCatalogExpr(TORVFakeCatalog* Catalog, TORVString Database)
    : FCatalog(Catalog), FDatabase(std::move(Database)), FCurrentDatabase(FDatabase) {}

TORVFakeCatalogExpr::~TORVFakeCatalogExpr() {
  try {
    Clear();
  } catch (...) {
  }
}

TORVExprToken* TORVFakeCatalogExpr::Parse() {
  ++ParseCount;
  FCurrentDatabase = FDatabase;
  if (OnParse) return OnParse(*this);
  return ReadTokens(FExpression, [this](const TORVString& Message, int32_t Line, int32_t Column) {
    ExpressionError(Message, Line, Column);
  });
}

void TORVFakeCatalogExpr::Validate() {
  ++ValidateCount;
  FCurrentDatabase = FDatabase;
  RunValidation([this] { if (OnValidate) OnValidate(*this); }, [this] { Unlock(); });
}

void TORVFakeCatalogExpr::Unlock() {
  ++UnlockCount;
  if (OnUnlock) OnUnlock(*this);
}

TORVString TORVFakeCatalogExpr::DatabaseOf(const TORVExprToken* Token) const {
  if (!Token->FDatabaseName.empty()) return Token->FDatabaseName;
  if (Token->FSourceToken != nullptr && !Token->FSourceToken->FDatabaseName.empty()) {
    return Token->FSourceToken->FDatabaseName;
  }
  return FCurrentDatabase;
}

const TORVFakeTable* TORVFakeCatalogExpr::FindTableOf(TORVExprToken* TableRef, bool IncludeTemporary) {
  if (TableRef->FTokenOperator != toDERIVED)
    return FCatalog->FindTable(DatabaseOf(TableRef), TableRef->FSourceName, TableRef->FName, IncludeTemporary);
  TORVFakeTable& Derived = FDerivedTables.emplace_back();
  Derived.Name = TableRef->FCorrelationName;
  const TORVExprToken* Query = TableRef->GetNumArguments() > 0 ? TableRef->GetArgument(0) : nullptr;
  const TORVExprToken* Select = Query != nullptr && Query->GetNumArguments() > QuerySelectSlot
                                    ? Query->GetArgument(QuerySelectSlot)
                                    : nullptr;
  for (int32_t I = 0; Select != nullptr && I < Select->GetNumArguments(); ++I) {
    const TORVExprToken* Column = Select->GetArgument(I);
    if (Column->FHidden) continue;
    TORVColumnDescriptor Descriptor =
        TORVFakeCatalog::Column(Column->FCorrelationName, Column->FDataType, Column->FLength, Column->FScale,
                                Column->FCollation);
    Descriptor.SubType = Column->FSubType;
    Descriptor.Position = static_cast<int32_t>(Derived.Columns.size());
    Derived.Columns.push_back(Descriptor);
  }
  return &Derived;
}

const TORVFakeTable& TORVFakeCatalogExpr::TableOf(TORVExprToken* TableRef, bool IncludeTemporary) {
  const TORVFakeTable* Table = FindTableOf(TableRef, IncludeTemporary);
  if (Table == nullptr) {
    ExpressionError(FormatString(u"The table %s does not exist", {TableRef->FName}), TableRef->FLine,
                    TableRef->FCol);
    throw EORVException(ORV_SQL_ERROR.Code, u"unreachable");
  }
  return *Table;
}

void TORVFakeCatalogExpr::BindColumn(TORVExprToken* Token, TORVExprToken* TableRef, bool IncludeTemporary) {
  const TORVColumnDescriptor* Column = TableOf(TableRef, IncludeTemporary).FindColumn(Token->FName);
  if (Column == nullptr) {
    ExpressionError(FormatString(u"The column %s does not exist", {Token->FName}), Token->FLine, Token->FCol);
    return;
  }
  AssignColumnToToken(Token, *Column);
  ColumnFound(Token);
}

void TORVFakeCatalogExpr::UseDatabase(TORVExprToken* Token) {
  if (Token == nullptr) {
    FCurrentDatabase = FDatabase;
    return;
  }
  if (FCatalog->FindDatabase(Token->FName) == nullptr) {
    ExpressionError(FormatString(u"The database %s does not exist", {Token->FName}), Token->FLine, Token->FCol);
  }
  if (!SameString(Token->FName, FCurrentDatabase)) {
    ++BeginReadCount;
    Token->FDatabaseOpen = true;
  }
  FCurrentDatabase = Token->FName;
}

void TORVFakeCatalogExpr::UnlockDatabase(TORVExprToken* Token) {
  if (Token == nullptr || !Token->FDatabaseOpen) return;
  ++EndReadCount;
  Token->FDatabaseOpen = false;
}

void TORVFakeCatalogExpr::ExpandAllSelectColumns(TORVExprToken* Query, TORVExprToken* TableToken,
                                                 int32_t& Position, TORVExprToken* Column) {
  ExpandSelectColumns(Query, TableToken, Position, Column,
                      [this](TORVExprToken* TableRef) { return TableOf(TableRef, true).Columns; });
}

void TORVFakeCatalogExpr::ExpandAllInsertColumns(TORVExprToken* TableToken, TORVExprToken* Columns) {
  ExpandInsertColumns(TableToken, Columns, TableOf(TableToken, true).Columns);
}

void TORVFakeCatalogExpr::BeginReadTokenCatalog(TORVExprToken* Token) {
  if (Token->FDatabaseName.empty() || SameString(Token->FDatabaseName, FCurrentDatabase)) return;
  ++BeginReadCount;
  Token->FDatabaseOpen = true;
}

void TORVFakeCatalogExpr::EndReadTokenCatalog(TORVExprToken* Token) {
  if (Token->FDatabaseName.empty() || !Token->FDatabaseOpen) return;
  ++EndReadCount;
  Token->FDatabaseOpen = false;
}

TORVExprToken* TORVFakeCatalogExpr::GetFunctionParamToken(const TORVString& FunctionName, int32_t ParamIndex) {
  const TORVFakeRoutine* Routine = FCatalog->FindRoutine(FCurrentDatabase, u"", FunctionName, false);
  return Routine == nullptr ? nullptr : MakeParamToken(Routine->Params, ParamIndex);
}

TORVExprToken* TORVFakeCatalogExpr::GetProcedureParamToken(const TORVString& ProcedureName,
                                                           int32_t ParamIndex) {
  const TORVFakeRoutine* Routine = FCatalog->FindRoutine(FCurrentDatabase, u"", ProcedureName, false);
  if (Routine == nullptr) Routine = FCatalog->FindRoutine(FCurrentDatabase, u"", ProcedureName, true);
  return Routine == nullptr ? nullptr : MakeParamToken(Routine->Params, ParamIndex);
}

bool TORVFakeCatalogExpr::ColumnExists(TORVExprToken* TableToken, TORVExprToken* ColumnToken) {
  if (ColumnToken == nullptr || ColumnToken->FTokenType != ttCOLUMNREF) return false;
  const TORVFakeTable* Table = FindTableOf(TableToken, true);
  return Table != nullptr && Table->FindColumn(ColumnToken->FName) != nullptr;
}

void TORVFakeCatalogExpr::BindReference(TORVExprToken* Token, TORVTokenType ReferenceType,
                                        bool IncludeTemporary) {
  switch (ReferenceType) {
    case ttTABLEREF: {
      TableOf(Token, IncludeTemporary);
      TableFound(Token);
      break;
    }
    case ttCOLUMNREF:
    case ttROWCOLUMNREF: {
      TORVExprToken TableName;
      TORVExprToken* TableRef = Token->FSourceToken;
      if (TableRef != nullptr && TableRef->FTokenType == ttROWVARIABLE) {
        TableName.FName = RowTable();
        TableName.AssignPos(Token);
        TableRef = &TableName;
      } else if (TableRef == nullptr) {
        DefaultSchemaName(Token, TableName.FSourceName);
        DefaultTableName(Token, TableName.FName);
        TableName.FDatabaseName = DatabaseOf(Token);
        TableName.AssignPos(Token);
        TableRef = &TableName;
      }
      BindColumn(Token, TableRef, IncludeTemporary);
      break;
    }
    case ttCOLLATIONREF: {
      const TORVFakeCollation* Collation = FCatalog->FindCollation(Token->FName);
      if (Collation == nullptr) {
        ExpressionError(FormatString(u"The collation %s does not exist", {Token->FName}), Token->FLine,
                        Token->FCol);
        return;
      }
      Token->FCollation = Collation->ID;
      break;
    }
    case ttFUNCREF:
    case ttPROCREF: {
      bool Procedure = ReferenceType == ttPROCREF;
      const TORVFakeRoutine* Routine =
          FCatalog->FindRoutine(DatabaseOf(Token), Token->FSourceName, Token->FName, false);
      if (Routine == nullptr && Procedure) {
        Routine = FCatalog->FindRoutine(DatabaseOf(Token), Token->FSourceName, Token->FName, true);
      }
      if (Routine == nullptr) {
        ExpressionError(FormatString(u"The routine %s does not exist", {Token->FName}), Token->FLine,
                        Token->FCol);
        return;
      }
      if (Procedure) {
        ProcedureFound(Token);
      } else {
        Token->FDataType = Routine->Result.DataType;
        Token->FSubType = Routine->Result.SubType;
        Token->FLength = Routine->Result.Length;
        Token->FScale = Routine->Result.Scale;
        Token->FCollation = Routine->Result.Collation;
        FunctionFound(Token);
      }
      break;
    }
    default:
      break;
  }
}

namespace {

// The trigger whose code holds Token, or nil; the condition of CREATE
// TRIGGER stands beside its trigger node.
const TORVExprToken* TriggerOf(const TORVExprToken* Token) {
  const TORVExprToken* Node = Token;
  for (; Node != nullptr; Node = Node->FUpperToken) {
    if (Node->FTokenType == ttTRIGGER) return Node;
    if (Node->FUpperToken == nullptr) break;
  }
  if (Node != nullptr && Node->FTokenType == ttDYNSTATEMENT && Node->GetNumArguments() > 0) {
    const TORVExprToken* Name = Node->GetArgument(0);
    if (Name != nullptr && Name->FTokenType == ttTRIGGER) return Name;
  }
  return nullptr;
}

}  // namespace

TORVString TORVFakeCatalogExpr::RowTable() const {
  if (FTokens != nullptr && FTokens->FTokenType == ttDYNSTATEMENT && FTokens->GetNumArguments() > 2) {
    const TORVExprToken* Table = FTokens->GetArgument(2);
    if (TriggerOf(FTokens) != nullptr && Table != nullptr) return Table->FName;
  }
  return RowTableName;
}

void TORVFakeCatalogExpr::CheckForRowColumn(TORVExprToken* Token) {
  const TORVExprToken* Trigger = TriggerOf(Token);
  if (Trigger == nullptr) return;
  Token->FTokenType = ttROWCOLUMNREF;
  const TORVExprToken* Rows = Trigger->GetNumArguments() > 1 ? Trigger->GetArgument(1) : nullptr;
  for (int32_t I = 0; Rows != nullptr && I < Rows->GetNumArguments(); ++I) {
    TORVExprToken* Row = Rows->GetArgument(I);
    if (Row != nullptr && SameString(Row->FName, Token->FSourceName)) Token->FSourceToken = Row;
  }
}

void TORVFakeCatalogExpr::UnbindReference(TORVExprToken* Token) {
  Unbound.push_back(Token);
  if (OnUnbind) OnUnbind(Token);
}

bool TORVFakeCatalogExpr::TextIndexExists(TORVExprToken* Token) {
  if (Token == nullptr || Token->FSourceToken == nullptr) return false;
  return HasTextIndex(FCatalog->FindTable(DatabaseOf(Token->FSourceToken), Token->FSourceToken->FSourceName,
                                          Token->FSourceToken->FName, true),
                      Token);
}

bool TORVFakeCatalogExpr::HasTextIndex(const TORVFakeTable* Table, const TORVExprToken* Column) {
  if (Table == nullptr) return false;
  for (const TORVFakeTextIndex& Index : Table->TextIndexes) {
    if (SameString(Index.Column, Column->FName) && Index.Collation == Column->FCollation) return true;
  }
  return false;
}

void TORVFakeCatalogExpr::ExpressionChanged() {
  ++ChangedCount;
  TORVCompiledExpr::ExpressionChanged();
}

TORVString TORVFakeCatalogExpr::Build(TORVExprToken* Token, bool Plan, bool PlanCosts, bool ShowParameterValues) {
  return BuildExprText(FBuilder, Token != nullptr ? Token : FTokens, Plan, PlanCosts, ShowParameterValues);
}

TORVFakeFilterExpr::TORVFakeFilterExpr(TORVFakeCatalog* Catalog, TORVString Database, TORVString TableName)
    : TORVFakeCatalogExpr(Catalog, std::move(Database)), FTableName(std::move(TableName)) {
  FTypeName = u"filter expression";
  FNoIndexThreshhold = 2.0;
}

void TORVFakeFilterExpr::DefaultTableName(TORVExprToken* /*Token*/, TORVString& Name) { Name = FTableName; }

void TORVFakeFilterExpr::BindReference(TORVExprToken* Token, TORVTokenType ReferenceType,
                                       bool /*IncludeTemporary*/) {
  if (ReferenceType == ttCOLUMNREF && Token->FSourceToken == nullptr) {
    TORVExprToken TableRef;
    TableRef.FName = FTableName;
    TableRef.AssignPos(Token);
    BindColumn(Token, &TableRef, true);
    return;
  }
  TORVFakeCatalogExpr::BindReference(Token, ReferenceType, true);
}

bool TORVFakeFilterExpr::TextIndexExists(TORVExprToken* Token) {
  if (Token == nullptr) return false;
  if (Token->FSourceToken != nullptr) return TORVFakeCatalogExpr::TextIndexExists(Token);
  return HasTextIndex(FCatalog->FindTable(FDatabase, u"", FTableName, true), Token);
}

void TORVFakeFilterExpr::SetOptimization(TORVExprToken* Token) {
  TORVExprToken* Column = nullptr;
  if (Token->FTokenType == ttBINARY) {
    Column = Token->GetLeftToken();
  } else if (Token->FTokenType == ttEXTBINARY && Token->GetNumArguments() > 0) {
    Column = Token->GetArgument(0);
  }
  Token->FOptimizeHintName.clear();
  if (Column != nullptr && Column->FTokenType == ttCOLUMNREF) {
    for (const TIndex& Index : Indexes) {
      if (!SameString(Index.Column, Column->FName)) continue;
      Token->FOptimizeType = 2;
      Token->FOptimizeName = FTableName + u"." + Index.Name;
      Token->FOptimizeNumber = Index.Number;
      if (FCostOptimization) {
        Token->FOptimizeCount = Index.Count >= 0 ? Index.Count : RowCount / 10;
        Token->FOptimizeCost = Index.Cost >= 0 ? Index.Cost : RowCount / 10;
      }
      return;
    }
  }
  Token->FOptimizeType = 0;
  Token->FOptimizeName = FTableName;
  Token->FOptimizeNumber = -1;
  if (Column != nullptr) Token->FOptimizeHintName = Column->FName;
}

}  // namespace orv::test
