// The owner of one token tree.
#pragma once

#include <cstdint>

#include "core/orvcommon.h"
#include "base/orvtype.h"
#include "sql/orvexprtoken.h"

namespace orv {

class TORVMemoryStream;

// Owns the tree in FTokens, or, when GetOwnsTokens answers False, only
// borrows a sub-tree of another owner and never frees it.
class TORVExpr : public TORVBaseObject {
 public:
  TORVExpr() = default;
  // Frees the tree as an owner. Subclasses that borrow their tree, or whose
  // Clear does more, call Clear in their own destructor: a base destructor
  // cannot reach their overrides.
  ~TORVExpr() override;

  // The object kind named in error messages.
  virtual TORVString GetTypeName() const;
  virtual bool GetOwnsTokens() const;
  // Nothing here; compiled expressions raise the SQL error.
  virtual void ExpressionError(const TORVString& Message, int32_t Line, int32_t Column);
  // Clear, then keep a deep copy of Value (owning) or Value itself.
  virtual void SetTokens(TORVExprToken* Value);
  virtual int32_t GetMemorySize();
  // Frees an owned tree or forgets a borrowed one.
  virtual void Clear();
  // With CopyReferences takes FromExpr's tree as SetTokens does.
  virtual void Assign(TORVExpr* FromExpr, bool CopyReferences);
  virtual bool Compare(TORVExpr* ExprToCompare);
  virtual void Save(TORVMemoryStream& Stream);
  virtual void Load(TORVMemoryStream& Stream);

  TORVExprToken* FTokens = nullptr;
};

}  // namespace orv
