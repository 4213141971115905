#include "core/orvversion.h"

#include <gtest/gtest.h>

namespace orv {
namespace {

TEST(VersionInfo, RunningProgramCarriesTheBuildsStrings) {
  const TORVVersionInfo& Info = VersionInfo();
  EXPECT_EQ(Info.GetFileName(), GetExeFileName());
  EXPECT_EQ(Info.GetProductName(), u"Orvenmark");
  EXPECT_EQ(Info.GetFileVersion(), u"2.38.2");
  EXPECT_EQ(Info.GetProductVersion(), u"2.38");
  EXPECT_EQ(Info.GetOriginalFilename(), u"test_core");
}

TEST(VersionInfo, OtherModuleHasOnlyItsFileName) {
  TORVVersionInfo Info(u"/usr/lib/libexample.so");
  EXPECT_EQ(Info.GetFileName(), u"/usr/lib/libexample.so");
  for (const TORVString* Text : {&Info.GetFileDescription(), &Info.GetFileVersion(), &Info.GetOriginalFilename(),
                                 &Info.GetCompanyName(), &Info.GetProductName(), &Info.GetProductVersion(),
                                 &Info.GetInternalName(), &Info.GetLegalCopyright()})
    EXPECT_TRUE(Text->empty());
}

}  // namespace
}  // namespace orv
