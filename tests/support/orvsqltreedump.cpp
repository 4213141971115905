#include "tests/support/orvsqltreedump.h"

#include <cstring>
#include <memory>
#include <stdexcept>

#include "base/orverror.h"
#include "base/orverrors.h"
#include "base/orvutf8.h"

namespace orv::test {

namespace {

const char* const TokenTypeNames[] = {
    "NONE", "ARRAY", "ARRAYREF", "ARRAYELEMENTREF", "AUTHORIZATION", "BACKUP", "BINARY", "BLOCK",
    "BLOCKCLAUSE", "CLAUSE", "COLLATION", "COLLATIONREF", "COLUMN", "COLUMNREF", "CONST",
    "CONSTRAINT", "CONTROL", "CURSOR", "CURSORREF", "DATABASE", "DATATYPE", "DYNPARAM",
    "DYNPARAMREF", "DYNSTATEMENT", "EXTBINARY", "FILE", "FUNCREF", "FUNCTION", "INDEX", "JOB",
    "JOIN", "LINKEDCOLUMNREF", "MIGRATOR", "MODULE", "PARAM", "PARAMREF", "PRIVILEGE", "PROCEDURE",
    "PROCREF", "QUERY", "ROLE", "ROWCOLUMNREF", "ROWVALUE", "ROWVARIABLE", "SCRIPT",
    "SELECTCOLUMN", "SELECTCOLUMNREF", "STATEMENT", "STATEMENTREF", "STORE", "TABLE", "TABLEREF",
    "TEXTFILTER", "TRIGGER", "UNARY", "UPDATES", "USER", "VARIABLE", "VARIABLEREF", "VIEW",
    "WORDGEN",
};

const char* const TokenOperatorNames[] = {
    "NONE", "ADD", "AND", "DIV", "EQ", "GE", "GT", "LE", "LT", "MOD", "MUL", "NE", "NEGATE", "NOT",
    "OR", "SUB", "SUBINTERVAL", "ABORTED", "ABS", "ACOS", "ASIN", "ATAN", "ATAN2", "AVG", "BOF",
    "CARDINALITY", "CASEOPTION", "CASERESULT", "CAST", "CEILING", "COALESCE", "COLCOUNT",
    "COLNAME", "CONCAT", "COS", "COT", "COUNT", "CURCOMPUTER", "CURDATABASE", "CURDATE", "CURGUID",
    "CURSESSIONID", "CURTIME", "CURTIMESTAMP", "CURUSER", "CURVERSION", "DEGREES", "EOF",
    "ERRORCODE", "ERRORMSG", "EXISTS", "EXP", "EXTRACT", "EXTRACTDAY", "EXTRACTDAYOFWEEK",
    "EXTRACTDAYOFYEAR", "EXTRACTHOUR", "EXTRACTMINUTE", "EXTRACTMONTH", "EXTRACTMSECOND",
    "EXTRACTSECOND", "EXTRACTWEEK", "EXTRACTYEAR", "FLOOR", "ICASE", "IFNULL", "IIF", "INTRANS",
    "LASTIDENTITY", "LEFT", "LENGTH", "LIST", "LOADINGUPDATES", "LOG", "LOG10", "LOWER", "MAX",
    "MIN", "NULLIF", "OCCURS", "OPERATION", "PI", "POS", "POWER", "QUOTEDSTR", "RADIANS", "RAND",
    "REPEATSTR", "REPLACE", "RIGHT", "ROUND", "ROWCOUNT", "ROWSAFFECTED", "RUNSUM", "SENSITIVE",
    "SIGN", "SIN", "SQRT", "STDDEV", "STMTRESULT", "SUBSTRING", "SUM", "SUMSQUARE", "TAN", "TRIM",
    "TRIMBOTH", "TRIMLEADING", "TRIMTRAILING", "TRUNCATE", "UDF", "UPPER", "BETWEEN", "CONTAINS",
    "CONTAINSANY", "IN", "ISNOTNULL", "ISNULL", "LIKE", "NOTBETWEEN", "NOTCONTAINS",
    "NOTCONTAINSANY", "NOTIN", "NOTLIKE", "ALL", "ASC", "COLLATE", "CORRELATED", "CROSSJOIN",
    "DERIVED", "DESC", "DISTINCT", "EXCEPT", "EXCEPTALL", "INNERJOIN", "INTERSECT", "INTERSECTALL",
    "JOININDEXTHRESHHOLD", "JOINOPTIMIZECOSTS", "LEFTOUTERJOIN", "NOJOINOPTIMIZE", "RANGE",
    "RIGHTOUTERJOIN", "UNION", "UNIONALL", "UNCORRELATED", "AFTER", "BEFORE", "CASCADE", "CHECK",
    "COMPUTED", "DEFAULT", "DEFAULTIDENTITY", "DROPDEFAULT", "ERROR", "FOREIGNKEY", "GENERATED",
    "IDENTITY", "IFOPTION", "IFRESULT", "INPUT", "INPUTOUTPUT", "INSTEADOF", "MOVECOLUMN", "NAMED",
    "NOBACKUPFILES", "OUTPUT", "PRIMARYKEY", "RESTARTIDENTITY", "RESTRICT", "RESULT", "SETDESC",
    "SETDEFAULT", "SETNULL", "UNIQUE", "ABORT", "CALL", "CASE", "CLOSE", "COMMIT", "DECLARE",
    "DELETECURSOR", "EXECUTE", "EXECUTEIMMEDIATE", "FETCH", "FOR", "IF", "INSERTCURSOR", "ITERATE",
    "LEAVE", "LOGEVENT", "LOOP", "OPEN", "PREPARE", "RAISE", "REFRESH", "REPEAT", "RETRY",
    "RETURN", "ROLLBACK", "SET", "SETCACHE", "SETLOGMSG", "SETPROGRESS", "SETSTATUSMSG",
    "STARTTRANS", "UNPREPARE", "UPDATECURSOR", "USEDB", "WHILE", "ALTER", "BACKUPDB", "COMPAREDB",
    "COPYFILE", "CREATE", "DELETE", "DELETEFILE", "DISABLE", "DISCONNECTSESSION", "DROP",
    "EMPTYTABLE", "ENABLE", "EXPORTTABLE", "GRANT", "GRANTPRIVILEGES", "GRANTROLES", "IMPORTTABLE",
    "INSERT", "LOADDBUPDATES", "MIGRATEDB", "OPTIMIZETABLE", "PUBLISH", "REMOVESESSION", "RENAME",
    "RENAMEFILE", "REPAIRTABLE", "RESET", "RESTOREDB", "REVOKE", "REVOKEPRIVILEGES", "REVOKEROLES",
    "SAVEDBUPDATES", "SELECT", "SETDYN", "UNPUBLISH", "UPDATE", "VERIFYTABLE",
};

constexpr int32_t TokenTypeCount = sizeof(TokenTypeNames) / sizeof(TokenTypeNames[0]);
constexpr int32_t TokenOperatorCount = sizeof(TokenOperatorNames) / sizeof(TokenOperatorNames[0]);
static_assert(TokenTypeCount == ttWORDGEN + 1);
static_assert(TokenOperatorCount == toVERIFYTABLE + 1);

std::string Quote(const TORVString& Text) {
  std::string Result = "\"";
  for (char C : StringToUtf8(Text)) {
    if (C == '"' || C == '\\') Result += '\\';
    Result += C;
  }
  return Result + "\"";
}

void Dump(const TORVExprToken* Token, std::string& Out) {
  if (Token == nullptr) {
    Out += "nil";
    return;
  }
  Out += "(" + TokenTypeName(Token->FTokenType);
  if (Token->FTokenOperator != toNONE) Out += " :op " + TokenOperatorName(Token->FTokenOperator);
  auto Text = [&Out](const char* Key, const TORVString& Value) {
    if (!Value.empty()) Out += std::string(" ") + Key + " " + Quote(Value);
  };
  auto Int = [&Out](const char* Key, int32_t Value) {
    if (Value != 0) Out += std::string(" ") + Key + " " + std::to_string(Value);
  };
  Text(":text", Token->FTokenConstant);
  Text(":name", Token->FName);
  Text(":source", Token->FSourceName);
  Text(":db", Token->FDatabaseName);
  Text(":alias", Token->FCorrelationName);
  Int(":id", Token->FTokenID);
  Int(":type", Token->FDataType);
  Int(":subtype", Token->FSubType);
  Int(":len", Token->FLength);
  Int(":scale", Token->FScale);
  Int(":coll", Token->FCollation);
  Int(":partial", Token->FPartialLength);
  if (Token->FParentheses) Out += " :paren";
  if (Token->FHidden) Out += " :hidden";
  bool Operands = (Token->FTokenType == ttBINARY || Token->FTokenType == ttUNARY) &&
                  Token->GetNumArguments() == 0;
  if (Operands) {
    Out += " ";
    Dump(Token->GetLeftToken(), Out);
    if (Token->FTokenType == ttBINARY || Token->GetRightToken() != nullptr) {
      Out += " ";
      Dump(Token->GetRightToken(), Out);
    }
  } else {
    if (Token->GetLeftToken() != nullptr) {
      Out += " :left ";
      Dump(Token->GetLeftToken(), Out);
    }
    if (Token->GetRightToken() != nullptr) {
      Out += " :right ";
      Dump(Token->GetRightToken(), Out);
    }
    for (int32_t I = 0; I < Token->GetNumArguments(); ++I) {
      Out += " ";
      Dump(Token->GetArgument(I), Out);
    }
  }
  Out += ")";
}

class TReader {
 public:
  TReader(const TORVString& Text, const TORVTreeReadError& Error) : FText(Text), FError(Error) {}

  TORVExprToken* ReadAll() {
    SkipBlanks();
    if (FPos >= FText.size()) return nullptr;
    TORVExprToken* Root = ReadTree();
    SkipBlanks();
    if (FPos < FText.size()) {
      FreeTokens(Root);
      Fail(u"end of expression");
    }
    return Root;
  }

 private:
  [[noreturn]] void Fail(const TORVString& Expected) {
    TORVString Found = FPos < FText.size() ? FText.substr(FPos, 1) : TORVString(u"end of expression");
    TORVString Message = FormatString(u"Expected %s but instead found %s", {Expected, Found});
    if (FError) FError(Message, FLine, static_cast<int32_t>(FPos - FLineStart) + 1);
    throw EORVException(ORV_SQL_ERROR.Code, Message, FLine, static_cast<int32_t>(FPos - FLineStart) + 1);
  }

  void SkipBlanks() {
    while (FPos < FText.size()) {
      char16_t C = FText[FPos];
      if (C == u'\n') {
        ++FLine;
        FLineStart = FPos + 1;
      } else if (C != u' ' && C != u'\t' && C != u'\r') {
        break;
      }
      ++FPos;
    }
  }

  std::string Word() {
    SkipBlanks();
    std::string Result;
    while (FPos < FText.size()) {
      char16_t C = FText[FPos];
      if (C == u' ' || C == u'\t' || C == u'\r' || C == u'\n' || C == u'(' || C == u')' || C == u'"') break;
      if (C > 0x7F) Fail(u"name");
      Result += static_cast<char>(C);
      ++FPos;
    }
    return Result;
  }

  TORVString String() {
    SkipBlanks();
    if (FPos >= FText.size() || FText[FPos] != u'"') Fail(u"\"");
    ++FPos;
    TORVString Result;
    for (;;) {
      if (FPos >= FText.size()) Fail(u"\"");
      char16_t C = FText[FPos++];
      if (C == u'"') return Result;
      if (C == u'\\') {
        if (FPos >= FText.size()) Fail(u"\"");
        C = FText[FPos++];
      }
      Result += C;
    }
  }

  int32_t Integer() {
    std::string Text = Word();
    try {
      size_t Used = 0;
      long long Value = std::stoll(Text, &Used);
      if (Used == Text.size() && Value >= INT32_MIN && Value <= INT32_MAX) return static_cast<int32_t>(Value);
    } catch (const std::exception&) {
    }
    Fail(u"integer");
  }

  template <typename T>
  T Named(const char* const* Names, int32_t Count, const TORVString& What) {
    std::string Name = Word();
    for (int32_t I = 0; I < Count; ++I) {
      if (Name == Names[I]) return static_cast<T>(I);
    }
    Fail(What);
  }

  // A tree, or nil; a partial node is freed before an error passes on.
  TORVExprToken* ReadTree() {
    SkipBlanks();
    if (FText.compare(FPos, 3, u"nil") == 0) {
      FPos += 3;
      return nullptr;
    }
    if (FPos >= FText.size() || FText[FPos] != u'(') Fail(u"(");
    auto Node = std::make_unique<TORVExprToken>();
    Node->FLine = FLine;
    Node->FCol = static_cast<int32_t>(FPos - FLineStart) + 1;
    Node->FExprPos = static_cast<int32_t>(FPos) + 1;
    ++FPos;
    TORVExprToken* Raw = Node.get();
    try {
      ReadBody(Raw);
    } catch (...) {
      // Children already attached belong to the node.
      TORVExprToken* Partial = Node.release();
      FreeTokens(Partial);
      throw;
    }
    return Node.release();
  }

  void ReadBody(TORVExprToken* Node) {
    Node->FTokenType = Named<TORVTokenType>(TokenTypeNames, TokenTypeCount, u"token kind");
    bool Operands = Node->FTokenType == ttBINARY || Node->FTokenType == ttUNARY;
    int32_t OperandCount = 0;
    for (;;) {
      SkipBlanks();
      if (FPos >= FText.size()) Fail(u")");
      char16_t C = FText[FPos];
      if (C == u')') {
        ++FPos;
        return;
      }
      if (C == u':') {
        ++FPos;
        ReadAttribute(Node);
        continue;
      }
      TORVExprToken* Child = ReadTree();
      if (Operands && OperandCount == 0) {
        Node->SetLeftToken(Child);
      } else if (Operands && OperandCount == 1) {
        Node->SetRightToken(Child);
      } else if (Operands) {
        FreeTokens(Child);
        Fail(u")");
      } else {
        Node->AddArgument(Child);
      }
      ++OperandCount;
    }
  }

  void ReadAttribute(TORVExprToken* Node) {
    std::string Key = Word();
    if (Key == "op") {
      Node->FTokenOperator = Named<TORVTokenOperator>(TokenOperatorNames, TokenOperatorCount, u"operator");
    } else if (Key == "text") {
      Node->FTokenConstant = String();
    } else if (Key == "name") {
      Node->FName = String();
    } else if (Key == "source") {
      Node->FSourceName = String();
    } else if (Key == "db") {
      Node->FDatabaseName = String();
    } else if (Key == "alias") {
      Node->FCorrelationName = String();
    } else if (Key == "id") {
      Node->FTokenID = Integer();
    } else if (Key == "type") {
      Node->FDataType = Integer();
    } else if (Key == "subtype") {
      Node->FSubType = Integer();
    } else if (Key == "len") {
      Node->FLength = Integer();
    } else if (Key == "scale") {
      Node->FScale = Integer();
    } else if (Key == "coll") {
      Node->FCollation = Integer();
    } else if (Key == "partial") {
      Node->FPartialLength = Integer();
    } else if (Key == "paren") {
      Node->FParentheses = true;
    } else if (Key == "hidden") {
      Node->FHidden = true;
    } else if (Key == "left") {
      if (Node->GetLeftToken() != nullptr) Fail(u"one :left operand");
      TORVExprToken* Child = ReadTree();
      Node->SetLeftToken(Child);
    } else if (Key == "right") {
      if (Node->GetRightToken() != nullptr) Fail(u"one :right operand");
      TORVExprToken* Child = ReadTree();
      Node->SetRightToken(Child);
    } else {
      Fail(u"attribute");
    }
  }

  const TORVString& FText;
  const TORVTreeReadError& FError;
  size_t FPos = 0;
  size_t FLineStart = 0;
  int32_t FLine = 1;
};

}  // namespace

std::string TokenTypeName(TORVTokenType Type) {
  return Type < TokenTypeCount ? TokenTypeNames[Type] : "#" + std::to_string(Type);
}

std::string TokenOperatorName(TORVTokenOperator Operator) {
  return Operator < TokenOperatorCount ? TokenOperatorNames[Operator] : "#" + std::to_string(Operator);
}

std::string DumpTokens(const TORVExprToken* Token) {
  std::string Out;
  Dump(Token, Out);
  return Out;
}

TORVExprToken* ReadTokens(const TORVString& Text, const TORVTreeReadError& Error) {
  TReader Reader(Text, Error);
  return Reader.ReadAll();
}

}  // namespace orv::test
