// The SQL texts that catalog objects hold: stored as text, compiled on
// demand with the configuration's parser and validater, and bound to names
// through the catalog they belong to. The owning object is told about their
// changes.
#pragma once

#include <cstdint>
#include <functional>

#include "base/orvtype.h"
#include "sql/orvcompiledexpr.h"

namespace orv {

class TORVCatalog;
class TORVConfig;
class TORVConfigObject;
class TORVDatabaseContainer;
class TORVUser;
class TORVVirtualTable;

// Makes a column reference of trigger code a row-column reference and links
// it to the row variable of Rows (the trigger routine's clause of its two
// rows) that its qualifier names, when the action type allows that row:
// insert NewRow only, delete OldRow only, update, all and load update both.
// A reference left unlinked is refused by the validater.
void LinkRowColumn(TORVExprToken* Token, TORVExprToken* Rows, int32_t ActionType);

// FCatalog is where bindings go now; FOriginalCatalog is the first catalog
// ever set, to which Parse, Validate and Unlock return (a script's USE moves
// FCatalog for the rest of one validation). FEffectiveUser limits what
// binding may see; nil disables every visibility check. The parser,
// validater and builder belong to the configuration, so the expressions of
// one configuration compile one at a time.
class TORVCatalogExpr : public TORVCompiledExpr {
 public:
  explicit TORVCatalogExpr(TORVConfigObject* ParentObject) : FParent(ParentObject) {}
  ~TORVCatalogExpr() override;

  TORVConfigObject* GetParent() const { return FParent; }
  TORVCatalog* GetCatalog() const { return FCatalog; }
  void SetCatalog(TORVCatalog* Value);
  void ResetCatalog() { FCatalog = FOriginalCatalog; }
  TORVUser* GetEffectiveUser() const { return FEffectiveUser; }
  void SetEffectiveUser(TORVUser* Value) { FEffectiveUser = Value; }

  TORVString GetTypeName() const override { return u"expression"; }
  TORVExprToken* Parse() override;
  // On failure the partial bindings and catalog reads are released before
  // the error leaves.
  void Validate() override;
  void Unlock() override;
  void ExpressionChanged() override;
  TORVString Build(TORVExprToken* Token, bool Plan, bool PlanCosts, bool ShowParameterValues) override;

  void UseDatabase(TORVExprToken* Token) override;
  void UnlockDatabase(TORVExprToken* Token) override;
  void BeginReadTokenCatalog(TORVExprToken* Token) override;
  void EndReadTokenCatalog(TORVExprToken* Token) override;
  bool ColumnExists(TORVExprToken* TableToken, TORVExprToken* ColumnToken) override;
  TORVExprToken* GetFunctionParamToken(const TORVString& FunctionName, int32_t ParamIndex) override;
  TORVExprToken* GetProcedureParamToken(const TORVString& ProcedureName, int32_t ParamIndex) override;
  void BindReference(TORVExprToken* Token, TORVTokenType ReferenceType, bool IncludeTemporary) override;
  void UnbindReference(TORVExprToken* Token) override;
  void ExpandAllSelectColumns(TORVExprToken* Query, TORVExprToken* TableToken, int32_t& Position,
                              TORVExprToken* Column) override;
  void ExpandAllInsertColumns(TORVExprToken* TableToken, TORVExprToken* Columns) override;
  // In the code of a CREATE TRIGGER statement a column is a row column of
  // the table after ON, linked to the row its qualifier names.
  void CheckForRowColumn(TORVExprToken* Token) override;
  void DefaultTableName(TORVExprToken* Token, TORVString& Name) override;

  // The table a bare column name means; nil here.
  virtual TORVVirtualTable* DefaultTable() { return nullptr; }
  // The catalog that serves Token: its database's, its source token's, the
  // default database's, else the current one. A named database without an
  // attached catalog raises "The catalog was not read properly".
  TORVCatalog* GetCatalogForToken(TORVExprToken* Token);

 protected:
  TORVConfig* Config() const;
  TORVDatabaseContainer* FindDatabase(const TORVString& Name);
  // Runs Call; an engine error other than an expression error becomes the
  // expression error at Token's line and column.
  void AtToken(TORVExprToken* Token, const std::function<void()>& Call);

  TORVConfigObject* FParent;
  TORVCatalog* FCatalog = nullptr;
  TORVCatalog* FOriginalCatalog = nullptr;
  TORVUser* FEffectiveUser = nullptr;
};

// The expression of a column (generated, computed or default value); its
// owner is the column, and a bare name means a column of the same table.
class TORVColumnExpr : public TORVCatalogExpr {
 public:
  using TORVCatalogExpr::TORVCatalogExpr;

  // The column's name followed by the kind of expression.
  TORVString GetTypeName() const override;
  TORVExprToken* Parse() override;
  TORVVirtualTable* DefaultTable() override;
  void DefaultSchemaName(TORVExprToken* Token, TORVString& Name) override;
  void DefaultTableName(TORVExprToken* Token, TORVString& Name) override;

 protected:
  TORVString ColumnName() const;
};

// The expression a computed column is evaluated from on every read.
class TORVComputedColumnExpr : public TORVColumnExpr {
 public:
  using TORVColumnExpr::TORVColumnExpr;

  TORVString GetTypeName() const override;
};

// A stored statement (a trigger's, for example).
class TORVCatalogStatement : public TORVCatalogExpr {
 public:
  using TORVCatalogExpr::TORVCatalogExpr;

  TORVString GetTypeName() const override { return u"statement"; }
  TORVExprToken* Parse() override;
};

// A catalog expression whose text is one query: no parameters, no INTO
// clause and no database qualifier.
class TORVCatalogQuery : public TORVCatalogExpr {
 public:
  using TORVCatalogExpr::TORVCatalogExpr;

  TORVString GetTypeName() const override { return u"query"; }
  TORVExprToken* Parse() override;
};

// The text of a procedure or function, starting with its keyword and name.
class TORVCatalogRoutine : public TORVCatalogStatement {
 public:
  using TORVCatalogStatement::TORVCatalogStatement;

  TORVString GetTypeName() const override { return u"routine"; }
  // Replaces the name after the keyword. The new name is quoted (quotes
  // doubled inside) when the old one was quoted or the new one is not a
  // plain identifier, so that the text always parses again.
  virtual void Rename(const TORVString& NewName);
};

}  // namespace orv
