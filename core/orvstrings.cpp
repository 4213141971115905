#include "core/orvstrings.h"

#include <algorithm>
#include <stdexcept>

#include "core/orvcollation.h"
#include "core/orvstream.h"

namespace orv {

// ---------------------------------------------------------------------------
// TORVStringsList

void TORVStringsList::CheckIndex(int32_t Index) const {
  // Indexes come from the engine's own code, never unchecked from input:
  // one outside the list is a broken internal contract.
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
  const int32_t Index = IndexOf(Value);
  if (Index < 0) return false;
  Delete(Index);
  return true;
}

int32_t TORVStringsList::IndexOf(const TORVString& Value) const {
  for (std::size_t I = 0; I < FStrings.size(); ++I)
    if (CompareStrings(FStrings[I], Value)) return static_cast<int32_t>(I);
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
  std::vector<TORVString> Copy(Source);  // Source may alias this list
  FStrings.clear();
  Grow(Copy.size());
  for (auto& Item : Copy) FStrings.push_back(std::move(Item));
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
  const std::size_t Pos = S.find(u'=');
  return Pos == TORVString::npos ? TORVString() : S.substr(0, Pos);
}

TORVString TORVStringsList::ParseValue(const TORVString& S) const {
  const std::size_t Pos = S.find(u'=');
  return Pos == TORVString::npos ? TORVString() : S.substr(Pos + 1);
}

TORVString TORVStringsList::GetName(int32_t Index) const { return ParseName(GetStrings(Index)); }

TORVString TORVStringsList::GetValueFromIndex(int32_t Index) const { return ParseValue(GetStrings(Index)); }

TORVString TORVStringsList::GetValue(const TORVString& Name) const {
  for (const TORVString& Item : FStrings)
    if (CompareStrings(ParseName(Item), Name)) return ParseValue(Item);
  return {};
}

void TORVStringsList::SetValue(const TORVString& Name, const TORVString& Value) {
  for (TORVString& Item : FStrings) {
    TORVString ItemName = ParseName(Item);
    if (CompareStrings(ItemName, Name)) {
      Item = ItemName + u"=" + Value;
      StringsModified();
      return;
    }
  }
}

TORVString TORVStringsList::GetText() const { return StringsArrayToString(FStrings, GetCount()); }

TORVString TORVStringsList::GetCommaText() const {
  TORVString Result;
  for (std::size_t I = 0; I < FStrings.size(); ++I) {
    if (I > 0) Result.push_back(u',');
    Result += QuotedString(FStrings[I], u'"');
  }
  return Result;
}

void TORVStringsList::SetCommaText(const TORVString& Value) {
  std::vector<TORVString> Items;
  const std::size_t Length = Value.size();
  std::size_t Pos = 0;
  while (Pos < Length) {
    TORVString Item;
    if (Value[Pos] == u'"') {
      // Runs to the next double quote that is not one of a doubled pair.
      std::size_t End = Pos + 1;
      while (End < Length) {
        if (Value[End] == u'"') {
          if (End + 1 < Length && Value[End + 1] == u'"') {
            End += 2;
            continue;
          }
          break;
        }
        ++End;
      }
      Item = Value.substr(Pos + 1, End - Pos - 1);
      Pos = End + 1;  // past the closing quote (or the end)
      if (Pos < Length && Value[Pos] == u',') ++Pos;
    } else {
      std::size_t End = Value.find(u',', Pos);
      if (End == TORVString::npos) End = Length;
      Item = Value.substr(Pos, End - Pos);
      Pos = End + 1;
    }
    Items.push_back(ConvertQuotes(u'"', Item));
  }
  Assign(Items);
}

TORVString TORVStringsList::GetCommaString(const TORVString& Value) const {
  bool Quote = false;
  for (char16_t C : Value)
    if (C == u'"' || C == u',' || C <= 32) {
      Quote = true;
      break;
    }
  TORVString Expanded = ExpandQuotes(u'"', Value);
  return Quote ? u"\"" + Expanded + u"\"" : Expanded;
}

void TORVStringsList::Save(TORVMemoryStream& Stream) const {
  Stream.WriteInteger(GetCount());
  for (const TORVString& Item : FStrings) Stream.WriteString(Item, 0, false, 0);
}

void TORVStringsList::Load(TORVMemoryStream& Stream) {
  std::vector<TORVString> Items;
  const int32_t Count = Stream.ReadInteger();
  for (int32_t I = 0; I < Count; ++I) {
    // Every string has at least its count prefix; a stream that ends early
    // or cannot hold strings gives no further items.
    const int64_t Before = Stream.GetPosition();
    if (Stream.GetAvailable() < 4) break;
    TORVString Item;
    Stream.ReadString(Item, false, 0);
    if (Stream.GetPosition() == Before) break;
    Items.push_back(std::move(Item));
  }
  Assign(Items);
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
  const std::size_t Pos = S.find(SubStr);
  return Pos == std::u16string_view::npos ? 0 : static_cast<int32_t>(Pos) + 1;
}

int32_t RPos(std::u16string_view SubStr, std::u16string_view S) {
  if (SubStr.empty()) return 0;
  const std::size_t Pos = S.rfind(SubStr);
  return Pos == std::u16string_view::npos ? 0 : static_cast<int32_t>(Pos) + 1;
}

bool SameString(std::u16string_view S1, std::u16string_view S2) {
  // Case mapping keeps every unit in its place, so texts of other lengths
  // (without their trailing blanks) never match: most names that a look-up
  // passes over are told apart here without mapping a character.
  const int32_t Length = TrimmedStringLength(S1);
  if (Length != TrimmedStringLength(S2)) return false;
  // Equal units map equally, and a unit outside a surrogate pair maps through
  // the table alone; a pair maps as a whole, so a difference next to a
  // surrogate is left to the full comparison.
  const char16_t* Map = UnicodeUpperCharMap();
  for (int32_t I = 0; I < Length; ++I) {
    const char16_t C1 = S1[static_cast<std::size_t>(I)];
    const char16_t C2 = S2[static_cast<std::size_t>(I)];
    if (C1 == C2) continue;
    if (IsSurrogate(C1) || IsSurrogate(C2)) return CompareStringsOrdinal(S1, S2, 0, true) == 0;
    if (Map[C1] != Map[C2]) return false;
  }
  return true;
}

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
  TORVString Result(1, QuoteChar);
  Result += ExpandQuotes(QuoteChar, S);
  Result.push_back(QuoteChar);
  return Result;
}

TORVString ExpandQuotes(char16_t QuoteChar, std::u16string_view S) {
  TORVString Result;
  Result.reserve(S.size() + 2);
  for (char16_t C : S) {
    Result.push_back(C);
    if (C == QuoteChar) Result.push_back(C);
  }
  return Result;
}

TORVString ConvertQuotes(char16_t QuoteChar, std::u16string_view S) {
  // Each doubled quote becomes one: a run of three leaves two.
  TORVString Result;
  Result.reserve(S.size());
  for (std::size_t I = 0; I < S.size(); ++I) {
    Result.push_back(S[I]);
    if (S[I] == QuoteChar && I + 1 < S.size() && S[I + 1] == QuoteChar) ++I;
  }
  return Result;
}

TORVString ConvertToLiteral(std::u16string_view S) {
  TORVString Result(1, u'\'');
  for (char16_t C : S) {
    if (C == u'\'') {
      Result += u"''";
    } else if (C < 32 && C != 10 && C != 13) {
      Result += u"'+#";
      for (char Ch : std::to_string(static_cast<int>(C))) Result.push_back(static_cast<char16_t>(Ch));
      Result += u"+'";
    } else {
      Result.push_back(C);
    }
  }
  Result.push_back(u'\'');
  return Result;
}

TORVString EscapeXMLString(std::u16string_view S) {
  TORVString Result;
  Result.reserve(S.size());
  for (char16_t C : S) {
    switch (C) {
      case u'"': Result += u"&quot;"; break;
      case u'&': Result += u"&amp;"; break;
      case u'\'': Result += u"&apos;"; break;
      case u'<': Result += u"&lt;"; break;
      case u'>': Result += u"&gt;"; break;
      default: Result.push_back(C);
    }
  }
  return Result;
}

TORVString UnEscapeXMLString(std::u16string_view S) {
  struct TEntity {
    std::u16string_view Name;
    char16_t Char;
  };
  static constexpr TEntity Entities[] = {
      {u"amp", u'&'}, {u"apos", u'\''}, {u"gt", u'>'}, {u"lt", u'<'}, {u"quot", u'"'}};
  TORVString Result;
  Result.reserve(S.size());
  std::size_t I = 0;
  while (I < S.size()) {
    if (S[I] == u'&') {
      bool Replaced = false;
      for (const TEntity& Entity : Entities) {
        if (S.substr(I + 1, Entity.Name.size()) == Entity.Name) {
          Result.push_back(Entity.Char);
          // The entity and the one character after it (its semicolon).
          I = std::min(S.size(), I + 1 + Entity.Name.size() + 1);
          Replaced = true;
          break;
        }
      }
      if (Replaced) continue;
    }
    Result.push_back(S[I]);
    ++I;
  }
  return Result;
}

// ---------------------------------------------------------------------------
// Case, building and replacing

TORVString UpperCaseString(std::u16string_view S) { return UpperString(0, S); }

TORVString ProperCaseString(std::u16string_view S) {
  const char16_t* Map = UpperCharMap();
  const TORVCharSet& Spaces = SpaceChars();
  TORVString Result(S);
  for (std::size_t I = 0; I < Result.size(); ++I)
    if (I == 0 || Spaces.CharInSet(S[I - 1])) Result[I] = Map[Result[I]];
  return Result;
}

void AppendString(std::u16string_view Value, TORVString& Builder, std::u16string_view Separator) {
  if (!Builder.empty()) Builder += Separator;
  Builder += Value;
}

TORVString ReplaceString(std::u16string_view S, std::u16string_view OldPattern, std::u16string_view NewPattern,
                         bool IgnoreCase) {
  if (OldPattern.empty()) return TORVString(S);
  // Case maps keep lengths, so positions found in the mapped text hold in S.
  TORVString MappedText, MappedPattern;
  std::u16string_view Text = S, Pattern = OldPattern;
  if (IgnoreCase) {
    MappedText = UpperStringOrdinal(S);
    MappedPattern = UpperStringOrdinal(OldPattern);
    Text = MappedText;
    Pattern = MappedPattern;
  }
  TORVString Result;
  std::size_t Start = 0;
  for (;;) {
    const std::size_t Pos = Text.find(Pattern, Start);
    if (Pos == std::u16string_view::npos) break;
    Result += S.substr(Start, Pos - Start);
    Result += NewPattern;
    Start = Pos + Pattern.size();
  }
  Result += S.substr(Start);
  return Result;
}

TORVString ReplaceWord(std::u16string_view S, std::u16string_view Word, int32_t Position,
                       std::u16string_view NewWord) {
  TORVString Result(S);
  if (Position < 1 || static_cast<std::size_t>(Position) > Result.size() + 1) return Result;
  const std::size_t At = static_cast<std::size_t>(Position) - 1;
  Result.erase(At, Word.size());
  Result.insert(At, NewWord);
  return Result;
}

// ---------------------------------------------------------------------------
// Padding and trimming

TORVString PadL(std::u16string_view S, int32_t Width, char16_t PadChar) {
  const std::size_t Target = static_cast<std::size_t>(std::max(Width, 0));
  if (S.size() >= Target) return TORVString(S.substr(0, Target));
  return TORVString(Target - S.size(), PadChar) + TORVString(S);
}

TORVString PadInteger(std::u16string_view S, int32_t Width) {
  const std::size_t Target = static_cast<std::size_t>(std::max(Width, 0));
  if (S.size() >= Target) return TORVString(S);
  return TORVString(Target - S.size(), u'0') + TORVString(S);
}

TORVString PadDecimal(std::u16string_view S, int32_t Decimals, char16_t Separator) {
  TORVString Result(S);
  std::size_t Pos = Result.rfind(Separator);
  if (Pos == TORVString::npos) {
    Result.push_back(Separator);
    Pos = Result.size() - 1;
  }
  const std::size_t Wanted = static_cast<std::size_t>(std::max(Decimals, 0));
  const std::size_t Have = Result.size() - Pos - 1;
  if (Have < Wanted) Result.append(Wanted - Have, u'0');
  return Result;
}

TORVString RCopy(std::u16string_view S, int32_t Count) {
  const std::size_t Taken = std::min(S.size(), static_cast<std::size_t>(std::max(Count, 0)));
  return TORVString(S.substr(S.size() - Taken));
}

TORVString LTrimString(std::u16string_view S, char16_t Char) {
  std::size_t I = 0;
  while (I < S.size() && S[I] == Char) ++I;
  return TORVString(S.substr(I));
}

TORVString RTrimString(std::u16string_view S, char16_t Char) {
  std::size_t N = S.size();
  while (N > 0 && S[N - 1] == Char) --N;
  return TORVString(S.substr(0, N));
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
  std::u16string_view T = S;
  while (!T.empty() && T.front() == u' ') T.remove_prefix(1);
  while (!T.empty() && T.back() == u' ') T.remove_suffix(1);
  while (T.substr(0, 2) == u"\r\n") T.remove_prefix(2);
  while (T.size() >= 2 && T.substr(T.size() - 2) == u"\r\n") T.remove_suffix(2);
  return TORVString(T);
}

TORVString TrimInteger(std::u16string_view S) {
  std::size_t I = 0;
  while (I + 1 < S.size() && S[I] == u'0') ++I;
  return TORVString(S.substr(I));
}

TORVString Replicate(std::u16string_view S, int32_t Count) {
  TORVString Result;
  if (Count <= 0) return Result;
  Result.reserve(S.size() * static_cast<std::size_t>(Count));
  for (int32_t I = 0; I < Count; ++I) Result += S;
  return Result;
}

// ---------------------------------------------------------------------------
// Wrapping, counting and extracting

TORVString WrapString(std::u16string_view S, std::u16string_view LineBreak, std::u16string_view BreakChars,
                      int32_t MaxLineLength, bool ForceBreak) {
  TORVString Result;
  Result.reserve(S.size() + S.size() / 16 + LineBreak.size());
  int32_t LineLength = 0;
  bool HaveBreak = false;
  std::size_t BreakPos = 0;  // position of the remembered break character in Result
  for (char16_t C : S) {
    if (C == 10 || C == 13) LineLength = 0;
    const std::size_t Current = Result.size();  // where C goes
    if (BreakChars.find(C) != std::u16string_view::npos) {
      HaveBreak = true;
      BreakPos = Current;
    }
    if (LineLength >= MaxLineLength && (HaveBreak || ForceBreak)) {
      if (HaveBreak && BreakPos != Current) {
        Result.push_back(C);
        Result.replace(BreakPos, 1, LineBreak);
        LineLength = static_cast<int32_t>(Current - BreakPos);
      } else if (HaveBreak && !ForceBreak) {
        Result += LineBreak;  // the break character gives way to the line break
        LineLength = 0;
      } else {
        Result.push_back(C);
        Result += LineBreak;
        LineLength = 0;
      }
      HaveBreak = false;
    } else {
      Result.push_back(C);
    }
    ++LineLength;
  }
  return Result;
}

int32_t Occurs(std::u16string_view SubStr, std::u16string_view S) {
  if (SubStr.empty()) return 0;
  int32_t Count = 0;
  std::size_t Pos = S.find(SubStr);
  while (Pos != std::u16string_view::npos) {
    ++Count;
    Pos = S.find(SubStr, Pos + SubStr.size());
  }
  return Count;
}

TORVString Extract(TORVString& S, std::u16string_view Delimiter) {
  const std::size_t Pos = Delimiter.empty() ? TORVString::npos : S.find(Delimiter);
  TORVString Result;
  if (Pos == TORVString::npos) {
    Result.swap(S);
    return Result;
  }
  Result = S.substr(0, Pos);
  S.erase(0, Pos + Delimiter.size());
  return Result;
}

TORVString StringsArrayToString(const std::vector<TORVString>& Strings, int32_t Count) {
  TORVString Result;
  const auto N = std::min<std::size_t>(Strings.size(), static_cast<std::size_t>(std::max(Count, 0)));
  for (std::size_t K = 0; K < N; ++K) {
    if (K > 0) Result += u"\r\n";
    Result += Strings[K];
  }
  return Result;
}

}  // namespace orv
