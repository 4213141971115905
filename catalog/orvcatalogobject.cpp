#include "catalog/orvcatalogobject.h"

#include "catalog/orvcatalog.h"

namespace orv {

TORVCatalog* CatalogOf(const TORVConfigObject* Object) {
  for (TORVConfigObject* Holder = Object != nullptr ? Object->GetParent() : nullptr; Holder != nullptr;
       Holder = Holder->GetParent())
    if (auto* Catalog = dynamic_cast<TORVCatalog*>(Holder)) return Catalog;
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
