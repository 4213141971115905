#include "catalog/orvruntimetables.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/orvutf8.h"
#include "catalog/orvconfig.h"
#include "catalog/orvdatabase.h"
#include "catalog/orvjob.h"
#include "catalog/orvlog.h"
#include "catalog/orvstore.h"
#include "core/orvtypefunc.h"
#include "tests/catalog/orvconfigroot.h"
#include "tests/catalog/orvtablelayout.h"

namespace orv {
namespace {

using test::Layout;

TEST(RunTimeTables, EachTableHasItsColumnsAndIndexesInOrder) {
  struct TCase {
    const TORVConfigObjectsClass& Class;
    const char16_t* TableName;
    const char* Layout;
  };
  // Data types: 1 VarChar, 3/150 CLOB, 4 Boolean, 6 Integer, 7 BigInt,
  // 8 Float, 9 Decimal, 10 Date, 11 Time, 12 Timestamp.
  // Local and server sessions show their buffers alike.
  const char* SessionStatisticsLayout =
      "SessionID 6, SessionName 1(80) ci, DatabaseName 1(80) ci, TableName 1(80) ci, BufferMgr 1(80) ci, "
      "MaxBufferSize 6, CurrentBufferSize 6, Hits 7, Misses 7, HitRatio 9.2, Reads 7, BytesRead 7, Writes 7, "
      "BytesWritten 7 | SessionID(1) SessionName(2) DatabaseName(3) TableName(4)";
  const std::vector<TCase> Cases = {
      {LogEventsClass(), u"LogEvents",
       "Category 1(15) ci, Function 1(80) ci, ErrorCode 6, Description 3/150, LogTimeStamp 12, Version 9.2, Build 6, "
       "ProductType 1(80) ci, User 1(80) ci, Process 1(80) ci, ThreadID 6, SessionID 6, SessionName 1(80) ci, "
       "SessionDescription 3/150, IPAddress 1(16) ci, Encrypted 4 | Category(1) Version(6) User(9) Process(10)"},
      {StatementsLoggedClass(), u"LoggedStatements",
       "ExecutedOn 12, User 1(80) ci, Process 1(80) ci, SessionID 6, SessionName 1(80) ci, SessionDescription "
       "3/150, DatabaseName 1(80) ci, SQL 3/150 ci, ExecutionTime 8, RowsAffected 6 |"},
      {FileIOStatisticsClass(), u"FileIOStatistics",
       "FileName 1(255) ci, BlockSize 6, MaxSize 7, Hits 7, Misses 7, HitRatio 9.2, Reads 7, BytesRead 7, AvgRead "
       "9.2, Writes 7, BytesWritten 7, AvgWrite 9.2, TotalAllocated 7, TotalDirty 7, TotalFlushes 7 | FileName(1)"},
      {SessionStatisticsClass(), u"SessionStatistics", SessionStatisticsLayout},
      {ServerStatisticsClass(), u"ServerSessionStatistics", SessionStatisticsLayout},
      {BackupsClass(), u"Backups",
       "Name 1(255) ci, Description 3/150, DatabaseName 1(80) ci, DatabasePath 1(255) ci, CreatedOn 12, Creator "
       "1(80), CompressionLevel 6, Size 7, IncludesCatalog 4, CatalogVersion 9.2, NumTables 6, Tables 3/150 | "
       "Name(1) CreatedOn(5)"},
      {UpdatesClass(), u"Updates",
       "Name 1(255) ci, Description 3/150, DatabaseName 1(80) ci, DatabasePath 1(255) ci, CreatedOn 12, Creator "
       "1(80), CompressionLevel 6, Size 7, NumTables 6, Tables 3/150 | Name(1) CreatedOn(5)"},
      {ServerSessionsClass(), u"ServerSessions",
       "ID 6, Name 1(80) ci, Description 3/150, Created 12, LastConnected 12, Connected 4, Encrypted 4, IPAddress "
       "1(16) ci, User 1(80) ci, Process 1(80) ci | ID(1) Name(2)"},
      {ServerSessionLocksClass(), u"ServerSessionLocks",
       "SessionID 6, SessionName 1(80) ci, DatabaseName 1(80) ci, ObjectName 1(80) ci, ObjectType 1(15) ci, "
       "LockType 1(15) ci, Number 6 | SessionID(1) SessionName(2) DatabaseName(3)"},
      {JobsClass(), u"Jobs",
       "Name 1(80) ci, Description 3/150, Attributes 3/150, Version 9.2, Category 1(15) ci, UserName 1(80) ci, "
       "StartDate 10, EndDate 10, Type 1(15) ci, Interval 6, Days 1(60) ci, DayNumber 6, DayOfMonth 1(15) ci, "
       "Months 1(60) ci, StartTime 11, EndTime 11, Definition 3/150, LastRun 12, NextRun 12, Enabled 4, CreateSQL "
       "3/150 ci, DropSQL 3/150 ci | Name(1)"},
      {StoresClass(), u"Stores",
       "Name 1(80) ci, Description 3/150, Attributes 3/150, Type 1(15) ci, Path 1(255) ci, Address 1(16) ci, Host "
       "1(60) ci, Port 6, Service 1(60) ci, UserName 1(80) ci, Password 1(60), RemoteStore 1(80) ci, Signature "
       "1(60), Encrypted 4, EncryptionPassword 1(60), Compression 6, Timeout 6, Ping 4, PingInterval 6, CreateSQL "
       "3/150 ci, DropSQL 3/150 ci | Name(1)"},
      {StorePrivilegesClass(), u"StorePrivileges",
       "Name 1(80) ci, Privilege 1(15) ci, GrantedTo 1(80) ci, Grantor 1(80) ci | Name(1) GrantedTo(3)"},
      {StoreFilesClass(), u"Files",
       "Name 1(255) ci, CreatedOn 12, ModifiedOn 12, Size 7 | Name(1) CreatedOn(2) ModifiedOn(3)"},
      {DatabasesClass(), u"Databases",
       "Name 1(80) ci, Description 3/150, Attributes 3/150, Path 1(255) ci, InMemory 4, EncryptedCatalog 4, "
       "DefaultCollation 1(80) ci, CatalogCharacterSet 1(30) ci, CatalogVersion 9.2, CreateSQL 3/150 ci, DropSQL "
       "3/150 ci | Name(1)"},
      {DatabasePrivilegesClass(), u"DatabasePrivileges",
       "Name 1(80) ci, Privilege 1(15) ci, GrantedTo 1(80) ci, Grantor 1(80) ci | Name(1) GrantedTo(3)"},
  };
  auto Config = test::NewRoot();
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(StringToUtf8(Case.TableName));
    EXPECT_EQ(TORVString(Case.Class.TableName), Case.TableName);
    EXPECT_EQ(Layout(*Case.Class.Description), Case.Layout);
    std::unique_ptr<TORVConfigObjects> Made(Case.Class.Create(Config.get()));
    EXPECT_EQ(Made->GetCount(), 0);
  }
}

TEST(EventLogLocks, TheLogTakesItsByteAndRangeOfTheConfigurationLockFile) {
  TORVLog Log;
  EXPECT_EQ(Log.GetTypeName(), u"log");
  struct TCase {
    TORVLockType LockType;
    int32_t Offset;
    int32_t Range;
    int32_t Index;
  };
  const std::vector<TCase> Cases = {{ltTransaction, 8193, 1, 2},
                                    {ltRead, 8194, 4096, 3},
                                    {ltWrite, 8194, 4096, 3},
                                    {ltShared, 0, 0, -1},
                                    {ltExclusive, 0, 0, -1}};
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(static_cast<int>(Case.LockType));
    EXPECT_EQ(Log.GetLockSpaceOffset(Case.LockType), Case.Offset);
    EXPECT_EQ(Log.GetLockSpaceRange(Case.LockType), Case.Range);
    EXPECT_EQ(Log.GetLockIndex(Case.LockType), Case.Index);
  }
}

}  // namespace
}  // namespace orv
