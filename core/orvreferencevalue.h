// A value that stores nothing itself: every storage operation reaches the
// value that its subclass names, while the type description (data type,
// subtype, scale, collation) is its own and drives the conversions.
#pragma once

#include <cstdint>

#include "base/orvtype.h"
#include "core/orvforwardvalue.h"
#include "core/orvvalue.h"

namespace orv {

class TORVReferenceValue;

// Made once, beside the value it forwards from.
extern template class TORVForwardValue<TORVValue, TORVReferenceValue>;

class TORVReferenceValue : public TORVForwardValue<TORVValue, TORVReferenceValue> {
 public:
  explicit TORVReferenceValue(int32_t CharacterSetToUse);

  // The value this one stands for; never nil while the value is used.
  virtual TORVValue* GetValue() = 0;

 private:
  friend class TORVForwardValue<TORVValue, TORVReferenceValue>;

  TORVValue& ReadTarget() { return Target(); }
  TORVValue* WriteTarget() { return &Target(); }
  TORVValue& Target();
};

}  // namespace orv
