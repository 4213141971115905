// Objects and collections that live in a database catalog. A collection made
// outside any catalog (the column and index lists of a cursor) carries the
// character set its creator gives it; the column sizes depend on it.
#pragma once

#include <cstdint>

#include "base/orvtype.h"
#include "catalog/orvconfigobject.h"

namespace orv {

class TORVCatalogObject : public TORVConfigObject {
 public:
  TORVCatalogObject() = default;

  // The character set of the collection that holds the object, else ANSI.
  int32_t GetConfigCharacterSet() override;
};

class TORVCatalogObjects : public TORVConfigObjects {
 public:
  int32_t GetConfigCharacterSet() override { return FCatalogCharacterSet; }
  int32_t GetCatalogCharacterSet() const { return FCatalogCharacterSet; }
  void SetCatalogCharacterSet(int32_t Value) { FCatalogCharacterSet = Value; }

 protected:
  explicit TORVCatalogObjects(bool OwnsObjects) : TORVConfigObjects(OwnsObjects) {}

  int32_t FCatalogCharacterSet = CharacterSetAnsi;
};

}  // namespace orv
