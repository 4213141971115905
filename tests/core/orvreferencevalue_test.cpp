#include "core/orvreferencevalue.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "core/orvcontainedvalue.h"
#include "core/orvtypefunc.h"

namespace orv {
namespace {

constexpr int32_t kUnicode = 1;

class TPointingValue : public TORVReferenceValue {
 public:
  explicit TPointingValue(TORVValue* Target) : TORVReferenceValue(kUnicode), FTarget(Target) {}
  TORVValue* GetValue() override { return FTarget; }

 private:
  TORVValue* FTarget;
};

TEST(ReferenceValue, StorageIsTheReferencedValuesWhileTheTypeIsItsOwn) {
  TORVContainedValue target(kUnicode);
  target.SetDataType(dtCharacter);
  TPointingValue reference(&target);
  reference.SetDataType(dtCharacter);
  EXPECT_TRUE(reference.GetNull());

  reference.SetAsString(u"12");
  EXPECT_FALSE(target.GetNull());
  EXPECT_EQ(target.GetAsString(), u"12");
  EXPECT_EQ(reference.GetLength(), 2);
  // The reference's own type drives the conversions of the stored text.
  EXPECT_EQ(reference.GetAsInteger(), 12);

  target.SetAsString(u"abc");
  EXPECT_EQ(reference.GetAsString(), u"abc");
  reference.SetAsNull(true);
  EXPECT_TRUE(target.GetNull());
}

TEST(ReferenceValue, ReferringToNothingIsRefused) {
  TPointingValue reference(nullptr);
  EXPECT_THROW(reference.GetNull(), std::logic_error);
}

}  // namespace
}  // namespace orv
