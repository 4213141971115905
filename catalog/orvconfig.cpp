#include "catalog/orvconfig.h"

#include "core/orvmath.h"

namespace orv {

TORVConfig::TORVConfig() { FID = 1; }

TORVString TORVConfig::GetTypeName() const { return u"configuration"; }

int32_t TORVConfig::GetNextID() {
  WrapIncInteger(FLastID, 1);
  FModified = true;
  return FLastID;
}

void TORVConfig::SetVersion(TORVCurrency Value) {
  if (Value == FVersion) return;
  FVersion = Value;
  FModified = true;
}

void TORVConfig::DoObjectRemoved(TORVConfigObject* ConfigObject) {
  if (FOnObjectRemoved) FOnObjectRemoved(ConfigObject);
}

}  // namespace orv
