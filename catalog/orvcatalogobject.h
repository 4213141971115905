// Objects and collections that live in a database catalog. A collection made
// outside any catalog (the column and index lists of a cursor) carries the
// character set its creator gives it; the column sizes depend on it.
#pragma once

#include <cstdint>
#include <type_traits>

#include "base/orvtype.h"
#include "catalog/orvconfigobject.h"
#include "catalog/orvprivilege.h"

namespace orv {

class TORVCatalog;

// The catalog that holds Object: the nearest catalog among its parents; nil
// for an object outside any catalog.
TORVCatalog* CatalogOf(const TORVConfigObject* Object);
// What a catalog-bound object asks its catalog; kept out of line so that this
// header needs no catalog definition.
int32_t CatalogNextID(TORVCatalog* Catalog);
bool CatalogModified(TORVCatalog* Catalog);
void CatalogSetModified(TORVCatalog* Catalog, bool Value);
TORVCurrency CatalogVersion(TORVCatalog* Catalog);
int32_t CatalogCharacterSet(TORVCatalog* Catalog);

// Binds any object class to the catalog above it: IDs come from the
// catalog-wide counter, the modified flag and the stream version are the
// catalog's. Objects have no modified flag of their own, and system,
// temporary and parentless objects never mark their catalog. Outside any
// catalog the object behaves as its base class.
template <class TBase>
class TORVCatalogBound : public TBase {
 public:
  using TBase::TBase;

  TORVCatalog* GetCatalog() const { return CatalogOf(this); }

  TORVCurrency GetConfigVersion() override {
    TORVCatalog* Catalog = GetCatalog();
    return Catalog != nullptr ? CatalogVersion(Catalog) : TBase::GetConfigVersion();
  }
  bool GetModified() const override {
    TORVCatalog* Catalog = GetCatalog();
    return Catalog != nullptr ? CatalogModified(Catalog) : TBase::GetModified();
  }
  void SetModified(bool Value) override {
    TORVCatalog* Catalog = GetCatalog();
    if (Catalog == nullptr) {
      TBase::SetModified(Value);
      return;
    }
    if (this->FParent == nullptr || this->FSystemObject || this->FTemporary || this->FTemporaryForSession) return;
    CatalogSetModified(Catalog, Value);
  }
  void AssignID() override {
    // Collections carry no IDs.
    if constexpr (!std::is_base_of_v<TORVConfigObjects, TBase>) {
      TORVCatalog* Catalog = GetCatalog();
      if (Catalog == nullptr) {
        TBase::AssignID();
        return;
      }
      if (this->FID == 0) this->FID = CatalogNextID(Catalog);
    }
  }
};

class TORVCatalogObject : public TORVCatalogBound<TORVConfigObject> {
 public:
  TORVCatalogObject() : TORVCatalogBound<TORVConfigObject>(nullptr) {}
  explicit TORVCatalogObject(TORVConfig* OwnerConfig) : TORVCatalogBound<TORVConfigObject>(OwnerConfig) {}

  // The character set of the collection that holds the object, else ANSI.
  int32_t GetConfigCharacterSet() override;
};

class TORVCatalogObjects : public TORVCatalogBound<TORVConfigObjects> {
 public:
  int32_t GetConfigCharacterSet() override { return FCatalogCharacterSet; }
  // The catalog's character set inside a catalog, else the one the creator
  // gave the collection.
  int32_t GetCatalogCharacterSet() const {
    TORVCatalog* Catalog = GetCatalog();
    return Catalog != nullptr ? CatalogCharacterSet(Catalog) : FCatalogCharacterSet;
  }
  void SetCatalogCharacterSet(int32_t Value) { FCatalogCharacterSet = Value; }

 protected:
  explicit TORVCatalogObjects(bool OwnsObjects, TORVConfig* OwnerConfig = nullptr)
      : TORVCatalogBound<TORVConfigObjects>(OwnsObjects, OwnerConfig) {}

  int32_t FCatalogCharacterSet = CharacterSetAnsi;
};

// The privileged collections of a catalog (schemas, tables, views, routines):
// a lookup with an effective user treats what the user may not see as missing.
class TORVPrivilegedCatalogObjects : public TORVCatalogBound<TORVPrivilegedConfigObjects> {
 public:
  explicit TORVPrivilegedCatalogObjects(TORVConfig* OwnerConfig, bool OwnsObjects = true)
      : TORVCatalogBound<TORVPrivilegedConfigObjects>(OwnsObjects, OwnerConfig) {}
};

}  // namespace orv
