#include "catalog/orvcatalogobject.h"

#include <typeinfo>

#include "catalog/orvcatalog.h"

namespace orv {

TORVCatalog* CatalogOf(const TORVConfigObject* Object) {
  for (TORVConfigObject* Holder = Object != nullptr ? Object->GetParent() : nullptr; Holder != nullptr;
       Holder = Holder->GetParent())
    // Every stream version and modified flag asks this, a few levels up
    // each time: the exact-type test of a final class is much cheaper than
    // a cast that searches the class hierarchy.
    if (typeid(*Holder) == typeid(TORVCatalog)) return static_cast<TORVCatalog*>(Holder);
  return nullptr;
}

int32_t CatalogNextID(TORVCatalog* Catalog) { return Catalog->GetNextID(); }

bool CatalogModified(TORVCatalog* Catalog) { return Catalog->GetModified(); }

void CatalogSetModified(TORVCatalog* Catalog, bool Value) { Catalog->SetModified(Value); }

TORVCurrency CatalogVersion(TORVCatalog* Catalog) { return Catalog->GetVersion(); }

int32_t CatalogCharacterSet(TORVCatalog* Catalog) { return Catalog->GetConfigCharacterSet(); }

int32_t TORVCatalogObject::GetConfigCharacterSet() {
  for (TORVConfigObject* Holder = FParent; Holder != nullptr; Holder = Holder->GetParent())
    if (auto* Objects = dynamic_cast<TORVCatalogObjects*>(Holder)) return Objects->GetCatalogCharacterSet();
  return CharacterSetAnsi;
}

}  // namespace orv
