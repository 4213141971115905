// A bounded grammar fuzz: random token soups and mutated corpus texts go
// through ParseExpr, ParseQuery and ParseStatement. Each text must either
// parse into a well-formed tree, whose built text parses back to an equal
// tree, or raise a syntax error (EORVException 700); a crash, a
// leak (the test build runs under the address sanitizer), another
// exception or a read past the text fails. Every text lies in a buffer of
// exactly its own length, so that a read one character too far is caught.
// The whole compiler (parse, validate over the corpus's fake catalog, build)
// runs over mutated corpus texts of every kind the same way, must end every
// catalog read it begins, and each text it builds must compile again to the
// same tree and build to itself.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/orverrors.h"
#include "base/orverror.h"
#include "base/orvutf8.h"
#include "sql/orvcompiledexpr.h"
#include "sql/orvexprcatalog.h"
#include "sql/orvexprtoken.h"
#include "sql/orvparser.h"
#include "sql/orvparseroptions.h"
#include "sql/orvtokenizer.h"
#include "sql/orvvalidater.h"
#include "tests/sql/orvsqlcorpus.h"
#include "tests/support/orvsqlfakecatalog.h"
#include "tests/support/orvsqlfakeexpr.h"
#include "tests/support/orvsqltreedump.h"

namespace orv {
namespace {

// Words and symbols the grammar reacts to, plus literals and names of every
// token kind, some of them malformed or unterminated.
const char* const Vocabulary[] = {
    "SELECT", "TABLE", "DISTINCT", "ALL", "FROM", "WHERE", "GROUP", "BY", "HAVING", "ORDER", "UNION", "EXCEPT",
    "INTERSECT", "INTO", "AS", "JOIN", "INNER", "LEFT", "RIGHT", "OUTER", "FULL", "ON", "AND", "OR", "NOT",
    "BETWEEN", "LIKE", "ESCAPE", "IN", "IS", "NULL", "TRUE", "FALSE", "NAN", "DATE", "TIME", "TIMESTAMP",
    "INTERVAL", "YEAR", "MONTH", "DAY", "HOUR", "MINUTE", "SECOND", "MSECOND", "TO", "CONTAINS", "DOES",
    "CONTAIN", "ANY", "MOD", "COLLATE", "ASC", "DESCENDING", "RANGE", "NOJOINOPTIMIZE", "JOINOPTIMIZECOSTS",
    "JOININDEXTHRESHHOLD", "CAST", "UPPER", "COUNT", "SUBSTRING", "Information", "Default", "CASE", "WHEN",
    "THEN", "ELSE", "END", "TRIM", "LTRIM", "LEADING", "BOTH", "EXTRACT", "IF", "LIST", "ORDERED", "USING", "FOR",
    "WITH", "CURRENT_DATE", "UTC", "PI", "RAND", "INTRANSACTION", "ROUND", "EXISTS", "COALESCE", "SUM", "INTEGER",
    "VARCHAR", "FORMAT", "LITERAL", "BOOLEAN", "DECIMAL", "CHAR", "ERRORCODE", "COLUMNCOUNT", "=", "<", ">", "<=",
    ">=", "<>", "><", "+", "-", "*", "/", "||", "|", ",", ".", "(", ")", "(", ")", "[", "]", "?", ";", "0", "1",
    "42", "2147483648", "99999999999999999999", "1.5", ".5", "1e5", "2e-3", "1.2.3", "1e", "'s'", "'it''s'", "''",
    "X'0A'", "x''", "#65", "#", "#99999", "\"q\"", "\"a\"\"b\"", "\"a''b\"", "\"''\"", "\"it''s\"", "\"a''''b\"",
    "\"c\"\"d\"", "\"''\"\"\"", "a", "b", "t", "c1", "t.c", "t.*", "s.t.u",
    "-- note\n", "/* note */", "\n", "\r\n", "'open", "\"open", "/* open", "X'open", "--", "\r", "\t", "'a\nb'",
    "\"a\nb\"", "\u00e9t\u00e9", "\u00c4", "\U0001F600", "@", "$", "!", "%", "^", "&", "{", "}", "~", "`", ":",
};

// The words of the statements, which the statement soups mix in.
const char* const StatementVocabulary[] = {
    "INSERT", "UPDATE", "DELETE", "VALUES", "SET", "DROP", "RENAME", "CREATE", "ALTER", "TEMPORARY", "TEXT",
    "FILTER", "INDEX", "WORD", "GENERATOR", "MODULE", "MIGRATOR", "PATH", "KEEP", "CONTENTS", "NO", "BACKUP",
    "FILES", "TRIGGER", "TRIGGERS", "FILE", "STORE", "DATABASE", "USER", "ROLE", "RESTORE", "TABLES", "INCLUDE",
    "CATALOG", "ONLY", "EXCLUDE", "PUBLISHED", "UPDATES", "RESET", "GRANT", "REVOKE", "PRIVILEGES", "EXECUTE",
    "PUBLISH", "UNPUBLISH", "SAVE", "LOAD", "MERGE", "IGNORE", "MISSING", "IMPORT", "EXPORT", "ENCODING",
    "DELIMITER", "QUOTE", "HEADERS", "MAX", "ROWS", "XML", "DELIMITED", "MIGRATE", "USING", "DATA", "START",
    "AT", "REPAIR", "VERIFY", "OPTIMIZE", "EMPTY", "ENABLE", "DISABLE", "STATEMENT", "LOGGING", "SERVER",
    "SESSION", "STATISTICS", "COPY", "COMPARE", "DISCONNECT", "REMOVE", "PASSWORD", "MEMORY", "ENCRYPTED",
    "UNENCRYPTED", "DESCRIPTION", "ATTRIBUTES", "VERSION", "LOCAL", "REMOTE", "HOST", "PORT", "RUN", "ONCE",
    "DAILY", "WEEKLY", "MONTHLY", "HOURLY", "EVERY", "MINUTES", "WEEKS", "DAYS", "LAST", "Mon", "Fri", "Jan",
    "Jul", "BEGIN", "END", "BEFORE", "AFTER", "INSTEAD", "OF", "WHEN", "RETURNS", "EXTERNAL", "NAME", "FUNCTION",
    "PROCEDURE", "VIEW", "CHECK", "OPTION", "LIKE", "INCLUDING", "EXCLUDING", "INDEXES", "CONSTRAINT", "PRIMARY",
    "KEY", "UNIQUE", "FOREIGN", "REFERENCES", "CASCADE", "ACTION", "GENERATED", "ALWAYS", "IDENTITY", "COMPUTED",
    "DEFAULT", "NOT", "NULL", "ERROR", "CODE", "MESSAGE", "COMPRESSION", "COLUMN", "MOVE", "RESTART", "READONLY",
    "PAGE", "SIZE", "BLOCK", "BLOB", "BUFFER", "ROW", "INDEXED", "LENGTH", "TYPE", "INTEGER", "VARCHAR",
};

std::vector<std::u16string> ConvertWords(std::span<const char* const> Words) {
  std::vector<std::u16string> Result;
  for (const char* Word : Words) Result.push_back(Utf8ToString(Word));
  return Result;
}

std::u16string_view RandomWord(std::mt19937& Random) {
  static const std::vector<std::u16string> Words = ConvertWords(Vocabulary);
  return Words[Random() % Words.size()];
}

std::u16string_view RandomStatementWord(std::mt19937& Random) {
  static const std::vector<std::u16string> Words = ConvertWords(StatementVocabulary);
  return Words[Random() % Words.size()];
}

TORVParseOptions RandomOptions(std::mt19937& Random, TORVParseOptions Base) {
  // Half of the texts run under the base options alone.
  if (Random() % 2 == 0) return Base;
  const uint32_t Mask = Random();
  for (int32_t Bit = 0; Bit <= poConvertDynamic; ++Bit)
    if ((Mask >> Bit) & 1u) Base.Include(static_cast<TORVParseOption>(Bit));
  return Base;
}

// A tree that parsed keeps the tree invariants, and copies into a tree that
// keeps them too and compares equal to it, and dumps.
void CheckTree(const TORVExprToken* Token) {
  Token->CheckInvariants();
  TORVExprToken* Copy = CopyTokens(Token);
  Copy->CheckInvariants();
  EXPECT_TRUE(CompareTokens(Token, Copy));
  FreeTokens(Copy);
  EXPECT_FALSE(test::DumpTokens(Token).empty());
}

enum TEntry { eExpr, eQuery, eStatement };

class TFuzzRunner {
 public:
  // Parses Text, held in a buffer of exactly its length, with one parser
  // reused across texts as a session reuses its parser.
  void Run(const std::u16string& Text, TEntry Entry, TORVParseOptions Options) {
    std::unique_ptr<char16_t[]> Buffer(new char16_t[Text.size()]);
    std::copy(Text.begin(), Text.end(), Buffer.get());
    const std::u16string_view View(Buffer.get(), Text.size());
    SCOPED_TRACE((Entry == eExpr ? "expr: " : Entry == eQuery ? "query: " : "statement: ") + StringToUtf8(Text));
    TORVExprToken* Tree = nullptr;
    try {
      FParser.Initialize(&FExpr);
      FParser.InitializeText(View);
      FParser.NextToken();
      if (Entry == eExpr) {
        Tree = FParser.ParseExpr(Options);
      } else if (Entry == eStatement) {
        Tree = FParser.ParseStatement(Options);
      } else {
        TORVPartialTree Query(FParser.ParseQuery(Options));
        if (!FParser.CheckToken(tkEndOfText)) FParser.ExpectedExpression(u"end of expression");
        Tree = Query.Release();
      }
    } catch (const EORVException& E) {
      EXPECT_EQ(E.ErrorCode(), ORV_SQL_ERROR.Code) << E.what();
      EXPECT_GE(E.ErrorLine(), 1);
      EXPECT_GE(E.ErrorColumn(), 1);
      ++FErrors;
      return;
    } catch (const std::exception& E) {
      ADD_FAILURE() << "other exception: " << E.what();
      return;
    }
    ASSERT_NE(Tree, nullptr);
    CheckTree(Tree);
    CheckRoundTrip(Tree, Entry, Options);
    FreeTokens(Tree);
    ++FParsed;
  }

  // The text built from a tree parses, under the same options, to an equal
  // tree. Where every parenthesis makes a row value, the parentheses that
  // the builder adds around a bare sub-query would make one too, so that
  // context is left out.
  static void CheckRoundTrip(const TORVExprToken* Tree, TEntry Entry, TORVParseOptions Options) {
    if (Options.Contains(poForceRowValues) || !test::HasBuiltText(Tree)) return;
    // The built text of a statement carries no terminator.
    Options.Exclude(poRequireLineTerm);
    const TORVString Built = test::BuildForCorpus(Tree);
    TORVCompiledExpr Expr;
    Expr.SetExpression(Built);
    TORVExprParser Parser;
    try {
      Parser.Initialize(&Expr);
      TORVPartialTree Again(Entry == eExpr        ? Parser.ParseExpr(Options)
                            : Entry == eStatement ? Parser.ParseStatement(Options)
                                                  : test::ParseWholeQuery(Parser, Options));
      EXPECT_TRUE(CompareTokens(Tree, Again.Get()))
          << "built: " << StringToUtf8(Built) << "\n  first:  " << test::DumpTokens(Tree)
          << "\n  second: " << test::DumpTokens(Again.Get());
    } catch (const EORVException& E) {
      ADD_FAILURE() << "built text does not parse: " << StringToUtf8(Built) << "\n  " << E.what();
    }
  }

  int32_t FParsed = 0;
  int32_t FErrors = 0;

 private:
  TORVCompiledExpr FExpr;
  TORVExprParser FParser;
};

TEST(GrammarFuzz, RandomTokenTextsParseOrRaiseSyntaxErrors) {
  std::mt19937 Random(20240611);
  TFuzzRunner Runner;
  const TORVParseOptions QueryBase{poAllowQueries, poAllowTableQualifier};
  for (int32_t Round = 0; Round < 3000; ++Round) {
    std::u16string Text;
    const bool Query = Random() % 2 == 0;
    if (Query) Text = Random() % 4 == 0 ? u"TABLE " : u"SELECT ";
    const uint32_t Count = 1 + Random() % 24;
    for (uint32_t I = 0; I < Count; ++I) {
      // Mostly separated; now and then glued to the word before.
      if (!Text.empty() && Random() % 8 != 0) Text += u' ';
      Text += RandomWord(Random);
    }
    Runner.Run(Text, Query ? eQuery : eExpr, RandomOptions(Random, Query ? QueryBase : TORVParseOptions{}));
  }
  // The soups must reach both outcomes, or they test little.
  EXPECT_GT(Runner.FParsed, 0);
  EXPECT_GT(Runner.FErrors, 0);
}

TEST(GrammarFuzz, RandomStatementTextsParseOrRaiseSyntaxErrors) {
  std::mt19937 Random(20261210);
  TFuzzRunner Runner;
  for (int32_t Round = 0; Round < 3000; ++Round) {
    std::u16string Text(RandomStatementWord(Random));
    const uint32_t Count = Random() % 16;
    for (uint32_t I = 0; I < Count; ++I) {
      Text += u' ';
      Text += Random() % 2 == 0 ? RandomStatementWord(Random) : RandomWord(Random);
    }
    Runner.Run(Text, eStatement, RandomOptions(Random, test::StatementCorpusOptions));
  }
  EXPECT_GT(Runner.FErrors, 0);
}

// The spans of the tokens of Text, as the tokenizer reads them; a text that
// stops reading with an error keeps the tokens read before it.
std::vector<std::u16string> SplitTokens(const std::u16string& Text) {
  std::vector<std::u16string> Tokens;
  TORVCompiledExpr Expr;
  Expr.SetExpression(Text);
  TORVExprParser Parser;
  try {
    Parser.Initialize(&Expr);
    while (!Parser.CheckToken(tkEndOfText)) {
      Tokens.push_back(Text.substr(static_cast<std::size_t>(Parser.GetTokenPos() - 1),
                                   static_cast<std::size_t>(Parser.GetPos() - Parser.GetTokenPos())));
      Parser.NextToken();
    }
  } catch (const EORVException&) {
  }
  return Tokens;
}

std::u16string JoinTokens(const std::vector<std::u16string>& Tokens) {
  std::u16string Text;
  for (const std::u16string& Token : Tokens) {
    if (!Text.empty()) Text += u' ';
    Text += Token;
  }
  return Text;
}

// Tokens with one of them dropped, doubled, swapped or replaced, joined,
// and now and then a stray code unit: a control character, a lone
// surrogate, a letter beyond ASCII.
std::u16string Mutate(const std::vector<std::u16string>& Tokens, std::mt19937& Random) {
  std::vector<std::u16string> Mutated = Tokens;
  const std::size_t At = Random() % Mutated.size();
  switch (Random() % 4) {
    case 0:
      Mutated.erase(Mutated.begin() + static_cast<std::ptrdiff_t>(At));
      break;
    case 1:
      Mutated.insert(Mutated.begin() + static_cast<std::ptrdiff_t>(At), Mutated[At]);
      break;
    case 2:
      std::swap(Mutated[At], Mutated[Random() % Mutated.size()]);
      break;
    default:
      Mutated[At] = std::u16string(RandomWord(Random));
      break;
  }
  std::u16string Text = JoinTokens(Mutated);
  if (Random() % 4 == 0) {
    static constexpr char16_t Strays[] = {0, 1, 0x1F, 0x7F, 0xA0, 0xE9, 0x2028, 0xD800, 0xDC00, 0xFEFF, 0xFFFF};
    Text.insert(Random() % (Text.size() + 1), 1, Strays[Random() % std::size(Strays)]);
  }
  return Text;
}

TEST(GrammarFuzz, MutatedCorpusTextsParseOrRaiseSyntaxErrors) {
  std::mt19937 Random(7);
  TFuzzRunner Runner;
  const TORVParseOptions QueryBase{poAllowQueries, poAllowTableQualifier};
  int32_t Texts = 0;
  for (const test::TORVSqlCorpusCase& Case : test::ReadSqlCorpus()) {
    const std::u16string Sql = Utf8ToString(Case.Sql);
    const std::vector<std::u16string> Tokens = SplitTokens(Sql);
    const TEntry Entry = Case.Kind == "query" ? eQuery : Case.Kind == "statement" ? eStatement : eExpr;
    const TORVParseOptions Base = Entry == eQuery       ? QueryBase
                                  : Entry == eStatement ? test::StatementCorpusOptions
                                                        : TORVParseOptions{};
    // Every cut of the text: an exact-size buffer ends inside every token.
    for (std::size_t Cut = 0; Cut < Sql.size(); ++Cut) {
      Runner.Run(Sql.substr(0, Cut), Entry, Base);
      ++Texts;
    }
    if (Tokens.empty()) continue;
    for (int32_t Round = 0; Round < 12; ++Round) {
      const std::u16string Text = Mutate(Tokens, Random);
      Runner.Run(Text, Entry, RandomOptions(Random, Base));
      Runner.Run(Text, Entry == eQuery ? eExpr : eQuery, RandomOptions(Random, Base));
      Texts += 2;
    }
  }
  EXPECT_GT(Texts, 1000);
  EXPECT_GT(Runner.FParsed, 0);
  EXPECT_GT(Runner.FErrors, 0);
}

// Compiles texts as a catalog's expression does: parsed by one entry,
// validated over the validate corpus's catalog, then built back to text,
// which must compile again to the same tree and build to itself.
class TWholeCompiler {
 public:
  void Run(const std::u16string& Text, const test::TORVCorpusCompile& How) {
    SCOPED_TRACE("compile: " + StringToUtf8(Text));
    try {
      if (test::CompiledRoundTripForCorpus(Text, How) == test::ccRaised) {
        ++FErrors;
      } else {
        ++FCompiled;
      }
    } catch (const std::exception& E) {
      ADD_FAILURE() << "other exception: " << E.what();
    }
  }

  int32_t FCompiled = 0;
  int32_t FErrors = 0;
};

TEST(CompilerFuzz, MutatedCorpusTextsCompileOrRaiseSqlErrors) {
  std::mt19937 Random(28);
  TWholeCompiler Compiler;
  // Bounded by count, and by time so that a slow build cannot stall CI.
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  int32_t Texts = 0;
  for (const test::TORVSqlCorpusCase& Case : test::ReadSqlCorpus()) {
    if (std::chrono::steady_clock::now() > Deadline) break;
    if (Case.Kind == "optimize") continue;
    const test::TORVCorpusCompile How = test::CorpusCompileOfCase(Case);
    const std::u16string Sql = Utf8ToString(Case.Sql);
    Compiler.Run(Sql, How);
    const std::vector<std::u16string> Tokens = SplitTokens(Sql);
    if (Tokens.empty()) continue;
    for (int32_t Round = 0; Round < 12; ++Round) {
      test::TORVCorpusCompile Mutated = How;
      if (Round % 2 != 0) Mutated.Options = RandomOptions(Random, How.Options);
      Compiler.Run(Mutate(Tokens, Random), Mutated);
      ++Texts;
    }
  }
  EXPECT_GT(Texts, 1000);
  EXPECT_GT(Compiler.FCompiled, 0);
  EXPECT_GT(Compiler.FErrors, 0);
}

}  // namespace
}  // namespace orv
