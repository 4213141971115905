#include "core/orvstream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/orvcommon.h"
#include "core/orvdigest.h"
#include "base/orverror.h"

namespace orv {
namespace {

constexpr int32_t Ansi = 0;
constexpr int32_t Unicode = 1;

TORVBytes Content(const TORVMemoryStream& Stream) {
  return TORVBytes(Stream.GetMemory(), Stream.GetMemory() + Stream.GetSize());
}

TORVMemoryStream& Fill(TORVMemoryStream& Stream, const TORVBytes& Bytes) {
  Stream.Write(Bytes, 0, static_cast<int32_t>(Bytes.size()));
  Stream.SetPosition(0);
  return Stream;
}

struct TGolden {
  const char* Name;
  int32_t CharacterSet;
  std::function<void(TORVMemoryStream&)> WriteIt;
  TORVBytes Expected;
};

TEST(MemoryStream, StringsWriteTheirGoldenBytes) {
  const std::vector<TGolden> cases = {
      {"unicode", Unicode, [](TORVMemoryStream& s) { s.WriteString(u"abc"); },
       {0x03, 0, 0, 0, 0x61, 0, 0x62, 0, 0x63, 0}},
      {"unicode word-sized", Unicode, [](TORVMemoryStream& s) { s.WriteString(u"abc", 0, true); },
       {0x03, 0, 0x61, 0, 0x62, 0, 0x63, 0}},
      {"ansi", Ansi, [](TORVMemoryStream& s) { s.WriteString(u"abc", 0, false, 0); },
       {0x03, 0, 0, 0, 0x61, 0x62, 0x63}},
      {"ansi empty", Ansi, [](TORVMemoryStream& s) { s.WriteString(u""); }, {0, 0, 0, 0}},
      {"unicode count", Unicode, [](TORVMemoryStream& s) { s.WriteString(u"abc", 2); },
       {0x02, 0, 0, 0, 0x61, 0, 0x62, 0}},
      {"count beyond value", Ansi, [](TORVMemoryStream& s) { s.WriteString(u"ab", 5, true); }, {0x02, 0, 0x61, 0x62}},
      {"ansi code page", Ansi, [](TORVMemoryStream& s) { s.WriteString(u"\u00e9\u20ac", 0, true, 1252); },
       {0x02, 0, 0xE9, 0x80}},
      {"ansi double-byte counts bytes", Ansi, [](TORVMemoryStream& s) { s.WriteString(u"\u65e5", 0, true, 932); },
       {0x02, 0, 0x93, 0xFA}},
      {"ansi value into unicode", Unicode,
       [](TORVMemoryStream& s) { s.WriteAnsiString("\xcc\xe8", 0, true, 1251); }, {0x02, 0, 0x1C, 0x04, 0x38, 0x04}},
      {"ansi value into ansi", Ansi, [](TORVMemoryStream& s) { s.WriteAnsiString("\xcc\xe8", 0, true, 1251); },
       {0x02, 0, 0xCC, 0xE8}},
      {"fixed unicode", Unicode, [](TORVMemoryStream& s) { s.WriteFixedString(u"ab", 4); },
       {0x61, 0, 0x62, 0, 0x20, 0, 0x20, 0}},
      {"fixed ansi", Ansi, [](TORVMemoryStream& s) { s.WriteFixedString(u"ab", 4); }, {0x61, 0x62, 0x20, 0x20}},
      {"fixed cut", Unicode, [](TORVMemoryStream& s) { s.WriteFixedString(u"ab", 1); }, {0x61, 0}},
      {"fixed ansi cut", Ansi, [](TORVMemoryStream& s) { s.WriteFixedAnsiString("ab", 1); }, {0x61}},
      {"fixed zero count", Ansi, [](TORVMemoryStream& s) { s.WriteFixedString(u"ab", 0); }, {}},
      {"char ansi takes low byte", Ansi, [](TORVMemoryStream& s) { s.WriteChar(u'\u0141'); }, {0x41}},
      {"char unicode", Unicode, [](TORVMemoryStream& s) { s.WriteChar(u'\u0141'); }, {0x41, 0x01}},
      {"scratch writes no strings", -1,
       [](TORVMemoryStream& s) {
         s.WriteString(u"abc");
         s.WriteChar(u'a');
         s.WriteFixedString(u"ab", 4);
         s.WriteByte(7);
       },
       {0x07}},
  };
  for (const TGolden& c : cases) {
    SCOPED_TRACE(c.Name);
    TORVMemoryStream stream(c.CharacterSet);
    c.WriteIt(stream);
    EXPECT_EQ(Content(stream), c.Expected);
    EXPECT_EQ(stream.GetPosition(), stream.GetSize());
  }
}

TEST(MemoryStream, TypedValuesAreLittleEndianAndRoundTrip) {
  TORVMemoryStream stream(Unicode);
  stream.WriteInteger(0x01020304);
  stream.WriteTORVLongWord(0xFFFFFFFEu);
  stream.WriteSmallInt(-2);
  stream.WriteWord(0xABCD);
  stream.WriteLargeInt(-0x0102030405060708LL);
  stream.WriteDouble(1.5);
  stream.WriteCurrency(TORVCurrency::FromScaled(20500));
  stream.WriteBoolean(true);
  stream.WriteBoolean(false);
  stream.WriteByte(0xFE);
  EXPECT_EQ(stream.GetSize(), 4 + 4 + 2 + 2 + 8 + 8 + 8 + 1 + 1 + 1);
  const TORVBytes bytes = Content(stream);
  EXPECT_EQ(TORVBytes(bytes.begin(), bytes.begin() + 4), (TORVBytes{0x04, 0x03, 0x02, 0x01}));
  EXPECT_EQ(TORVBytes(bytes.begin() + 20, bytes.begin() + 28), (TORVBytes{0, 0, 0, 0, 0, 0, 0xF8, 0x3F}));
  EXPECT_EQ(TORVBytes(bytes.begin() + 28, bytes.begin() + 36), (TORVBytes{0x14, 0x50, 0, 0, 0, 0, 0, 0}));

  stream.SetPosition(0);
  EXPECT_EQ(stream.ReadInteger(), 0x01020304);
  EXPECT_EQ(stream.ReadLongWord(), 0xFFFFFFFEu);
  EXPECT_EQ(stream.ReadSmallInt(), -2);
  EXPECT_EQ(stream.ReadWord(), 0xABCD);
  EXPECT_EQ(stream.ReadLargeInt(), -0x0102030405060708LL);
  EXPECT_EQ(stream.ReadDouble(), 1.5);
  EXPECT_EQ(stream.ReadCurrency(), TORVCurrency::FromScaled(20500));
  EXPECT_TRUE(stream.ReadBoolean());
  EXPECT_FALSE(stream.ReadBoolean());
  EXPECT_EQ(stream.ReadByte(), 0xFE);
  EXPECT_EQ(stream.GetAvailable(), 0);
}

TEST(MemoryStream, AnyNonZeroByteReadsAsTrue) {
  TORVMemoryStream stream(Ansi);
  Fill(stream, {0x02, 0xFF, 0x00});
  EXPECT_TRUE(stream.ReadBoolean());
  EXPECT_TRUE(stream.ReadBoolean());
  EXPECT_FALSE(stream.ReadBoolean());
}

TEST(MemoryStream, ShortFixedSizeReadsGiveZeroAndKeepPosition) {
  TORVMemoryStream stream(Unicode);
  Fill(stream, {1, 2, 3});
  EXPECT_EQ(stream.ReadInteger(), 0);
  EXPECT_EQ(stream.GetPosition(), 0);
  int32_t value = 99;
  EXPECT_EQ(stream.ReadInteger(value), 0);
  EXPECT_EQ(value, 0);
  uint32_t word = 99;
  EXPECT_EQ(stream.ReadLongWord(word), 0);
  EXPECT_EQ(word, 0u);
  EXPECT_EQ(stream.ReadLargeInt(), 0);
  EXPECT_EQ(stream.ReadDouble(), 0.0);
  EXPECT_EQ(stream.GetPosition(), 0);
  EXPECT_EQ(stream.ReadWord(), 0x0201);
  EXPECT_EQ(stream.ReadWord(), 0);
  EXPECT_EQ(stream.ReadChar(), 0);
  EXPECT_EQ(stream.GetPosition(), 2);
  EXPECT_TRUE(stream.ReadBoolean());
  EXPECT_EQ(stream.GetPosition(), 3);
}

TEST(MemoryStream, ShortStringReadsTakeWhatRemains) {
  {
    // A prefix of 10 units with 6 bytes behind it gives 3 characters.
    TORVMemoryStream stream(Unicode);
    Fill(stream, {10, 0, 0, 0, 'a', 0, 'b', 0, 'c', 0});
    TORVString value;
    stream.ReadString(value);
    EXPECT_EQ(value, u"abc");
    EXPECT_EQ(stream.GetPosition(), stream.GetSize());
  }
  {
    // An odd byte left over is not half a character.
    TORVMemoryStream stream(Unicode);
    Fill(stream, {10, 0, 'a', 0, 'b'});
    TORVString value;
    stream.ReadString(value, true);
    EXPECT_EQ(value, u"a");
    EXPECT_EQ(stream.GetPosition(), 4);
  }
  {
    TORVMemoryStream stream(Ansi);
    Fill(stream, {5, 0, 0, 0, 'x', 'y'});
    TORVAnsiString value;
    stream.ReadAnsiString(value);
    EXPECT_EQ(value, "xy");
  }
  {
    // A negative count from a damaged record reads as empty.
    TORVMemoryStream stream(Ansi);
    Fill(stream, {0xFF, 0xFF, 0xFF, 0xFF, 'x'});
    TORVString value = u"old";
    stream.ReadString(value);
    EXPECT_EQ(value, u"");
    EXPECT_EQ(stream.GetPosition(), 4);
  }
  {
    // No room for the count: an empty value, position unchanged.
    TORVMemoryStream stream(Unicode);
    Fill(stream, {1, 0});
    TORVString value = u"old";
    stream.ReadString(value);
    EXPECT_EQ(value, u"");
    EXPECT_EQ(stream.GetPosition(), 0);
  }
  {
    TORVMemoryStream stream(Unicode);
    Fill(stream, {'a', 0, 'b', 0, 'c'});
    TORVString value;
    stream.ReadFixedString(value, 4);
    EXPECT_EQ(value, u"ab");
  }
}

TEST(MemoryStream, StringsRoundTripInBothCharacterSets) {
  const TORVString text = u"Stra\u00dfe \u20ac5";
  for (int32_t characterSet : {Ansi, Unicode}) {
    SCOPED_TRACE(characterSet);
    TORVMemoryStream stream(characterSet);
    stream.WriteString(text);
    stream.WriteString(text, 0, true, 1252);
    stream.WriteFixedString(u"ab", 5);
    stream.WriteAnsiString("\xc4\xe4");
    stream.WriteFixedAnsiString("\xc4", 2);
    stream.WriteChar(u'z');
    stream.SetPosition(0);
    TORVString value;
    stream.ReadString(value);
    EXPECT_EQ(value, text);
    stream.ReadString(value, true, 1252);
    EXPECT_EQ(value, text);
    stream.ReadFixedString(value, 5);
    EXPECT_EQ(value, u"ab   ");
    TORVAnsiString ansi;
    stream.ReadAnsiString(ansi);
    EXPECT_EQ(ansi, "\xc4\xe4");
    stream.ReadFixedAnsiString(ansi, 2);
    EXPECT_EQ(ansi, "\xc4 ");
    EXPECT_EQ(stream.ReadChar(), u'z');
    EXPECT_EQ(stream.GetAvailable(), 0);
  }
}

TEST(MemoryStream, ScratchCharacterSetLeavesTargetAndPositionAlone) {
  TORVMemoryStream stream(-1);
  Fill(stream, {3, 0, 0, 0, 'a', 'b', 'c'});
  TORVString value = u"keep";
  stream.ReadString(value);
  stream.ReadFixedString(value, 2);
  TORVAnsiString ansi = "keep";
  stream.ReadAnsiString(ansi);
  EXPECT_EQ(value, u"keep");
  EXPECT_EQ(ansi, "keep");
  EXPECT_EQ(stream.ReadChar(), 0);
  EXPECT_EQ(stream.GetPosition(), 0);
}

TEST(MemoryStream, WordSizedCountThatDoesNotFitRaisesAndWritesNothing) {
  TORVMemoryStream stream(Unicode);
  EXPECT_THROW(stream.WriteString(TORVString(70000, u'x'), 0, true), EORVBaseException);
  EXPECT_THROW(stream.WriteBytes(TORVBytes(70000), 0, true), EORVBaseException);
  EXPECT_EQ(stream.GetSize(), 0);
  stream.WriteString(TORVString(65535, u'x'), 0, true);
  EXPECT_EQ(stream.GetSize(), 2 + 2 * 65535);
}

TEST(MemoryStream, BytesAndFixedBytes) {
  TORVMemoryStream stream(-1);
  stream.WriteBytes({1, 2, 3}, 0, false);
  stream.WriteBytes({1, 2, 3}, 2, true);
  stream.WriteFixedBytes({9}, 3);
  stream.WriteFixedBytes({1, 2, 3, 4}, 2);
  EXPECT_EQ(Content(stream), (TORVBytes{3, 0, 0, 0, 1, 2, 3, 2, 0, 1, 2, 9, 0, 0, 1, 2}));
  stream.SetPosition(0);
  TORVBytes value;
  stream.ReadBytes(value, false);
  EXPECT_EQ(value, (TORVBytes{1, 2, 3}));
  stream.ReadBytes(value, true);
  EXPECT_EQ(value, (TORVBytes{1, 2}));
  stream.ReadFixedBytes(value, 3);
  EXPECT_EQ(value, (TORVBytes{9, 0, 0}));
  stream.ReadFixedBytes(value, 10);
  EXPECT_EQ(value, (TORVBytes{1, 2}));
}

TEST(MemoryStream, PositionClampsButSeekDoesNot) {
  TORVMemoryStream stream(Ansi);
  Fill(stream, TORVBytes(20, 1));
  stream.SetPosition(-5);
  EXPECT_EQ(stream.GetPosition(), 0);
  stream.SetPosition(30);
  EXPECT_EQ(stream.GetPosition(), 20);
  EXPECT_EQ(stream.Seek(10, orEnd), 30);
  EXPECT_EQ(stream.GetAvailable(), 0);
  EXPECT_EQ(stream.ReadInteger(), 0);
  EXPECT_EQ(stream.Seek(-35, orCurrent), -5);
  uint8_t buffer[4];
  EXPECT_EQ(stream.Read(buffer, 4), 0);
  EXPECT_EQ(stream.Write(buffer, 4), 0);  // nothing before the start
  EXPECT_EQ(stream.GetSize(), 20);
  EXPECT_EQ(stream.Seek(4, orBeginning), 4);

  // Writing beyond the end grows the stream to cover the gap.
  stream.Seek(4, orEnd);
  stream.WriteByte(7);
  EXPECT_EQ(stream.GetSize(), 25);
  // Shrinking pulls the position back.
  stream.SetSize(10);
  EXPECT_EQ(stream.GetPosition(), 10);
}

TEST(MemoryStream, GrowsInBlockSizeStepsAndShrinksOnlyWhenAllowed) {
  TORVMemoryStream stream(Ansi);
  EXPECT_EQ(stream.GetBlockSize(), 8);
  EXPECT_EQ(stream.GetMemory(), nullptr);
  stream.WriteByte(1);
  EXPECT_EQ(stream.GetCapacity(), 8);
  stream.SetBlockSize(100);
  stream.SetSize(101);
  EXPECT_EQ(stream.GetCapacity(), 200);
  EXPECT_EQ(stream.GetMemory()[150], 0);  // new bytes are zero
  stream.SetSize(10);
  EXPECT_EQ(stream.GetCapacity(), 200);
  stream.SetShrinkAllowed(true);
  stream.SetCapacity(5);
  EXPECT_EQ(stream.GetCapacity(), 100);
  EXPECT_EQ(stream.GetSize(), 5);
  stream.Truncate();
  EXPECT_EQ(stream.GetCapacity(), 0);
  EXPECT_EQ(stream.GetMemory(), nullptr);
  EXPECT_THROW(stream.SetBlockSize(0), EORVBaseException);
  EXPECT_THROW(stream.SetSize(-1), EORVBaseException);
}

TEST(MemoryStream, OutsideMemoryCannotBeReallocated) {
  uint8_t buffer[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  TORVMemoryStream stream(Ansi);
  stream.WriteInteger(5);
  stream.SetMemory(buffer, 8);
  EXPECT_EQ(stream.ReadInteger(), 0x04030201);
  stream.SetPosition(0);
  stream.WriteInteger(0x0A0A0A0A);
  EXPECT_EQ(buffer[0], 0x0A);
  try {
    stream.SetSize(16);
    FAIL() << "SetSize on outside memory did not raise";
  } catch (const EORVBaseException& e) {
    EXPECT_EQ(e.Message(), u"Cannot reallocate memory stream when stream does not own memory");
  }
  stream.SetPosition(8);
  EXPECT_THROW(stream.WriteByte(1), EORVBaseException);
  EXPECT_EQ(stream.GetSize(), 8);
}

TEST(MemoryStream, SpaceOperationsStayInsideTheBuffer) {
  TORVMemoryStream stream(Ansi);
  Fill(stream, {1, 2, 3, 4, 5, 6, 0, 0});

  stream.SetPosition(2);
  stream.InsertSpace(2, 6);  // 3..6 move up by two; the gap keeps old bytes
  EXPECT_EQ(Content(stream), (TORVBytes{1, 2, 3, 4, 3, 4, 5, 6}));
  EXPECT_EQ(stream.GetPosition(), 2);

  stream.DeleteSpace(2, 8);  // back down, last two bytes zeroed
  EXPECT_EQ(Content(stream), (TORVBytes{1, 2, 3, 4, 5, 6, 0, 0}));

  stream.SetPosition(0);
  stream.MoveSpace(2, 6);
  EXPECT_EQ(Content(stream), (TORVBytes{1, 2, 3, 4, 5, 6, 1, 2}));

  stream.SetPosition(5);
  stream.Clear(0);
  EXPECT_EQ(Content(stream), (TORVBytes{1, 2, 3, 4, 5, 0, 0, 0}));
  EXPECT_EQ(stream.GetPosition(), 8);

  TORVMemoryStream target(Ansi);
  Fill(target, TORVBytes(4, 9));
  target.SetPosition(1);
  stream.SetPosition(1);
  stream.MoveTo(target, 3);
  EXPECT_EQ(Content(target), (TORVBytes{9, 2, 3, 4}));
  EXPECT_EQ(target.GetPosition(), 1);
  EXPECT_EQ(stream.GetPosition(), 1);

  // Ranges beyond the allocated buffer raise instead of touching memory.
  stream.SetPosition(4);
  EXPECT_THROW(stream.Clear(100), EORVBaseException);
  EXPECT_THROW(stream.InsertSpace(8, 8), EORVBaseException);
  EXPECT_THROW(stream.DeleteSpace(8, 8), EORVBaseException);
  EXPECT_THROW(stream.MoveSpace(2, 7), EORVBaseException);
  stream.SetPosition(0);
  EXPECT_THROW(stream.MoveTo(target, 8), EORVBaseException);  // past the target's buffer
  EXPECT_EQ(Content(stream), (TORVBytes{1, 2, 3, 4, 5, 0, 0, 0}));
}

TEST(MemoryStream, SpaceOperationsBeforeTheStartRaise) {
  struct TCase {
    const char* Name;
    std::function<void(TORVMemoryStream&)> Act;
  };
  TORVMemoryStream other(Ansi);
  Fill(other, TORVBytes(8, 9));
  const TCase cases[] = {
      {"Clear", [](TORVMemoryStream& s) { s.Clear(4); }},
      {"InsertSpace", [](TORVMemoryStream& s) { s.InsertSpace(4, 4); }},
      {"DeleteSpace", [](TORVMemoryStream& s) { s.DeleteSpace(2, 6); }},
      {"MoveSpace", [](TORVMemoryStream& s) { s.MoveSpace(2, 0); }},
      {"MoveTo", [&other](TORVMemoryStream& s) { s.MoveTo(other, 2); }},
      {"CopyToStream", [&other](TORVMemoryStream& s) { s.CopyToStream(other, 2); }},
      {"Encrypt", [](TORVMemoryStream& s) { s.Encrypt(8); }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TORVMemoryStream stream(Ansi);
    Fill(stream, {1, 2, 3, 4, 5, 6, 7, 8});
    stream.Seek(-4, orBeginning);  // Seek does not clamp
    EXPECT_THROW(c.Act(stream), EORVBaseException);
    EXPECT_EQ(Content(stream), (TORVBytes{1, 2, 3, 4, 5, 6, 7, 8}));
  }
}

TEST(MemoryStream, CopiesBetweenStreamsReturnTheBytesCopied) {
  TORVMemoryStream source(Ansi);
  Fill(source, {1, 2, 3, 4, 5, 6});
  TORVMemoryStream target(Ansi);

  source.SetPosition(2);
  EXPECT_EQ(source.CopyToStream(target, 0), 4);
  EXPECT_EQ(source.GetPosition(), 6);
  EXPECT_EQ(Content(target), (TORVBytes{3, 4, 5, 6}));

  source.SetPosition(3);
  EXPECT_EQ(source.SaveToStream(target, 2), 2);
  EXPECT_EQ(source.GetPosition(), 3);
  EXPECT_EQ(Content(target), (TORVBytes{3, 4, 5, 6, 1, 2}));

  // CopyFromStream never grows: Count 0 takes what both sides allow.
  target.SetPosition(4);
  source.SetPosition(0);
  EXPECT_EQ(target.CopyFromStream(source, 0), 2);
  EXPECT_EQ(Content(target), (TORVBytes{3, 4, 5, 6, 1, 2}));
  EXPECT_EQ(target.GetPosition(), 6);

  // LoadFromStream with Count 0 rewinds the source and takes all of it.
  TORVMemoryStream loaded(Ansi);
  source.SetPosition(5);
  EXPECT_EQ(loaded.LoadFromStream(source, 0), 6);
  EXPECT_EQ(Content(loaded), Content(source));
  EXPECT_EQ(loaded.GetPosition(), 0);
  source.SetPosition(4);
  EXPECT_EQ(loaded.LoadFromStream(source, 2), 2);
  EXPECT_EQ(Content(loaded), (TORVBytes{5, 6, 3, 4, 5, 6}));
}

TEST(Stream, CopyFromTakesWholeSourceOrWhatIsLeft) {
  TORVMemoryStream source(Ansi);
  TORVBytes big(200000);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 31);
  Fill(source, big);
  source.SetPosition(1000);
  TORVMemoryStream target(Ansi);
  EXPECT_EQ(target.CopyFrom(source, 0), 200000);
  EXPECT_EQ(Content(target), big);

  source.Seek(-40, orEnd);
  TORVMemoryStream partial(Ansi);
  EXPECT_EQ(partial.CopyFrom(source, 100), 40);
  EXPECT_EQ(Content(partial), TORVBytes(big.end() - 40, big.end()));
}

// A stream over another medium, to exercise the generic operations.
class TWrappedStream : public TORVStream {
 public:
  explicit TWrappedStream(TORVMemoryStream& Inner) : FInner(Inner) {}
  int FailAfterReads = -1;

  int64_t GetPosition() const override { return FInner.GetPosition(); }
  void SetPosition(int64_t Value) override { FInner.SetPosition(Value); }
  int64_t GetSize() const override { return FInner.GetSize(); }
  void SetSize(int64_t Value) override { FInner.SetSize(Value); }
  int64_t Seek(int64_t Offset, TORVStreamOrigin Origin) override { return FInner.Seek(Offset, Origin); }
  int32_t Read(TORVBytes& Buffer, int32_t Offset, int32_t Count) override {
    return Read(Buffer.data() + Offset, Count);
  }
  int32_t Read(uint8_t* Buffer, int32_t Count) override {
    if (FailAfterReads == 0) throw EORVBaseException(u"read failed");
    if (FailAfterReads > 0) --FailAfterReads;
    return FInner.Read(Buffer, Count);
  }
  int32_t Write(const TORVBytes& Buffer, int32_t Offset, int32_t Count) override {
    return FInner.Write(Buffer, Offset, Count);
  }
  int32_t Write(const uint8_t* Buffer, int32_t Count) override { return FInner.Write(Buffer, Count); }

 private:
  TORVMemoryStream& FInner;
};

TEST(Stream, CalculateCRC32CoversTheStreamFromItsStart) {
  TORVMemoryStream empty(Ansi);
  EXPECT_EQ(empty.CalculateCRC32(0), 0xFFFFFFFFu);

  TORVMemoryStream stream(Unicode);
  stream.WriteFixedString(u"abc", 3);
  EXPECT_EQ(stream.CalculateCRC32(0), 0x526A854Fu);
  EXPECT_EQ(stream.CalculateCRC32(0), CalculateCRC32(u"abc"));
  EXPECT_EQ(stream.GetPosition(), 6);
  EXPECT_EQ(stream.CalculateCRC32(2), CalculateCRC32(u"a"));

  // The generic form pulls the bytes through in chunks and keeps the position.
  TORVMemoryStream big(Unicode);
  TORVString text(100000, u'q');
  for (std::size_t i = 0; i < text.size(); i += 7) text[i] = static_cast<char16_t>(i);
  big.WriteFixedString(text, static_cast<int32_t>(text.size()));
  big.SetPosition(123);
  TWrappedStream wrapped(big);
  EXPECT_EQ(wrapped.CalculateCRC32(0), CalculateCRC32(text));
  EXPECT_EQ(wrapped.CalculateCRC32(0), big.CalculateCRC32(0));
  EXPECT_EQ(wrapped.CalculateCRC32(10), CalculateCRC32(text.substr(0, 5)));
  EXPECT_EQ(wrapped.GetPosition(), 123);

  wrapped.FailAfterReads = 1;
  EXPECT_THROW(wrapped.CalculateCRC32(0), EORVBaseException);
  EXPECT_EQ(wrapped.GetPosition(), 123);
}

TEST(Stream, GenericIntegerReadsAndWrites) {
  TORVMemoryStream inner(Ansi);
  TWrappedStream stream(inner);
  EXPECT_EQ(stream.WriteInteger(-2), 4);
  EXPECT_EQ(stream.WriteTORVLongWord(0x01020304u), 4);
  stream.SetPosition(0);
  int32_t value = 0;
  EXPECT_EQ(stream.ReadInteger(value), 4);
  EXPECT_EQ(value, -2);
  uint32_t word = 0;
  EXPECT_EQ(stream.ReadLongWord(word), 4);
  EXPECT_EQ(word, 0x01020304u);
  stream.Seek(-3, orEnd);
  EXPECT_EQ(stream.ReadInteger(value), 3);
  EXPECT_EQ(value, 0);
}

class EncryptedStream : public ::testing::Test {
 protected:
  void SetUp() override {
    FDigest.SetAsString(u"password");
    FStream.InitEncryption(FDigest);
  }
  TORVDigest FDigest;
  TORVMemoryStream FStream{Unicode};
};

TEST_F(EncryptedStream, WholeBlocksAreEncipheredAndTheTailStaysPlain) {
  TORVBytes plain(20);
  for (std::size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i + 1);
  Fill(FStream, plain);
  FStream.Encrypt(20);
  EXPECT_EQ(FStream.GetPosition(), 16);
  const TORVBytes cipher = Content(FStream);
  EXPECT_NE(TORVBytes(cipher.begin(), cipher.begin() + 8), TORVBytes(plain.begin(), plain.begin() + 8));
  EXPECT_NE(TORVBytes(cipher.begin() + 8, cipher.begin() + 16), TORVBytes(plain.begin() + 8, plain.begin() + 16));
  EXPECT_EQ(TORVBytes(cipher.begin() + 16, cipher.end()), TORVBytes(plain.begin() + 16, plain.end()));

  FStream.SetPosition(0);
  FStream.Decrypt(0);
  EXPECT_EQ(FStream.GetPosition(), 16);
  EXPECT_EQ(Content(FStream), plain);

  FStream.SetPosition(0);
  FStream.Encrypt(7);
  EXPECT_EQ(Content(FStream), plain);
  EXPECT_EQ(FStream.GetPosition(), 0);
}

TEST_F(EncryptedStream, EachCallStartsANewChainFromTheZeroVector) {
  const TORVBytes block = {1, 2, 3, 4, 5, 6, 7, 8};
  TORVBytes twice = block;
  twice.insert(twice.end(), block.begin(), block.end());
  Fill(FStream, twice);
  FStream.Encrypt(8);
  FStream.Encrypt(8);
  TORVBytes separate = Content(FStream);
  EXPECT_EQ(TORVBytes(separate.begin(), separate.begin() + 8), TORVBytes(separate.begin() + 8, separate.end()));

  FStream.Truncate();
  Fill(FStream, twice);
  FStream.Encrypt(16);
  const TORVBytes chained = Content(FStream);
  EXPECT_NE(TORVBytes(chained.begin(), chained.begin() + 8), TORVBytes(chained.begin() + 8, chained.end()));
  EXPECT_EQ(TORVBytes(chained.begin(), chained.begin() + 8), TORVBytes(separate.begin(), separate.begin() + 8));

  // The same key in another stream deciphers the section.
  TORVMemoryStream other(Ansi);
  other.InitEncryption(FDigest);
  Fill(other, chained);
  other.Decrypt(0);
  EXPECT_EQ(Content(other), twice);
}

TEST_F(EncryptedStream, RangeBeyondTheBufferRaisesAndTheChainIsReset) {
  Fill(FStream, TORVBytes(16, 0x55));
  FStream.SetPosition(8);
  EXPECT_THROW(FStream.Encrypt(64), EORVBaseException);
  EXPECT_EQ(Content(FStream), TORVBytes(16, 0x55));
  FStream.SetPosition(0);
  FStream.Encrypt(8);
  FStream.SetPosition(8);
  FStream.Encrypt(8);
  const TORVBytes bytes = Content(FStream);
  EXPECT_EQ(TORVBytes(bytes.begin(), bytes.begin() + 8), TORVBytes(bytes.begin() + 8, bytes.end()));
}

}  // namespace
}  // namespace orv
