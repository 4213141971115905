// The engine's string toolkit: a string list with name=value access, comma
// text and stream persistence, and text routines for quoting, padding,
// trimming, searching, replacing and word wrapping. Positions are 1-based.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "core/orvcommon.h"
#include "base/orvtype.h"

namespace orv {

class TORVMemoryStream;

class TORVStringsList : public TORVBaseObject {
 public:
  TORVStringsList() = default;

  int32_t GetCount() const { return static_cast<int32_t>(FStrings.size()); }
  // Index must lie in 0 .. Count - 1 (std::out_of_range otherwise).
  const TORVString& GetStrings(int32_t Index) const;
  void SetStrings(int32_t Index, const TORVString& Value);

  void Add(const TORVString& Value);
  void Delete(int32_t Index);
  // Deletes the first item equal to Value; false when there is none.
  bool Remove(const TORVString& Value);
  int32_t IndexOf(const TORVString& Value) const;
  void Clear();
  void Assign(const TORVStringsList& Source);
  void Assign(const std::vector<TORVString>& Source);
  void AssignTo(std::vector<TORVString>& Dest) const;

  // name=value items: the text before / after the first "=".
  TORVString GetName(int32_t Index) const;
  TORVString GetValueFromIndex(int32_t Index) const;
  TORVString GetValue(const TORVString& Name) const;
  // Changes the value of the first item with that name; adds nothing.
  void SetValue(const TORVString& Name, const TORVString& Value);

  // All items joined with CR LF.
  TORVString GetText() const;
  TORVString GetCommaText() const;
  void SetCommaText(const TORVString& Value);

  virtual TORVString GetCommaString(const TORVString& Value) const;

  // Stream form: Int32 count, then each item as a length-prefixed string.
  void Save(TORVMemoryStream& Stream) const;
  // Replaces the contents; a count the stream cannot hold is cut to the
  // strings actually present.
  void Load(TORVMemoryStream& Stream);

 protected:
  // Growth step of the item array.
  virtual int32_t GetExpandCount() const { return 16; }
  // Equality of items and names (case-insensitive, trailing blanks ignored).
  virtual bool CompareStrings(const TORVString& S1, const TORVString& S2) const;
  virtual TORVString ParseName(const TORVString& S) const;
  virtual TORVString ParseValue(const TORVString& S) const;
  // Called after every change.
  virtual void StringsModified() {}

 private:
  void CheckIndex(int32_t Index) const;
  void Grow(std::size_t Count);

  std::vector<TORVString> FStrings;
};

inline int32_t StringLength(std::u16string_view S) { return static_cast<int32_t>(S.size()); }
inline int32_t UnicodeStringLength(std::u16string_view S) { return static_cast<int32_t>(S.size()); }
inline int32_t AnsiStringLength(std::string_view S) { return static_cast<int32_t>(S.size()); }
inline int32_t StringSize(std::u16string_view S) { return 2 * StringLength(S); }
// Lengths without trailing blanks (code 32 only).
int32_t TrimmedStringLength(std::u16string_view S);
int32_t TrimmedStringLength(const uint8_t* S, int32_t Length);
int32_t TrimmedStringLength(const char16_t* S, int32_t Length);

// 1-based position of the first / last occurrence; 0 when none.
int32_t StringPos(std::u16string_view SubStr, std::u16string_view S);
int32_t RPos(std::u16string_view SubStr, std::u16string_view S);

// Ordinal equality and order with trailing blanks ignored.
bool SameString(std::u16string_view S1, std::u16string_view S2);
bool SameStringSensitive(std::u16string_view S1, std::u16string_view S2);
int32_t CompareString(std::u16string_view S1, std::u16string_view S2);
int32_t CompareStringSensitive(std::u16string_view S1, std::u16string_view S2);

TORVString QuotedString(std::u16string_view S, char16_t QuoteChar);
TORVString ExpandQuotes(char16_t QuoteChar, std::u16string_view S);
TORVString ConvertQuotes(char16_t QuoteChar, std::u16string_view S);
// An SQL string literal; control characters become +#n+ parts.
TORVString ConvertToLiteral(std::u16string_view S);
TORVString EscapeXMLString(std::u16string_view S);
TORVString UnEscapeXMLString(std::u16string_view S);
TORVString UpperCaseString(std::u16string_view S);
TORVString ProperCaseString(std::u16string_view S);
void AppendString(std::u16string_view Value, TORVString& Builder, std::u16string_view Separator);
// The first Count strings joined with CR LF.
TORVString StringsArrayToString(const std::vector<TORVString>& Strings, int32_t Count);
TORVString ReplaceString(std::u16string_view S, std::u16string_view OldPattern, std::u16string_view NewPattern,
                         bool IgnoreCase);
TORVString ReplaceWord(std::u16string_view S, std::u16string_view Word, int32_t Position,
                       std::u16string_view NewWord);
TORVString PadL(std::u16string_view S, int32_t Width, char16_t PadChar);
TORVString PadInteger(std::u16string_view S, int32_t Width);
TORVString PadDecimal(std::u16string_view S, int32_t Decimals, char16_t Separator);
TORVString RCopy(std::u16string_view S, int32_t Count);
TORVString LTrimString(std::u16string_view S, char16_t Char);
TORVString RTrimString(std::u16string_view S, char16_t Char);
TORVString AllTrimString(std::u16string_view S, char16_t Char);
TORVString LTrimString(std::u16string_view S, std::u16string_view SubStr);
TORVString RTrimString(std::u16string_view S, std::u16string_view SubStr);
TORVString AllTrimString(std::u16string_view S, std::u16string_view SubStr);
// Blanks removed at both ends, then CR LF pairs at both ends.
TORVString TrimString(std::u16string_view S);
TORVString TrimInteger(std::u16string_view S);
TORVString Replicate(std::u16string_view S, int32_t Count);
TORVString WrapString(std::u16string_view S, std::u16string_view LineBreak, std::u16string_view BreakChars,
                      int32_t MaxLineLength, bool ForceBreak);
int32_t Occurs(std::u16string_view SubStr, std::u16string_view S);
// Returns the text before the first Delimiter and removes it and the
// Delimiter from S; without a Delimiter returns all of S and empties it.
TORVString Extract(TORVString& S, std::u16string_view Delimiter);

}  // namespace orv
