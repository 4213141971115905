// The SQL texts that catalog objects hold: stored as text, compiled on
// demand, and owned by the object that is told about their changes.
#pragma once

#include "base/orvtype.h"
#include "sql/orvcompiledexpr.h"

namespace orv {

class TORVConfigObject;

class TORVCatalogExpr : public TORVCompiledExpr {
 public:
  explicit TORVCatalogExpr(TORVConfigObject* ParentObject) : FParent(ParentObject) {}

  TORVConfigObject* GetParent() const { return FParent; }

 protected:
  TORVConfigObject* FParent;
};

// The expression of a column (generated, computed or default value); its
// owner is the column.
class TORVColumnExpr : public TORVCatalogExpr {
 public:
  using TORVCatalogExpr::TORVCatalogExpr;

  // The column's name followed by the kind of expression.
  TORVString GetTypeName() const override;

 protected:
  TORVString ColumnName() const;
};

// The expression a computed column is evaluated from on every read.
class TORVComputedColumnExpr : public TORVColumnExpr {
 public:
  using TORVColumnExpr::TORVColumnExpr;

  TORVString GetTypeName() const override;
};

}  // namespace orv
