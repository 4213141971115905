// A fresh temporary folder for each test, removed when the test ends.
#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "base/orvtype.h"

namespace orv::test {

class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  const std::filesystem::path& Folder() const { return FFolder; }
  // The folder as engine text, ending in the path separator.
  TORVString FolderName() const;
  // A path inside the folder, as engine text.
  TORVString PathName(const std::string& Name) const;

 private:
  std::filesystem::path FFolder;
};

}  // namespace orv::test
