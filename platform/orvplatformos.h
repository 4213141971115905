// Operating-system services other than files, threads and clocks: well-known
// folders, temporary file names, names of the computer, the user and the
// system, error codes and texts, and loading of shared libraries.
#pragma once

#include <cstdint>

#include "base/orverror.h"
#include "base/orvtype.h"

namespace orv {

// An operating-system call failed; the message is the system's text for the
// error code (or the caller's own wording where that says more).
class EORVPlatformError : public EORVBaseException {
 public:
  EORVPlatformError(int32_t OSErrorCode, const TORVString& Text);
  int32_t OSErrorCode() const { return FOSErrorCode; }

 private:
  int32_t FOSErrorCode;
};

// The temporary folder ($TMPDIR, else /tmp), ending in "/".
TORVString PlatformTempDirectory();
// Makes a new empty file named Folder + Prefix + four hexadecimal digits of a
// random number from 1 to 65,534 + ".TMP", created exclusively so that two
// callers never get the same name. Empty when no such file could be created.
TORVString PlatformCreateTempFile(const TORVString& Folder, const TORVString& Prefix);

// The user's local application data, all users' application data and the
// user's documents; no trailing separator. Empty when unknown.
TORVString PlatformAppDataDirectory();
TORVString PlatformCommonDataDirectory();
TORVString PlatformDocumentsDirectory();

// Full path of the running executable; empty when unknown.
TORVString PlatformModuleFileName();
// Host name, cut to MaxLength characters.
TORVString PlatformComputerName(int32_t MaxLength);
// Login name of the effective user; empty when unknown.
TORVString PlatformUserName();

int32_t PlatformProcessID();

// The calling thread's last OS error code (errno).
int32_t PlatformLastError();
void PlatformSetLastError(int32_t Value);
// The system's text for an error code, at most 256 characters.
TORVString PlatformErrorMessage(int32_t ErrorCode);
// Raises EORVPlatformError for ErrorCode, its text being
// PlatformErrorMessage(ErrorCode).
[[noreturn]] void PlatformRaiseError(int32_t ErrorCode);

// Kernel release as major and minor numbers; false when it cannot be read.
bool PlatformOSVersion(int32_t& Major, int32_t& Minor);

// Shared libraries: 0 stands for "not loaded".
using TORVLibraryHandle = uintptr_t;
TORVLibraryHandle PlatformLoadLibrary(const TORVString& FileName);
void PlatformFreeLibrary(TORVLibraryHandle Handle);
// The address of an exported symbol; nullptr when absent.
void* PlatformGetFunctionPtr(TORVLibraryHandle Handle, const TORVAnsiString& FunctionName);
// The loader's text for the calling thread's last failed library load,
// symbol lookup or unload; empty when none has failed.
TORVString PlatformLibraryError();

}  // namespace orv
