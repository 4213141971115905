// The SQL tokenizer under the expression parser: token codes, blanks,
// comments and line counting, the current-token tests every grammar routine
// uses, the saved position, the literal stack that cuts source text out of
// the statement, and the syntax error routines with their message texts.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "core/orvcommon.h"
#include "base/orvtype.h"

namespace orv {

// Token codes. Any code not listed is a single character standing for
// itself ("(" 40, "," 44, ";" 59 ...). Characters 0 to 32 are blanks, so
// they never collide with the codes below.
inline constexpr char16_t tkEndOfText = 0;
inline constexpr char16_t tkSymbol = 1;        // identifier: a letter, then letters and digits
inline constexpr char16_t tkString = 3;        // string constant in single quotes
inline constexpr char16_t tkQuotedSymbol = 4;  // identifier in double quotes
inline constexpr char16_t tkCharCode = 5;      // "#" and digits: a character by its code
inline constexpr char16_t tkInteger = 6;       // unsigned integer
inline constexpr char16_t tkFloat = 7;         // number with a decimal point or an exponent
inline constexpr char16_t tkBytes = 8;         // byte string X'...'

// Inner texts of syntax errors (raised as ORV_SQL_ERROR by the expression).
inline constexpr std::u16string_view SQL_EXPECTED_FOUND = u"Expected %s but instead found %s";
inline constexpr std::u16string_view SQL_MISSING = u"Missing %s";
inline constexpr std::u16string_view SQL_INVALID_EXPR = u"Invalid expression %s found, %s";

// Reads one token at a time from a text it does not own. The reader always
// holds one current token that has been read but not consumed: FToken is its
// code, FTokenPos its first character and FPos the position just after it.
// Positions, lines and columns are 1-based and count UTF-16 code units.
//
// Tokens are never materialised: only positions are kept, and text is cut
// out when a caller asks for it.
class TORVExprTokenizer : public TORVBaseObject {
 public:
  TORVExprTokenizer() = default;

  // Binds the reader to Text (which must outlive the reading) and resets
  // every position; no token is read yet.
  void InitializeText(std::u16string_view Text);

  // Reads the next token, stores its code in FToken and returns it.
  virtual char16_t NextToken();

  // Column of the current token on its own line; at the end of the text the
  // column of the last character of the last line (1 on an empty line).
  int32_t GetCol() const;
  char16_t GetToken() const { return FToken; }
  int32_t GetTokenPos() const { return FTokenPos; }
  int32_t GetTokenLine() const { return FTokenLine; }
  int32_t GetLine() const { return FLine; }
  int32_t GetPos() const { return FPos; }

  // The raw text of the current token, quotes included.
  TORVString GetTokenAsLiteral() const;
  // The text of the current token as a value: quotes (and the X of a byte
  // string) removed, doubled quotes made single.
  TORVString GetTokenAsString() const;
  bool TokenIsSymbol() const { return FToken == tkSymbol || FToken == tkQuotedSymbol; }
  bool TokenIsString() const { return FToken == tkString; }
  bool TokenAtEnd() const { return FTokenPos > FLength; }

  // Keyword matching: case-insensitive, trailing blanks ignored. Only an
  // unquoted identifier ever matches a word.
  bool CheckToken(char16_t Token) const { return FToken == Token; }
  bool CheckSymbol(std::u16string_view Word) const;
  bool SkipToken(char16_t Token);
  bool SkipSymbol(std::u16string_view Word);
  // Look one token ahead; the current token and every position are the
  // same afterwards, also when reading the next token raises.
  bool PeekToken(char16_t Token);
  bool PeekSymbol(std::u16string_view Word);
  void ErrorIfNotToken(char16_t Token);
  void ErrorIfNotSymbol(std::u16string_view Word);
  void ErrorIfNotSkipToken(char16_t Token);
  void ErrorIfNotSkipSymbol(std::u16string_view Word);

  // One saved copy of the seven position fields; a second save overwrites
  // the first.
  void SavePosition();
  void RestorePosition();

  // Marks the current token as the start of a piece of source text; marks
  // nest, each paired with one GetLiteralString.
  void MarkLiteral();
  // The text from the matching mark up to (not including) the current
  // token, blanks and comments in between included.
  TORVString GetLiteralString();
  void MarkControlLine() { FControlLine = FLine; }
  int32_t GetControlLine() const { return FControlLine; }

  // Syntax errors; none of them returns. They report the line and column of
  // the current token.
  [[noreturn]] void ExpectedToken(char16_t Token);
  [[noreturn]] void ExpectedExpression(std::u16string_view Expected);
  [[noreturn]] void InvalidExpr(std::u16string_view Reason);
  // Appends Word to a list of alternatives, separated by ", ".
  static void AddExpected(TORVString& List, std::u16string_view Word);
  // Raises the message at Line and Column; must not return.
  [[noreturn]] virtual void ExpressionError(const TORVString& Message, int32_t Line, int32_t Column) = 0;

 protected:
  // The steps of NextToken.
  void SkipBlanks();
  void SkipComments();
  void CheckForLineTermAndIncrement();
  void IncLine();
  void SetTokenPos();
  // Reads from the opening quote at FPos past the closing one. Where
  // Doubled, two quotes in a row stand for one; where not SpansLines, a
  // line break before the closing quote leaves the token unclosed.
  void SkipQuoted(char16_t Quote, bool Doubled, bool SpansLines);
  // Capacity rounded up to a multiple of 16; never shrinks.
  void SetLiteralStackCapacity(int32_t Value);

  // The token text as it stands in the statement.
  std::u16string_view TokenView() const;
  // Character at a 1-based position; the caller has checked the range.
  char16_t CharAt(int32_t Pos) const { return FText[static_cast<std::size_t>(Pos - 1)]; }
  bool AtEnd() const { return FPos > FLength; }

  std::u16string_view FText;
  int32_t FLength = 0;

  char16_t FToken = tkEndOfText;
  int32_t FPos = 1;
  int32_t FTokenPos = 1;
  int32_t FTokenLinePos = 1;
  int32_t FTokenLine = 1;
  int32_t FLiteralTokenPos = 1;
  int32_t FControlLine = 1;
  int32_t FLine = 1;
  int32_t FLinePos = 1;

  char16_t FSaveToken = tkEndOfText;
  int32_t FSavePos = 1;
  int32_t FSaveTokenPos = 1;
  int32_t FSaveTokenLinePos = 1;
  int32_t FSaveTokenLine = 1;
  int32_t FSaveLine = 1;
  int32_t FSaveLinePos = 1;

  std::vector<int32_t> FLiteralStack;
  int32_t FLiteralStackIndex = 0;

 private:
  struct TPosition {
    char16_t Token;
    int32_t Pos, TokenPos, TokenLinePos, TokenLine, Line, LinePos;
  };
  TPosition CurrentPosition() const;
  template <typename TCheck>
  bool PeekWith(TCheck Check);
  void SetPosition(const TPosition& Position);
  // Raises that Closing is missing where the text (or the line) ends inside
  // a token or comment.
  [[noreturn]] void RaiseUnclosed(char16_t Closing);
  // Raises the message at the current token.
  [[noreturn]] void RaiseAtToken(const TORVString& Message);
};

}  // namespace orv
