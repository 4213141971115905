// The status messages of a local session: one when an operation starts,
// one when it completes and one when it does not. Names and type names
// are read from the objects at the moment of the call, so a rename's
// completion names the new name.
#include <cstdint>
#include <vector>

#include "base/orverror.h"
#include "catalog/orvconfigobject.h"
#include "core/orvliteral.h"
#include "local/orvlocalsessionmgr.h"

namespace orv {

namespace {

enum TStatus : int32_t { stStarted = 0, stNotCompleted = 1, stCompleted = 2 };

bool KnownStatus(int32_t Status) { return Status >= stStarted && Status <= stCompleted; }

}  // namespace

void TORVLocalSessionManager::SendStatus(const TORVString& Format, const std::vector<TORVString>& Args) {
  StatusMessage(FormatString(Format, Args), false);
}

void TORVLocalSessionManager::PlainStatus(int32_t Status, TORVConfigObject* Object, const TORVString& Verb,
                                          const TORVString& Noun, const TORVString& Participle,
                                          const TORVString& Detail) {
  const TORVString TypeName = Object->GetTypeName();
  const TORVString Name = Object->GetName();
  switch (Status) {
    case stStarted:
      SendStatus(u"%s the %s %s...", {Verb, TypeName, Detail.empty() ? Name : Name + u" - " + Detail});
      break;
    case stNotCompleted:
      SendStatus(u"The %s of the %s %s did not complete", {Noun, TypeName, Name});
      break;
    case stCompleted:
      SendStatus(u"The %s %s was %s successfully", {TypeName, Name, Participle});
      break;
    default:
      break;
  }
}

void TORVLocalSessionManager::OnStatus(int32_t Status, const TORVString& Verb, const TORVString& Noun,
                                       const TORVString& Participle, const TORVString& TypeName,
                                       const TORVString& Name, const TORVString& OnTypeName,
                                       const TORVString& OnName) {
  switch (Status) {
    case stStarted:
      SendStatus(u"%s the %s %s on the %s %s...", {Verb, TypeName, Name, OnTypeName, OnName});
      break;
    case stNotCompleted:
      SendStatus(u"The %s of the %s %s on the %s %s did not complete", {Noun, TypeName, Name, OnTypeName, OnName});
      break;
    case stCompleted:
      SendStatus(u"The %s %s was %s successfully on the %s %s", {TypeName, Name, Participle, OnTypeName, OnName});
      break;
    default:
      break;
  }
}

void TORVLocalSessionManager::FileStatus(int32_t Status, TORVConfigObject* Store, const TORVString& FileName,
                                         const TORVString& Verb, const TORVString& Noun,
                                         const TORVString& Participle) {
  if (!KnownStatus(Status)) return;
  const TORVString TypeName = Store->GetTypeName();
  const TORVString Name = Store->GetName();
  switch (Status) {
    case stStarted:
      SendStatus(u"%s the file %s in the %s %s...", {Verb, FileName, TypeName, Name});
      break;
    case stNotCompleted:
      SendStatus(u"The %s of the file %s in the %s %s did not complete", {Noun, FileName, TypeName, Name});
      break;
    default:
      SendStatus(u"The file %s in the %s %s was %s successfully", {FileName, TypeName, Name, Participle});
      break;
  }
}

void TORVLocalSessionManager::SingleStatus(const TORVString& TypeName, const TORVString& Name,
                                           const TORVString& Participle) {
  SendStatus(u"The %s %s was %s successfully", {TypeName, Name, Participle});
}

void TORVLocalSessionManager::CreateStatus(int32_t Status, TORVConfigObject* Object) {
  PlainStatus(Status, Object, u"Creating", u"creation", u"created");
}

void TORVLocalSessionManager::AlterStatus(int32_t Status, TORVConfigObject* Object, const TORVString& Detail) {
  PlainStatus(Status, Object, u"Altering", u"alteration", u"altered", Detail);
}

void TORVLocalSessionManager::DropStatus(int32_t Status, TORVConfigObject* Object) {
  PlainStatus(Status, Object, u"Dropping", u"drop", u"dropped");
}

void TORVLocalSessionManager::RenameStatus(int32_t Status, TORVConfigObject* Object) {
  PlainStatus(Status, Object, u"Renaming", u"rename", u"renamed");
}

void TORVLocalSessionManager::EmptyStatus(int32_t Status, TORVConfigObject* Table) {
  PlainStatus(Status, Table, u"Emptying", u"empty", u"emptied");
}

void TORVLocalSessionManager::VerifyStatus(int32_t Status, TORVConfigObject* Object, const TORVString& Detail) {
  PlainStatus(Status, Object, u"Verifying", u"verify", u"verified", Detail);
}

void TORVLocalSessionManager::OptimizeStatus(int32_t Status, TORVConfigObject* Table) {
  PlainStatus(Status, Table, u"Optimizing", u"optimization", u"optimized");
}

void TORVLocalSessionManager::ImportStatus(int32_t Status, TORVConfigObject* Table) {
  PlainStatus(Status, Table, u"Importing", u"import", u"imported");
}

void TORVLocalSessionManager::ExportStatus(int32_t Status, TORVConfigObject* Table) {
  PlainStatus(Status, Table, u"Exporting", u"export", u"exported");
}

void TORVLocalSessionManager::BackupStatus(int32_t Status, TORVConfigObject* Database) {
  PlainStatus(Status, Database, u"Backing up", u"back up", u"backed up");
}

void TORVLocalSessionManager::RestoreStatus(int32_t Status, TORVConfigObject* Database) {
  PlainStatus(Status, Database, u"Restoring", u"restore", u"restored");
}

void TORVLocalSessionManager::MigrateStatus(int32_t Status, TORVConfigObject* Database) {
  PlainStatus(Status, Database, u"Migrating", u"migrate", u"migrated");
}

void TORVLocalSessionManager::PublishStatus(int32_t Status, TORVConfigObject* Database) {
  PlainStatus(Status, Database, u"Publishing", u"publish", u"published");
}

void TORVLocalSessionManager::UnpublishStatus(int32_t Status, TORVConfigObject* Database) {
  PlainStatus(Status, Database, u"Unpublishing", u"unpublish", u"unpublished");
}

void TORVLocalSessionManager::SaveUpdatesStatus(int32_t Status, TORVConfigObject* Database) {
  PlainStatus(Status, Database, u"Saving updates for", u"updates save", u"saved");
}

void TORVLocalSessionManager::LoadUpdatesStatus(int32_t Status, TORVConfigObject* Database) {
  PlainStatus(Status, Database, u"Loading updates for", u"updates load", u"loaded");
}

void TORVLocalSessionManager::CompareStatus(int32_t Status, TORVConfigObject* Database,
                                            TORVConfigObject* TargetDatabase) {
  const TORVString TypeName = Database->GetTypeName();
  const TORVString Name = Database->GetName();
  const TORVString TargetTypeName = TargetDatabase->GetTypeName();
  const TORVString TargetName = TargetDatabase->GetName();
  switch (Status) {
    case stStarted:
      SendStatus(u"%s the %s %s to the %s %s...", {u"Comparing", TypeName, Name, TargetTypeName, TargetName});
      break;
    case stNotCompleted:
      SendStatus(u"The %s of the %s %s to the %s %s did not complete",
                 {u"comparison", TypeName, Name, TargetTypeName, TargetName});
      break;
    case stCompleted:
      SendStatus(u"The %s %s was %s successfully to the %s %s",
                 {TypeName, Name, u"compared", TargetTypeName, TargetName});
      break;
    default:
      break;
  }
}

void TORVLocalSessionManager::CopyFileStatus(int32_t Status, TORVConfigObject* Store, const TORVString& FileName) {
  FileStatus(Status, Store, FileName, u"Copying", u"copy", u"copied");
}

void TORVLocalSessionManager::RenameFileStatus(int32_t Status, TORVConfigObject* Store,
                                               const TORVString& FileName) {
  FileStatus(Status, Store, FileName, u"Renaming", u"rename", u"renamed");
}

void TORVLocalSessionManager::DeleteFileStatus(int32_t Status, TORVConfigObject* Store,
                                               const TORVString& FileName) {
  FileStatus(Status, Store, FileName, u"Deleting", u"deletion", u"deleted");
}

void TORVLocalSessionManager::GrantPrivilegeStatus(int32_t Status, TORVConfigObject* Object,
                                                   const TORVString& PrivilegeName) {
  OnStatus(Status, u"Granting", u"grant", u"granted", u"privilege", PrivilegeName, Object->GetTypeName(),
           Object->GetName());
}

void TORVLocalSessionManager::RevokePrivilegeStatus(int32_t Status, TORVConfigObject* Object,
                                                    const TORVString& PrivilegeName) {
  OnStatus(Status, u"Revoking", u"revoke", u"revoked", u"privilege", PrivilegeName, Object->GetTypeName(),
           Object->GetName());
}

void TORVLocalSessionManager::GrantRoleStatus(int32_t Status, TORVConfigObject* User, TORVConfigObject* Role) {
  OnStatus(Status, u"Granting", u"grant", u"granted", Role->GetTypeName(), Role->GetName(), User->GetTypeName(),
           User->GetName());
}

void TORVLocalSessionManager::RevokeRoleStatus(int32_t Status, TORVConfigObject* User, TORVConfigObject* Role) {
  OnStatus(Status, u"Revoking", u"revoke", u"revoked", Role->GetTypeName(), Role->GetName(), User->GetTypeName(),
           User->GetName());
}

void TORVLocalSessionManager::SetStatus(const TORVString& What) { SingleStatus(What, u"setting", u"set"); }

void TORVLocalSessionManager::ResetStatus(TORVConfigObject* Object) {
  SingleStatus(Object->GetTypeName(), Object->GetName(), u"reset");
}

void TORVLocalSessionManager::EnableStatus(TORVConfigObject* Object) {
  SingleStatus(Object->GetTypeName(), Object->GetName(), u"enabled");
}

void TORVLocalSessionManager::DisableStatus(TORVConfigObject* Object) {
  SingleStatus(Object->GetTypeName(), Object->GetName(), u"disabled");
}

void TORVLocalSessionManager::EnableTableStatus(TORVConfigObject* Object, const TORVString& What) {
  SingleStatus(Object->GetTypeName(), Object->GetName(), FormatString(u"%s enabled", {What}));
}

void TORVLocalSessionManager::DisableTableStatus(TORVConfigObject* Object, const TORVString& What) {
  SingleStatus(Object->GetTypeName(), Object->GetName(), FormatString(u"%s disabled", {What}));
}

void TORVLocalSessionManager::ExecuteStatus(int32_t Status, TORVConfigObject* Statement, int32_t AffectedRows,
                                            bool ShowRows, uint32_t ElapsedTime, bool ShowTime) {
  if (!KnownStatus(Status)) return;
  const TORVString TypeName = Statement->GetTypeName();
  if (Status == stStarted) {
    SendStatus(u"Executing the %s...", {TypeName});
    return;
  }
  const bool Completed = Status == stCompleted;
  if (!ShowTime) {
    SendStatus(Completed ? u"The %s was executed successfully" : u"The execution of the %s did not complete",
               {TypeName});
    return;
  }
  const TORVString Seconds = FloatToString(static_cast<double>(ElapsedTime) / 1000.0);
  if (ShowRows) {
    SendStatus(Completed ? u"The %s was executed successfully, %s rows were affected in %s seconds"
                         : u"The execution of the %s did not complete, %s rows were affected in %s seconds",
               {TypeName, IntToString(AffectedRows), Seconds});
    return;
  }
  SendStatus(Completed ? u"The %s was executed successfully in %s seconds"
                       : u"The execution of the %s did not complete and was stopped at %s seconds",
             {TypeName, Seconds});
}

TORVString TORVLocalSessionManager::RepairResult(bool Fixed) { return Fixed ? u"Fixed" : u"Not Fixed"; }

}  // namespace orv
