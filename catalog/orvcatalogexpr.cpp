#include "catalog/orvcatalogexpr.h"

#include "base/orverror.h"
#include "base/orverrors.h"
#include "catalog/orvcatalog.h"
#include "catalog/orvconfig.h"
#include "catalog/orvconfigobject.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvschema.h"
#include "catalog/orvtable.h"
#include "core/orvsqlscan.h"
#include "core/orvstrings.h"
#include "sql/orvbuilder.h"
#include "sql/orvexprcatalog.h"
#include "sql/orvparser.h"
#include "sql/orvroutineslots.h"
#include "sql/orvstmtslots.h"
#include "sql/orvvalidater.h"

namespace orv {

namespace {

constexpr char16_t CatalogNotReadMsg[] = u"The catalog was not read properly";

// A name the parser reads back without quotes: a letter or underscore, then
// letters, digits and underscores.
bool PlainIdentifier(const TORVString& Name) {
  if (Name.empty()) return false;
  for (size_t Index = 0; Index < Name.size(); ++Index) {
    const char16_t C = Name[Index];
    const bool Letter = (C >= u'A' && C <= u'Z') || (C >= u'a' && C <= u'z') || C == u'_';
    if (!Letter && (Index == 0 || C < u'0' || C > u'9')) return false;
  }
  return true;
}

}  // namespace

TORVCatalogExpr::~TORVCatalogExpr() {
  // UnbindReference is this class's from here on; the base destructor would
  // unbind with its own.
  try {
    Clear();
  } catch (...) {
  }
}

void TORVCatalogExpr::SetCatalog(TORVCatalog* Value) {
  FCatalog = Value;
  if (FOriginalCatalog == nullptr) FOriginalCatalog = Value;
}

TORVConfig* TORVCatalogExpr::Config() const {
  TORVCatalog* Catalog = FCatalog != nullptr ? FCatalog : FOriginalCatalog;
  return Catalog != nullptr ? Catalog->GetConfig() : nullptr;
}

TORVExprToken* TORVCatalogExpr::Parse() {
  ResetCatalog();
  return ParseExprWithOptions(*Config()->GetParser(), *this, {poAllowSchemaQualifier, poAllowTableQualifier});
}

void TORVCatalogExpr::Validate() {
  ResetCatalog();
  TORVExprValidater& Validater = *Config()->GetValidater();
  Validater.Initialize(this);
  Validater.SetRequiredDataType(0);
  Validater.SetRequiredSubType(0);
  RunValidation([&Validater] { Validater.Validate(); }, [this] { Unlock(); });
}

void TORVCatalogExpr::Unlock() {
  ResetCatalog();
  TORVExprValidater& Validater = *Config()->GetValidater();
  Validater.Initialize(this);
  Validater.Unlock();
}

void TORVCatalogExpr::ExpressionChanged() {
  TORVCompiledExpr::ExpressionChanged();
  if (FParent != nullptr) FParent->SetModified(true);
}

TORVString TORVCatalogExpr::Build(TORVExprToken* Token, bool Plan, bool PlanCosts, bool ShowParameterValues) {
  TORVConfig* Owner = Config();
  if (Owner == nullptr || Owner->GetBuilder() == nullptr) return TORVString();
  return BuildExprText(*Owner->GetBuilder(), Token != nullptr ? Token : FTokens, Plan, PlanCosts,
                       ShowParameterValues);
}

void TORVCatalogExpr::AtToken(TORVExprToken* Token, const std::function<void()>& Call) {
  try {
    Call();
  } catch (const EORVException& E) {
    if (E.ErrorCode() == ORV_SQL_ERROR.Code) throw;
    ExpressionError(E.ErrorMsg(), Token->FLine, Token->FCol);
  }
}

TORVDatabaseContainer* TORVCatalogExpr::FindDatabase(const TORVString& Name) {
  return static_cast<TORVDatabaseContainer*>(Config()->GetDatabases().FindByName(Name, true));
}

TORVCatalog* TORVCatalogExpr::GetCatalogForToken(TORVExprToken* Token) {
  TORVString Name = Token->FDatabaseName;
  if (Name.empty() && Token->FSourceToken != nullptr) Name = Token->FSourceToken->FDatabaseName;
  if (Name.empty() && Token->FSourceToken == nullptr) DefaultDatabaseName(Token, Name);
  if (Name.empty()) return FCatalog;
  TORVDatabaseContainer* Database = FindDatabase(Name);
  if (Database->GetCatalog() == nullptr) ExpressionError(CatalogNotReadMsg, Token->FLine, Token->FCol);
  return Database->GetCatalog();
}

void TORVCatalogExpr::BeginReadTokenCatalog(TORVExprToken* Token) {
  if (Token->FDatabaseName.empty()) return;
  AtToken(Token, [&] {
    TORVDatabaseContainer* Database = FindDatabase(Token->FDatabaseName);
    if (FCatalog != nullptr && Database == FCatalog->GetDatabase()) return;
    Config()->DoBeginReadCatalog(Database);
    Token->FDatabaseOpen = true;
  });
}

void TORVCatalogExpr::EndReadTokenCatalog(TORVExprToken* Token) {
  if (Token->FDatabaseName.empty()) return;
  AtToken(Token, [&] {
    TORVDatabaseContainer* Database = FindDatabase(Token->FDatabaseName);
    if (Token->FDatabaseOpen) Config()->DoEndReadCatalog(Database);
    Token->FDatabaseOpen = false;
  });
}

void TORVCatalogExpr::UseDatabase(TORVExprToken* Token) {
  if (Token == nullptr) {
    ResetCatalog();
    return;
  }
  AtToken(Token, [&] {
    TORVDatabaseContainer* Database = FindDatabase(Token->FName);
    if (FCatalog != Database->GetCatalog()) Config()->DoBeginReadCatalog(Database);
    if (Database->GetCatalog() == nullptr) Database->CatalogReadError();
    FCatalog = Database->GetCatalog();
    Token->FDatabaseOpen = true;
  });
}

void TORVCatalogExpr::UnlockDatabase(TORVExprToken* Token) {
  if (Token == nullptr) {
    ResetCatalog();
    return;
  }
  AtToken(Token, [&] {
    TORVDatabaseContainer* Database = FindDatabase(Token->FName);
    if (Token->FDatabaseOpen && Database->GetCatalog() != FCatalog) Config()->DoEndReadCatalog(Database);
    if (Database->GetCatalog() != nullptr) FCatalog = Database->GetCatalog();
    Token->FDatabaseOpen = false;
  });
}

bool TORVCatalogExpr::ColumnExists(TORVExprToken* TableToken, TORVExprToken* ColumnToken) {
  TORVCatalog* Catalog = GetCatalogForToken(TableToken);
  return Catalog != nullptr && Catalog->ColumnExists(TableToken, ColumnToken, FEffectiveUser);
}

TORVExprToken* TORVCatalogExpr::GetFunctionParamToken(const TORVString& FunctionName, int32_t ParamIndex) {
  return FCatalog != nullptr ? FCatalog->GetFunctionParamToken(FunctionName, ParamIndex) : nullptr;
}

TORVExprToken* TORVCatalogExpr::GetProcedureParamToken(const TORVString& ProcedureName, int32_t ParamIndex) {
  return FCatalog != nullptr ? FCatalog->GetProcedureParamToken(ProcedureName, ParamIndex) : nullptr;
}

void TORVCatalogExpr::BindReference(TORVExprToken* Token, TORVTokenType ReferenceType, bool IncludeTemporary) {
  AtToken(Token, [&] {
    TORVString SchemaName;
    TORVString TableName;
    DefaultSchemaName(Token, SchemaName);
    DefaultTableName(Token, TableName);
    GetCatalogForToken(Token)->BindReference(Token, ReferenceType, IncludeTemporary, FEffectiveUser, DefaultTable(),
                                             SchemaName, TableName);
  });
}

void TORVCatalogExpr::UnbindReference(TORVExprToken* Token) {
  if (Token->FTokenType != ttTABLEREF || Token->FTokenOperator != toDERIVED || Token->FID == 0) return;
  TORVCatalog* Catalog = FCatalog != nullptr ? FCatalog : FOriginalCatalog;
  if (Catalog != nullptr) Catalog->UnbindReference(Token, FEffectiveUser);
}

void TORVCatalogExpr::ExpandAllSelectColumns(TORVExprToken* Query, TORVExprToken* TableToken, int32_t& Position,
                                             TORVExprToken* Column) {
  ExpandSelectColumns(Query, TableToken, Position, Column, [this](TORVExprToken* TableRef) {
    std::vector<TORVColumnDescriptor> Columns;
    AtToken(TableRef, [&] {
      TORVCatalog* Catalog = GetCatalogForToken(TableRef);
      Columns = TORVCatalog::DescribeColumns(Catalog->FindVirtualTable(Catalog->GetTokenSchema(TableRef, true),
                                                                       TableRef->FName, nullptr, true, true));
    });
    return Columns;
  });
}

void TORVCatalogExpr::ExpandAllInsertColumns(TORVExprToken* TableToken, TORVExprToken* Columns) {
  AtToken(TableToken, [&] {
    TORVCatalog* Catalog = GetCatalogForToken(TableToken);
    std::vector<TORVColumnDescriptor> Visible;
    for (TORVColumnDescriptor& Described : TORVCatalog::DescribeColumns(Catalog->FindVirtualTable(
             Catalog->GetTokenSchema(TableToken, true), TableToken->FName, nullptr, true, true)))
      if (!Described.Hidden) Visible.push_back(Described);
    ExpandInsertColumns(TableToken, Columns, Visible);
  });
}

namespace {

// The trigger node of the CREATE TRIGGER statement whose code or condition
// holds Token; nil outside one. The condition stands beside the trigger
// node, under the statement.
TORVExprToken* CreateTriggerOf(TORVExprToken* Token, TORVExprToken** Statement = nullptr) {
  TORVExprToken* Node = Token;
  while (Node != nullptr && Node->FUpperToken != nullptr) {
    if (Node->FTokenType == ttTRIGGER) break;
    Node = Node->FUpperToken;
  }
  if (Node == nullptr) return nullptr;
  if (Node->FTokenType != ttTRIGGER) {
    if (Node->GetNumArguments() <= TriggerTableSlot) return nullptr;
    Node = Node->GetArgument(0);
    if (Node == nullptr || Node->FTokenType != ttTRIGGER) return nullptr;
  }
  if (Node->GetNumArguments() != RoutineSlotCount) return nullptr;
  if (Statement != nullptr) *Statement = Node->FUpperToken;
  return Node;
}

}  // namespace

void LinkRowColumn(TORVExprToken* Token, TORVExprToken* Rows, int32_t ActionType) {
  Token->FTokenType = ttROWCOLUMNREF;
  Token->FSourceToken = nullptr;
  const bool Old = SameString(Token->FSourceName, u"OldRow");
  const bool New = SameString(Token->FSourceName, u"NewRow");
  bool Accepted = false;
  switch (ActionType) {
    case TriggerInsertID: Accepted = New; break;
    case TriggerDeleteID: Accepted = Old; break;
    case TriggerUpdateID:
    case TriggerAllID:
    case TriggerLoadUpdateID: Accepted = Old || New; break;
    default: break;
  }
  if (!Accepted || Rows == nullptr) return;
  const int32_t Wanted = Old ? OldRowVariableID : NewRowVariableID;
  for (int32_t I = 0; I < Rows->GetNumArguments(); ++I) {
    TORVExprToken* Row = Rows->GetArgument(I);
    if (Row != nullptr && Row->FTokenID == Wanted) {
      Token->FSourceToken = Row;
      return;
    }
  }
}

void TORVCatalogExpr::CheckForRowColumn(TORVExprToken* Token) {
  TORVExprToken* Trigger = CreateTriggerOf(Token);
  if (Trigger == nullptr) {
    TORVCompiledExpr::CheckForRowColumn(Token);
    return;
  }
  LinkRowColumn(Token, Trigger->GetArgument(RoutineRowVariablesSlot), Trigger->FTokenID);
}

void TORVCatalogExpr::DefaultTableName(TORVExprToken* Token, TORVString& Name) {
  TORVExprToken* Statement = nullptr;
  if (Token != nullptr && CreateTriggerOf(Token, &Statement) != nullptr && Statement != nullptr) {
    if (TORVExprToken* Table = Statement->GetArgument(TriggerTableSlot)) {
      Name = Table->FName;
      return;
    }
  }
  TORVCompiledExpr::DefaultTableName(Token, Name);
}

// ------------------------------------------------------------ column expressions

TORVString TORVColumnExpr::ColumnName() const { return FParent != nullptr ? FParent->GetName() : TORVString(); }

TORVString TORVColumnExpr::GetTypeName() const { return ColumnName() + u" column expression"; }

TORVExprToken* TORVColumnExpr::Parse() {
  ResetCatalog();
  return ParseExprWithOptions(*Config()->GetParser(), *this, {poNoUDFs});
}

TORVVirtualTable* TORVColumnExpr::DefaultTable() {
  for (TORVConfigObject* Holder = FParent; Holder != nullptr; Holder = Holder->GetParent())
    if (auto* Table = dynamic_cast<TORVVirtualTable*>(Holder)) return Table;
  return nullptr;
}

void TORVColumnExpr::DefaultSchemaName(TORVExprToken* /*Token*/, TORVString& Name) {
  Name = u"Default";
  TORVVirtualTable* Table = DefaultTable();
  if (FCatalog == nullptr || Table == nullptr) return;
  for (TORVConfigObject* Holder = Table->GetParent(); Holder != nullptr; Holder = Holder->GetParent())
    if (auto* Schema = dynamic_cast<TORVSchema*>(Holder)) {
      Name = Schema->GetName();
      return;
    }
}

void TORVColumnExpr::DefaultTableName(TORVExprToken* /*Token*/, TORVString& Name) {
  TORVVirtualTable* Table = DefaultTable();
  Name = FCatalog != nullptr && Table != nullptr ? Table->GetName() : TORVString();
}

TORVString TORVComputedColumnExpr::GetTypeName() const { return ColumnName() + u" computed column expression"; }

// --------------------------------------------------------------- statements

TORVExprToken* TORVCatalogStatement::Parse() {
  ResetCatalog();
  TORVExprParser& Parser = *Config()->GetParser();
  Parser.Initialize(this);
  return Parser.ParseStatement({poAllowQueries, poAllowSchemaQualifier, poAllowTableQualifier});
}

TORVExprToken* TORVCatalogQuery::Parse() {
  ResetCatalog();
  return ParseQueryWithOptions(*Config()->GetParser(), *this,
                               {poAllowQueries, poAllowSchemaQualifier, poAllowTableQualifier});
}

void TORVCatalogRoutine::Rename(const TORVString& NewName) {
  int32_t Position = 1;
  const TORVString Keyword = NextSQLToken(FExpression, Position);
  const TORVString OldName = NextSQLToken(FExpression, Position);
  size_t Rest = static_cast<size_t>(Position - 1);
  while (Rest < FExpression.size() && (FExpression[Rest] == u' ' || FExpression[Rest] == u'\t')) ++Rest;
  const bool WasQuoted = OldName.size() >= 2 && OldName.front() == u'"' && OldName.back() == u'"';
  const TORVString Name = WasQuoted || !PlainIdentifier(NewName) ? QuotedString(NewName, u'"') : NewName;
  SetExpression(Keyword + u" " + Name + u" " + FExpression.substr(Rest));
}

}  // namespace orv
