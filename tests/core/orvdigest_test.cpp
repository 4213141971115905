#include "core/orvdigest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/orvstream.h"

namespace orv {
namespace {

TORVString Text(const std::string& Ascii) { return TORVString(Ascii.begin(), Ascii.end()); }

TEST(Digest, Rfc1321SuiteOverAnsiBytes) {
  const std::vector<std::pair<std::string, std::string>> suite = {
      {"", "D41D8CD98F00B204E9800998ECF8427E"},
      {"a", "0CC175B9C0F1B6A831C399E269772661"},
      {"abc", "900150983CD24FB0D6963F7D28E17F72"},
      {"message digest", "F96B697D7CB7938D525A2F31AAF161D0"},
      {"abcdefghijklmnopqrstuvwxyz", "C3FCD3D76192E4007DFB496CCA67E13B"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "D174AB98D277D9F5A5611C2C9F419D9F"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57EDF4A22BE3C955AC49DA2E2107B67A"},
  };
  TORVDigest digest;
  for (const auto& [input, expected] : suite) {
    SCOPED_TRACE(input);
    digest.SetAsAnsiString(input);
    EXPECT_EQ(digest.GetAsAnsiString(), expected);
    EXPECT_EQ(digest.GetAsString(), Text(expected));
  }
}

// Lengths around the 56-byte padding limit and the 64-byte block.
TEST(Digest, PaddingBoundariesAndLongInput) {
  const std::vector<std::pair<int, std::string>> cases = {
      {55, "52C0E574E1198DE5FE3F8F11440DCB1B"},  {56, "46C9907FC908EE68B1E7B8E71286A518"},
      {57, "1C805DD236C35CAB25FCB1BC73802C51"},  {63, "A62F6D59E837867693F042F5B8F5A236"},
      {64, "7160B8FB5E9E4023D549C3971FBAEEAD"},  {65, "70BD662E7AEFBDA85A0F7244167B7897"},
      {119, "E84905D4214F4D1CA56C2CDCC152B143"}, {120, "E3EB5A6C8669EA01A8C185B8ABC8A5DC"},
      {128, "10B2DA1A82F16D99A81A7203FE9F02CB"},
  };
  TORVDigest digest;
  for (const auto& [length, expected] : cases) {
    SCOPED_TRACE(length);
    TORVBytes bytes;
    for (int i = 0; i < length; ++i) bytes.push_back(static_cast<uint8_t>(i * 7 + 3));
    digest.SetAsBytes(bytes);
    EXPECT_EQ(digest.GetAsAnsiString(), expected);
  }
  digest.SetAsAnsiString(std::string(1000000, 'a'));
  EXPECT_EQ(digest.GetAsAnsiString(), "7707D6AE4E027C70EEA2A935C2296F21");
}

TEST(Digest, UnicodeTextIsDigestedAsUtf16LittleEndian) {
  TORVDigest unicode;
  unicode.SetAsString(u"abc");
  EXPECT_EQ(unicode.GetAsString(), u"CE1473CF80C6B3FDA8E3DFC006ADC315");
  TORVDigest ansi;
  ansi.SetAsAnsiString("abc");
  EXPECT_FALSE(unicode.Compare(ansi));

  // A long text with non-ASCII units gives the digest of its UTF-16LE bytes.
  TORVString text;
  for (int i = 0; i < 700; ++i) text += static_cast<char16_t>(0x41 + i * 37);
  text += u"\U0001F600";
  TORVBytes bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<uint8_t>(unit));
    bytes.push_back(static_cast<uint8_t>(unit >> 8));
  }
  unicode.SetAsUnicodeString(text);
  TORVDigest fromBytes;
  fromBytes.SetAsBytes(bytes);
  EXPECT_TRUE(unicode.Compare(fromBytes));
}

TEST(Digest, FreshDigestIsZeroAndEmptyValueIsDigested) {
  TORVDigest digest;
  EXPECT_EQ(digest.GetAsString(), TORVString(32, u'0'));
  digest.SetAsString(u"");
  EXPECT_EQ(digest.GetAsString(), u"D41D8CD98F00B204E9800998ECF8427E");
  // Reuse starts from scratch each time.
  digest.SetAsAnsiString("abc");
  digest.SetAsAnsiString("abc");
  EXPECT_EQ(digest.GetAsAnsiString(), "900150983CD24FB0D6963F7D28E17F72");
}

TEST(Digest, SaveLoadAssignAndRawCopies) {
  TORVDigest source;
  source.SetAsString(u"secret");
  TORVMemoryStream stream(1);
  source.Save(stream);
  EXPECT_EQ(stream.GetSize(), 16);

  stream.SetPosition(0);
  TORVDigest loaded;
  loaded.Load(stream);
  EXPECT_TRUE(loaded.Compare(source));
  EXPECT_EQ(loaded.GetAsString(), source.GetAsString());

  TORVDigest assigned;
  assigned.Assign(source);
  EXPECT_TRUE(assigned.Compare(source));

  uint8_t raw[16];
  source.Write(raw);
  TORVDigest read;
  read.Read(raw);
  EXPECT_TRUE(read.Compare(source));
}

TEST(Digest, LoadFromShortStreamKeepsMissingBytes) {
  TORVDigest source;
  source.SetAsAnsiString("abc");
  TORVMemoryStream stream(1);
  source.Save(stream);
  stream.SetSize(10);
  stream.SetPosition(0);
  TORVDigest target;
  target.Load(stream);
  EXPECT_FALSE(target.Compare(source));
  EXPECT_EQ(target.GetAsAnsiString(), "900150983CD24FB0D696" + std::string(12, '0'));
}

}  // namespace
}  // namespace orv
