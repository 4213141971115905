// File managers that fail on purpose: the Nth write, flush, rename or
// delete from now fails, or a write stops half-way, as a full disk or a crash leaves a
// file. They wrap the memory and the operating-system files, and can also
// share their files with other processes (no exclusive file access).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "base/orvtype.h"
#include "storage/orvfilemgr.h"
#include "storage/orvmemfilemgr.h"
#include "storage/orvosfilemgr.h"

namespace orv::test {

enum TFaultKind : uint8_t { fkWrite, fkFlush, fkRename, fkDelete };

enum TFaultMode : uint8_t {
  fmFail,  // nothing happens and the operation reports a failure
  fmTorn,  // a write puts down the first half of its bytes (or as many as
           // asked for), then fails
  fmSticky // as fmFail, and so does every later operation of the kind
           // until Clear, as a file that another program holds
};

// Counts each kind of operation and fails the one that was asked for.
// Shared by every file of one manager; any thread may use it.
class TFaultPlan {
 public:
  // The Nth operation of Kind from now on fails (N from 1); one fault per
  // kind is pending at a time. A torn write puts down TornBytes bytes when
  // they are 0 or more, else half of its bytes.
  void FailNext(TFaultKind Kind, int32_t N = 1, TFaultMode Mode = fmFail, int32_t TornBytes = -1);
  void Clear();
  // Operations of Kind seen so far.
  int32_t GetCount(TFaultKind Kind);
  // Counts one operation; True (and the mode) when it is the one to fail.
  bool Hit(TFaultKind Kind, TFaultMode& Mode);
  // The bytes a torn write of Count bytes puts down.
  int32_t TornCount(int32_t Count);

 private:
  std::mutex FMutex;
  int32_t FCounts[4] = {0, 0, 0, 0};
  int32_t FFailAt[4] = {0, 0, 0, 0};
  TFaultMode FModes[4] = {fmFail, fmFail, fmFail, fmFail};
  int32_t FTornBytes = -1;
};

template <class TFile>
class TFaultFile : public TFile {
 public:
  TFaultFile(TORVFileManager* Owner, const TORVString& AFileName, const TORVFileOptions& AOptions,
             TFaultPlan& Plan)
      : TFile(Owner, AFileName, AOptions), FPlan(Plan) {}

  using TFile::Read;
  using TFile::Write;
  int32_t Write(int64_t Offset, int32_t Count, const uint8_t* Buffer) override {
    TFaultMode Mode = fmFail;
    if (!FPlan.Hit(fkWrite, Mode)) return TFile::Write(Offset, Count, Buffer);
    if (Mode == fmTorn) {
      const int32_t Torn = FPlan.TornCount(Count);
      if (Torn > 0) return TFile::Write(Offset, Torn, Buffer);
    }
    return -1;
  }
  void Flush(bool CheckAge) override {
    FailIfHit(fkFlush);
    TFile::Flush(CheckAge);
  }
  void Sync() override {
    FailIfHit(fkFlush);
    TFile::Sync();
  }
  void Rename(const TORVString& NewFileName) override {
    TFaultMode Mode = fmFail;
    if (FPlan.Hit(fkRename, Mode)) this->RenameError(this->GetFileName(), NewFileName, u"Injected failure");
    TFile::Rename(NewFileName);
  }
  // The file stays where it was, as when another program holds it open.
  void Delete() override {
    TFaultMode Mode = fmFail;
    if (FPlan.Hit(fkDelete, Mode)) this->DeleteError(this->GetFileName(), u"Injected failure");
    TFile::Delete();
  }

 private:
  void FailIfHit(TFaultKind Kind) {
    TFaultMode Mode = fmFail;
    if (FPlan.Hit(Kind, Mode)) this->GetFileManager()->FileError(u"Injected flush failure");
  }

  TFaultPlan& FPlan;
};

template <class TManager, class TFile>
class TFaultFileManager : public TManager {
 public:
  TFaultPlan& Faults() { return FPlan; }
  // With False, files are shared with other processes and byte ranges are
  // locked on the files themselves.
  void SetExclusiveFileAccess(bool Value) { FExclusive = Value; }
  bool GetExclusiveFileAccess() override { return FExclusive; }

  std::unique_ptr<TORVFile> CreateFileObject(const TORVString& FileName, const TORVFileOptions& AOptions) override {
    return std::make_unique<TFaultFile<TFile>>(this, FileName, AOptions, FPlan);
  }
  void ReplaceFile(const TORVString& Value, const TORVString& NewFileName) override {
    TFaultMode Mode = fmFail;
    if (FPlan.Hit(fkRename, Mode)) this->RenameError(Value, NewFileName, u"Injected failure");
    TManager::ReplaceFile(Value, NewFileName);
  }

 private:
  TFaultPlan FPlan;
  bool FExclusive = true;
};

using TFaultMemoryFileManager = TFaultFileManager<TORVMemoryFileManager, TORVMemoryFile>;
using TFaultOSFileManager = TFaultFileManager<TORVOSFileManager, TORVOSFile>;

// Disk files shared with other processes, initialized.
std::unique_ptr<TFaultOSFileManager> NewSharedOSFileManager();

}  // namespace orv::test
