#include "core/orvfilepath.h"

#include "core/orvstrings.h"

namespace orv {

namespace {

// Position of the last "/" in Name, or npos.
size_t LastSeparator(const TORVString& Name) { return Name.rfind(u'/'); }

// Position of the "." that starts the extension of the last part of Name, or npos.
size_t ExtensionDot(const TORVString& Name) {
  size_t Dot = Name.rfind(u'.');
  if (Dot == TORVString::npos) return Dot;
  size_t Slash = LastSeparator(Name);
  if (Slash != TORVString::npos && Slash > Dot) return TORVString::npos;
  return Dot;
}

}  // namespace

bool IsRelativePath(const TORVString& Path) {
  if (!Path.empty() && Path[0] == u'/') return false;
  if (Path.size() >= 3 && Path[1] == u':' && (Path[2] == u'/' || Path[2] == u'\\')) return false;
  return true;
}

TORVString ExtractFilePath(const TORVString& FileName) {
  size_t Slash = LastSeparator(FileName);
  return Slash == TORVString::npos ? FileName : FileName.substr(0, Slash);
}

TORVString ExtractFileName(const TORVString& FileName) {
  size_t Slash = LastSeparator(FileName);
  return Slash == TORVString::npos ? FileName : FileName.substr(Slash + 1);
}

TORVString ExtractFileRoot(const TORVString& FileName, const TORVString& Extension) {
  size_t Dot = ExtensionDot(FileName);
  if (Dot == TORVString::npos) return FileName;
  if (Extension.empty() || SameString(FileName.substr(Dot), Extension)) return FileName.substr(0, Dot);
  return FileName;
}

TORVString ExtractFileExt(const TORVString& FileName) {
  size_t Dot = ExtensionDot(FileName);
  return Dot == TORVString::npos ? TORVString() : FileName.substr(Dot);
}

TORVString ChangeFileExt(const TORVString& FileName, const TORVString& Extension) {
  size_t Dot = ExtensionDot(FileName);
  return (Dot == TORVString::npos ? FileName : FileName.substr(0, Dot)) + Extension;
}

TORVString EnsureFileExt(const TORVString& FileName, const TORVString& OldExtension,
                         const TORVString& NewExtension) {
  TORVString Trimmed = TrimString(FileName);
  if (!OldExtension.empty() && SameString(ExtractFileExt(Trimmed), OldExtension))
    return ChangeFileExt(Trimmed, NewExtension);
  return Trimmed + NewExtension;
}

TORVString IncludeTrailingBackslash(const TORVString& Path) {
  TORVString Result = TrimString(Path);
  if (!Result.empty() && Result.back() != u'/') Result += u'/';
  return Result;
}

TORVString ExcludeTrailingBackslash(const TORVString& Path) {
  TORVString Result = TrimString(Path);
  if (!Result.empty() && Result.back() == u'/') Result.pop_back();
  return Result;
}

TORVString StripFilePathAndExtension(const TORVString& FileName, const TORVString& Extension) {
  return ExtractFileRoot(ExtractFileName(FileName), Extension);
}

}  // namespace orv
