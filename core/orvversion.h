// Version strings of a program module. The running engine's come from the
// build (CMakeLists.txt); other modules carry none that the engine can read.
#pragma once

#include "base/orvtype.h"
#include "core/orvcommon.h"

namespace orv {

class TORVVersionInfo : public TORVBaseObject {
 public:
  // The running executable gets the build's strings; any other module has
  // every string empty but FileName.
  explicit TORVVersionInfo(const TORVString& ModuleFileName);

  const TORVString& GetFileName() const { return FFileName; }
  const TORVString& GetFileDescription() const { return FFileDescription; }
  const TORVString& GetFileVersion() const { return FFileVersion; }
  const TORVString& GetOriginalFilename() const { return FOriginalFilename; }
  const TORVString& GetCompanyName() const { return FCompanyName; }
  const TORVString& GetProductName() const { return FProductName; }
  const TORVString& GetProductVersion() const { return FProductVersion; }
  const TORVString& GetInternalName() const { return FInternalName; }
  const TORVString& GetLegalCopyright() const { return FLegalCopyright; }

 private:
  TORVString FFileName;
  TORVString FFileDescription;
  TORVString FFileVersion;
  TORVString FOriginalFilename;
  TORVString FCompanyName;
  TORVString FProductName;
  TORVString FProductVersion;
  TORVString FInternalName;
  TORVString FLegalCopyright;
};

// The full file name of the running program.
TORVString GetExeFileName();

// The version strings of the running program, made on first use.
const TORVVersionInfo& VersionInfo();

}  // namespace orv
