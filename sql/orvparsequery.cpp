// Query grammar of the SQL parser: SELECT (and its short form TABLE name)
// with its select list, INTO targets, FROM tables and joins, WHERE, GROUP BY,
// HAVING, merged queries, ORDER BY and the extension clauses. The slots of
// the query node and of a FROM table are named in sql/orvtokenslots.h.
#include <cstdint>
#include <span>
#include <string_view>

#include "core/orvstrings.h"
#include "sql/orvexprtoken.h"
#include "sql/orvparser.h"
#include "sql/orvparseroptions.h"
#include "sql/orvtokenizer.h"
#include "sql/orvtokenslots.h"

namespace orv {

namespace {

TORVParseOptions Without(TORVParseOptions Options, TORVParseOption Option) {
  Options.Exclude(Option);
  return Options;
}

TORVParseOptions With(TORVParseOptions Options, TORVParseOption Option) {
  Options.Include(Option);
  return Options;
}

// Words that end a select item rather than name it.
constexpr std::u16string_view SelectAliasStopWords[] = {u"INTO", u"FROM", u"UNION", u"INTERSECT", u"EXCEPT"};

// Words that may follow a FROM table and so are never taken as its alias.
constexpr std::u16string_view TableAliasStopWords[] = {
    u"SET",    u"LEFT",      u"RIGHT",       u"INNER",          u"JOIN",
    u"ON",     u"WHERE",     u"ORDER",       u"GROUP",          u"HAVING",
    u"RANGE",  u"NOJOINOPTIMIZE",            u"JOINOPTIMIZECOSTS",
    u"JOININDEXTHRESHHOLD",  u"UNION",       u"INTERSECT",      u"EXCEPT",
    u"DESCRIPTION",          u"VERSION",     u"ATTRIBUTES",     u"WITH",
    u"WITHOUT",
};

bool CheckAnySymbol(TORVExprParser& P, std::span<const std::u16string_view> Words) {
  for (std::u16string_view Word : Words)
    if (P.CheckSymbol(Word)) return true;
  return false;
}

bool CheckMergeWord(TORVExprParser& P) {
  return P.CheckSymbol(u"UNION") || P.CheckSymbol(u"INTERSECT") || P.CheckSymbol(u"EXCEPT");
}

// A query node with its fixed slots, all nil but the two leading clauses.
TORVExprToken* NewQueryNode(TORVExprParser& P) {
  TORVPartialTree Query(P.GetNewExprToken(ttQUERY, toNONE));
  Query->SetNumArguments(QueryFixedSlotCount);
  Query->SetArgument(QueryParametersSlot, P.GetNewExprToken(ttCLAUSE, toNONE));
  Query->SetArgument(QueryMergeWordSlot, P.GetNewExprToken(ttCLAUSE, toNONE));
  return Query.Release();
}

// TABLE name: the query of every column of one table.
TORVExprToken* ParseTableQuery(TORVExprParser& P, TORVParseOptions Options) {
  P.NextToken();
  TORVPartialTree Query(NewQueryNode(P));
  TORVExprToken* Select = P.GetNewExprToken(ttCLAUSE, toALL);
  Query->SetArgument(QuerySelectSlot, Select);
  TORVExprToken* Column = P.GetNewExprToken(ttSELECTCOLUMN, toNONE);
  Select->AddArgument(Column);
  Column->FTokenConstant = u"*";
  TORVExprToken* AllColumns = P.GetNewExprToken(ttCOLUMNREF, toNONE);
  Column->AddArgument(AllColumns);
  AllColumns->FName = u"*";
  AllColumns->AddArgument(nullptr);
  AllColumns->AddArgument(nullptr);
  TORVExprToken* From = P.GetNewExprToken(ttCLAUSE, toNONE);
  Query->SetArgument(QueryFromSlot, From);
  TORVExprToken* Table = P.ParseFrom(Options);
  From->AddArgument(Table);
  P.AddTableRefClauses(Table);
  return Query.Release();
}

// FROM groups separated by commas; each group is a table followed by its
// joins. A join hangs in the join list of the table written just before it,
// and each group's first table is cross-joined to the previous group's.
void ParseFromClause(TORVExprParser& P, TORVExprToken* Query, TORVParseOptions Options) {
  TORVExprToken* From = P.GetNewExprToken(ttCLAUSE, toNONE);
  Query->SetArgument(QueryFromSlot, From);
  P.NextToken();
  TORVExprToken* PreviousGroup = nullptr;
  do {
    TORVExprToken* Table = P.ParseFrom(Options);
    From->AddArgument(Table);
    P.AddTableRefClauses(Table);
    if (PreviousGroup != nullptr) {
      TORVExprToken* Cross = P.GetNewExprToken(ttJOIN, toCROSSJOIN);
      Cross->AssignPos(Table);
      Cross->FTargetToken = Table;
      PreviousGroup->GetArgument(TableRefJoinsSlot)->AddArgument(Cross);
    }
    PreviousGroup = Table;
    TORVExprToken* Current = Table;
    for (;;) {
      TORVTokenOperator Operator;
      if (P.CheckSymbol(u"FULL")) P.InvalidExpr(u"FULL OUTER JOINs not supported");
      if (P.CheckSymbol(u"JOIN")) {
        Operator = toINNERJOIN;
      } else if (P.CheckSymbol(u"INNER")) {
        Operator = toINNERJOIN;
      } else if (P.CheckSymbol(u"LEFT")) {
        Operator = toLEFTOUTERJOIN;
      } else if (P.CheckSymbol(u"RIGHT")) {
        Operator = toRIGHTOUTERJOIN;
      } else {
        break;
      }
      TORVExprToken* Join = P.GetNewExprToken(ttJOIN, Operator);
      Current->GetArgument(TableRefJoinsSlot)->AddArgument(Join);
      if (!P.SkipSymbol(u"JOIN")) {
        bool Outer = !P.CheckSymbol(u"INNER");
        P.NextToken();
        if (Outer) P.SkipSymbol(u"OUTER");
        P.ErrorIfNotSkipSymbol(u"JOIN");
      }
      TORVExprToken* Joined = P.ParseFrom(Options);
      From->AddArgument(Joined);
      P.AddTableRefClauses(Joined);
      Join->FTargetToken = Joined;
      Current = Joined;
      P.ErrorIfNotSkipSymbol(u"ON");
      Join->SetNumArguments(JoinConditionSlot + 1);
      Join->SetArgument(JoinConditionSlot, P.ParseJoin(Options));
    }
  } while (P.SkipToken(u','));
}

// A GROUP BY or ORDER BY item: the expression, then its own collation and,
// for ORDER BY, its direction.
TORVExprToken* ParseSortColumn(TORVExprParser& P, bool Direction) {
  TORVPartialTree Item(P.GetNewExprToken(ttSELECTCOLUMNREF, toNONE));
  Item->AddArgument(P.ParseOr(TORVParseOptions{poAllowQueries, poAllowTableQualifier, poNoCollationRef}));
  P.ParseColumnOptions(Item.Get(), Direction ? TORVParseOptions{poAllowDirection} : TORVParseOptions{});
  return Item.Release();
}

}  // namespace

TORVExprToken* TORVExprParser::ParseQuery(TORVParseOptions ParseOptions) {
  TORVParseNesting Level(*this);
  const TORVParseOptions Options = Without(ParseOptions, poAllowAggregates);
  if (CheckSymbol(u"TABLE")) return ParseTableQuery(*this, Options);
  if (!CheckSymbol(u"SELECT")) ExpectedExpression(u"SELECT, TABLE");

  // Made once SELECT is read: errors about a whole query point at its first
  // select item.
  NextToken();
  TORVPartialTree Query(NewQueryNode(*this));

  TORVExprToken* Select;
  if (CheckSymbol(u"DISTINCT")) {
    Select = GetNewExprToken(ttCLAUSE, toDISTINCT);
    Query->SetArgument(QuerySelectSlot, Select);
    NextToken();
  } else {
    Select = GetNewExprToken(ttCLAUSE, toALL);
    Query->SetArgument(QuerySelectSlot, Select);
    SkipSymbol(u"ALL");
  }
  do {
    TORVExprToken* Column = GetNewExprToken(ttSELECTCOLUMN, toNONE);
    Select->AddArgument(Column);
    ParseSelectColumn(Column, Options);
  } while (SkipToken(u','));

  if (CheckSymbol(u"INTO")) {
    if (!ParseOptions.Contains(poAllowInto)) InvalidExpr(u"INTO clause not allowed");
    TORVExprToken* Into = GetNewExprToken(ttCLAUSE, toNONE);
    Query->SetArgument(QueryIntoSlot, Into);
    NextToken();
    do {
      Into->AddArgument(ParseValue(TORVParseOptions{poAllowParameters}));
    } while (SkipToken(u','));
  }

  if (!CheckSymbol(u"FROM")) {
    Query->SetArgument(QueryMergedQuerySlot,
                       ParseMerge(CheckMergeWord(*this) ? With(Options, poNoOrderBy) : Options));
    return Query.Release();
  }

  ParseFromClause(*this, Query.Get(), Options);

  if (CheckSymbol(u"WHERE")) {
    TORVExprToken* Where = GetNewExprToken(ttCLAUSE, toNONE);
    Query->SetArgument(QueryWhereSlot, Where);
    NextToken();
    Where->AddArgument(ParseWhere(Options));
  }

  if (CheckSymbol(u"GROUP")) {
    TORVExprToken* GroupBy = GetNewExprToken(ttCLAUSE, toNONE);
    Query->SetArgument(QueryGroupBySlot, GroupBy);
    NextToken();
    ErrorIfNotSkipSymbol(u"BY");
    do {
      GroupBy->AddArgument(ParseGroupByColumn());
    } while (SkipToken(u','));
  }

  if (SkipSymbol(u"HAVING")) Query->SetArgument(QueryHavingSlot, ParseHaving(Options));

  // ORDER BY belongs to the first query of a merge chain.
  Query->SetArgument(QueryMergedQuerySlot, ParseMerge(CheckMergeWord(*this) ? With(Options, poNoOrderBy) : Options));

  if (!ParseOptions.Contains(poNoOrderBy) && CheckSymbol(u"ORDER")) {
    TORVExprToken* OrderBy = GetNewExprToken(ttCLAUSE, toNONE);
    Query->SetArgument(QueryOrderBySlot, OrderBy);
    NextToken();
    ErrorIfNotSkipSymbol(u"BY");
    do {
      OrderBy->AddArgument(ParseOrderByColumn());
    } while (SkipToken(u','));
  }

  // Extension clauses are appended from QueryExtensionSlot on.
  if (CheckSymbol(u"RANGE")) {
    if (Options.Contains(poNoRange)) InvalidExpr(u"RANGE clause not allowed");
    NextToken();
    Query->AddArgument(ParseRange(With(Options, poAllowParameters)));
  }
  if (CheckSymbol(u"NOJOINOPTIMIZE")) {
    Query->AddArgument(GetNewExprToken(ttCLAUSE, toNOJOINOPTIMIZE));
    NextToken();
  }
  if (CheckSymbol(u"JOINOPTIMIZECOSTS")) {
    Query->AddArgument(GetNewExprToken(ttCLAUSE, toJOINOPTIMIZECOSTS));
    NextToken();
  }
  if (CheckSymbol(u"JOININDEXTHRESHHOLD")) {
    TORVExprToken* Threshhold = GetNewExprToken(ttCLAUSE, toJOININDEXTHRESHHOLD);
    Query->AddArgument(Threshhold);
    NextToken();
    Threshhold->AddArgument(ParseValue(Options));
  }
  return Query.Release();
}

void TORVExprParser::ParseSelectColumn(TORVExprToken* Column, TORVParseOptions ParseOptions) {
  TORVParseOptions Options = Without(ParseOptions, poAllowParameters);
  Options.Include(poAllowAggregates);
  Options.Include(poAllowAllColumns);
  Options.Include(poAllowQueryParameters);
  MarkLiteral();
  Column->AddArgument(ParseOr(Options));
  Column->FTokenConstant = GetLiteralString();
  const TORVExprToken* Expression = Column->GetArgument(0);
  if (Expression->FTokenType == ttCOLUMNREF && Expression->FName == u"*") Column->FTokenConstant = u"*";
  if (SkipSymbol(u"AS")) {
    CheckForAllColumns(Column->GetArgument(0));
    if (!TokenIsSymbol()) ExpectedExpression(u"column correlation name");
  } else if (!TokenIsSymbol() || CheckAnySymbol(*this, SelectAliasStopWords)) {
    return;
  }
  Column->FCorrelationName = GetTokenAsString();
  NextToken();
}

void TORVExprParser::AddTableRefClauses(TORVExprToken* Table) {
  Table->SetNumArguments(TableRefSlotCount);
  Table->SetArgument(TableRefConditionsSlot, GetNewExprToken(ttCLAUSE, toNONE));
  Table->SetArgument(TableRefJoinsSlot, GetNewExprToken(ttCLAUSE, toNONE));
}

void TORVExprParser::ParseQualifiedTableName(TORVExprToken* Table, TORVParseOptions ParseOptions) {
  if (!TokenIsSymbol()) ExpectedExpression(u"table name");
  Table->FName = GetTokenAsString();
  NextToken();
  if (!CheckToken(u'.')) return;
  if (!ParseOptions.Contains(poAllowSchemaQualifier)) InvalidExpr(u"schema qualifier not allowed");
  Table->FSourceName = Table->FName;
  NextToken();
  if (!TokenIsSymbol()) ExpectedExpression(u"table name");
  Table->FName = GetTokenAsString();
  NextToken();
  if (CheckToken(u'.')) {
    if (!ParseOptions.Contains(poAllowDatabaseQualifier)) InvalidExpr(u"database qualifier not allowed");
    Table->FDatabaseName = Table->FSourceName;
    Table->FSourceName = Table->FName;
    NextToken();
    if (!TokenIsSymbol()) ExpectedExpression(u"table name");
    Table->FName = GetTokenAsString();
    NextToken();
  } else if (!SameString(Table->FSourceName, u"Information") && !SameString(Table->FSourceName, u"Default")) {
    // Two parts name a database and a table unless the first is a schema.
    Table->FDatabaseName = Table->FSourceName;
    Table->FSourceName.clear();
  }
}

TORVExprToken* TORVExprParser::ParseTableRef(TORVParseOptions ParseOptions) {
  if (!TokenIsSymbol()) ExpectedExpression(u"table name");
  TORVPartialTree Table(GetNewExprToken(ttTABLEREF, toNONE));
  ParseQualifiedTableName(Table.Get(), ParseOptions);
  return Table.Release();
}

void TORVExprParser::ParseTableRefCorrelation(TORVExprToken* Table, bool Required) {
  if (SkipSymbol(u"AS")) {
    if (!TokenIsSymbol()) ExpectedExpression(u"table or query correlation name");
  } else if (!TokenIsSymbol() || CheckAnySymbol(*this, TableAliasStopWords)) {
    if (Required) ExpectedExpression(u"table or query correlation name");
    return;
  }
  Table->FCorrelationName = GetTokenAsString();
  NextToken();
}

TORVExprToken* TORVExprParser::ParseFrom(TORVParseOptions ParseOptions) {
  if (!CheckToken(u'(')) {
    TORVPartialTree Table(ParseTableRef(ParseOptions));
    Table->SetNumArguments(TableRefQuerySlot + 1);
    ParseTableRefCorrelation(Table.Get(), false);
    return Table.Release();
  }
  NextToken();
  if (!CheckSymbol(u"SELECT")) ExpectedExpression(u"SELECT");
  if (!ParseOptions.Contains(poAllowQueries)) InvalidExpr(u"query expression not allowed");
  TORVPartialTree Table(GetNewExprToken(ttTABLEREF, toDERIVED));
  TORVParseOptions QueryOptions = Without(ParseOptions, poNoOrderBy);
  QueryOptions.Exclude(poAllowInto);
  MarkLiteral();
  Table->SetNumArguments(TableRefQuerySlot + 1);
  Table->SetArgument(TableRefQuerySlot, ParseQuery(QueryOptions));
  Table->FTokenConstant = GetLiteralString();
  Table->FParentheses = true;
  ErrorIfNotSkipToken(u')');
  ParseTableRefCorrelation(Table.Get(), true);
  Table->FName = Table->FCorrelationName;
  return Table.Release();
}

TORVExprToken* TORVExprParser::ParseJoin(TORVParseOptions ParseOptions) {
  return ParseOr(With(ParseOptions, poAllowRowValues));
}

TORVExprToken* TORVExprParser::ParseWhere(TORVParseOptions ParseOptions) {
  ParseOptions.Include(poAllowRowValues);
  ParseOptions.Include(poAllowContains);
  return ParseOr(ParseOptions);
}

TORVExprToken* TORVExprParser::ParseHaving(TORVParseOptions ParseOptions) {
  ParseOptions.Include(poAllowRowValues);
  ParseOptions.Include(poAllowAggregates);
  return ParseOr(ParseOptions);
}

TORVExprToken* TORVExprParser::ParseGroupByColumn() { return ParseSortColumn(*this, false); }

TORVExprToken* TORVExprParser::ParseOrderByColumn() { return ParseSortColumn(*this, true); }

TORVExprToken* TORVExprParser::ParseMerge(TORVParseOptions ParseOptions) {
  TORVTokenOperator Operator;
  if (SkipSymbol(u"UNION")) {
    Operator = SkipSymbol(u"ALL") ? toUNIONALL : toUNION;
  } else if (SkipSymbol(u"EXCEPT")) {
    Operator = SkipSymbol(u"ALL") ? toEXCEPTALL : toEXCEPT;
  } else if (SkipSymbol(u"INTERSECT")) {
    Operator = SkipSymbol(u"ALL") ? toINTERSECTALL : toINTERSECT;
  } else {
    return nullptr;
  }
  return ParseMergeQuery(ParseOptions, Operator);
}

TORVExprToken* TORVExprParser::ParseMergeQuery(TORVParseOptions ParseOptions, TORVTokenOperator MergeOperator) {
  bool Parentheses = SkipToken(u'(');
  MarkLiteral();
  TORVPartialTree Query(ParseQuery(Without(ParseOptions, poAllowInto)));
  Query->FTokenConstant = GetLiteralString();
  Query->GetArgument(QueryMergeWordSlot)->FTokenOperator = MergeOperator;
  if (Parentheses) {
    Query->FParentheses = true;
    ErrorIfNotSkipToken(u')');
  }
  return Query.Release();
}

TORVExprToken* TORVExprParser::ParseRange(TORVParseOptions ParseOptions) {
  TORVPartialTree Range(GetNewExprToken(ttCLAUSE, toRANGE));
  Range->AddArgument(ParseValue(ParseOptions));
  if (SkipSymbol(u"TO")) {
    Range->AddArgument(ParseValue(ParseOptions));
  } else {
    Range->AddArgument(nullptr);
  }
  return Range.Release();
}

TORVExprToken* TORVExprParser::ParseCollationRef() {
  if (!TokenIsSymbol()) ExpectedExpression(u"collation name");
  TORVPartialTree Collation(GetNewExprToken(ttCOLLATIONREF, toNONE));
  Collation->FName = GetTokenAsString();
  NextToken();
  return Collation.Release();
}

}  // namespace orv
