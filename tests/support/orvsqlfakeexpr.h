// Compiled expressions over the fake catalog, standing in for the catalog's
// and the cursors' expression classes in compiler tests. Parsing reads the
// S-expression form of orvsqltreedump.h unless a test installs its own
// parser (so that tests can state any tree exactly); Build writes SQL with
// the real builder, as every catalog and filter expression does.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "base/orvtype.h"
#include "sql/orvbuilder.h"
#include "sql/orvcompiledexpr.h"
#include "tests/support/orvsqlfakecatalog.h"

namespace orv::test {

class TORVFakeCatalogExpr : public TORVCompiledExpr {
 public:
  TORVFakeCatalogExpr(TORVFakeCatalog* Catalog, TORVString Database);
  ~TORVFakeCatalogExpr() override;

  // Test hooks: the parser (default: ReadTokens of the text, errors through
  // ExpressionError) and the validater (default: nothing).
  std::function<TORVExprToken*(TORVFakeCatalogExpr& Expr)> OnParse;
  std::function<void(TORVFakeCatalogExpr& Expr)> OnValidate;
  std::function<void(TORVExprToken* Token)> OnUnbind;
  // Runs after the count when the expression releases what validation
  // locked (the validater's Unlock, typically).
  std::function<void(TORVFakeCatalogExpr& Expr)> OnUnlock;

  TORVString GetTypeName() const override { return FTypeName; }
  TORVExprToken* Parse() override;
  // Runs OnValidate; on failure unlocks before the error passes on.
  void Validate() override;
  void Unlock() override;

  void UseDatabase(TORVExprToken* Token) override;
  void UnlockDatabase(TORVExprToken* Token) override;
  void ExpandAllSelectColumns(TORVExprToken* Query, TORVExprToken* TableToken, int32_t& Position,
                              TORVExprToken* Column) override;
  void ExpandAllInsertColumns(TORVExprToken* TableToken, TORVExprToken* Columns) override;
  // Counts a catalog read of another database than the current one.
  void BeginReadTokenCatalog(TORVExprToken* Token) override;
  void EndReadTokenCatalog(TORVExprToken* Token) override;
  TORVExprToken* GetFunctionParamToken(const TORVString& FunctionName, int32_t ParamIndex) override;
  TORVExprToken* GetProcedureParamToken(const TORVString& ProcedureName, int32_t ParamIndex) override;
  bool ColumnExists(TORVExprToken* TableToken, TORVExprToken* ColumnToken) override;
  void BindReference(TORVExprToken* Token, TORVTokenType ReferenceType, bool IncludeTemporary) override;
  void UnbindReference(TORVExprToken* Token) override;
  bool TextIndexExists(TORVExprToken* Token) override;
  // In trigger code (under a trigger node, or in a CREATE TRIGGER
  // statement) every column becomes a row column, bound to OldRow or NewRow
  // when its qualifier names one; row columns are the columns of the
  // trigger's table (RowTableName when the tree does not name it).
  void CheckForRowColumn(TORVExprToken* Token) override;
  void TableFound(TORVExprToken* Token) override { Found.push_back(u"table " + Token->FName); }
  void ColumnFound(TORVExprToken* Token) override { Found.push_back(u"column " + Token->FName); }
  void FunctionFound(TORVExprToken* Token) override { Found.push_back(u"function " + Token->FName); }
  void ProcedureFound(TORVExprToken* Token) override { Found.push_back(u"procedure " + Token->FName); }
  void ExpressionChanged() override;
  void ExpressionCompiled() override { ++CompiledCount; }
  void ExpressionDecompiled() override { ++DecompiledCount; }
  // The SQL text of Token, of the whole tree for nil.
  TORVString Build(TORVExprToken* Token, bool Plan, bool PlanCosts, bool ShowParameterValues) override;

  void SetTypeName(const TORVString& Value) { FTypeName = Value; }
  const TORVString& GetCurrentDatabase() const { return FCurrentDatabase; }

  TORVString RowTableName;
  int32_t ParseCount = 0;
  int32_t ValidateCount = 0;
  int32_t UnlockCount = 0;
  int32_t BeginReadCount = 0;
  int32_t EndReadCount = 0;
  int32_t ChangedCount = 0;
  int32_t CompiledCount = 0;
  int32_t DecompiledCount = 0;
  std::vector<TORVExprToken*> Unbound;
  std::vector<TORVString> Found;

 protected:
  // The database a token's names are looked up in.
  TORVString DatabaseOf(const TORVExprToken* Token) const;
  // The table of a trigger's rows.
  TORVString RowTable() const;
  // The table behind a FROM reference (for a derived table, the visible
  // select columns of its query); raises through ExpressionError.
  const TORVFakeTable& TableOf(TORVExprToken* TableRef, bool IncludeTemporary);
  // Nil when there is no such table.
  const TORVFakeTable* FindTableOf(TORVExprToken* TableRef, bool IncludeTemporary);
  // Gives a column reference the type of its column in the table behind
  // TableRef; raises through ExpressionError when the column is not there.
  void BindColumn(TORVExprToken* Token, TORVExprToken* TableRef, bool IncludeTemporary);
  // Whether Table has a text index on Column with Column's collation.
  static bool HasTextIndex(const TORVFakeTable* Table, const TORVExprToken* Column);

  TORVFakeCatalog* FCatalog;
  // The column lists of the derived tables looked at, kept while the
  // expression lives (references to them are handed out).
  std::deque<TORVFakeTable> FDerivedTables;
  // The configuration's builder.
  TORVExprBuilder FBuilder;
  TORVString FDatabase;
  TORVString FCurrentDatabase;
  TORVString FTypeName = u"expression";
};

// A cursor filter over one table of the fake catalog.
class TORVFakeFilterExpr : public TORVFakeCatalogExpr {
 public:
  struct TIndex {
    TORVString Column;
    TORVString Name;
    int32_t Number = 0;
    // The estimate for a condition it serves under cost optimization; a
    // negative one stands for a tenth of the rows.
    int32_t Count = -1;
    int64_t Cost = -1;
  };

  TORVFakeFilterExpr(TORVFakeCatalog* Catalog, TORVString Database, TORVString TableName);

  void DefaultTableName(TORVExprToken* Token, TORVString& Name) override;
  // Column references bind to the filter's table; the rest as in the
  // catalog expression, temporary objects always included.
  void BindReference(TORVExprToken* Token, TORVTokenType ReferenceType, bool IncludeTemporary) override;
  // A column without a FROM table is one of the filter's table.
  bool TextIndexExists(TORVExprToken* Token) override;
  int32_t GetRowSize() override { return RowSize; }
  int32_t GetRowCount() override { return RowCount; }
  void GetRowTableName(TORVString& Name) override { Name = FTableName; }
  // An indexed column gives level 2 with the index's name and number (and,
  // with cost optimization, the index's estimate, by default a tenth of the
  // rows as count and cost); any other condition is scanned with the column
  // as hint, keeping the scan estimate it has.
  void SetOptimization(TORVExprToken* Token) override;

  int32_t RowSize = 0;
  int32_t RowCount = 0;
  std::vector<TIndex> Indexes;

 private:
  TORVString FTableName;
};

}  // namespace orv::test
