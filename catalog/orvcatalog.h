// The catalog of one database: its schemas with their tables and views, the
// catalog-wide ID counter, version and modified flag, and the place where the
// compiler's name binding meets the catalog. Its Save and Load are the
// catalog stream.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "base/orvtype.h"
#include "catalog/orvlockable.h"
#include "sql/orvexprcatalog.h"
#include "sql/orvexprtoken.h"

namespace orv {

class TORVDatabaseContainer;
class TORVSchema;
class TORVSchemas;
class TORVUser;
class TORVVirtualTable;
class TORVBaseTable;
class TORVView;
class TORVColumns;
class TORVIndex;
class TORVIndexes;

using TORVViewEvent = std::function<void(TORVView* View)>;
using TORVRemoveViewEvent = std::function<void(TORVView*& View)>;

// Belongs to one database manager of one session: no locks of its own; what
// sessions lock is its lock space (transaction 8192, read and write from
// 8193). FInformationSchema and FDefaultSchema point into FSchemas, which
// owns them. After a Load failed part-way FLoadComplete stays false and Save
// refuses, so a half-read catalog is never written back.
class TORVCatalog final : public TORVLockableConfigObject {
 public:
  // ID 1; the Information schema (system, never streamed) takes ID 3 and the
  // Default schema ID 4.
  explicit TORVCatalog(TORVConfig* OwnerConfig);
  // Decompiles every schema before freeing them, so that expressions release
  // what they bound first.
  ~TORVCatalog() override;

  TORVString GetTypeName() const override { return u"catalog"; }
  bool GetNameRequired() const override { return false; }
  bool GetNameValidation() const override { return false; }
  TORVCurrency GetConfigVersion() override { return FVersion; }
  bool GetModified() const override { return FModified; }
  void SetModified(bool Value) override { FModified = Value; }
  TORVLockSpaceKind GetLockSpaceKind() const override { return lkCatalog; }
  void Reset() override;
  void SetTemporary(bool Value) override;
  void SetTemporaryForSession(bool Value) override;
  // From another catalog also the version, the last ID and the schemas.
  void Assign(TORVConfigObject* FromObject, bool CopyReferences) override;
  bool Compare(TORVConfigObject* ObjectToCompare, bool CompareID) override;
  void Validate() override;
  int32_t GetMemorySize() override;
  int32_t GetMemoryCount() override;
  void CheckInvariants() const override;
  // Version, LastID and the non-system schemas; clears the modified flag.
  void Save(TORVMemoryStream& Stream, bool CRCOnly) override;
  // The version is kept first; a newer one is refused before anything else
  // is read.
  void Load(TORVMemoryStream& Stream) override;

  // The last ID + 1 (1 after 2147483647); marks the catalog modified.
  int32_t GetNextID();
  // The lowest lock slot 1 .. 4096 that no table or view of the Default
  // schema holds; 0 when every slot is taken.
  int32_t GetNewVirtualTableLockSlot();
  int32_t GetLastID() const { return FLastID; }
  TORVCurrency GetVersion() const { return FVersion; }
  void SetVersion(TORVCurrency Value);
  bool GetLoadComplete() const { return FLoadComplete; }
  TORVDatabaseContainer* GetDatabase() const;
  TORVSchemas& GetSchemas() const { return *FSchemas; }
  TORVSchema* GetInformationSchema() const { return FInformationSchema; }
  TORVSchema* GetDefaultSchema() const { return FDefaultSchema; }

  void SetOnAddTemporaryView(TORVViewEvent Value) { FOnAddTemporaryView = std::move(Value); }
  void SetOnRemoveTemporaryView(TORVRemoveViewEvent Value) { FOnRemoveTemporaryView = std::move(Value); }
  void DoAddTemporaryView(TORVView* View);
  void DoRemoveTemporaryView(TORVView*& View);

  // Name resolution. Lookups with an effective user report what the user
  // may not see as missing; nil disables every visibility check.
  TORVSchema* GetTokenSchema(TORVExprToken* Token, bool RaiseException);
  TORVVirtualTable* FindVirtualTable(TORVSchema* Schema, const TORVString& TableName, TORVUser* EffectiveUser,
                                     bool RaiseException, bool IncludeTemporary);
  TORVBaseTable* FindTable(TORVSchema* Schema, const TORVString& TableName, TORVUser* EffectiveUser,
                           bool RaiseException, bool IncludeTemporary);
  TORVVirtualTable* GetVirtualTableForColumn(TORVExprToken* Token, TORVUser* EffectiveUser,
                                             TORVVirtualTable* DefaultTable, const TORVString& DefaultSchemaName,
                                             const TORVString& DefaultTableName, bool IncludeTemporary);
  void BindReference(TORVExprToken* Token, TORVTokenType TokenType, bool IncludeTemporary,
                     TORVUser* EffectiveUser, TORVVirtualTable* DefaultTable, const TORVString& DefaultSchemaName,
                     const TORVString& DefaultTableName);
  // Releases what binding made for Token: the temporary view of a derived
  // table goes to the remove-view event.
  void UnbindReference(TORVExprToken* Token, TORVUser* EffectiveUser);
  bool ColumnExists(TORVExprToken* TableToken, TORVExprToken* ColumnToken, TORVUser* EffectiveUser);
  // Whether the column Token names (resolved as a column reference is) has
  // a text index in the table that stores it; columns of read-only views
  // have none.
  bool TextIndexExists(TORVExprToken* Token, TORVUser* EffectiveUser, TORVVirtualTable* DefaultTable,
                       const TORVString& DefaultSchemaName, const TORVString& DefaultTableName);
  // A new parameter declaration (the caller owns it) for parameter Index of
  // the Default schema's function or procedure of that name; nil past the
  // last parameter or when there is no such routine. A procedure's name
  // means a function of that name first, as a call binds.
  TORVExprToken* GetFunctionParamToken(const TORVString& Name, int32_t Index);
  TORVExprToken* GetProcedureParamToken(const TORVString& Name, int32_t Index);
  // The lowest lock slot (1 .. 4096) no routine of the Default schema
  // holds; 0 when all are taken.
  int32_t GetNewRoutineLockSlot();

  // The table or view the first FROM table of the query names, in another
  // database's catalog when it is qualified so; nil without a FROM clause.
  // FollowViews goes on through updateable views to what they read.
  TORVVirtualTable* GetLiveSourceTable(TORVExprToken* QueryToken, bool FollowViews);
  // Whether the items of Tokens (a select list or an ORDER BY list) name,
  // in order, the leading key columns of Index with its directions and
  // collations. Columns are those of the query's direct source.
  bool IndexColumnsMatch(TORVExprToken* QueryToken, TORVColumns* Columns, TORVExprToken* Tokens, TORVIndex* Index);
  // Whether the query is answered by a live cursor on its source table;
  // LiveIndex is then the number of the index that orders it.
  bool ReturnsLiveResult(TORVExprToken* QueryToken, int32_t& LiveIndex);
  // COUNT(*), or MAX or MIN of a column that leads an index of the live
  // source, as the one item over one table: answered without reading rows.
  bool ReturnsFunctionResult(TORVExprToken* QueryToken);
  // Key columns of IndexToUse on the result columns (ColumnsToUse, "__RowID"
  // first) that the first MaxColumns items of TokensToUse (a select, GROUP
  // BY or ORDER BY list) name, with their COLLATE and direction; hidden
  // items count towards MaxColumns but give no key column.
  void BuildResultIndex(TORVColumns* ColumnsToUse, TORVIndex* IndexToUse, TORVExprToken* TokensToUse,
                        int32_t MaxColumns);
  // The order of a result without ORDER BY: the selected key columns of the
  // source table's primary key (else its first index) in select-list
  // order, else "__RowID", the order rows were added in.
  void BuildDefaultResultIndex(TORVExprToken* QueryToken, TORVColumns* ColumnsToUse, TORVIndex* IndexToUse,
                               TORVExprToken* TokensToUse);
  // Defines the static result table of a query in the empty TableToUse:
  // "__RowID", one column per select item, and the hidden ordering indexes
  // ("__GroupBy", "__OrderBy", "__Distinct") its clauses ask for; a base
  // table gets the system primary key when IncludePrimaryKey is set.
  void BuildResultTable(TORVExprToken* QueryToken, TORVVirtualTable* TableToUse, bool IncludePrimaryKey,
                        bool IncludeColumnOrigins);
  // Defines the columns of a live result, read through the source table:
  // column items take the source column's type and point back at it.
  void BuildLiveResultTable(TORVExprToken* QueryToken, TORVVirtualTable* TableToUse);
  // Numbers the row positions of the computed columns of an updateable
  // view (and the views below it) after all columns of the base table.
  void AssignViewOriginPositions(TORVView* View, int32_t& Position);
  // Defines the table published updates are read through.
  void BuildUpdatesTable(TORVBaseTable* TableToUse);
  // How a parsed SELECT is answered (QueryToken is its ttQUERY node).
  static bool ReturnsNoTableResult(TORVExprToken* QueryToken);
  static bool ReturnsParamsResult(TORVExprToken* QueryToken);
  static bool ReturnsGroupedResult(TORVExprToken* QueryToken);
  static bool ReturnsOrderedResult(TORVExprToken* QueryToken);
  // DISTINCT, or a UNION, EXCEPT or INTERSECT without ALL joining this query
  // or the one merged into it.
  static bool ReturnsDistinctResult(TORVExprToken* QueryToken);
  static bool ReturnsMergedResult(TORVExprToken* QueryToken);
  // The query is joined to the previous one by a set operation.
  static bool ReturnsMergedInputResult(TORVExprToken* QueryToken);
  static bool ReturnsRangedResult(TORVExprToken* QueryToken);
  // Some select item aggregates, and no item that does not reads a column.
  static bool ReturnsSingleRowResult(TORVExprToken* QueryToken);

  // The columns of Table as the compiler's shared helpers take them,
  // hidden ones included.
  static std::vector<TORVColumnDescriptor> DescribeColumns(TORVVirtualTable* Table);

 private:
  // A derived table becomes a temporary view of its schema, named after the
  // table with the smallest free number, that borrows the statement's
  // sub-query.
  void BindDerivedTable(TORVExprToken* Token, TORVUser* EffectiveUser);
  // A new, empty Default schema under ID (the next ID when 0), added.
  TORVSchema* AddDefaultSchema(int32_t ID);
  // After a load: the stored schema under ID, else the first one stored,
  // else a new empty one under ID, becomes the Default schema.
  void BindDefaultSchema(int32_t ID);

  int32_t FLastID = 2;
  TORVCurrency FVersion;
  bool FModified = false;
  bool FLoadComplete = true;
  std::unique_ptr<TORVSchemas> FSchemas;
  TORVSchema* FInformationSchema = nullptr;
  TORVSchema* FDefaultSchema = nullptr;
  TORVViewEvent FOnAddTemporaryView;
  TORVRemoveViewEvent FOnRemoveTemporaryView;
};

}  // namespace orv
