#include "core/orvreferencevalue.h"

#include <stdexcept>

namespace orv {

template class TORVForwardValue<TORVValue, TORVReferenceValue>;

TORVReferenceValue::TORVReferenceValue(int32_t CharacterSetToUse) : TORVForwardValue(CharacterSetToUse) {}

TORVValue& TORVReferenceValue::Target() {
  TORVValue* Value = GetValue();
  // A reference is given its value before use: none is a broken internal
  // contract.
  if (Value == nullptr) throw std::logic_error("reference value refers to no value");
  return *Value;
}

}  // namespace orv
