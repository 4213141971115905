#include "catalog/orvruntimetables.h"

#include "core/orvtypefunc.h"

namespace orv {

namespace {

// The columns of "SessionStatistics" and "ServerSessionStatistics": one
// row per table buffer of a session, local or on a server.
const TORVTableDescription& SessionStatisticsTable() {
  static const TORVTableDescription Description{
      {TableColumn(u"SessionID", dtInteger), TableText(u"SessionName", 80, true), TableText(u"DatabaseName", 80, true),
       TableText(u"TableName", 80, true), TableText(u"BufferMgr", 80, true), TableColumn(u"MaxBufferSize", dtInteger),
       TableColumn(u"CurrentBufferSize", dtInteger), TableColumn(u"Hits", dtBigInt), TableColumn(u"Misses", dtBigInt),
       TableColumn(u"HitRatio", dtDecimal, 2), TableColumn(u"Reads", dtBigInt), TableColumn(u"BytesRead", dtBigInt),
       TableColumn(u"Writes", dtBigInt), TableColumn(u"BytesWritten", dtBigInt)},
      {{u"SessionID", {1}}, {u"SessionName", {2}}, {u"DatabaseName", {3}}, {u"TableName", {4}}}};
  return Description;
}

// The columns of "Backups" and "Updates": the header of each file of the
// store. Only backups record whether, and in which version, the catalog is
// included.
TORVTableDescription StoreFilesTable(bool Backups) {
  TORVTableDescription Description{
      {TableText(u"Name", 255, true), TableClob(u"Description", false), TableText(u"DatabaseName", 80, true),
       TableText(u"DatabasePath", 255, true), TableColumn(u"CreatedOn", dtTimeStamp),
       TableText(u"Creator", 80, false), TableColumn(u"CompressionLevel", dtInteger), TableColumn(u"Size", dtBigInt)},
      {{u"Name", {1}}, {u"CreatedOn", {5}}}};
  if (Backups)
    Description.Columns.insert(Description.Columns.end(),
                               {TableColumn(u"IncludesCatalog", dtBoolean), TableColumn(u"CatalogVersion", dtDecimal, 2)});
  Description.Columns.insert(Description.Columns.end(),
                             {TableColumn(u"NumTables", dtInteger), TableClob(u"Tables", false)});
  return Description;
}

}  // namespace

const TORVConfigObjectsClass& LogEventsClass() {
  static const TORVTableDescription Description{
      {TableText(u"Category", 15, true), TableText(u"Function", 80, true), TableColumn(u"ErrorCode", dtInteger),
       TableClob(u"Description", false), TableColumn(u"LogTimeStamp", dtTimeStamp),
       TableColumn(u"Version", dtDecimal, 2), TableColumn(u"Build", dtInteger), TableText(u"ProductType", 80, true),
       TableText(u"User", 80, true), TableText(u"Process", 80, true), TableColumn(u"ThreadID", dtInteger),
       TableColumn(u"SessionID", dtInteger), TableText(u"SessionName", 80, true),
       TableClob(u"SessionDescription", false), TableText(u"IPAddress", 16, true),
       TableColumn(u"Encrypted", dtBoolean)},
      {{u"Category", {1}}, {u"Version", {6}}, {u"User", {9}}, {u"Process", {10}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVLogEvents(Config); },
                                            u"LogEvents", &Description};
  return Class;
}

const TORVConfigObjectsClass& StatementsLoggedClass() {
  static const TORVTableDescription Description{
      {TableColumn(u"ExecutedOn", dtTimeStamp), TableText(u"User", 80, true), TableText(u"Process", 80, true),
       TableColumn(u"SessionID", dtInteger), TableText(u"SessionName", 80, true),
       TableClob(u"SessionDescription", false), TableText(u"DatabaseName", 80, true), TableClob(u"SQL", true),
       TableColumn(u"ExecutionTime", dtFloat), TableColumn(u"RowsAffected", dtInteger)},
      {}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVStatementsLogged(Config); },
                                            u"LoggedStatements", &Description};
  return Class;
}

const TORVConfigObjectsClass& FileIOStatisticsClass() {
  static const TORVTableDescription Description{
      {TableText(u"FileName", 255, true), TableColumn(u"BlockSize", dtInteger), TableColumn(u"MaxSize", dtBigInt),
       TableColumn(u"Hits", dtBigInt), TableColumn(u"Misses", dtBigInt), TableColumn(u"HitRatio", dtDecimal, 2),
       TableColumn(u"Reads", dtBigInt), TableColumn(u"BytesRead", dtBigInt), TableColumn(u"AvgRead", dtDecimal, 2),
       TableColumn(u"Writes", dtBigInt), TableColumn(u"BytesWritten", dtBigInt),
       TableColumn(u"AvgWrite", dtDecimal, 2), TableColumn(u"TotalAllocated", dtBigInt),
       TableColumn(u"TotalDirty", dtBigInt), TableColumn(u"TotalFlushes", dtBigInt)},
      {{u"FileName", {1}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVFileIOStatistics(Config); },
                                            u"FileIOStatistics", &Description};
  return Class;
}

const TORVConfigObjectsClass& SessionStatisticsClass() {
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVSessionStatistics(Config); },
                                            u"SessionStatistics", &SessionStatisticsTable()};
  return Class;
}

const TORVConfigObjectsClass& ServerStatisticsClass() {
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVServerStatistics(Config); },
                                            u"ServerSessionStatistics", &SessionStatisticsTable()};
  return Class;
}

const TORVConfigObjectsClass& BackupsClass() {
  static const TORVTableDescription Description = StoreFilesTable(true);
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVBackups(Config); }, u"Backups",
                                            &Description};
  return Class;
}

const TORVConfigObjectsClass& UpdatesClass() {
  static const TORVTableDescription Description = StoreFilesTable(false);
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVUpdates(Config); }, u"Updates",
                                            &Description};
  return Class;
}

const TORVConfigObjectsClass& ServerSessionsClass() {
  static const TORVTableDescription Description{
      {TableColumn(u"ID", dtInteger), TableText(u"Name", 80, true), TableClob(u"Description", false),
       TableColumn(u"Created", dtTimeStamp), TableColumn(u"LastConnected", dtTimeStamp),
       TableColumn(u"Connected", dtBoolean), TableColumn(u"Encrypted", dtBoolean), TableText(u"IPAddress", 16, true),
       TableText(u"User", 80, true), TableText(u"Process", 80, true)},
      {{u"ID", {1}}, {u"Name", {2}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVServerSessions(Config); },
                                            u"ServerSessions", &Description};
  return Class;
}

const TORVConfigObjectsClass& ServerSessionLocksClass() {
  static const TORVTableDescription Description{
      {TableColumn(u"SessionID", dtInteger), TableText(u"SessionName", 80, true), TableText(u"DatabaseName", 80, true),
       TableText(u"ObjectName", 80, true), TableText(u"ObjectType", 15, true), TableText(u"LockType", 15, true),
       TableColumn(u"Number", dtInteger)},
      {{u"SessionID", {1}}, {u"SessionName", {2}}, {u"DatabaseName", {3}}}};
  static const TORVConfigObjectsClass Class{[](TORVConfig* Config) { return new TORVServerSessionLocks(Config); },
                                            u"ServerSessionLocks", &Description};
  return Class;
}

}  // namespace orv
