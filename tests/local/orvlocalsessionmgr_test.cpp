#include "local/orvlocalsessionmgr.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "base/orverror.h"
#include "base/orvutf8.h"
#include "catalog/orvconfig.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvdatatype.h"
#include "catalog/orvuser.h"
#include "core/orvenv.h"
#include "core/orvliteral.h"
#include "core/orvlocktype.h"
#include "tests/local/orvlocalsessiontest.h"
#include "tests/support/orvchildprocess.h"
#include "tests/support/orverrortext.h"

namespace orv {
namespace {

using test::AdminName;
using test::AdminPassword;
using test::ErrorOf;
using test::ReadBytes;
using test::WriteBytes;
using test::LocalSessionTest;
using test::StoredEvents;
using test::TStoredEvent;

TORVUser* FindUser(TORVLocalSessionManager& Session, const TORVString& Name) {
  return static_cast<TORVUser*>(Session.GetConfig()->GetUsers().FindByName(Name, true));
}

void ExpectLoggedOut(TORVLocalSessionManager& Session) {
  EXPECT_FALSE(Session.GetLoggedIn());
  EXPECT_EQ(Session.GetCurrentUser(), nullptr);
  EXPECT_EQ(Session.GetCurrentUserID(), 0);
  EXPECT_EQ(Session.GetCurrentUserName(), u"");
}

// ---------------------------------------------------------------------------
// Life

using LocalSessionLife = LocalSessionTest;

TEST_F(LocalSessionLife, AnEmptyConfigurationPathIsRefusedAndLeavesTheSessionClosed) {
  auto Bare = test::NewFaultEngine(u"");
  TORVLocalSessionManager* Session = NewSession(Bare.get());
  EXPECT_EQ(ErrorOf([&] { Session->Open(u"Tests", u"S", u""); }), "409 The configuration path is empty");
  EXPECT_FALSE(Session->GetOpened());
  EXPECT_FALSE(Session->GetInitialized());
  EXPECT_EQ(Session->GetConfig(), nullptr);
  EXPECT_EQ(Session->GetEvaluator(), nullptr);
  // In memory no path is needed.
  Session->GetSettings().SetConfigMemory(true);
  Session->Open(u"Tests", u"S", u"");
  EXPECT_TRUE(Session->GetOpened());
  FreeSessionManager(Sessions.back());
}

TEST_F(LocalSessionLife, OpenMakesTheConfigurationFilesUnderThePathAndCloseUndoesEverything) {
  TORVLocalSessionManager* Session = OpenSession();
  EXPECT_TRUE(Session->GetInitialized());
  for (const char* Name : {"ORVConfig.ORVCfg", "ORVConfig.ORVLck", "ORVConfig.ORVLog"})
    EXPECT_TRUE(std::filesystem::exists(Folder() / Name)) << Name;
  EXPECT_EQ(Session->GetConfigManager()->GetFullFileName(), FolderName() + u"ORVConfig.ORVCfg");
  EXPECT_EQ(Session->GetConfigManager()->GetFullBackupCopyFileName(), FolderName() + u"ORVConfig.ORVCfg.Old");
  // The built-in types and collations are there from the start.
  EXPECT_GT(Session->GetConfig()->GetDataTypes().GetCount(), 30);
  EXPECT_GT(Session->GetConfig()->GetCollations().GetCount(), 0);
  EXPECT_EQ(Session->GetConfig()->GetOnGetCollationName()(0), u"UNI");

  Session->Close();
  EXPECT_FALSE(Session->GetOpened());
  EXPECT_FALSE(Session->GetInitialized());
  EXPECT_EQ(Session->GetConfig(), nullptr);
  // Closing again does nothing.
  Session->Close();
  EXPECT_FALSE(Session->GetOpened());
  // And it opens again.
  Session->Open(u"Tests", u"Again", u"");
  Session->Login(AdminName, AdminPassword);
  EXPECT_TRUE(Session->GetLoggedIn());
}

TEST_F(LocalSessionLife, ADamagedConfigurationFileIsRefusedAndLeftAsItWas) {
  OpenSession()->Close();
  const std::filesystem::path File = Folder() / "ORVConfig.ORVCfg";
  const std::string Whole = ReadBytes(File);
  ASSERT_GT(Whole.size(), 64u);
  struct TCase {
    const char* Name;
    std::string Bytes;
  };
  std::string Overwritten = Whole;
  for (size_t I = 0; I < 56; ++I) Overwritten[I] = static_cast<char>(0x5A ^ I);
  const std::vector<TCase> Cases = {{"cut short", Whole.substr(0, 40)},
                                    {"cut inside the object", Whole.substr(0, Whole.size() - 24)},
                                    {"header overwritten", Overwritten}};
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    WriteBytes(File, Case.Bytes);
    TORVLocalSessionManager* Session = NewSession();
    const std::string Error = ErrorOf([&] { Session->Open(u"Tests", u"S", u""); });
    EXPECT_EQ(Error.substr(0, 4), "100 ") << Error;
    EXPECT_NE(Error.find("configuration ORVConfig"), std::string::npos) << Error;
    EXPECT_FALSE(Session->GetOpened());
    EXPECT_FALSE(Session->GetInitialized());
    EXPECT_EQ(ReadBytes(File), Case.Bytes);
  }
}

TEST_F(LocalSessionLife, TheSettingsCopyRefusesChangesOnlyWhileOpen) {
  TORVLocalSessionManager* Session = NewSession();
  Session->GetSettings().SetLogCategories(3);
  EXPECT_EQ(Engine->GetSettings().GetLogCategories(), 7);
  Session->Open(u"Tests", u"S", u"");
  EXPECT_EQ(ErrorOf([&] { Session->GetSettings().SetLogCategories(1); }).substr(0, 4), "408 ");
  EXPECT_EQ(Session->GetSettings().GetLogCategories(), 3);
  Session->Close();
  Session->GetSettings().SetLogCategories(1);
  EXPECT_EQ(Session->GetSettings().GetLogCategories(), 1);
}

TEST_F(LocalSessionLife, IsolatedMemorySessionsKeepTheirOwnFilesAndDropThemAtClose) {
  auto Memory = test::NewFaultEngine(u"", true, true);
  TORVLocalSessionManager* A = NewSession(Memory.get());
  TORVLocalSessionManager* B = NewSession(Memory.get());
  A->Open(u"Proc", u"Same", u"");
  B->Open(u"Proc", u"Same", u"");
  auto NamesOf = [](TORVLocalSessionManager* Session) {
    TORVString Folder = u"Proc/" + IntToString(Session->GetHandle()) + u"/Same/";
    return std::vector<TORVString>{Folder + u"ORVConfig.ORVCfg", Folder + u"ORVConfig.ORVLck",
                                   Folder + u"ORVConfig.ORVLog"};
  };
  TORVFileManager& Files = Memory->GetMemoryFileManager();
  ASSERT_NE(A->GetHandle(), B->GetHandle());
  for (TORVLocalSessionManager* Session : {A, B})
    for (const TORVString& Name : NamesOf(Session)) EXPECT_TRUE(Files.FileExists(Name, {})) << StringToUtf8(Name);
  EXPECT_EQ(A->GetLockManager()->GetFullFileName(), NamesOf(A)[1]);
  EXPECT_EQ(A->GetLogManager()->GetFullFileName(), NamesOf(A)[2]);

  // Each session changes its own configuration only.
  A->Login(AdminName, AdminPassword);
  B->Login(AdminName, AdminPassword);
  A->GetConfigManager()->BeginUpdate();
  FindUser(*A, AdminName)->SetPassword(u"OnlyInA");
  A->GetConfigManager()->EndUpdate();
  B->Logout();
  B->Login(AdminName, AdminPassword);
  EXPECT_TRUE(B->GetLoggedIn());

  const std::vector<TORVString> NamesOfA = NamesOf(A);
  A->Close();
  for (const TORVString& Name : NamesOfA) EXPECT_FALSE(Files.FileExists(Name, {})) << StringToUtf8(Name);
  for (const TORVString& Name : NamesOf(B)) EXPECT_TRUE(Files.FileExists(Name, {})) << StringToUtf8(Name);

  // Freeing an open session drops its files as well.
  const std::vector<TORVString> NamesOfB = NamesOf(B);
  FreeSession(B);
  for (const TORVString& Name : NamesOfB) EXPECT_FALSE(Files.FileExists(Name, {})) << StringToUtf8(Name);
  FreeSession(A);
}

TEST_F(LocalSessionLife, AnExplicitCloseWhoseLogoutFailsRaisesAndStaysOpen) {
  TORVLocalSessionManager* Session = OpenSession();
  Session->Login(AdminName, AdminPassword);
  Engine->Faults().FailNext(test::fkWrite);
  EXPECT_NE(ErrorOf([&] { Session->Close(); }), "no error");
  EXPECT_TRUE(Session->GetOpened());
  EXPECT_TRUE(Session->GetInitialized());
  // The user's lock went before the event failed: nobody is logged in.
  EXPECT_FALSE(Session->GetLoggedIn());
  Engine->Faults().Clear();
  Session->Close();
  EXPECT_FALSE(Session->GetOpened());
  EXPECT_FALSE(Session->GetInitialized());
}

TEST_F(LocalSessionLife, AChangedPasswordSavedByOneSessionLogsInFromAnother) {
  TORVLocalSessionManager* A = OpenSession(u"A");
  TORVLocalSessionManager* B = OpenSession(u"B");
  A->Login(AdminName, AdminPassword);
  A->GetConfigManager()->BeginUpdate();
  FindUser(*A, AdminName)->SetPassword(u"Tidewater");
  A->GetConfigManager()->EndUpdate();
  EXPECT_EQ(A->GetConfig()->GetVersion().Scaled(), 20500);

  EXPECT_EQ(ErrorOf([&] { B->Login(AdminName, AdminPassword); }),
            "501 Login failed (The user name or password is incorrect)");
  B->Login(AdminName, u"Tidewater");
  EXPECT_TRUE(B->GetLoggedIn());
  EXPECT_EQ(B->GetConfig()->GetVersion().Scaled(), 20500);
  EXPECT_NE(FindUser(*B, AdminName)->GetPasswordChanged(), 0);

  // A session opened afterwards reads the saved password too.
  TORVLocalSessionManager* C = OpenSession(u"C");
  C->Login(AdminName, u"Tidewater");
  EXPECT_TRUE(C->GetLoggedIn());
}

TEST_F(LocalSessionLife, FreeingALoggedInSessionLogsOutAndReleasesTheUser) {
  TORVLocalSessionManager* A = OpenSession(u"A");
  A->Login(AdminName, AdminPassword);
  FreeSessionManager(Sessions.front());
  TORVLocalSessionManager* B = OpenSession(u"B");
  const std::vector<TStoredEvent> Events = StoredEvents(*B);
  ASSERT_EQ(Events.size(), 2u);
  EXPECT_EQ(Events[1].FunctionCode, 4);
  EXPECT_EQ(Events[1].UserName, "Administrator");
  // Nobody holds the user any more: its exclusive lock is free.
  TORVUser* Admin = FindUser(*B, AdminName);
  EXPECT_TRUE(B->GetLockManager()->LockObject(Admin, ltExclusive, 0));
  B->GetLockManager()->UnlockObject(Admin, ltExclusive);

  // Freeing never raises, even when the logout event cannot be written;
  // the session's files are closed all the same.
  B->Login(AdminName, AdminPassword);
  Engine->Faults().FailNext(test::fkWrite);
  EXPECT_NO_THROW(FreeSession(B));
  EXPECT_GE(Engine->Faults().GetCount(test::fkWrite), 1);
  Engine->Faults().Clear();
  TORVLocalSessionManager* C = OpenSession(u"C");
  C->Login(AdminName, AdminPassword);
  EXPECT_TRUE(C->GetLoggedIn());
}

// ---------------------------------------------------------------------------
// Login

using LocalSessionLogin = LocalSessionTest;

// A login handler that answers from a script, one entry per call, and
// records what it was asked with.
struct TScriptedHandler {
  struct TAnswer {
    bool Handled;
    std::u16string UserName;
    std::u16string Password;
    bool Continue;
  };
  std::vector<TAnswer> Answers;
  std::vector<std::pair<std::u16string, std::u16string>> Asked;
};

TEST_F(LocalSessionLogin, EachWayALoginEnds) {
  using TAnswer = TScriptedHandler::TAnswer;
  const TAnswer Wrong{true, AdminName, u"wrong", true};
  const TAnswer Right{true, AdminName, AdminPassword, true};
  struct TCase {
    const char* Name;
    std::u16string UserName;
    std::u16string Password;
    bool WithHandler;
    std::vector<TAnswer> Answers;
    std::string Error;  // "" for a successful login
    size_t Asked;
  };
  const std::vector<TCase> Cases = {
      {"given values", AdminName, AdminPassword, false, {}, "", 0},
      {"wrong password, no handler", AdminName, u"wrong", false, {},
       "501 Login failed (The user name or password is incorrect)", 0},
      {"unknown user, no handler", u"Nobody", u"x", false, {},
       "501 Login failed (The user name or password is incorrect)", 0},
      {"empty password asks the handler", AdminName, u"", true, {Right}, "", 1},
      {"empty user name asks the handler", u"", AdminPassword, true, {Right}, "", 1},
      {"empty password, no handler", AdminName, u"", false, {},
       "501 Login failed (The user name or password is incorrect)", 0},
      {"wrong given values, then the handler", AdminName, u"wrong", true, {Right}, "", 1},
      {"handler not answering", AdminName, u"", true, {{false, u"", u"", true}},
       "501 Login failed (The user name or password is incorrect)", 1},
      {"handler keeps answering wrongly", AdminName, u"", true, {Wrong, Wrong, Wrong, Right},
       "501 Login failed (The maximum number of login attempts has been exceeded)", 3},
      {"two wrong given, then right", AdminName, u"wrong", true, {Wrong, Right}, "", 2},
      {"empty password, right at the third answer", AdminName, u"", true, {Wrong, Wrong, Right}, "", 3},
      {"handler aborts", AdminName, u"", true, {{true, AdminName, AdminPassword, false}},
       "501 Login failed (Login aborted)", 1},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TORVLocalSessionManager* Session = OpenSession();
    TScriptedHandler Handler;
    Handler.Answers = Case.Answers;
    if (Case.WithHandler)
      Session->SetOnLogin([&Handler](bool& Handled, TORVString& UserName, TORVString& Password, bool& Continue) {
        Handler.Asked.emplace_back(UserName, Password);
        const TScriptedHandler::TAnswer& Answer = Handler.Answers.at(Handler.Asked.size() - 1);
        Handled = Answer.Handled;
        UserName = Answer.UserName;
        Password = Answer.Password;
        Continue = Answer.Continue;
      });
    const size_t Before = StoredEvents(*Session).size();
    EXPECT_EQ(ErrorOf([&] { Session->Login(Case.UserName, Case.Password); }),
              Case.Error.empty() ? "no error" : Case.Error);
    EXPECT_EQ(Handler.Asked.size(), Case.Asked);
    // Values that are not both given go to the handler untried.
    const bool Usable = !Case.UserName.empty() && !Case.Password.empty();
    if (!Handler.Asked.empty()) {
      EXPECT_EQ(Handler.Asked[0], Usable ? std::make_pair(std::u16string(), std::u16string())
                                         : std::make_pair(Case.UserName, Case.Password));
    }
    // A failed try leaves both values empty for the next question.
    for (size_t I = 1; I < Handler.Asked.size(); ++I)
      EXPECT_EQ(Handler.Asked[I], std::make_pair(std::u16string(), std::u16string()));

    const std::vector<TStoredEvent> Events = StoredEvents(*Session);
    ASSERT_EQ(Events.size(), Before + 1);
    const TStoredEvent& Event = Events.back();
    EXPECT_EQ(Event.FunctionCode, 3);
    if (Case.Error.empty()) {
      EXPECT_TRUE(Session->GetLoggedIn());
      EXPECT_EQ(Session->GetCurrentUserName(), AdminName);
      EXPECT_EQ(Session->GetCurrentUserID(), FindUser(*Session, AdminName)->GetID());
      EXPECT_EQ(Event.Category, 0);
      EXPECT_EQ(Event.ErrorCode, 0);
      EXPECT_EQ(Event.UserName, "Administrator");
    } else {
      ExpectLoggedOut(*Session);
      EXPECT_EQ(Event.Category, 2);
      EXPECT_EQ(Event.ErrorCode, 501);
      EXPECT_EQ(Event.Description, Case.Error.substr(4));
    }
    Session->Close();
  }
}

TEST_F(LocalSessionLogin, AUserLockedExclusivelyByAnotherProcessCannotLogIn) {
  const TORVString Path = FolderName();
  {
    // The configuration exists before the child opens it.
    OpenSession(u"Maker")->Close();
  }
  test::ChildProcess Child([Path](test::ChildProcess& Self) {
    auto ChildEngine = test::NewFaultEngine(Path);
    auto* Session = CreateSessionManager<TORVLocalSessionManager>(ChildEngine.get(), false, true);
    Session->Open(u"Child", u"Holder", u"");
    TORVUser* Admin = FindUser(*Session, AdminName);
    Session->GetLockManager()->LockObject(Admin, ltExclusive, 0);
    Self.Tell('l');
    Self.Await();
    Session->GetLockManager()->UnlockObject(Admin, ltExclusive);
    FreeSessionManager(Session);
  });
  ASSERT_EQ(Child.Expect(), 'l');
  TORVLocalSessionManager* Session = OpenSession();
  const std::string Error = ErrorOf([&] { Session->Login(AdminName, AdminPassword); });
  EXPECT_EQ(Error.substr(0, 4), "300 ") << Error;
  ExpectLoggedOut(*Session);
  const std::vector<TStoredEvent> Events = StoredEvents(*Session);
  ASSERT_FALSE(Events.empty());
  EXPECT_EQ(Events.back().ErrorCode, 300);
  EXPECT_EQ(Events.back().FunctionCode, 3);
  Child.Go();
  EXPECT_EQ(Child.Finish(), 0);
  // Once the other process lets go the user logs in.
  Session->Login(AdminName, AdminPassword);
  EXPECT_TRUE(Session->GetLoggedIn());
}

TEST_F(LocalSessionLogin, ThreadsAndProcessesLoggingInAsOneUserAreEachLoggedOnce) {
  constexpr int32_t Threads = 8;
  constexpr int32_t Processes = 2;
  constexpr int32_t Rounds = 200;
  OpenSession(u"Maker")->Close();
  const TORVString Path = FolderName();
  std::vector<std::unique_ptr<test::ChildProcess>> Children;
  for (int32_t P = 0; P < Processes; ++P)
    Children.push_back(std::make_unique<test::ChildProcess>([Path, P](test::ChildProcess&) {
      auto ChildEngine = test::NewFaultEngine(Path);
      test::LoginRounds(ChildEngine.get(), u"Child", Utf8ToString("P" + std::to_string(P)), Rounds);
    }));
  for (const std::string& Failure : test::LoginThreads(Engine.get(), u"Parent", Threads, Rounds))
    EXPECT_EQ(Failure, "");
  for (auto& Child : Children) EXPECT_EQ(Child->Finish(), 0);

  std::vector<std::pair<std::string, std::string>> Expected;
  for (int32_t I = 0; I < Threads; ++I) Expected.emplace_back("Parent", "T" + std::to_string(I));
  for (int32_t P = 0; P < Processes; ++P) Expected.emplace_back("Child", "P" + std::to_string(P));
  test::ExpectEveryLoginOnce(*OpenSession(u"Checker"), Expected, Rounds);
}

// ---------------------------------------------------------------------------
// Log events

using LocalSessionEvents = LocalSessionTest;

TEST_F(LocalSessionEvents, LoginAndLogoutWriteOneEventEachWithTheSessionHeader) {
  TORVLocalSessionManager* Session = NewSession();
  Session->Open(u"Orders Desk", u"Morning", u"Front office");
  Session->Login(AdminName, AdminPassword);

  TORVLogEvent Event(Session->GetLogManager());
  Session->GetLogManager()->BeginRead();
  ASSERT_TRUE(Session->GetLogManager()->First(Event));
  EXPECT_EQ(Event.GetCategory(), 0);
  EXPECT_EQ(Event.GetFunctionCode(), 3);
  EXPECT_EQ(Event.GetErrorCode(), 0);
  EXPECT_EQ(Event.GetDescription(), u"");
  EXPECT_EQ(Event.GetVersion().Scaled(), 23800);
  EXPECT_EQ(Event.GetBuild(), 2);
  EXPECT_EQ(Event.GetProductType(), u"QUANDRIX");
  EXPECT_EQ(Event.GetUserName(), u"Administrator");
  EXPECT_EQ(Event.GetProcessName(), u"Orders Desk");
  EXPECT_EQ(Event.GetThreadID(), Environment().GetThreadID());
  EXPECT_EQ(Event.GetSessionID(), Session->GetHandle());
  EXPECT_EQ(Event.GetSessionName(), u"Morning");
  EXPECT_EQ(Event.GetSessionDescription(), u"Front office");
  EXPECT_EQ(Event.GetAddress(), u"");
  EXPECT_FALSE(Event.GetEncrypted());
  EXPECT_FALSE(Session->GetLogManager()->Next(Event));
  Session->GetLogManager()->EndRead();

  Session->Logout();
  EXPECT_FALSE(Session->GetLoggedIn());
  EXPECT_EQ(Session->GetCurrentUser(), nullptr);
  EXPECT_EQ(Session->GetCurrentUserName(), u"");
  Session->Logout();
  const std::vector<TStoredEvent> Events = StoredEvents(*Session);
  ASSERT_EQ(Events.size(), 2u);
  EXPECT_EQ(Events[1].FunctionCode, 4);
  EXPECT_EQ(Events[1].Category, 0);
  EXPECT_EQ(Events[1].UserName, "Administrator");
}

TEST_F(LocalSessionEvents, HandledExceptionsAreLoggedByKind) {
  struct TCase {
    const char* Name;
    std::function<void()> Raise;
    int32_t LogCategories;
    bool Written;
    int32_t Category;
    int32_t ErrorCode;
    std::string Description;
  };
  const std::vector<TCase> Cases = {
      {"row lock", [] { throw EORVException(1005, u"Cannot lock the row in the table Orders"); }, 7, false, 0, 0,
       ""},
      {"row modified", [] { throw EORVException(1008, u"The row has been modified"); }, 7, true, 1, 1008,
       "The row has been modified"},
      {"row not visible", [] { throw EORVException(1010, u"The row is no longer visible"); }, 7, true, 1, 1010,
       "The row is no longer visible"},
      {"engine error", [] { throw EORVException(401, u"The table Orders does not exist"); }, 7, true, 2, 401,
       "The table Orders does not exist"},
      {"foreign error", [] { throw std::runtime_error("disk on fire"); }, 7, true, 2, 9999, "disk on fire"},
      {"errors not logged", [] { throw EORVException(401, u"The table Orders does not exist"); }, 3, false, 0, 0,
       ""},
      {"warnings not logged", [] { throw EORVException(1008, u"The row has been modified"); }, 5, false, 0, 0, ""},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TORVLocalSessionManager* Session = NewSession();
    Session->GetSettings().SetLogCategories(Case.LogCategories);
    Session->Open(u"Tests", u"S", u"");
    const size_t Before = StoredEvents(*Session).size();
    try {
      Case.Raise();
    } catch (const std::exception& E) {
      Session->HandleException(E, 17);
    }
    const std::vector<TStoredEvent> Events = StoredEvents(*Session);
    ASSERT_EQ(Events.size(), Before + (Case.Written ? 1u : 0u));
    if (Case.Written) {
      EXPECT_EQ(Events.back().Category, Case.Category);
      EXPECT_EQ(Events.back().FunctionCode, 17);
      EXPECT_EQ(Events.back().ErrorCode, Case.ErrorCode);
      EXPECT_EQ(Events.back().Description, Case.Description);
    }
    Session->Close();
  }
}

TEST_F(LocalSessionEvents, AFailingLogWriteNeverReplacesTheOriginalError) {
  TORVLocalSessionManager* Session = OpenSession();
  Engine->Faults().FailNext(test::fkWrite);
  EXPECT_EQ(ErrorOf([&] {
              try {
                throw EORVException(401, u"The table Orders does not exist");
              } catch (const std::exception& E) {
                Session->HandleException(E, 20);
                throw;
              }
            }),
            "401 The table Orders does not exist");
  EXPECT_GE(Engine->Faults().GetCount(test::fkWrite), 1);

  // A login that fails while its error event cannot be written reports
  // the login failure.
  Engine->Faults().FailNext(test::fkWrite);
  EXPECT_EQ(ErrorOf([&] { Session->Login(AdminName, u"wrong"); }),
            "501 Login failed (The user name or password is incorrect)");
  ExpectLoggedOut(*Session);

  // A login whose success event cannot be written fails and leaves the
  // user free.
  Engine->Faults().FailNext(test::fkWrite);
  EXPECT_NE(ErrorOf([&] { Session->Login(AdminName, AdminPassword); }), "no error");
  ExpectLoggedOut(*Session);
  TORVUser* Admin = FindUser(*Session, AdminName);
  TORVLocalSessionManager* Other = OpenSession(u"Other");
  EXPECT_TRUE(Other->GetLockManager()->LockObject(FindUser(*Other, AdminName), ltExclusive, 0));
  Other->GetLockManager()->UnlockObject(FindUser(*Other, AdminName), ltExclusive);
  (void)Admin;

  Engine->Faults().Clear();
  Session->Login(AdminName, AdminPassword);
  EXPECT_TRUE(Session->GetLoggedIn());
}

// ---------------------------------------------------------------------------
// Guards and users

using LocalSessionGuards = LocalSessionTest;
using test::AddUser;

TEST_F(LocalSessionGuards, EachGuardRefusesWithTheStatementAsDetailAndChangesNothing) {
  // A configuration of its own whose file can only be read.
  std::filesystem::create_directory(Folder() / "ro");
  auto ReadOnlyEngine = test::NewFaultEngine(PathName("ro/"));
  NewSession(ReadOnlyEngine.get())->Open(u"Tests", u"Maker", u"");
  FreeSession(Sessions.back());
  std::filesystem::permissions(Folder() / "ro" / "ORVConfig.ORVCfg", std::filesystem::perms::owner_read);
  TORVLocalSessionManager* ReadOnly = NewSession(ReadOnlyEngine.get());
  ReadOnly->Open(u"Tests", u"ReadOnly", u"");
  TORVLocalSessionManager* Session = OpenSession();

  struct TCase {
    const char* Name;
    TORVLocalSessionManager* Session;
    const char16_t* User;  // nil: nobody logged in
    std::function<void(TORVLocalSessionManager&, const TORVString&)> Guard;
    std::string Error;  // "" when the guard lets the statement through
  };
  auto LoggedIn = [](TORVLocalSessionManager& S, const TORVString& Text) { S.CheckLoggedIn(Text); };
  auto Admin = [](TORVLocalSessionManager& S, const TORVString& Text) { S.CheckAdministrator(Text); };
  auto Writable = [](TORVLocalSessionManager& S, const TORVString& Text) { S.CheckNotReadOnly(Text); };
  auto Create = [](TORVLocalSessionManager& S, const TORVString& Text) {
    S.CheckPrivilege(S.GetConfig()->GetConfigDatabase(), 4, Text);
  };
  const std::vector<TCase> Cases = {
      {"logged out", Session, nullptr, LoggedIn,
       "500 A user must be logged in in order to perform this operation (CREATE DATABASE d)"},
      {"logged in", Session, AdminName, LoggedIn, ""},
      {"not an administrator", Session, u"Bob", Admin,
       "502 Administrator privileges are required to perform this operation (CREATE DATABASE d)"},
      {"logged out is no administrator", Session, nullptr, Admin,
       "502 Administrator privileges are required to perform this operation (CREATE DATABASE d)"},
      {"administrator", Session, AdminName, Admin, ""},
      {"read-only file", ReadOnly, AdminName, Writable,
       "403 The configuration ORVConfig is read-only and this operation cannot be performed (CREATE DATABASE d)"},
      {"writable file", Session, AdminName, Writable, ""},
      {"no privilege", Session, u"Bob", Create,
       "503 The current user does not have the proper privileges to perform this operation (CREATE DATABASE d)"},
      {"System has every privilege", Session, u"System", Create, ""},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TORVLocalSessionManager& S = *Case.Session;
    TORVUser* User = nullptr;
    if (Case.User != nullptr) {
      User = static_cast<TORVUser*>(S.GetConfig()->GetUsers().FindByName(Case.User, false));
      if (User == nullptr) User = AddUser(S, Case.User);
      S.GetConfig()->SetModified(false);
    }
    S.SetCurrentUser(User);
    const int32_t Counter = S.GetConfigManager()->GetUpdateCounter();
    EXPECT_EQ(ErrorOf([&] { Case.Guard(S, u"CREATE DATABASE d"); }), Case.Error.empty() ? "no error" : Case.Error);
    EXPECT_EQ(S.GetCurrentUser(), User);
    EXPECT_FALSE(S.GetConfig()->GetModified());
    EXPECT_EQ(S.GetConfigManager()->GetUpdateCounter(), Counter);
    S.SetCurrentUser(nullptr);
  }
  FreeSession(ReadOnly);
}

TEST_F(LocalSessionGuards, WorkAsSystemKeepsTheLoggedInUserAsTheSessionsUser) {
  TORVLocalSessionManager* Session = OpenSession();
  Session->Login(AdminName, AdminPassword);
  TORVUser* Admin = Session->GetCurrentUser();
  TORVUser* System = Session->GetConfig()->GetSystemUser();
  EXPECT_EQ(Session->GetLastCurrentUser(), nullptr);
  EXPECT_FALSE(Session->SystemUser(nullptr));
  EXPECT_TRUE(Session->AdministratorUser(nullptr));
  {
    TORVCurrentUserScope AsSystem(*Session);
    Session->SetCurrentUser(System);
    EXPECT_EQ(Session->GetCurrentUserName(), u"Administrator");
    EXPECT_EQ(Session->GetEffectiveUserName(), u"System");
    EXPECT_EQ(Session->GetLastCurrentUser(), Admin);
    EXPECT_TRUE(Session->SystemUser(nullptr));
    {
      // Nested work keeps the bottom of the stack as the session's user.
      TORVCurrentUserScope Again(*Session);
      Session->SetCurrentUser(System);
      EXPECT_EQ(Session->GetCurrentUserName(), u"Administrator");
      EXPECT_EQ(Session->GetLastCurrentUser(), System);
    }
    EXPECT_EQ(Session->GetEffectiveUserName(), u"System");
    Session->LogEvent(0, 30, 0, u"as System");
  }
  EXPECT_EQ(Session->GetCurrentUser(), Admin);
  EXPECT_EQ(Session->GetCurrentUserName(), u"Administrator");
  EXPECT_EQ(Session->GetLastCurrentUser(), nullptr);
  const std::vector<TStoredEvent> Events = StoredEvents(*Session);
  ASSERT_EQ(Events.size(), 2u);
  EXPECT_EQ(Events[1].UserName, "Administrator");

  // A pop on an empty stack changes nothing.
  Session->PopCurrentUser();
  EXPECT_EQ(Session->GetCurrentUser(), Admin);
  EXPECT_EQ(Session->GetEffectiveUserName(), u"Administrator");

  // The scope pops on the way out of a failure too.
  EXPECT_THROW(
      {
        TORVCurrentUserScope AsSystem(*Session);
        Session->SetCurrentUser(System);
        throw std::runtime_error("failed as System");
      },
      std::runtime_error);
  EXPECT_EQ(Session->GetCurrentUser(), Admin);
}

// ---------------------------------------------------------------------------
// Scans and hooks

class TServerLikeEngine : public TORVEngineManager {
 public:
  bool IsServerEngineManager() override { return true; }
};

TEST_F(LocalSessionLife, SessionsCountInScansExceptInTheServersEngine) {
  EXPECT_TRUE(NewSession()->IncludeInScans());
  auto Server = CreateEngineManager<TServerLikeEngine>();
  TORVLocalSessionManager* Session = NewSession(Server.get());
  EXPECT_FALSE(Session->IncludeInScans());
  FreeSessionManager(Sessions.back());
}

}  // namespace
}  // namespace orv
