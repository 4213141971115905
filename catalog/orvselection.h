// Differences between two selections and the information tables of the
// lists that hold, order and compare configuration and catalog objects.
#pragma once

#include <cstdint>
#include <memory>

#include "base/orvtype.h"
#include "catalog/orvconfigobject.h"
#include "catalog/orvtabledesc.h"

namespace orv {

// The objects whose CREATE, ALTER or DROP text turns one selection into
// another, in the order the statements must run: creations and
// alterations in the target's dependency order, then drops in reverse
// dependency order of the source. It owns only the copies it made of
// objects that exist in the target alone (FNewObjects); every other member
// belongs to the source selection's owners.
class TORVConfigObjectsDifference : public TORVSelectedConfigObjects {
 public:
  TORVConfigObjectsDifference();
  ~TORVConfigObjectsDifference() override;

  // Also frees the copies, last first.
  void Clear() override;
  // Each listed object holds its statement in GetAlterSQL, built with
  // StatementTerminator after each statement.
  void Build(TORVSelectedConfigObjects& SourceObjects, TORVSelectedConfigObjects& TargetObjects,
             char16_t StatementTerminator);

  int32_t GetNewObjectCount() const { return FNewObjects->GetCount(); }

 private:
  void FreeNewObjects();

  std::unique_ptr<TORVSelectedConfigObjects> FNewObjects;
};

// The list whose information table names who depends on whom.
class TORVDependencies : public TORVConfigObjects {
 public:
  TORVDependencies() : TORVConfigObjects(false) {}
};

// The index of the first member of Objects that is the same as Object (same
// class, same name); -1 when none.
int32_t FindObject(TORVConfigObjects& Objects, TORVConfigObject* Object);

// The information tables: "ConfigObjects", "ConfigDifference" and
// "Dependencies".
const TORVConfigObjectsClass& SelectedConfigObjectsClass();
const TORVConfigObjectsClass& ConfigObjectsDifferenceClass();
const TORVConfigObjectsClass& DependenciesClass();

}  // namespace orv
