#include "catalog/orvcatalogobject.h"

namespace orv {

int32_t TORVCatalogObject::GetConfigCharacterSet() const {
  for (const TORVConfigObject* Holder = FParent; Holder != nullptr; Holder = Holder->GetParent())
    if (const auto* Objects = dynamic_cast<const TORVCatalogObjects*>(Holder)) return Objects->GetCatalogCharacterSet();
  return CharacterSetAnsi;
}

}  // namespace orv
