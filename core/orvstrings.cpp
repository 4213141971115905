#include "core/orvstrings.h"

#include <algorithm>
#include <stdexcept>

#include "core/orvcollation.h"
#include "core/orvstream.h"

namespace orv {

// ---------------------------------------------------------------------------
// TORVStringsList

void TORVStringsList::CheckIndex(int32_t Index) const {
  if (Index < 0 || Index >= GetCount()) throw std::out_of_range("string list index out of range");
}

void TORVStringsList::Grow(std::size_t Count) {
  if (Count <= FStrings.capacity()) return;
  FStrings.reserve(static_cast<std::size_t>(BlockOffset(static_cast<int32_t>(Count), std::max(GetExpandCount(), 1))));
}

const TORVString& TORVStringsList::GetStrings(int32_t Index) const {
  CheckIndex(Index);
  return FStrings[static_cast<std::size_t>(Index)];
}

void TORVStringsList::SetStrings(int32_t Index, const TORVString& Value) {
  CheckIndex(Index);
  FStrings[static_cast<std::size_t>(Index)] = Value;
  StringsModified();
}

void TORVStringsList::Add(const TORVString& Value) {
  Grow(FStrings.size() + 1);
  FStrings.push_back(Value);
  StringsModified();
}

void TORVStringsList::Delete(int32_t Index) {
  CheckIndex(Index);
  FStrings.erase(FStrings.begin() + Index);
  StringsModified();
}

bool TORVStringsList::Remove(const TORVString& Value) {
  const int32_t index = IndexOf(Value);
  if (index < 0) return false;
  Delete(index);
  return true;
}

int32_t TORVStringsList::IndexOf(const TORVString& Value) const {
  for (std::size_t i = 0; i < FStrings.size(); ++i)
    if (CompareStrings(FStrings[i], Value)) return static_cast<int32_t>(i);
  return -1;
}

void TORVStringsList::Clear() {
  FStrings.clear();
  StringsModified();
}

void TORVStringsList::Assign(const TORVStringsList& Source) {
  if (&Source == this) return;
  Assign(Source.FStrings);
}

void TORVStringsList::Assign(const std::vector<TORVString>& Source) {
  std::vector<TORVString> copy(Source);  // Source may alias this list
  FStrings.clear();
  Grow(copy.size());
  for (auto& item : copy) FStrings.push_back(std::move(item));
  StringsModified();
}

void TORVStringsList::AssignTo(std::vector<TORVString>& Dest) const {
  Dest.clear();
  Dest.reserve(FStrings.capacity());
  Dest.insert(Dest.end(), FStrings.begin(), FStrings.end());
}

bool TORVStringsList::CompareStrings(const TORVString& S1, const TORVString& S2) const {
  return SameString(S1, S2);
}

TORVString TORVStringsList::ParseName(const TORVString& S) const {
  const std::size_t pos = S.find(u'=');
  return pos == TORVString::npos ? TORVString() : S.substr(0, pos);
}

TORVString TORVStringsList::ParseValue(const TORVString& S) const {
  const std::size_t pos = S.find(u'=');
  return pos == TORVString::npos ? TORVString() : S.substr(pos + 1);
}

TORVString TORVStringsList::GetName(int32_t Index) const { return ParseName(GetStrings(Index)); }

TORVString TORVStringsList::GetValueFromIndex(int32_t Index) const { return ParseValue(GetStrings(Index)); }

TORVString TORVStringsList::GetValue(const TORVString& Name) const {
  for (const TORVString& item : FStrings)
    if (CompareStrings(ParseName(item), Name)) return ParseValue(item);
  return {};
}

void TORVStringsList::SetValue(const TORVString& Name, const TORVString& Value) {
  for (TORVString& item : FStrings) {
    TORVString name = ParseName(item);
    if (CompareStrings(name, Name)) {
      item = name + u"=" + Value;
      StringsModified();
      return;
    }
  }
}

TORVString TORVStringsList::GetText() const { return StringsArrayToString(FStrings, GetCount()); }

TORVString TORVStringsList::GetCommaText() const {
  TORVString result;
  for (std::size_t i = 0; i < FStrings.size(); ++i) {
    if (i > 0) result.push_back(u',');
    result += QuotedString(FStrings[i], u'"');
  }
  return result;
}

void TORVStringsList::SetCommaText(const TORVString& Value) {
  std::vector<TORVString> items;
  const std::size_t length = Value.size();
  std::size_t pos = 0;
  while (pos < length) {
    TORVString item;
    if (Value[pos] == u'"') {
      // Runs to the next double quote that is not one of a doubled pair.
      std::size_t end = pos + 1;
      while (end < length) {
        if (Value[end] == u'"') {
          if (end + 1 < length && Value[end + 1] == u'"') {
            end += 2;
            continue;
          }
          break;
        }
        ++end;
      }
      item = Value.substr(pos + 1, end - pos - 1);
      pos = end + 1;  // past the closing quote (or the end)
      if (pos < length && Value[pos] == u',') ++pos;
    } else {
      std::size_t end = Value.find(u',', pos);
      if (end == TORVString::npos) end = length;
      item = Value.substr(pos, end - pos);
      pos = end + 1;
    }
    items.push_back(ConvertQuotes(u'"', item));
  }
  Assign(items);
}

TORVString TORVStringsList::GetCommaString(const TORVString& Value) const {
  bool quote = false;
  for (char16_t c : Value)
    if (c == u'"' || c == u',' || c <= 32) {
      quote = true;
      break;
    }
  TORVString expanded = ExpandQuotes(u'"', Value);
  return quote ? u"\"" + expanded + u"\"" : expanded;
}

void TORVStringsList::Save(TORVMemoryStream& Stream) const {
  Stream.WriteInteger(GetCount());
  for (const TORVString& item : FStrings) Stream.WriteString(item, 0, false, 0);
}

void TORVStringsList::Load(TORVMemoryStream& Stream) {
  std::vector<TORVString> items;
  const int32_t count = Stream.ReadInteger();
  for (int32_t i = 0; i < count; ++i) {
    // Every string has at least its count prefix; a stream that ends early
    // or cannot hold strings gives no further items.
    const int64_t before = Stream.GetPosition();
    if (Stream.GetAvailable() < 4) break;
    TORVString item;
    Stream.ReadString(item, false, 0);
    if (Stream.GetPosition() == before) break;
    items.push_back(std::move(item));
  }
  Assign(items);
}

// ---------------------------------------------------------------------------
// Lengths, positions and comparisons

int32_t TrimmedStringLength(std::u16string_view S) {
  return TrimmedStringLength(S.data(), static_cast<int32_t>(S.size()));
}

namespace {

template <typename TChar>
int32_t TrimmedLength(const TChar* S, int32_t Length) {
  while (Length > 0 && S[Length - 1] == 32) --Length;
  return Length;
}

}  // namespace

int32_t TrimmedStringLength(const uint8_t* S, int32_t Length) { return TrimmedLength(S, Length); }

int32_t TrimmedStringLength(const char16_t* S, int32_t Length) { return TrimmedLength(S, Length); }

int32_t StringPos(std::u16string_view SubStr, std::u16string_view S) {
  if (SubStr.empty()) return 0;
  const std::size_t pos = S.find(SubStr);
  return pos == std::u16string_view::npos ? 0 : static_cast<int32_t>(pos) + 1;
}

int32_t RPos(std::u16string_view SubStr, std::u16string_view S) {
  if (SubStr.empty()) return 0;
  const std::size_t pos = S.rfind(SubStr);
  return pos == std::u16string_view::npos ? 0 : static_cast<int32_t>(pos) + 1;
}

bool SameString(std::u16string_view S1, std::u16string_view S2) { return CompareStringsOrdinal(S1, S2, 0, true) == 0; }

bool SameStringSensitive(std::u16string_view S1, std::u16string_view S2) {
  return CompareStringsOrdinal(S1, S2, 0, false) == 0;
}

int32_t CompareString(std::u16string_view S1, std::u16string_view S2) { return CompareStringsOrdinal(S1, S2, 0, true); }

int32_t CompareStringSensitive(std::u16string_view S1, std::u16string_view S2) {
  return CompareStringsOrdinal(S1, S2, 0, false);
}

// ---------------------------------------------------------------------------
// Quoting

TORVString QuotedString(std::u16string_view S, char16_t QuoteChar) {
  TORVString result(1, QuoteChar);
  result += ExpandQuotes(QuoteChar, S);
  result.push_back(QuoteChar);
  return result;
}

TORVString ExpandQuotes(char16_t QuoteChar, std::u16string_view S) {
  TORVString result;
  result.reserve(S.size() + 2);
  for (char16_t c : S) {
    result.push_back(c);
    if (c == QuoteChar) result.push_back(c);
  }
  return result;
}

TORVString ConvertQuotes(char16_t QuoteChar, std::u16string_view S) {
  // Each doubled quote becomes one: a run of three leaves two.
  TORVString result;
  result.reserve(S.size());
  for (std::size_t i = 0; i < S.size(); ++i) {
    result.push_back(S[i]);
    if (S[i] == QuoteChar && i + 1 < S.size() && S[i + 1] == QuoteChar) ++i;
  }
  return result;
}

TORVString ConvertToLiteral(std::u16string_view S) {
  TORVString result(1, u'\'');
  for (char16_t c : S) {
    if (c == u'\'') {
      result += u"''";
    } else if (c < 32 && c != 10 && c != 13) {
      result += u"'+#";
      for (char ch : std::to_string(static_cast<int>(c))) result.push_back(static_cast<char16_t>(ch));
      result += u"+'";
    } else {
      result.push_back(c);
    }
  }
  result.push_back(u'\'');
  return result;
}

TORVString EscapeXMLString(std::u16string_view S) {
  TORVString result;
  result.reserve(S.size());
  for (char16_t c : S) {
    switch (c) {
      case u'"': result += u"&quot;"; break;
      case u'&': result += u"&amp;"; break;
      case u'\'': result += u"&apos;"; break;
      case u'<': result += u"&lt;"; break;
      case u'>': result += u"&gt;"; break;
      default: result.push_back(c);
    }
  }
  return result;
}

TORVString UnEscapeXMLString(std::u16string_view S) {
  struct TEntity {
    std::u16string_view Name;
    char16_t Char;
  };
  static constexpr TEntity entities[] = {
      {u"amp", u'&'}, {u"apos", u'\''}, {u"gt", u'>'}, {u"lt", u'<'}, {u"quot", u'"'}};
  TORVString result;
  result.reserve(S.size());
  std::size_t i = 0;
  while (i < S.size()) {
    if (S[i] == u'&') {
      bool replaced = false;
      for (const TEntity& entity : entities) {
        if (S.substr(i + 1, entity.Name.size()) == entity.Name) {
          result.push_back(entity.Char);
          // The entity and the one character after it (its semicolon).
          i = std::min(S.size(), i + 1 + entity.Name.size() + 1);
          replaced = true;
          break;
        }
      }
      if (replaced) continue;
    }
    result.push_back(S[i]);
    ++i;
  }
  return result;
}

// ---------------------------------------------------------------------------
// Case, building and replacing

TORVString UpperCaseString(std::u16string_view S) { return UpperString(0, S); }

TORVString ProperCaseString(std::u16string_view S) {
  const char16_t* map = UpperCharMap();
  const TORVCharSet& spaces = SpaceChars();
  TORVString result(S);
  for (std::size_t i = 0; i < result.size(); ++i)
    if (i == 0 || spaces.CharInSet(S[i - 1])) result[i] = map[result[i]];
  return result;
}

void AppendString(std::u16string_view Value, TORVString& Builder, std::u16string_view Separator) {
  if (!Builder.empty()) Builder += Separator;
  Builder += Value;
}

TORVString ReplaceString(std::u16string_view S, std::u16string_view OldPattern, std::u16string_view NewPattern,
                         bool IgnoreCase) {
  if (OldPattern.empty()) return TORVString(S);
  // Case maps keep lengths, so positions found in the mapped text hold in S.
  TORVString mappedText, mappedPattern;
  std::u16string_view text = S, pattern = OldPattern;
  if (IgnoreCase) {
    mappedText = UpperStringOrdinal(S);
    mappedPattern = UpperStringOrdinal(OldPattern);
    text = mappedText;
    pattern = mappedPattern;
  }
  TORVString result;
  std::size_t start = 0;
  for (;;) {
    const std::size_t pos = text.find(pattern, start);
    if (pos == std::u16string_view::npos) break;
    result += S.substr(start, pos - start);
    result += NewPattern;
    start = pos + pattern.size();
  }
  result += S.substr(start);
  return result;
}

TORVString ReplaceWord(std::u16string_view S, std::u16string_view Word, int32_t Position,
                       std::u16string_view NewWord) {
  TORVString result(S);
  if (Position < 1 || static_cast<std::size_t>(Position) > result.size() + 1) return result;
  const std::size_t at = static_cast<std::size_t>(Position) - 1;
  result.erase(at, Word.size());
  result.insert(at, NewWord);
  return result;
}

// ---------------------------------------------------------------------------
// Padding and trimming

TORVString PadL(std::u16string_view S, int32_t Width, char16_t PadChar) {
  const std::size_t width = static_cast<std::size_t>(std::max(Width, 0));
  if (S.size() >= width) return TORVString(S.substr(0, width));
  return TORVString(width - S.size(), PadChar) + TORVString(S);
}

TORVString PadInteger(std::u16string_view S, int32_t Width) {
  const std::size_t width = static_cast<std::size_t>(std::max(Width, 0));
  if (S.size() >= width) return TORVString(S);
  return TORVString(width - S.size(), u'0') + TORVString(S);
}

TORVString PadDecimal(std::u16string_view S, int32_t Decimals, char16_t Separator) {
  TORVString result(S);
  std::size_t pos = result.rfind(Separator);
  if (pos == TORVString::npos) {
    result.push_back(Separator);
    pos = result.size() - 1;
  }
  const std::size_t wanted = static_cast<std::size_t>(std::max(Decimals, 0));
  const std::size_t have = result.size() - pos - 1;
  if (have < wanted) result.append(wanted - have, u'0');
  return result;
}

TORVString RCopy(std::u16string_view S, int32_t Count) {
  const std::size_t count = std::min(S.size(), static_cast<std::size_t>(std::max(Count, 0)));
  return TORVString(S.substr(S.size() - count));
}

TORVString LTrimString(std::u16string_view S, char16_t Char) {
  std::size_t i = 0;
  while (i < S.size() && S[i] == Char) ++i;
  return TORVString(S.substr(i));
}

TORVString RTrimString(std::u16string_view S, char16_t Char) {
  std::size_t n = S.size();
  while (n > 0 && S[n - 1] == Char) --n;
  return TORVString(S.substr(0, n));
}

TORVString AllTrimString(std::u16string_view S, char16_t Char) { return RTrimString(LTrimString(S, Char), Char); }

TORVString LTrimString(std::u16string_view S, std::u16string_view SubStr) {
  if (SubStr.empty()) return TORVString(S);
  while (S.substr(0, SubStr.size()) == SubStr) S.remove_prefix(SubStr.size());
  return TORVString(S);
}

TORVString RTrimString(std::u16string_view S, std::u16string_view SubStr) {
  if (SubStr.empty()) return TORVString(S);
  while (S.size() >= SubStr.size() && S.substr(S.size() - SubStr.size()) == SubStr)
    S.remove_suffix(SubStr.size());
  return TORVString(S);
}

TORVString AllTrimString(std::u16string_view S, std::u16string_view SubStr) {
  return RTrimString(LTrimString(S, SubStr), SubStr);
}

TORVString TrimString(std::u16string_view S) {
  std::u16string_view t = S;
  while (!t.empty() && t.front() == u' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == u' ') t.remove_suffix(1);
  while (t.substr(0, 2) == u"\r\n") t.remove_prefix(2);
  while (t.size() >= 2 && t.substr(t.size() - 2) == u"\r\n") t.remove_suffix(2);
  return TORVString(t);
}

TORVString TrimInteger(std::u16string_view S) {
  std::size_t i = 0;
  while (i + 1 < S.size() && S[i] == u'0') ++i;
  return TORVString(S.substr(i));
}

TORVString Replicate(std::u16string_view S, int32_t Count) {
  TORVString result;
  if (Count <= 0) return result;
  result.reserve(S.size() * static_cast<std::size_t>(Count));
  for (int32_t i = 0; i < Count; ++i) result += S;
  return result;
}

// ---------------------------------------------------------------------------
// Wrapping, counting and extracting

TORVString WrapString(std::u16string_view S, std::u16string_view LineBreak, std::u16string_view BreakChars,
                      int32_t MaxLineLength, bool ForceBreak) {
  TORVString result;
  result.reserve(S.size() + S.size() / 16 + LineBreak.size());
  int32_t lineLength = 0;
  bool haveBreak = false;
  std::size_t breakPos = 0;  // position of the remembered break character in result
  for (char16_t c : S) {
    if (c == 10 || c == 13) lineLength = 0;
    const std::size_t current = result.size();  // where c goes
    if (BreakChars.find(c) != std::u16string_view::npos) {
      haveBreak = true;
      breakPos = current;
    }
    if (lineLength >= MaxLineLength && (haveBreak || ForceBreak)) {
      if (haveBreak && breakPos != current) {
        result.push_back(c);
        result.replace(breakPos, 1, LineBreak);
        lineLength = static_cast<int32_t>(current - breakPos);
      } else if (haveBreak && !ForceBreak) {
        result += LineBreak;  // the break character gives way to the line break
        lineLength = 0;
      } else {
        result.push_back(c);
        result += LineBreak;
        lineLength = 0;
      }
      haveBreak = false;
    } else {
      result.push_back(c);
    }
    ++lineLength;
  }
  return result;
}

int32_t Occurs(std::u16string_view SubStr, std::u16string_view S) {
  if (SubStr.empty()) return 0;
  int32_t count = 0;
  std::size_t pos = S.find(SubStr);
  while (pos != std::u16string_view::npos) {
    ++count;
    pos = S.find(SubStr, pos + SubStr.size());
  }
  return count;
}

TORVString Extract(TORVString& S, std::u16string_view Delimiter) {
  const std::size_t pos = Delimiter.empty() ? TORVString::npos : S.find(Delimiter);
  TORVString result;
  if (pos == TORVString::npos) {
    result.swap(S);
    return result;
  }
  result = S.substr(0, pos);
  S.erase(0, pos + Delimiter.size());
  return result;
}

}  // namespace orv
