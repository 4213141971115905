// Helpers that split and join file names and paths, for every folder that
// builds a file name: "/" separates the parts of a path.
#pragma once

#include "base/orvtype.h"

namespace orv {

bool IsRelativePath(const TORVString& Path);
TORVString ExtractFilePath(const TORVString& FileName);
TORVString ExtractFileName(const TORVString& FileName);
TORVString ExtractFileRoot(const TORVString& FileName, const TORVString& Extension);
TORVString ExtractFileExt(const TORVString& FileName);
TORVString ChangeFileExt(const TORVString& FileName, const TORVString& Extension);
TORVString EnsureFileExt(const TORVString& FileName, const TORVString& OldExtension,
                         const TORVString& NewExtension);
TORVString IncludeTrailingBackslash(const TORVString& Path);
TORVString ExcludeTrailingBackslash(const TORVString& Path);
TORVString StripFilePathAndExtension(const TORVString& FileName, const TORVString& Extension);

}  // namespace orv
