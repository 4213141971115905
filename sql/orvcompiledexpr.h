// The compiled expression: SQL text as the stored form, compiled on demand
// into a token tree, and the callbacks through which the parser and the
// validater ask the catalog (or a cursor's filter) every question they have.
#pragma once

#include <cstdint>
#include <memory>

#include "base/orvtype.h"
#include "base/orverrors.h"
#include "sql/orvexpr.h"
#include "sql/orvexprtoken.h"

namespace orv {

// Base of every stored or executed piece of SQL. The text is the persistent
// form; Compile parses (Parse), validates (Validate) and reports success
// (ExpressionCompiled), and any failure leaves no tree behind and the
// expression uncompiled, so that the next use parses again.
//
// The virtual operations below are the compiler's only way to the catalog:
// their base behaviour answers "nothing known", and catalog and filter
// expressions override them. A failing override reports through
// ExpressionError at the token's line and column.
class TORVCompiledExpr : public TORVExpr {
 public:
  TORVCompiledExpr();
  // Unbinds and frees the tree with this class's callbacks; a subclass whose
  // UnbindReference does work calls Clear in its own destructor.
  ~TORVCompiledExpr() override;

  // A new expression of the same class, empty.
  virtual std::unique_ptr<TORVCompiledExpr> Create() const;

  // TORVExpr overrides.
  TORVString GetTypeName() const override;
  // Raises ORV_SQL_ERROR naming GetTypeName and the line and column, replaced
  // by FStartLine and FStartColumn when those are set.
  void ExpressionError(const TORVString& Message, int32_t Line, int32_t Column) override;
  // Takes a copy of Value as the compiled tree; the text becomes the source
  // text stored in Value's parent node.
  void SetTokens(TORVExprToken* Value) override;
  int32_t GetMemorySize() override;
  // Calls UnbindReference for every node, children first, then frees.
  void Clear() override;
  void Assign(TORVExpr* FromExpr, bool CopyReferences) override;
  // Texts equal without regard to case and to trailing blanks and line
  // breaks.
  bool Compare(TORVExpr* ExprToCompare) override;
  // The text is the whole persistent form.
  void Save(TORVMemoryStream& Stream) override;
  void Load(TORVMemoryStream& Stream) override;

  // Compile road.
  virtual TORVExprToken* Parse();
  virtual void Validate();

  // Catalog callbacks.
  virtual void DefaultDatabaseName(TORVExprToken* Token, TORVString& Name);
  virtual void DefaultSchemaName(TORVExprToken* Token, TORVString& Name);
  virtual void DefaultTableName(TORVExprToken* Token, TORVString& Name);
  virtual void UseDatabase(TORVExprToken* Token);
  virtual void UnlockDatabase(TORVExprToken* Token);
  virtual void OpenCatalogForDatabase();
  virtual void CloseCatalogForDatabase();
  virtual void ExpandAllSelectColumns(TORVExprToken* Query, TORVExprToken* TableToken, int32_t& Position,
                                      TORVExprToken* Column);
  virtual void ExpandAllInsertColumns(TORVExprToken* TableToken, TORVExprToken* Columns);
  virtual void BeginReadTokenCatalog(TORVExprToken* Token);
  virtual void EndReadTokenCatalog(TORVExprToken* Token);
  // A new token owned by the caller, or nil.
  virtual TORVExprToken* GetFunctionParamToken(const TORVString& FunctionName, int32_t ParamIndex);
  virtual TORVExprToken* GetProcedureParamToken(const TORVString& ProcedureName, int32_t ParamIndex);
  virtual bool ColumnExists(TORVExprToken* TableToken, TORVExprToken* ColumnToken);
  virtual void BindReference(TORVExprToken* Token, TORVTokenType ReferenceType, bool IncludeTemporary);
  virtual void UnbindReference(TORVExprToken* Token);
  virtual bool TextIndexExists(TORVExprToken* Token);
  virtual void CheckForRowColumn(TORVExprToken* Token);
  virtual void TableFound(TORVExprToken* Token);
  virtual void ColumnFound(TORVExprToken* Token);
  virtual void FunctionFound(TORVExprToken* Token);
  virtual void ProcedureFound(TORVExprToken* Token);

  // Filter callbacks.
  virtual int32_t GetRowSize();
  virtual int32_t GetRowCount();
  virtual void GetRowTableName(TORVString& Name);
  // Base: the condition is not optimizable.
  virtual void SetOptimization(TORVExprToken* Token);

  // Life-cycle notifications.
  virtual void ExpressionChanged();
  virtual void ExpressionCompiled();
  virtual void ExpressionDecompiled();
  virtual bool IsRemoteColumn();
  // The SQL (or, with Plan, the plan) text of Token, of the whole tree for
  // nil; empty here.
  virtual TORVString Build(TORVExprToken* Token, bool Plan, bool PlanCosts, bool ShowParameterValues);
  // Releases what the validater locked.
  virtual void Unlock();

  const TORVString& GetExpression() const { return FExpression; }
  // A different text (case-sensitive) is stored and ExpressionChanged runs.
  void SetExpression(const TORVString& Value);
  int32_t GetExpressionLength() const { return FExpressionLength; }
  bool GetCompiled() const { return FCompiled; }
  // Ignored while a compile or decompile of this expression runs.
  void SetCompiled(bool Value);
  void Compile() { SetCompiled(true); }
  void Decompile() { SetCompiled(false); }

  // Within the condition (operands, and the arguments of extended binary
  // nodes, function calls and row values): a column reference bound to
  // another table than TargetTableToken becomes a linked column reference,
  // and a linked one that no longer is (bound to the target, unbound, or no
  // target) becomes a plain column reference again. Only when compiled.
  void SetupLinkedColumns(TORVExprToken* TargetTableToken);
  // Frees the index-scan bitmaps of the condition's nodes.
  void ResetBitmaps();
  TORVString GetPlan();

  // Prepares a compiled filter condition: columns go to the left of their
  // comparisons, text comparisons with CaseInsensitiveMatch ignore case, a
  // constant ending in "*" becomes a prefix match (unless NoPartialMatch),
  // one made only of "*" tests for NULL, and NOT nodes are pushed down.
  void Normalize(bool CaseInsensitiveMatch, bool NoPartialMatch);
  // Renames every node of SymbolType named OldName, in the tree and in the
  // text. A place in the text is replaced only when it still holds the old
  // name, once however many nodes carry it, and from the end of the text
  // back, so that earlier replacements never shift later positions; the
  // tree's positions move with the text, so renames can follow each other.
  void RenameSymbols(TORVTokenType SymbolType, const TORVString& OldName, const TORVString& NewName);

  // The WHERE-condition optimizer: annotates each node with its level
  // (0 scan, 1 partly, 2 fully index-served), count, cost and access path,
  // moves the cheapest condition of an AND chain to the front, and scans
  // the rows of the cheaper side of an AND where that beats an index.
  virtual void Optimize();
  void SetOptimizeType(TORVExprToken* Token);
  void CheckIndexThreshhold(TORVExprToken* Token);
  void SetOptimizeName(TORVExprToken* Token);
  bool Rewrite(TORVExprToken* Token);
  TORVExprToken* GetSmallestCost(TORVExprToken* Token);
  // The cheaper of two conditions; by level when costs are not compared or
  // equal, the second on a tie.
  TORVExprToken* CompareCosts(TORVExprToken* Token1, TORVExprToken* Token2);
  void RewriteScans(TORVExprToken* Token);
  int32_t GetLine(int32_t Line) const { return FStartLine != 0 ? FStartLine : Line; }
  int32_t GetCol(int32_t Column) const { return FStartColumn != 0 ? FStartColumn : Column; }

  bool FCostOptimization = false;
  double FNoIndexThreshhold = 0.0;
  char16_t FLineTerm = u';';
  int32_t FStartLine = 0;
  int32_t FStartColumn = 0;

 protected:
  void NormalizeNextToken(TORVExprToken* Token, bool CaseInsensitiveMatch, bool NoPartialMatch);
  // The cost of scanning Count rows of the filter's table.
  int64_t ScanCost(int64_t Count);
  // Token becomes a scan of Count rows of the filter's table.
  void DemoteToScan(TORVExprToken* Token, int32_t Count);

  TORVString FExpression;
  int32_t FExpressionLength = 0;
  bool FCompiled = false;
  bool FCompiling = false;
};

}  // namespace orv
