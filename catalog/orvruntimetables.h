// The tables of the configuration database that show the engine's state at
// run time: the event log, logged statements, buffered I/O and session
// statistics, the files of the backups and updates stores, and a server's
// sessions and their locks. Each collection only names and describes its
// table; the rows are made each time a session opens the table.
#pragma once

#include "catalog/orvconfigobject.h"
#include "catalog/orvtabledesc.h"

namespace orv {

class TORVLogEvents : public TORVConfigObjects {
 public:
  explicit TORVLogEvents(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}
};

class TORVStatementsLogged : public TORVConfigObjects {
 public:
  explicit TORVStatementsLogged(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}
};

class TORVFileIOStatistics : public TORVConfigObjects {
 public:
  explicit TORVFileIOStatistics(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}
};

class TORVSessionStatistics : public TORVConfigObjects {
 public:
  explicit TORVSessionStatistics(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}
};

class TORVServerStatistics : public TORVConfigObjects {
 public:
  explicit TORVServerStatistics(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}
};

class TORVBackups : public TORVConfigObjects {
 public:
  explicit TORVBackups(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}
};

class TORVUpdates : public TORVConfigObjects {
 public:
  explicit TORVUpdates(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}
};

class TORVServerSessions : public TORVConfigObjects {
 public:
  explicit TORVServerSessions(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}
};

class TORVServerSessionLocks : public TORVConfigObjects {
 public:
  explicit TORVServerSessionLocks(TORVConfig* OwnerConfig) : TORVConfigObjects(true, OwnerConfig) {}
};

// "LogEvents", "LoggedStatements", "FileIOStatistics", "SessionStatistics",
// "ServerSessionStatistics", "Backups", "Updates", "ServerSessions" and
// "ServerSessionLocks".
const TORVConfigObjectsClass& LogEventsClass();
const TORVConfigObjectsClass& StatementsLoggedClass();
const TORVConfigObjectsClass& FileIOStatisticsClass();
const TORVConfigObjectsClass& SessionStatisticsClass();
const TORVConfigObjectsClass& ServerStatisticsClass();
const TORVConfigObjectsClass& BackupsClass();
const TORVConfigObjectsClass& UpdatesClass();
const TORVConfigObjectsClass& ServerSessionsClass();
const TORVConfigObjectsClass& ServerSessionLocksClass();

}  // namespace orv
