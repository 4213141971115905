#include "catalog/orvcatalogobject.h"

namespace orv {

int32_t TORVCatalogObject::GetConfigCharacterSet() {
  for (TORVConfigObject* Holder = FParent; Holder != nullptr; Holder = Holder->GetParent())
    if (auto* Objects = dynamic_cast<TORVCatalogObjects*>(Holder)) return Objects->GetCatalogCharacterSet();
  return CharacterSetAnsi;
}

}  // namespace orv
