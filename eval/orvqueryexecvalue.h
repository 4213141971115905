// What the managers of views see of the values that run a view's
// sub-queries and derived tables: query execution's cursor and query
// values implement it, so that a view can make them run again or give
// their results back without knowing them.
#pragma once

namespace orv {

class TORVQueryExecutionValue {
 public:
  virtual ~TORVQueryExecutionValue() = default;
  // The next evaluation runs the query (or the derived table) again.
  virtual void Initialize() = 0;
  // Gives back what the last run holds.
  virtual void Reset() = 0;
};

}  // namespace orv
