// Root classes of the engine's objects.
#pragma once

#include <cstdint>

#include "core/orvtype.h"

namespace orv {

// Root of nearly every engine class; it carries nothing but a virtual
// destructor so that owners can free through a base pointer.
class TORVBaseObject {
 public:
  TORVBaseObject() = default;
  TORVBaseObject(const TORVBaseObject&) = delete;
  TORVBaseObject& operator=(const TORVBaseObject&) = delete;
  virtual ~TORVBaseObject() = default;
};

// An object that remote requests can name by number. 0 means not registered;
// handles from 1 up are given out by a handle table.
class TORVHandleObject : public TORVBaseObject {
 public:
  int32_t GetHandle() const { return FHandle; }
  void SetHandle(int32_t Value) { FHandle = Value; }

 private:
  int32_t FHandle = 0;
};

}  // namespace orv
