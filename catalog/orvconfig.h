// The configuration root: the object every configuration object belongs to.
// It hands out object IDs, holds the modified flag that every object of the
// configuration marks, the stream version and character set, and the events
// through which the model calls back into its session.
#pragma once

#include <cstdint>
#include <functional>

#include "base/orvtype.h"
#include "catalog/orvlockable.h"

namespace orv {

using TORVConfigObjectEvent = std::function<void(TORVConfigObject* ConfigObject)>;

class TORVConfig : public TORVLockableConfigObject {
 public:
  // ID 1; the first ID handed out is 3.
  TORVConfig();

  TORVString GetTypeName() const override;
  bool GetNameRequired() const override { return false; }
  bool GetNameValidation() const override { return false; }
  int32_t GetConfigCharacterSet() override { return FCharacterSet; }
  TORVCurrency GetConfigVersion() override { return FVersion; }
  bool GetModified() const override { return FModified; }
  void SetModified(bool Value) override { FModified = Value; }

  // The last ID + 1 (1 after 2147483647); marks the configuration modified.
  int32_t GetNextID();
  int32_t GetLastID() const { return FLastID; }
  TORVCurrency GetVersion() const { return FVersion; }
  // A different version marks the configuration modified.
  void SetVersion(TORVCurrency Value);
  int32_t GetCharacterSet() const { return FCharacterSet; }
  void SetCharacterSet(int32_t Value) { FCharacterSet = Value; }

  // Called by collection loads for each member the stream no longer holds,
  // before it is freed.
  void SetOnObjectRemoved(TORVConfigObjectEvent Value) { FOnObjectRemoved = std::move(Value); }
  void DoObjectRemoved(TORVConfigObject* ConfigObject);

 private:
  int32_t FLastID = 2;
  TORVCurrency FVersion;
  int32_t FCharacterSet = CharacterSetAnsi;
  TORVConfigObjectEvent FOnObjectRemoved;
  bool FModified = false;
};

}  // namespace orv
