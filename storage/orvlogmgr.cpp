#include "storage/orvlogmgr.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>

#include "base/orverror.h"
#include "base/orverrors.h"
#include "core/orvliteral.h"
#include "core/orvstrings.h"
#include "storage/orvfunc.h"

namespace orv {

namespace {

// Category, function and error codes, the description's count, time stamp,
// version, build, the five other counts, thread and session IDs, the
// address's count and the encrypted flag.
constexpr int32_t FixedRecordBytes = 69;

int32_t CharacterSize(int32_t CharacterSet) { return CharacterSet == 1 ? 2 : 1; }

int32_t Cut(const TORVString& Value, int32_t Limit) {
  return static_cast<int32_t>(std::min<size_t>(Value.size(), static_cast<size_t>(Limit)));
}

// A text cut to Count characters; an empty text writes just its count.
void WriteText(TORVMemoryStream& Stream, const TORVString& Value, int32_t Count) {
  if (Count <= 0) {
    Stream.WriteInteger(0);
  } else {
    Stream.WriteString(Value, Count);
  }
}

}  // namespace

// ------------------------------------------------------------ TORVLogEvent

TORVLogEvent::TORVLogEvent(TORVLogManager* LogManagerToUse) : FLogManager(LogManagerToUse) {}

void TORVLogEvent::Assign(const TORVLogEvent& FromEvent) {
  FCategory = FromEvent.FCategory;
  FFunctionCode = FromEvent.FFunctionCode;
  FErrorCode = FromEvent.FErrorCode;
  FDescription = FromEvent.FDescription;
  FDateTime = FromEvent.FDateTime;
  FVersion = FromEvent.FVersion;
  FBuild = FromEvent.FBuild;
  FProductType = FromEvent.FProductType;
  FUserName = FromEvent.FUserName;
  FProcessName = FromEvent.FProcessName;
  FThreadID = FromEvent.FThreadID;
  FSessionID = FromEvent.FSessionID;
  FSessionName = FromEvent.FSessionName;
  FSessionDescription = FromEvent.FSessionDescription;
  FAddress = FromEvent.FAddress;
  FEncrypted = FromEvent.FEncrypted;
}

bool TORVLogEvent::Compare(const TORVLogEvent& EventToCompare) const {
  const TORVLogEvent& Other = EventToCompare;
  return FCategory == Other.FCategory && FFunctionCode == Other.FFunctionCode && FErrorCode == Other.FErrorCode &&
         SameString(FDescription, Other.FDescription) && FDateTime == Other.FDateTime &&
         FVersion == Other.FVersion && FBuild == Other.FBuild && SameString(FProductType, Other.FProductType) &&
         SameString(FUserName, Other.FUserName) && SameString(FProcessName, Other.FProcessName) &&
         FThreadID == Other.FThreadID && FSessionID == Other.FSessionID &&
         SameString(FSessionName, Other.FSessionName) &&
         SameString(FSessionDescription, Other.FSessionDescription) && SameString(FAddress, Other.FAddress) &&
         FEncrypted == Other.FEncrypted;
}

void TORVLogEvent::Save(TORVMemoryStream& Stream) const {
  const int32_t RecordSize = FLogManager->GetRecordSize();
  const int32_t CharSize = CharacterSize(Stream.GetCharacterSet());
  const int32_t Start = static_cast<int32_t>(Stream.GetPosition());
  const int32_t ProductType = Cut(FProductType, MaxProductTypeLength);
  const int32_t UserName = Cut(FUserName, MaxUserNameLength);
  const int32_t ProcessName = Cut(FProcessName, MaxProcessNameLength);
  const int32_t SessionName = Cut(FSessionName, MaxSessionNameLength);
  const int32_t SessionDescription = Cut(FSessionDescription, MaxSessionDescriptionLength);
  const int32_t Address = Cut(FAddress, MaxAddressLength);
  // In the ANSI character set the limits add up to more than a record: the
  // description gets what the other fields leave.
  const int32_t Room = (RecordSize - FixedRecordBytes) / CharSize -
                       (ProductType + UserName + ProcessName + SessionName + SessionDescription + Address);
  const int32_t Description = std::min(Cut(FDescription, MaxDescriptionLength), Room);

  Stream.WriteInteger(FCategory);
  Stream.WriteInteger(FFunctionCode);
  Stream.WriteInteger(FErrorCode);
  WriteText(Stream, FDescription, Description);
  Stream.WriteLargeInt(FDateTime);
  Stream.WriteCurrency(FVersion);
  Stream.WriteInteger(FBuild);
  WriteText(Stream, FProductType, ProductType);
  WriteText(Stream, FUserName, UserName);
  WriteText(Stream, FProcessName, ProcessName);
  Stream.WriteInteger(FThreadID);
  Stream.WriteInteger(FSessionID);
  WriteText(Stream, FSessionName, SessionName);
  WriteText(Stream, FSessionDescription, SessionDescription);
  WriteText(Stream, FAddress, Address);
  Stream.WriteBoolean(FEncrypted);
  const int32_t Used = static_cast<int32_t>(Stream.GetPosition()) - Start;
  if (Used > RecordSize) throw std::logic_error("a log record outgrew its size");
  if (Stream.GetSize() < Start + RecordSize) Stream.SetSize(Start + RecordSize);
  if (Used < RecordSize) Stream.Clear(RecordSize - Used);
}

void TORVLogEvent::Load(TORVMemoryStream& Stream) {
  const int32_t RecordSize = FLogManager->GetRecordSize();
  const int32_t CharSize = CharacterSize(Stream.GetCharacterSet());
  const int64_t Start = Stream.GetPosition();
  const int64_t End = Start + RecordSize;
  if (End > Stream.GetSize()) throw std::logic_error("a log record is read past the end of its block");
  // A text's count is checked against its limit and the record's end
  // before any character is read.
  auto ReadText = [&](TORVString& Value, int32_t Limit) {
    int32_t Count = Stream.ReadInteger();
    if (Count < 0 || Count > Limit || Stream.GetPosition() + static_cast<int64_t>(Count) * CharSize > End)
      RaiseError(ORV_CORRUPT_ERROR, {FLogManager->GetLog()->GetTypeName(), FLogManager->GetLog()->GetName(),
                                     FormatString(u"A text of %s characters is longer than its field",
                                                  {IntToString(Count)})});
    Stream.Seek(-4, orCurrent);
    Value.clear();
    Stream.ReadString(Value);
  };
  FCategory = Stream.ReadInteger();
  FFunctionCode = Stream.ReadInteger();
  FErrorCode = Stream.ReadInteger();
  ReadText(FDescription, MaxDescriptionLength);
  FDateTime = Stream.ReadLargeInt();
  FVersion = Stream.ReadCurrency();
  FBuild = Stream.ReadInteger();
  ReadText(FProductType, MaxProductTypeLength);
  ReadText(FUserName, MaxUserNameLength);
  ReadText(FProcessName, MaxProcessNameLength);
  FThreadID = Stream.ReadInteger();
  FSessionID = Stream.ReadInteger();
  ReadText(FSessionName, MaxSessionNameLength);
  ReadText(FSessionDescription, MaxSessionDescriptionLength);
  ReadText(FAddress, MaxAddressLength);
  FEncrypted = Stream.ReadBoolean();
  Stream.SetPosition(End);
}

TORVString TORVLogEvent::GetCategoryName() const {
  switch (FCategory) {
    case 0:
      return u"Information";
    case 1:
      return u"Warning";
    case 2:
      return u"Error";
    default:
      return TORVString();
  }
}

TORVString TORVLogEvent::GetFunctionName() const { return GetFunctionNameForCode(FFunctionCode); }

// ---------------------------------------------------------- TORVLogManager

TORVLogManager::TORVLogManager(TORVLockableConfigObject* LogToManage, TORVLockManager* LockManagerToUse,
                               TORVFileManager* FileManagerToUse)
    : FCharacterSet(LockManagerToUse->GetConfigObject()->GetConfigCharacterSet()),
      FRecordSize(CharacterSize(FCharacterSet) << 9),
      FLog(LogToManage),
      FLockManager(LockManagerToUse),
      FFileManager(FileManagerToUse),
      FHeaderStream(std::make_unique<TORVMemoryStream>(FCharacterSet)),
      FReadStream(std::make_unique<TORVMemoryStream>(FCharacterSet)),
      FWriteStream(std::make_unique<TORVMemoryStream>(FCharacterSet)) {
  FHeaderStream->SetSize(HeaderSize);
  FReadStream->SetCapacity(ReadBlockSize - FRecordSize);
  FWriteStream->SetCapacity(FRecordSize);
}

TORVLogManager::~TORVLogManager() {
  try {
    Close();
  } catch (...) {
    // A destructor cannot report; owners that must know call Close first.
  }
}

TORVString TORVLogManager::GetFullFileName() { return FFileName; }

void TORVLogManager::UpdateError() {
  RaiseError(ORV_UPDATE_ERROR, {FLog->GetTypeName(), FLog->GetName(), ORV_FILE_READ_ONLY_MSG});
}

void TORVLogManager::CorruptError(const TORVString& Msg) {
  RaiseError(ORV_CORRUPT_ERROR, {FLog->GetTypeName(), FLog->GetName(), Msg});
}

void TORVLogManager::InternalOpen() {
  TORVString Name = GetFullFileName();
  if (FFileManager->FileExists(Name, TORVFileOptions())) {
    FFileStream = FFileManager->OpenFile(Name, TORVFileOptions());
    if (FFileStream->GetOptions().Contains(foReadOnly)) FLog->SetReadOnly(true);
  } else {
    FFileStream = FFileManager->CreateFile(Name, TORVFileOptions());
  }
}

void TORVLogManager::InternalClose() {
  std::unique_ptr<TORVFileStream> Stream = std::move(FFileStream);
  if (Stream) Stream->Close();
}

void TORVLogManager::Open() {
  if (FOpened) return;
  InternalOpen();
  FOpened = true;
}

void TORVLogManager::Close() {
  if (!FOpened) return;
  FOpened = false;
  FUpdating = false;
  FReadLockCounter = 0;
  InternalClose();
}

void TORVLogManager::Drop() {
  Close();
  FFileManager->DeleteFile(GetFullFileName());
}

int32_t TORVLogManager::RecordsInFile() {
  int64_t Size = FFileStream->GetSize();
  if (Size <= HeaderSize) return 0;
  return static_cast<int32_t>(std::min<int64_t>((Size - HeaderSize) / FRecordSize, INT32_MAX - 1));
}

void TORVLogManager::ReadHeader() {
  int64_t Size = FFileStream->GetSize();
  if (Size == 0) return;
  FFileStream->SetPosition(0);
  if (FFileStream->Read(FHeaderStream->GetMemory(), HeaderSize) != HeaderSize)
    CorruptError(u"The file is shorter than its header");
  FHeaderStream->SetPosition(0);
  int32_t Number = FHeaderStream->ReadInteger();
  // The next record is at most one past the last one in the file.
  if (Number < 1 || Number - 1 > RecordsInFile())
    CorruptError(FormatString(u"The next event number %s lies outside the file", {IntToString(Number)}));
  FNextEventNumber = Number;
}

void TORVLogManager::WriteHeader() {
  FHeaderStream->SetPosition(0);
  FHeaderStream->WriteInteger(FNextEventNumber);
  FFileStream->SetPosition(0);
  if (FFileStream->Write(FHeaderStream->GetMemory(), HeaderSize) != HeaderSize)
    FFileManager->FileError(FormatString(u"Cannot write to the file %s", {FFileStream->GetFileName()}));
  FFileStream->Flush();
}

void TORVLogManager::WriteEvent() {
  int32_t Number = FNextEventNumber;
  if (HeaderSize + static_cast<int64_t>(Number) * FRecordSize > FMaximumFileSize) {
    FFileStream->SetSize(HeaderSize + static_cast<int64_t>(Number - 1) * FRecordSize);
    Number = 1;
  }
  FFileStream->SetPosition(HeaderSize + static_cast<int64_t>(Number - 1) * FRecordSize);
  if (FFileStream->Write(FWriteStream->GetMemory(), FRecordSize) != FRecordSize)
    FFileManager->FileError(FormatString(u"Cannot write to the file %s", {FFileStream->GetFileName()}));
  FNextEventNumber = Number + 1;
  if (FLogEventsChanged) FLogEventsChanged(FLog);
}

void TORVLogManager::BeginUpdate() {
  if (FLog->GetReadOnly()) UpdateError();
  if (FUpdating) return;
  FLockManager->LockObject(FLog, ltTransaction);
  try {
    ReadHeader();
  } catch (...) {
    FLockManager->UnlockAfterFailure(FLog, ltTransaction);
    throw;
  }
  FUpdating = true;
}

void TORVLogManager::EndUpdate() {
  TORVObjectLock Write(*FLockManager, FLog, ltWrite);
  WriteEvent();
  WriteHeader();
  Write.Release();
  FUpdating = false;
  FLockManager->UnlockObject(FLog, ltTransaction);
}

void TORVLogManager::CancelUpdate() {
  if (!FUpdating) return;
  FUpdating = false;
  FLockManager->UnlockObject(FLog, ltTransaction);
}

void TORVLogManager::LogEvent(const TORVLogEvent& Event) {
  BeginUpdate();
  try {
    FWriteStream->SetSize(0);
    Event.Save(*FWriteStream);
    EndUpdate();
  } catch (...) {
    try {
      CancelUpdate();
    } catch (const EORVBaseException&) {
      // The failed write is the one reported.
    }
    throw;
  }
}

bool TORVLogManager::CheckForChanges() {
  int32_t Old = FNextEventNumber;
  ReadHeader();
  if (FNextEventNumber == Old) return false;
  if (FLogEventsChanged) FLogEventsChanged(FLog);
  return true;
}

void TORVLogManager::BeginRead() {
  if (FLockManager->LockObject(FLog, ltRead)) {
    try {
      CheckForChanges();
    } catch (...) {
      if (FReadLockCounter == 0) FLockManager->UnlockAfterFailure(FLog, ltRead);
      throw;
    }
  }
  ++FReadLockCounter;
}

void TORVLogManager::EndRead() {
  if (FReadLockCounter == 0) return;
  if (--FReadLockCounter == 0) FLockManager->UnlockObject(FLog, ltRead);
}

bool TORVLogManager::ReadEvents() {
  FReadStream->SetSize(0);
  const int32_t Records = RecordsInFile();
  const int32_t BlockRecords = (ReadBlockSize - FRecordSize) / FRecordSize;
  for (;;) {
    // Records from the read position to the end of the file.
    int32_t Count = Records - (FNextEventReadNumber - 1);
    if (FLoopedOnce) {
      Count = std::min(Count, FNextEventNumber - FNextEventReadNumber);
      if (Count <= 0) return false;
    } else if (Count <= 0) {
      FLoopedOnce = true;
      FNextEventReadNumber = 1;
      continue;
    }
    Count = std::min(Count, BlockRecords);
    const int32_t Bytes = Count * FRecordSize;
    FReadStream->SetSize(Bytes);
    FFileStream->SetPosition(HeaderSize + static_cast<int64_t>(FNextEventReadNumber - 1) * FRecordSize);
    int32_t Got = FFileStream->Read(FReadStream->GetMemory(), Bytes);
    if (Got < 0) FFileManager->FileError(FormatString(u"Cannot read the file %s", {FFileStream->GetFileName()}));
    Count = Got / FRecordSize;
    if (Count == 0) return false;
    FReadStream->SetSize(Count * FRecordSize);
    FReadStream->SetPosition(0);
    FNextEventReadNumber += Count;
    return true;
  }
}

bool TORVLogManager::First(TORVLogEvent& Event) {
  FLoopedOnce = false;
  FNextEventReadNumber = FNextEventNumber;
  if (!ReadEvents()) return false;
  Event.Load(*FReadStream);
  return true;
}

bool TORVLogManager::Next(TORVLogEvent& Event) {
  if (FReadStream->GetPosition() >= FReadStream->GetSize() && !ReadEvents()) return false;
  Event.Load(*FReadStream);
  return true;
}

}  // namespace orv
