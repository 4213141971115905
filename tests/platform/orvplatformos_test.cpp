#include "platform/orvplatformos.h"

#include <cerrno>
#include <filesystem>
#include <set>

#include <gtest/gtest.h>

#include "base/orvutf8.h"
#include "platform/orvplatformthread.h"
#include "tests/support/orvtestfolder.h"

namespace orv {
namespace {

class PlatformOSTest : public test::TempFolderTest {};

TEST_F(PlatformOSTest, TempFilesAreCreatedUniquelyWithTheirPattern) {
  std::set<TORVString> names;
  for (int i = 0; i < 20; ++i) {
    TORVString name = PlatformCreateTempFile(FolderName(), u"orv");
    ASSERT_FALSE(name.empty());
    EXPECT_TRUE(names.insert(name).second);
    ASSERT_EQ(name.size(), FolderName().size() + 11);
    EXPECT_EQ(name.substr(0, FolderName().size() + 3), FolderName() + u"orv");
    EXPECT_EQ(name.substr(name.size() - 4), u".TMP");
    EXPECT_TRUE(std::filesystem::exists(StringToUtf8(name)));
  }
  EXPECT_TRUE(PlatformCreateTempFile(FolderName() + u"missing/", u"orv").empty());
}

TEST(PlatformOS, FoldersAndNames) {
  const TORVString temp = PlatformTempDirectory();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), u'/');
  EXPECT_NE(PlatformModuleFileName().find(u"test_platform"), TORVString::npos);
  EXPECT_FALSE(PlatformComputerName(15).empty());
  EXPECT_LE(PlatformComputerName(3).size(), 3u);
  EXPECT_GT(PlatformProcessID(), 0);
  EXPECT_GT(GetCurrentThreadID(), 0u);
  int32_t major = 0, minor = -1;
  ASSERT_TRUE(PlatformOSVersion(major, minor));
  EXPECT_GT(major, 0);
  EXPECT_GE(minor, 0);
}

TEST(PlatformOS, ErrorCodesAndTexts) {
  PlatformSetLastError(ENOENT);
  EXPECT_EQ(PlatformLastError(), ENOENT);
  EXPECT_EQ(PlatformErrorMessage(ENOENT), u"No such file or directory");
  try {
    PlatformRaiseError(EACCES);
    FAIL() << "no exception";
  } catch (const EORVPlatformError& e) {
    EXPECT_EQ(e.OSErrorCode(), EACCES);
    EXPECT_EQ(Utf8ToString(e.what()), PlatformErrorMessage(EACCES));
  }
}

TEST(PlatformOS, LibrariesLoadAndExposeFunctionsAndFailuresKeepTheLoaderText) {
  TORVLibraryHandle handle = PlatformLoadLibrary(u"libm.so.6");
  ASSERT_NE(handle, 0u);
  EXPECT_NE(PlatformGetFunctionPtr(handle, "cos"), nullptr);
  EXPECT_EQ(PlatformGetFunctionPtr(handle, "no_such_function_here"), nullptr);
  EXPECT_NE(PlatformLibraryError().find(u"no_such_function_here"), TORVString::npos);
  PlatformFreeLibrary(handle);
  EXPECT_EQ(PlatformLoadLibrary(u"/no/such/library.so"), 0u);
  EXPECT_NE(PlatformLibraryError().find(u"/no/such/library.so"), TORVString::npos);
  EXPECT_EQ(PlatformGetFunctionPtr(0, "cos"), nullptr);
}

}  // namespace
}  // namespace orv
