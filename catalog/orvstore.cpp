#include "catalog/orvstore.h"

#include <functional>
#include <memory>

#include "core/orvenginedefaults.h"
#include "core/orvliteral.h"
#include "core/orvstream.h"
#include "core/orvstrings.h"
#include "core/orvtypefunc.h"

namespace orv {

namespace {

// Stores a changed value and marks the store modified.
template <typename T, typename TSame>
void Change(TORVStore& Store, T& Field, const T& Value, TSame Same) {
  if (Same(Field, Value)) return;
  Field = Value;
  Store.SetModified(true);
}

bool Exactly(const TORVString& A, const TORVString& B) { return A == B; }
bool IgnoringCase(const TORVString& A, const TORVString& B) { return SameString(A, B); }

}  // namespace

TORVStore::TORVStore(TORVConfig* OwnerConfig) : TORVPrivilegedConfigObject(OwnerConfig) {
  ReplacePrivileges(std::make_unique<TORVStorePrivileges>(OwnerConfig));
}

TORVStore::TORVStore(TORVConfig* OwnerConfig, TORVUser* OwnerUser)
    : TORVPrivilegedConfigObject(OwnerConfig, OwnerUser),
      FAddress(u"127.0.0.1"),
      FPort(12010),
      FSignature(DefaultEngineSignature),
      FEncryptionPassword(DefaultEncryptionPassword),
      FCompression(6),
      FTimeout(180),
      FPing(true),
      FPingInterval(30) {
  ReplacePrivileges(std::make_unique<TORVStorePrivileges>(OwnerConfig));
}

TORVString TORVStore::GetTypeName() const { return u"store"; }

void TORVStore::GrantAllPrivileges(TORVUser* EffectiveUser, TORVAuthorization* GrantTo) {
  for (int32_t Number : {PrivilegeSelect, PrivilegeCreate, PrivilegeAlter, PrivilegeDrop})
    GrantPrivilege(EffectiveUser, GrantTo, Number);
}

void TORVStore::GrantRestrictedPrivileges(TORVUser* EffectiveUser, TORVAuthorization* GrantTo) {
  if (!FSystemObject) GrantPrivilege(EffectiveUser, GrantTo, PrivilegeSelect);
}

void TORVStore::Assign(TORVConfigObject* FromObject, bool CopyReferences) {
  TORVPrivilegedConfigObject::Assign(FromObject, CopyReferences);
  auto* From = dynamic_cast<TORVStore*>(FromObject);
  if (From == nullptr) return;
  const int32_t LockSlot = FLockSlot;
  FType = From->FType;
  FPath = From->FPath;
  FInMemory = From->FInMemory;
  FAddress = From->FAddress;
  FHostName = From->FHostName;
  FPort = From->FPort;
  FService = From->FService;
  FSignature = From->FSignature;
  FEncrypted = From->FEncrypted;
  FEncryptionPassword = From->FEncryptionPassword;
  FCompression = From->FCompression;
  FTimeout = From->FTimeout;
  FPing = From->FPing;
  FPingInterval = From->FPingInterval;
  FUserName = From->FUserName;
  FPassword = From->FPassword;
  FRemoteStore = From->FRemoteStore;
  FLockSlot = LockSlot;
}

void TORVStore::Save(TORVMemoryStream& Stream, bool CRCOnly) {
  TORVPrivilegedConfigObject::Save(Stream, CRCOnly);
  Stream.WriteInteger(FType);
  Stream.WriteString(FPath);
  Stream.WriteBoolean(FInMemory);
  Stream.WriteString(FAddress);
  Stream.WriteString(FHostName);
  Stream.WriteInteger(FPort);
  Stream.WriteString(FService);
  Stream.WriteString(FSignature);
  Stream.WriteBoolean(FEncrypted);
  Stream.WriteString(FEncryptionPassword);
  Stream.WriteInteger(FCompression);
  Stream.WriteInteger(FTimeout);
  Stream.WriteBoolean(FPing);
  Stream.WriteInteger(FPingInterval);
  Stream.WriteString(FUserName);
  Stream.WriteString(FPassword);
  Stream.WriteString(FRemoteStore);
  Stream.WriteInteger(FLockSlot);
}

void TORVStore::Load(TORVMemoryStream& Stream) {
  TORVPrivilegedConfigObject::Load(Stream);
  auto ReadText = [&Stream](TORVString& Value) {
    Value.clear();
    Stream.ReadString(Value);
  };
  FType = Stream.ReadInteger();
  ReadText(FPath);
  FInMemory = Stream.ReadBoolean();
  ReadText(FAddress);
  ReadText(FHostName);
  FPort = Stream.ReadInteger();
  ReadText(FService);
  ReadText(FSignature);
  FEncrypted = Stream.ReadBoolean();
  ReadText(FEncryptionPassword);
  FCompression = Stream.ReadInteger();
  FTimeout = Stream.ReadInteger();
  FPing = Stream.ReadBoolean();
  FPingInterval = Stream.ReadInteger();
  ReadText(FUserName);
  ReadText(FPassword);
  ReadText(FRemoteStore);
  FLockSlot = Stream.ReadInteger();
}

int32_t TORVStore::GetMemorySize() { return TORVPrivilegedConfigObject::GetMemorySize() + StringSize(FPath); }

void TORVStore::SetStoreType(int32_t Value) { Change(*this, FType, Value, std::equal_to<>()); }
void TORVStore::SetPath(const TORVString& Value) { Change(*this, FPath, Value, Exactly); }
void TORVStore::SetInMemory(bool Value) { Change(*this, FInMemory, Value, std::equal_to<>()); }
void TORVStore::SetAddress(const TORVString& Value) { Change(*this, FAddress, Value, IgnoringCase); }
void TORVStore::SetHostName(const TORVString& Value) { Change(*this, FHostName, Value, IgnoringCase); }
void TORVStore::SetPort(int32_t Value) { Change(*this, FPort, Value, std::equal_to<>()); }
void TORVStore::SetService(const TORVString& Value) { Change(*this, FService, Value, IgnoringCase); }
// The remote server compares the signature and both passwords exactly: a
// change of letter case alone must reach it.
void TORVStore::SetSignature(const TORVString& Value) { Change(*this, FSignature, Value, Exactly); }
void TORVStore::SetEncrypted(bool Value) { Change(*this, FEncrypted, Value, std::equal_to<>()); }
void TORVStore::SetEncryptionPassword(const TORVString& Value) {
  Change(*this, FEncryptionPassword, Value, Exactly);
}
void TORVStore::SetCompression(int32_t Value) { Change(*this, FCompression, Value, std::equal_to<>()); }
void TORVStore::SetTimeout(int32_t Value) { Change(*this, FTimeout, Value, std::equal_to<>()); }
void TORVStore::SetPing(bool Value) { Change(*this, FPing, Value, std::equal_to<>()); }
void TORVStore::SetPingInterval(int32_t Value) { Change(*this, FPingInterval, Value, std::equal_to<>()); }
void TORVStore::SetUserName(const TORVString& Value) { Change(*this, FUserName, Value, IgnoringCase); }
void TORVStore::SetPassword(const TORVString& Value) { Change(*this, FPassword, Value, Exactly); }
void TORVStore::SetRemoteStore(const TORVString& Value) { Change(*this, FRemoteStore, Value, IgnoringCase); }
void TORVStore::SetLockSlot(int32_t Value) { Change(*this, FLockSlot, Value, std::equal_to<>()); }

TORVString TORVStore::GetCreateSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/,
                                   bool Restricted) {
  // A restricted text keeps its clauses but shows none of the values that
  // locate or open the store.
  auto Literal = [Restricted](const TORVString& Text) {
    return Restricted ? TORVString(u"''") : QuotedString(Text, u'\'');
  };
  auto Name = [Restricted](const TORVString& Text) {
    return Restricted ? TORVString(u"\"\"") : QuotedString(Text, u'"');
  };
  TORVString Result = u"CREATE STORE " + QuotedString(FName, u'"') + u" AS";
  if (FType == LocalStoreType) {
    Result += u"\r\nLOCAL PATH " + Literal(FPath);
  } else if (FType == RemoteStoreType) {
    Result += FAddress.empty() ? u"\r\nREMOTE HOST " + Literal(FHostName) : u"\r\nREMOTE ADDRESS " + Literal(FAddress);
    Result += FPort != 0 ? u"\r\nPORT " + IntToString(Restricted ? 0 : FPort) : u"\r\nSERVICE " + Literal(FService);
    Result += u"\r\nUSER " + Name(FUserName) + u"\r\nPASSWORD " + Literal(FPassword) + u"\r\nSTORE " +
              Name(FRemoteStore);
    // Compared exactly, as the setters do: a signature or password that
    // differs from the default only in case is a different one.
    if (!FSignature.empty() && FSignature != DefaultEngineSignature)
      Result += u"\r\nSIGNATURE " + Literal(FSignature);
    if (FEncrypted) Result += u"\r\nENCRYPTED";
    if (!FEncryptionPassword.empty() && FEncryptionPassword != DefaultEncryptionPassword)
      Result += u"\r\nENCRYPTION PASSWORD " + Literal(FEncryptionPassword);
    if (FCompression != 6) Result += u"\r\nCOMPRESSION " + IntToString(FCompression);
    if (FTimeout != 180) Result += u"\r\nTIMEOUT " + IntToString(FTimeout);
    if (FPing && FPingInterval != 30) Result += u"\r\nPING " + IntToString(FPingInterval);
  }
  if (!FDescription.empty())
    Result += u"\r\nDESCRIPTION " + QuotedString(TrimCatalogExpression(FDescription), u'\'');
  if (!FAttributes.empty())
    Result += u"\r\nATTRIBUTES " + QuotedString(TrimCatalogExpression(FAttributes), u'\'');
  return Result;
}

TORVString TORVStore::GetDropSQL(bool /*IncludeDependentObjects*/, bool /*DependentObjectsOnly*/) {
  return u"DROP STORE " + QuotedString(FName, u'"');
}

TORVString TORVStores::GetTypeName() const { return u"store"; }

// ----------------------------------------------------- information tables

const TORVConfigObjectsClass& StoresClass() {
  static const TORVTableDescription Description{
      {TableText(u"Name", 80, true), TableClob(u"Description", false), TableClob(u"Attributes", false),
       TableText(u"Type", 15, true), TableText(u"Path", 255, true), TableText(u"Address", 16, true),
       TableText(u"Host", 60, true), TableColumn(u"Port", dtInteger), TableText(u"Service", 60, true),
       TableText(u"UserName", 80, true), TableText(u"Password", 60, false), TableText(u"RemoteStore", 80, true),
       TableText(u"Signature", 60, false), TableColumn(u"Encrypted", dtBoolean),
       TableText(u"EncryptionPassword", 60, false), TableColumn(u"Compression", dtInteger),
       TableColumn(u"Timeout", dtInteger), TableColumn(u"Ping", dtBoolean), TableColumn(u"PingInterval", dtInteger),
       TableClob(u"CreateSQL", true), TableClob(u"DropSQL", true)},
      {{u"Name", {1}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVStores(Config); }, u"Stores",
                                            &Description};
  return Class;
}

const TORVConfigObjectsClass& StorePrivilegesClass() {
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVStorePrivileges(Config); },
                                            u"StorePrivileges", &PrivilegesTableDescription()};
  return Class;
}

const TORVConfigObjectsClass& StoreFilesClass() {
  static const TORVTableDescription Description{
      {TableText(u"Name", 255, true), TableColumn(u"CreatedOn", dtTimeStamp), TableColumn(u"ModifiedOn", dtTimeStamp),
       TableColumn(u"Size", dtBigInt)},
      {{u"Name", {1}}, {u"CreatedOn", {2}}, {u"ModifiedOn", {3}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVStoreFiles(Config); }, u"Files",
                                            &Description};
  return Class;
}

}  // namespace orv
