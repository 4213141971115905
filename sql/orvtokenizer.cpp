#include "sql/orvtokenizer.h"

#include <algorithm>

#include "base/orverrors.h"
#include "base/orverror.h"
#include "core/orvstrings.h"
#include "core/orvwords.h"
#include "sql/orvcompiledexpr.h"

namespace orv {

void TORVExprTokenizer::InitializeText(std::u16string_view Text) {
  FText = Text;
  FLength = static_cast<int32_t>(Text.size());
  FToken = tkEndOfText;
  FPos = FTokenPos = FTokenLinePos = FTokenLine = FLine = FLinePos = 1;
  FLiteralTokenPos = 1;
  FControlLine = 1;
  FLiteralStackIndex = 0;
  SetLiteralStackCapacity(16);
}

// ---------------------------------------------------------------------------
// Reading

void TORVExprTokenizer::IncLine() {
  ++FLine;
  FLinePos = FPos;
}

void TORVExprTokenizer::CheckForLineTermAndIncrement() {
  const char16_t ch = CharAt(FPos);
  ++FPos;
  if (ch == 10) {
    IncLine();
  } else if (ch == 13) {
    // CR LF is one line break, a lone CR another.
    if (!AtEnd() && CharAt(FPos) == 10) ++FPos;
    IncLine();
  }
}

void TORVExprTokenizer::SetTokenPos() {
  FTokenPos = FPos;
  FTokenLinePos = FLinePos;
  FTokenLine = FLine;
}

void TORVExprTokenizer::SkipBlanks() {
  while (!AtEnd() && IsNonPrintable(CharAt(FPos))) CheckForLineTermAndIncrement();
}

void TORVExprTokenizer::SkipComments() {
  for (;;) {
    SkipBlanks();
    if (FPos + 1 > FLength) return;
    if (CharAt(FPos) == u'-' && CharAt(FPos + 1) == u'-') {
      FPos += 2;
      while (!AtEnd() && !IsLineFeed(CharAt(FPos))) ++FPos;
    } else if (CharAt(FPos) == u'/' && CharAt(FPos + 1) == u'*') {
      FPos += 2;
      for (;;) {
        if (AtEnd()) RaiseUnclosed(u'/');
        if (CharAt(FPos) == u'*' && FPos + 1 <= FLength && CharAt(FPos + 1) == u'/') {
          FPos += 2;
          break;
        }
        CheckForLineTermAndIncrement();
      }
    } else {
      return;
    }
  }
}

void TORVExprTokenizer::SkipQuoted(char16_t Quote, bool Doubled, bool SpansLines) {
  ++FPos;
  for (;;) {
    if (AtEnd() || (!SpansLines && IsLineFeed(CharAt(FPos)))) RaiseUnclosed(Quote);
    if (CharAt(FPos) != Quote) {
      CheckForLineTermAndIncrement();
    } else if (Doubled && FPos + 1 <= FLength && CharAt(FPos + 1) == Quote) {
      FPos += 2;
    } else {
      ++FPos;
      return;
    }
  }
}

void TORVExprTokenizer::RaiseUnclosed(char16_t Closing) {
  SetTokenPos();
  FToken = tkEndOfText;
  ExpectedToken(Closing);
}

char16_t TORVExprTokenizer::NextToken() {
  SkipComments();
  SetTokenPos();
  if (AtEnd()) {
    FToken = tkEndOfText;
    return FToken;
  }
  const char16_t ch = CharAt(FPos);
  if (IsAlpha(ch)) {
    if ((ch == u'X' || ch == u'x') && FPos + 1 <= FLength && CharAt(FPos + 1) == u'\'') {
      // A byte string. The token starts at the X, so that text cut from
      // token starts (stored defaults, select items) keeps the prefix.
      ++FPos;
      SkipQuoted(u'\'', false, true);
      FToken = tkBytes;
    } else {
      ++FPos;
      while (!AtEnd() && IsAlphaNumeric(CharAt(FPos))) ++FPos;
      FToken = tkSymbol;
    }
  } else if (ch == u'#') {
    ++FPos;
    while (!AtEnd() && IsNumeric(CharAt(FPos))) ++FPos;
    FToken = tkCharCode;
  } else if (ch == u'\'') {
    SkipQuoted(u'\'', true, true);
    FToken = tkString;
  } else if (ch == u'"') {
    // A quoted identifier never spans lines.
    SkipQuoted(u'"', true, false);
    FToken = tkQuotedSymbol;
  } else if (IsNumeric(ch)) {
    ++FPos;
    while (!AtEnd() && IsNumeric(CharAt(FPos))) ++FPos;
    FToken = tkInteger;
    // Several points are taken here (1.2.3 is one token); the conversion of
    // the value rejects them.
    while (!AtEnd()) {
      const char16_t next = CharAt(FPos);
      if (IsNumeric(next) || next == u'.' || IsExponent(next) ||
          (IsSign(next) && IsExponent(CharAt(FPos - 1)))) {
        ++FPos;
        FToken = tkFloat;
      } else {
        break;
      }
    }
  } else if (ch == u'.' && FPos + 1 <= FLength && IsNumeric(CharAt(FPos + 1))) {
    ++FPos;
    FToken = tkFloat;
    while (!AtEnd()) {
      const char16_t next = CharAt(FPos);
      if (IsNumeric(next) || IsExponent(next) || (IsSign(next) && IsExponent(CharAt(FPos - 1)))) {
        ++FPos;
      } else {
        break;
      }
    }
  } else {
    ++FPos;
    FToken = ch;
  }
  return FToken;
}

// ---------------------------------------------------------------------------
// The current token

int32_t TORVExprTokenizer::GetCol() const {
  if (FTokenPos <= FLength) return FTokenPos - FTokenLinePos + 1;
  if (FTokenLinePos > FLength) return 1;
  return FLength - FTokenLinePos + 1;
}

std::u16string_view TORVExprTokenizer::TokenView() const {
  if (FTokenPos > FLength) return {};
  const int32_t stop = std::min(FPos, FLength + 1);
  if (stop <= FTokenPos) return {};
  return FText.substr(static_cast<std::size_t>(FTokenPos - 1), static_cast<std::size_t>(stop - FTokenPos));
}

TORVString TORVExprTokenizer::GetTokenAsLiteral() const { return TORVString(TokenView()); }

TORVString TORVExprTokenizer::GetTokenAsString() const {
  std::u16string_view text = TokenView();
  switch (FToken) {
    case tkString:
      if (text.size() >= 2) text = text.substr(1, text.size() - 2);
      return ConvertQuotes(u'\'', text);
    case tkQuotedSymbol:
      if (text.size() >= 2) text = text.substr(1, text.size() - 2);
      return ConvertQuotes(u'"', ConvertQuotes(u'\'', text));
    case tkBytes:
      // X'...': the value lies between the quotes.
      if (text.size() >= 3) text = text.substr(2, text.size() - 3);
      return TORVString(text);
    default:
      // No other token holds a quote: names (read for every keyword test
      // of the grammar) are copied without a search for doubled quotes.
      return TORVString(text);
  }
}

bool TORVExprTokenizer::CheckSymbol(std::u16string_view Word) const {
  return FToken == tkSymbol && SameString(TokenView(), Word);
}

bool TORVExprTokenizer::SkipToken(char16_t Token) {
  if (!CheckToken(Token)) return false;
  NextToken();
  return true;
}

bool TORVExprTokenizer::SkipSymbol(std::u16string_view Word) {
  if (!CheckSymbol(Word)) return false;
  NextToken();
  return true;
}

// The look-ahead keeps its own copy of the position, so that it never
// disturbs a position a grammar routine has saved.
TORVExprTokenizer::TPosition TORVExprTokenizer::CurrentPosition() const {
  return TPosition{FToken, FPos, FTokenPos, FTokenLinePos, FTokenLine, FLine, FLinePos};
}

void TORVExprTokenizer::SetPosition(const TPosition& Position) {
  FToken = Position.Token;
  FPos = Position.Pos;
  FTokenPos = Position.TokenPos;
  FTokenLinePos = Position.TokenLinePos;
  FTokenLine = Position.TokenLine;
  FLine = Position.Line;
  FLinePos = Position.LinePos;
}

// Reads the next token, asks Check of it and puts the position back, also
// when reading the token raises.
template <typename TCheck>
bool TORVExprTokenizer::PeekWith(TCheck Check) {
  const TPosition saved = CurrentPosition();
  bool result = false;
  try {
    NextToken();
    result = Check();
  } catch (...) {
    SetPosition(saved);
    throw;
  }
  SetPosition(saved);
  return result;
}

bool TORVExprTokenizer::PeekToken(char16_t Token) {
  return PeekWith([&] { return CheckToken(Token); });
}

bool TORVExprTokenizer::PeekSymbol(std::u16string_view Word) {
  return PeekWith([&] { return CheckSymbol(Word); });
}

void TORVExprTokenizer::ErrorIfNotToken(char16_t Token) {
  if (!CheckToken(Token)) ExpectedToken(Token);
}

void TORVExprTokenizer::ErrorIfNotSymbol(std::u16string_view Word) {
  if (!CheckSymbol(Word)) ExpectedExpression(Word);
}

void TORVExprTokenizer::ErrorIfNotSkipToken(char16_t Token) {
  ErrorIfNotToken(Token);
  NextToken();
}

void TORVExprTokenizer::ErrorIfNotSkipSymbol(std::u16string_view Word) {
  ErrorIfNotSymbol(Word);
  NextToken();
}

// ---------------------------------------------------------------------------
// Positions and source text

void TORVExprTokenizer::SavePosition() {
  FSaveToken = FToken;
  FSavePos = FPos;
  FSaveTokenPos = FTokenPos;
  FSaveTokenLinePos = FTokenLinePos;
  FSaveTokenLine = FTokenLine;
  FSaveLine = FLine;
  FSaveLinePos = FLinePos;
}

void TORVExprTokenizer::RestorePosition() {
  FToken = FSaveToken;
  FPos = FSavePos;
  FTokenPos = FSaveTokenPos;
  FTokenLinePos = FSaveTokenLinePos;
  FTokenLine = FSaveTokenLine;
  FLine = FSaveLine;
  FLinePos = FSaveLinePos;
}

void TORVExprTokenizer::SetLiteralStackCapacity(int32_t Value) {
  const int32_t rounded = (std::max(Value, 0) + 15) / 16 * 16;
  if (rounded > static_cast<int32_t>(FLiteralStack.size())) FLiteralStack.resize(static_cast<std::size_t>(rounded));
}

void TORVExprTokenizer::MarkLiteral() {
  if (FLiteralStackIndex >= static_cast<int32_t>(FLiteralStack.size()))
    SetLiteralStackCapacity(static_cast<int32_t>(FLiteralStack.size()) + 16);
  FLiteralStack[static_cast<std::size_t>(FLiteralStackIndex++)] = FLiteralTokenPos;
  FLiteralTokenPos = FTokenPos;
}

TORVString TORVExprTokenizer::GetLiteralString() {
  const int32_t start = std::clamp(FLiteralTokenPos, 1, FLength + 1);
  const int32_t stop = std::clamp(FTokenPos, start, FLength + 1);
  TORVString result(FText.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(stop - start)));
  // An unpaired call leaves the mark where it was rather than reading
  // below the stack.
  if (FLiteralStackIndex > 0) FLiteralTokenPos = FLiteralStack[static_cast<std::size_t>(--FLiteralStackIndex)];
  return result;
}

// ---------------------------------------------------------------------------
// Errors

void TORVExprTokenizer::RaiseAtToken(const TORVString& Message) {
  // The token's own line goes with its column: a token that spans lines
  // (a string constant) must not be reported at the line where it ends.
  ExpressionError(Message, FTokenLine, GetCol());
  // An error routine that returns must not let reading go on.
  throw EORVException(ORV_SQL_ERROR.Code, Message, FTokenLine, GetCol());
}

void TORVExprTokenizer::ExpectedToken(char16_t Token) {
  const TORVString expected(1, Token);
  if (!TokenAtEnd() && !IsLineFeed(CharAt(FTokenPos)))
    RaiseAtToken(FormatString(TORVString(SQL_EXPECTED_FOUND), {expected, GetTokenAsLiteral()}));
  RaiseAtToken(FormatString(TORVString(SQL_MISSING), {expected}));
}

void TORVExprTokenizer::ExpectedExpression(std::u16string_view Expected) {
  if (TokenAtEnd()) RaiseAtToken(FormatString(TORVString(SQL_MISSING), {TORVString(Expected)}));
  RaiseAtToken(FormatString(TORVString(SQL_EXPECTED_FOUND), {TORVString(Expected), GetTokenAsLiteral()}));
}

void TORVExprTokenizer::InvalidExpr(std::u16string_view Reason) {
  RaiseAtToken(FormatString(TORVString(SQL_INVALID_EXPR), {GetTokenAsLiteral(), TORVString(Reason)}));
}

void TORVExprTokenizer::AddExpected(TORVString& List, std::u16string_view Word) {
  if (!List.empty()) List += u", ";
  List += Word;
}

}  // namespace orv
