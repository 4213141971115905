#include "tests/support/orvtestfolder.h"

#include <cstdlib>
#include <stdexcept>
#include <system_error>

#include "base/orvutf8.h"

namespace orv::test {

void TempFolderTest::SetUp() {
  std::string pattern = (std::filesystem::temp_directory_path() / "orvtest-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  FFolder = pattern;
}

void TempFolderTest::TearDown() {
  std::error_code ec;
  std::filesystem::remove_all(FFolder, ec);
}

TORVString TempFolderTest::FolderName() const { return Utf8ToString(FFolder.string() + "/"); }

TORVString TempFolderTest::PathName(const std::string& Name) const {
  return Utf8ToString((FFolder / Name).string());
}

}  // namespace orv::test
