#include "core/orvversion.h"

#include "core/orvbuildversion.h"
#include "core/orvenv.h"

namespace orv {

TORVVersionInfo::TORVVersionInfo(const TORVString& ModuleFileName) : FFileName(ModuleFileName) {
  if (ModuleFileName.empty() || ModuleFileName != GetExeFileName()) return;
  FFileDescription = BuildFileDescription;
  FFileVersion = BuildFileVersion;
  const size_t Slash = ModuleFileName.find_last_of(u'/');
  FOriginalFilename = Slash == TORVString::npos ? ModuleFileName : ModuleFileName.substr(Slash + 1);
  FInternalName = FOriginalFilename;
  FProductName = BuildProductName;
  FProductVersion = BuildProductVersion;
}

TORVString GetExeFileName() { return Environment().GetModuleFileName(); }

const TORVVersionInfo& VersionInfo() {
  static const TORVVersionInfo Info(GetExeFileName());
  return Info;
}

}  // namespace orv
