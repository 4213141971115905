// The event log as a lockable object: sessions that write or read the log
// file lock its rows of the configuration's lock file through it.
#pragma once

#include "base/orvtype.h"
#include "catalog/orvlockable.h"

namespace orv {

// Read and write locks take the log's range of the configuration lock
// file and transaction locks its single byte; the log is never locked
// shared or exclusive.
class TORVLog : public TORVLockableConfigObject {
 public:
  using TORVLockableConfigObject::TORVLockableConfigObject;

  TORVString GetTypeName() const override;
  TORVLockSpaceKind GetLockSpaceKind() const override { return lkEventLog; }
};

}  // namespace orv
