#include "platform/orvplatformos.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/orvutf8.h"

namespace orv {

namespace {

std::string EnvValue(const char* Name) {
  const char* v = std::getenv(Name);
  return v != nullptr ? std::string(v) : std::string();
}

// One field of the effective user's account entry; empty when unknown.
std::string UserEntry(char* passwd::*Field) {
  std::vector<char> buffer(16384);
  passwd pw{};
  passwd* result = nullptr;
  if (getpwuid_r(geteuid(), &pw, buffer.data(), buffer.size(), &result) == 0 && result != nullptr &&
      result->*Field != nullptr)
    return result->*Field;
  return {};
}

std::string HomeDirectory() {
  std::string home = EnvValue("HOME");
  return home.empty() ? UserEntry(&passwd::pw_dir) : home;
}

// The folder the environment variable Name gives, else Subfolder of the home
// folder; no trailing separator, empty when neither is known.
TORVString UserFolder(const char* Name, const char* Subfolder) {
  std::string dir = EnvValue(Name);
  if (dir.empty()) {
    const std::string home = HomeDirectory();
    if (home.empty()) return {};
    dir = home + Subfolder;
  }
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return Utf8ToString(dir);
}

}  // namespace

TORVString PlatformTempDirectory() {
  std::string dir = EnvValue("TMPDIR");
  if (dir.empty()) dir = "/tmp";
  if (dir.back() != '/') dir.push_back('/');
  return Utf8ToString(dir);
}

TORVString PlatformCreateTempFile(const TORVString& Folder, const TORVString& Prefix) {
  static thread_local std::mt19937 generator{std::random_device{}()};
  std::uniform_int_distribution<int> number(1, 65534);
  const std::string base = StringToUtf8(Folder) + StringToUtf8(Prefix);
  // Every number may be taken; stop after as many attempts as there are.
  for (int attempt = 0; attempt < 65534; ++attempt) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%04X", number(generator));
    const std::string name = base + digits + ".TMP";
    int fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::close(fd);
      return Utf8ToString(name);
    }
    if (errno != EEXIST) return {};
  }
  return {};
}

TORVString PlatformAppDataDirectory() { return UserFolder("XDG_DATA_HOME", "/.local/share"); }

TORVString PlatformCommonDataDirectory() { return u"/var/lib"; }

TORVString PlatformDocumentsDirectory() { return UserFolder("XDG_DOCUMENTS_DIR", "/Documents"); }

TORVString PlatformModuleFileName() {
  std::vector<char> buffer(4096);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < buffer.size()) return Utf8ToString(std::string(buffer.data(), n));
    buffer.resize(buffer.size() * 2);
  }
}

TORVString PlatformComputerName(int32_t MaxLength) {
  char buffer[256] = {};
  if (::gethostname(buffer, sizeof buffer - 1) != 0) return {};
  TORVString name = Utf8ToString(buffer);
  if (MaxLength >= 0 && name.size() > static_cast<std::size_t>(MaxLength)) name.resize(MaxLength);
  return name;
}

TORVString PlatformUserName() {
  const std::string name = UserEntry(&passwd::pw_name);
  return Utf8ToString(name.empty() ? EnvValue("USER") : name);
}

int32_t PlatformProcessID() { return static_cast<int32_t>(::getpid()); }

int32_t PlatformLastError() { return errno; }

void PlatformSetLastError(int32_t Value) { errno = Value; }

EORVPlatformError::EORVPlatformError(int32_t OSErrorCode, const TORVString& Text)
    : EORVBaseException(Text), FOSErrorCode(OSErrorCode) {}

TORVString PlatformErrorMessage(int32_t ErrorCode) {
  char buffer[512];
  // The GNU form returns the text, which need not be in the buffer.
  const char* text = ::strerror_r(ErrorCode, buffer, sizeof buffer);
  TORVString message = Utf8ToString(text != nullptr ? text : "");
  if (message.size() > 256) message.resize(256);
  return message;
}

void PlatformRaiseError(int32_t ErrorCode) {
  throw EORVPlatformError(ErrorCode, PlatformErrorMessage(ErrorCode));
}

bool PlatformOSVersion(int32_t& Major, int32_t& Minor) {
  utsname info{};
  if (::uname(&info) != 0) return false;
  int major = 0, minor = 0;
  if (std::sscanf(info.release, "%d.%d", &major, &minor) != 2) return false;
  Major = major;
  Minor = minor;
  return true;
}

namespace {

// dlerror() reports only the latest failure and forgets it once read, so the
// text is taken at the failure and kept for the thread that met it.
thread_local std::string LastLibraryError;

void KeepLibraryError() {
  const char* Text = ::dlerror();
  LastLibraryError = Text != nullptr ? Text : "";
}

}  // namespace

TORVLibraryHandle PlatformLoadLibrary(const TORVString& FileName) {
  void* handle = ::dlopen(StringToUtf8(FileName).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) KeepLibraryError();
  return reinterpret_cast<TORVLibraryHandle>(handle);
}

void PlatformFreeLibrary(TORVLibraryHandle Handle) {
  if (Handle != 0 && ::dlclose(reinterpret_cast<void*>(Handle)) != 0) KeepLibraryError();
}

void* PlatformGetFunctionPtr(TORVLibraryHandle Handle, const TORVAnsiString& FunctionName) {
  if (Handle == 0) return nullptr;
  ::dlerror();
  void* Address = ::dlsym(reinterpret_cast<void*>(Handle), FunctionName.c_str());
  if (Address == nullptr) KeepLibraryError();
  return Address;
}

TORVString PlatformLibraryError() { return Utf8ToString(LastLibraryError); }

}  // namespace orv
