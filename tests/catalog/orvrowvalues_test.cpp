#include "catalog/orvrowvalues.h"

#include <gtest/gtest.h>

#include <string>

#include "base/orverror.h"
#include "catalog/orvcatalogexpr.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvcursorcolumns.h"
#include "core/orvcontainedvalue.h"
#include "core/orvstream.h"
#include "core/orvtypefunc.h"
#include "sql/orvexprtoken.h"
#include "tests/support/orverrortext.h"
#include "tests/support/orvrowfakes.h"

namespace orv {
namespace {

constexpr int32_t kJapanese = 0x0411;

// The slot of column Index in Row's buffer.
TORVBytes ColumnBytes(TTestRow& Row, TORVColumns& Columns, int32_t Index) {
  TORVColumn* Column = Columns.GetColumn(Index);
  return BufferSlice(*Row.Buffer, Column->GetRowOffset(), Column->GetRowsetSize());
}

TEST(RowValues, FreshBufferReadsEveryColumnAsNull) {
  TORVColumns Columns;
  Columns.SetCatalogCharacterSet(CharacterSetUnicode);
  AddLayoutColumns(Columns);
  TTestRow Row(CharacterSetUnicode, Columns);
  for (int32_t Index = 0; Index < Row.Values->GetCount(); ++Index)
    EXPECT_TRUE(Row.Values->GetItems(Index)->GetNull()) << Index;
  EXPECT_EQ(Row.Values->GetItems(2)->GetAsBlob()->GetSize(), 0);
  EXPECT_EQ(Row.Values->BlobReads, 0);
}

// Each case: a column in the ANSI set, what is written, and the slot after.
struct TSlotCase {
  const char* Name;
  int32_t DataType;
  int32_t SubType;
  int32_t Length;
  TORVString Text;
  TORVBytes Slot;
};

TEST(RowValues, SlotsHoldTheGoldenBytes) {
  const TSlotCase Cases[] = {
      {"varchar", dtCharacter, stVarChar, 3, u"abc", {0x01, 0x03, 0x00, 0x61, 0x62, 0x63}},
      {"varchar cut at blanks", dtCharacter, stVarChar, 3, u"ab     ", {0x01, 0x03, 0x00, 0x61, 0x62, 0x20}},
      {"varchar shorter", dtCharacter, stVarChar, 3, u"a", {0x01, 0x01, 0x00, 0x61, 0x00, 0x00}},
      {"char padded", dtCharacter, stChar, 3, u"a", {0x01, 0x61, 0x20, 0x20}},
      {"char cut", dtCharacter, stChar, 3, u"abcdef", {0x01, 0x61, 0x62, 0x63}},
  };
  for (const TSlotCase& Case : Cases) {
    TORVColumns Columns;
    AddTestColumn(Columns, u"Code", Case.DataType, Case.SubType, Case.Length);
    TTestRow Row(CharacterSetAnsi, Columns);
    Row.Values->GetItems(0)->SetAsString(Case.Text);
    EXPECT_EQ(ColumnBytes(Row, Columns, 0), Case.Slot) << Case.Name;
    EXPECT_TRUE(Row.Values->GetModified()) << Case.Name;
  }
}

TEST(RowValues, NumbersAreWrittenAndReadInTheSlot) {
  TORVColumns Columns;
  AddTestColumn(Columns, u"I", dtInteger);
  AddTestColumn(Columns, u"B", dtBoolean);
  AddTestColumn(Columns, u"S", dtSmallInt);
  AddTestColumn(Columns, u"L", dtBigInt);
  AddTestColumn(Columns, u"F", dtFloat);
  AddTestColumn(Columns, u"D", dtDecimal)->SetScale(4);
  AddTestColumn(Columns, u"T", dtDate);
  TTestRow Row(CharacterSetAnsi, Columns);
  TORVRowValues& Values = *Row.Values;
  Values.GetItems(0)->SetAsInteger(5);
  EXPECT_EQ(ColumnBytes(Row, Columns, 0), (TORVBytes{0x01, 0x05, 0x00, 0x00, 0x00}));
  Values.GetItems(1)->SetAsBoolean(true);
  EXPECT_EQ(ColumnBytes(Row, Columns, 1), (TORVBytes{0x01, 0x01}));
  Values.GetItems(2)->SetAsSmallInt(-2);
  Values.GetItems(3)->SetAsLargeInt(1LL << 40);
  Values.GetItems(4)->SetAsDouble(2.5);
  Values.GetItems(5)->SetAsString(u"12.3456");
  EXPECT_EQ(ColumnBytes(Row, Columns, 5), (TORVBytes{0x01, 0x40, 0xE2, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00}));
  Values.GetItems(6)->SetAsDate(738000);
  EXPECT_EQ(Values.GetItems(0)->GetAsInteger(), 5);
  EXPECT_TRUE(Values.GetItems(1)->GetAsBoolean());
  EXPECT_EQ(Values.GetItems(2)->GetAsSmallInt(), -2);
  EXPECT_EQ(Values.GetItems(3)->GetAsLargeInt(), 1LL << 40);
  EXPECT_EQ(Values.GetItems(4)->GetAsDouble(), 2.5);
  EXPECT_EQ(Values.GetItems(5)->GetAsCurrency().Scaled(), 123456);
  EXPECT_EQ(Values.GetItems(6)->GetAsDate(), 738000);
  // Neighbouring slots are untouched: the header and the Boolean's slot.
  EXPECT_EQ(BufferSlice(*Row.Buffer, 0, 17), TORVBytes(17, 0));
  Values.GetItems(0)->SetAsNull(true);
  EXPECT_EQ(ColumnBytes(Row, Columns, 0)[0], 0);
  EXPECT_EQ(ColumnBytes(Row, Columns, 1), (TORVBytes{0x01, 0x01}));
}

TEST(RowValues, TextAndBytesTooLongForTheSlotAreRefused) {
  TORVColumns Columns;
  AddTestColumn(Columns, u"Code", dtCharacter, stVarChar, 3);
  AddTestColumn(Columns, u"Bits", dtBytes, stVarByte, 2);
  TTestRow Row(CharacterSetAnsi, Columns);
  TORVValue& Code = *Row.Values->GetItems(0);
  TORVValue& Bits = *Row.Values->GetItems(1);
  Code.SetAsString(u"xy");
  const TORVBytes Before = StreamBytes(*Row.Buffer);
  const std::string TextError = test::ErrorOf([&] { Code.SetAsString(u"abcd"); });
  EXPECT_EQ(TextError.rfind("1011 ", 0), 0u) << TextError;
  EXPECT_NE(TextError.find("column Code"), std::string::npos) << TextError;
  EXPECT_NE(TextError.find("truncation"), std::string::npos) << TextError;
  const std::string BytesError = test::ErrorOf([&] { Bits.SetAsBytes({0x0A, 0xBC, 0xFF}); });
  EXPECT_EQ(BytesError.rfind("1011 ", 0), 0u) << BytesError;
  EXPECT_NE(BytesError.find("column Bits"), std::string::npos) << BytesError;
  EXPECT_NE(BytesError.find("0ABCFF"), std::string::npos) << BytesError;
  EXPECT_EQ(StreamBytes(*Row.Buffer), Before);
  // With truncation errors off both are cut to the column's length.
  Row.Values->SetRaiseTruncationErrors(false);
  Code.SetAsString(u"abcd");
  Bits.SetAsBytes({0x0A, 0xBC, 0xFF});
  EXPECT_EQ(ColumnBytes(Row, Columns, 0), (TORVBytes{0x01, 0x03, 0x00, 0x61, 0x62, 0x63}));
  EXPECT_EQ(ColumnBytes(Row, Columns, 1), (TORVBytes{0x01, 0x02, 0x00, 0x0A, 0xBC}));
}

// Under a double-byte code page n characters can need up to 2n bytes; an
// ANSI slot holds n.
TEST(RowValues, DoubleByteTextNeverLeavesItsSlot) {
  TORVColumns Columns;
  TORVColumn* Name = AddTestColumn(Columns, u"Name", dtCharacter, stVarChar, 3);
  Name->SetCollation(kJapanese);
  TORVColumn* Kana = AddTestColumn(Columns, u"Kana", dtCharacter, stChar, 3);
  Kana->SetCollation(kJapanese);
  AddTestColumn(Columns, u"Next", dtInteger);
  TTestRow Row(CharacterSetAnsi, Columns);
  ASSERT_EQ(Row.Values->GetItems(0)->GetCodePage(), 932);
  Row.Values->GetItems(2)->SetAsInteger(-1);
  const TORVString TwoKanji = u"\u65E5\u672C";  // four bytes in code page 932
  const std::string Error = test::ErrorOf([&] { Row.Values->GetItems(0)->SetAsString(TwoKanji); });
  EXPECT_EQ(Error.rfind("1011 ", 0), 0u) << Error;
  EXPECT_NE(Error.find("column Name"), std::string::npos) << Error;
  // Without truncation errors whole characters are kept: one kanji.
  Row.Values->SetRaiseTruncationErrors(false);
  Row.Values->GetItems(0)->SetAsString(TwoKanji);
  EXPECT_EQ(Row.Values->GetItems(0)->GetAsString(), u"\u65E5");
  // Char cuts without an error, at a character boundary, and pads.
  Row.Values->SetRaiseTruncationErrors(true);
  Row.Values->GetItems(1)->SetAsString(TwoKanji);
  EXPECT_EQ(Row.Values->GetItems(1)->GetAsString(), u"\u65E5 ");
  EXPECT_EQ(Row.Values->GetItems(2)->GetAsInteger(), -1);
}

TEST(RowValues, UnicodeTextRoundTripsThroughTheSlot) {
  TORVColumns Columns;
  Columns.SetCatalogCharacterSet(CharacterSetUnicode);
  AddTestColumn(Columns, u"Name", dtCharacter, stVarChar, 4);
  AddTestColumn(Columns, u"Code", dtCharacter, stChar, 2);
  TTestRow Row(CharacterSetUnicode, Columns);
  Row.Values->GetItems(0)->SetAsString(u"\u00E9t\u00E9");
  Row.Values->GetItems(1)->SetAsString(u"x");
  EXPECT_EQ(ColumnBytes(Row, Columns, 0),
            (TORVBytes{0x01, 0x03, 0x00, 0xE9, 0x00, 0x74, 0x00, 0xE9, 0x00, 0x00, 0x00}));
  EXPECT_EQ(ColumnBytes(Row, Columns, 1), (TORVBytes{0x01, 0x78, 0x00, 0x20, 0x00}));
  EXPECT_EQ(Row.Values->GetItems(0)->GetAsString(), u"\u00E9t\u00E9");
  EXPECT_EQ(Row.Values->GetItems(0)->GetLength(), 3);
  EXPECT_EQ(Row.Values->GetItems(1)->GetAsString(), u"x ");
}

// Columns laid out one byte per character, values of a Unicode session:
// text is bounded by the slot, not by the column's length in the session's
// units, so the next column's bytes stay whole.
TEST(RowValues, TextOfAWiderCharacterSetThanTheLayoutNeverLeavesItsSlot) {
  TORVColumns Columns;
  AddTestColumn(Columns, u"Name", dtCharacter, stVarChar, 4);
  AddTestColumn(Columns, u"Code", dtCharacter, stChar, 2);
  AddTestColumn(Columns, u"Next", dtInteger);
  TTestRow Row(CharacterSetUnicode, Columns);
  Row.Values->GetItems(2)->SetAsInteger(-1);
  EXPECT_EQ(test::ErrorOf([&] { Row.Values->GetItems(0)->SetAsString(u"abcd"); }).rfind("1011 ", 0), 0u);
  Row.Values->SetRaiseTruncationErrors(false);
  Row.Values->GetItems(0)->SetAsString(u"abcd");
  Row.Values->GetItems(1)->SetAsString(u"xy");
  EXPECT_EQ(Row.Values->GetItems(0)->GetAsString(), u"ab");
  EXPECT_EQ(Row.Values->GetItems(1)->GetAsString(), u"x");
  EXPECT_EQ(Row.Values->GetItems(2)->GetAsInteger(), -1);
}

TEST(RowValues, ComputedColumnWithoutComputedValuesReadsNull) {
  TORVColumns Columns;
  AddTestColumn(Columns, u"ID", dtInteger);
  AddComputedColumn(Columns, u"Twice", dtInteger);
  AddTestColumn(Columns, u"Next", dtInteger);
  TTestRow Row(CharacterSetAnsi, Columns, false);
  TORVValue& Placeholder = *Row.Values->GetItems(1);
  Row.Values->GetItems(2)->SetAsInteger(9);
  EXPECT_TRUE(Placeholder.GetNull());
  const std::string Error = test::ErrorOf([&] { Placeholder.SetAsInteger(4); });
  EXPECT_EQ(Error.rfind("1011 ", 0), 0u) << Error;
  EXPECT_NE(Error.find("read-only"), std::string::npos) << Error;
  EXPECT_EQ(Row.Values->GetItems(2)->GetAsInteger(), 9);
  Placeholder.SetAsNull(true);
  EXPECT_EQ(Row.Values->GetItems(2)->GetAsInteger(), 9);
}

class ComputedRow : public ::testing::Test {
 protected:
  void SetUp() override {
    TORVColumn* Base = AddTestColumn(Columns, u"Base", dtInteger, 0, 0, 1);
    Base->GetReferencingColumns()->Add(AddComputedColumn(Columns, u"Twice", dtInteger, 2));
    AddTestColumn(Columns, u"Other", dtInteger, 0, 0, 3);
    Row = std::make_unique<TTestRow>(CharacterSetAnsi, Columns);
    Row->Values->Evaluator = [](TORVRowValues& Values, TORVValue& Value) {
      Value.SetAsInteger(Values.GetItems(0)->GetAsInteger() * 2);
    };
  }

  TORVColumns Columns;
  std::unique_ptr<TTestRow> Row;
};

TEST_F(ComputedRow, EvaluatesOncePerChange) {
  TORVRowValues& Values = *Row->Values;
  Values.GetItems(0)->SetAsInteger(4);
  EXPECT_EQ(Values.GetItems(1)->GetAsInteger(), 8);
  EXPECT_EQ(Values.GetItems(1)->GetAsInteger(), 8);
  EXPECT_EQ(Row->Values->Evaluations, 1);
  // A change of the column it reads makes it evaluate again; a change of
  // another column does not.
  Values.GetItems(2)->SetAsInteger(1);
  EXPECT_EQ(Values.GetItems(1)->GetAsInteger(), 8);
  EXPECT_EQ(Row->Values->Evaluations, 1);
  Values.GetItems(0)->SetAsInteger(5);
  EXPECT_EQ(Values.GetItems(1)->GetAsInteger(), 10);
  EXPECT_EQ(Row->Values->Evaluations, 2);
  Row->Values->GetRowValue(1)->SetModified(true);
  EXPECT_EQ(Values.GetItems(1)->GetAsInteger(), 10);
  EXPECT_EQ(Row->Values->Evaluations, 3);
}

TEST_F(ComputedRow, CannotBeWrittenOutsideLoad) {
  TORVRowValues& Values = *Row->Values;
  Values.GetItems(0)->SetAsInteger(4);
  TORVValue& Twice = *Values.GetItems(1);
  Twice.SetAsInteger(100);
  TORVMemoryStream Other(CharacterSetAnsi);
  Other.WriteBoolean(false);
  Other.WriteInteger(77);
  Twice.Assign(*Values.GetItems(0));
  EXPECT_EQ(Twice.GetAsInteger(), 8);
  // A loaded record is the value until the row changes.
  Other.SetPosition(0);
  Twice.Load(Other);
  EXPECT_EQ(Twice.GetAsInteger(), 77);
  EXPECT_EQ(Row->Values->Evaluations, 1);
  Values.GetItems(0)->SetAsInteger(1);
  EXPECT_EQ(Twice.GetAsInteger(), 2);
}

TEST_F(ComputedRow, FailedEvaluationIsRetried) {
  int32_t Calls = 0;
  Row->Values->Evaluator = [&](TORVRowValues&, TORVValue& Value) {
    if (++Calls == 1) throw EORVException(1011, u"boom");
    Value.SetAsInteger(3);
  };
  EXPECT_THROW(Row->Values->GetItems(1)->GetAsInteger(), EORVException);
  EXPECT_EQ(Row->Values->GetItems(1)->GetAsInteger(), 3);
}

TEST_F(ComputedRow, EvaluatesTheColumnsCurrentTree) {
  TORVExprToken* Seen = nullptr;
  TORVComputedColumnExpr& Expr = *Columns.GetColumn(1)->GetComputeExpr();
  TORVExprToken First;
  Expr.SetTokens(&First);
  TTestRow Later(CharacterSetAnsi, Columns);
  Later.Values->Evaluator = [&](TORVRowValues&, TORVValue& Value) { Value.SetAsInteger(1); };
  Later.Values->OnTokens = [&](TORVExprToken* Tokens) { Seen = Tokens; };
  Later.Values->GetItems(1)->GetAsInteger();
  EXPECT_EQ(Seen, Expr.FTokens);
  // Compiled again: the value evaluates the new tree, never the freed one.
  TORVExprToken Second;
  Expr.SetTokens(&Second);
  Later.Values->GetRowValue(1)->SetModified(true);
  Later.Values->GetItems(1)->GetAsInteger();
  EXPECT_EQ(Seen, Expr.FTokens);
  ASSERT_NE(Seen, nullptr);
}

TEST(RowValues, SaveWithFlagsThenLoadRestoresBufferAndFlags) {
  TORVColumns Columns;
  AddTestColumn(Columns, u"A", dtInteger, 0, 0, 1);
  AddTestColumn(Columns, u"B", dtCharacter, stVarChar, 4, 2);
  TORVColumn* Generated = AddTestColumn(Columns, u"C", dtInteger, 0, 0, 3);
  Generated->SetGenerated(true);
  TTestRow Source(CharacterSetAnsi, Columns);
  Source.Values->GetItems(0)->SetAsInteger(7);
  Source.Values->GetItems(1)->SetAsString(u"hi");
  Source.Values->GetItems(1)->SetAsString(u"hey");
  Source.Values->GetRowValue(0)->SetModified(false);
  Source.Values->GetRowValue(2)->SetModified(true);
  TORVMemoryStream Record(CharacterSetAnsi);
  Source.Values->Save(Record, true);
  const int32_t SlotBytes = Columns.GetRowsetRowSize() - 17;
  ASSERT_EQ(Record.GetSize(), SlotBytes + 3);
  EXPECT_EQ(BufferSlice(Record, SlotBytes, 3), (TORVBytes{0x00, 0x01, 0x01}));

  TTestRow Target(CharacterSetAnsi, Columns);
  Record.SetPosition(0);
  Target.Values->Load(Record, true);
  EXPECT_EQ(BufferSlice(*Target.Buffer, 17, SlotBytes), BufferSlice(*Source.Buffer, 17, SlotBytes));
  EXPECT_FALSE(Target.Values->GetRowValue(0)->GetModified());
  EXPECT_TRUE(Target.Values->GetRowValue(1)->GetModified());
  EXPECT_FALSE(Target.Values->GetRowValue(2)->GetModified());  // generated: ignored
  EXPECT_EQ(Target.Values->GetItems(1)->GetAsString(), u"hey");

  // A record cut short is refused and leaves the row as it was.
  TORVMemoryStream Short(CharacterSetAnsi);
  Short.Write(Record.GetMemory(), SlotBytes);
  Short.SetPosition(0);
  EXPECT_THROW(Target.Values->Load(Short, true), EORVException);
  EXPECT_EQ(Target.Values->GetItems(0)->GetAsInteger(), 7);
}

TEST(RowValues, AssignCopiesAllButTheHeader) {
  TORVColumns Columns;
  AddTestColumn(Columns, u"A", dtInteger);
  AddTestColumn(Columns, u"B", dtCharacter, stChar, 2);
  TTestRow Source(CharacterSetAnsi, Columns);
  TTestRow Target(CharacterSetAnsi, Columns);
  Source.Buffer->GetMemory()[3] = 0x5A;
  Target.Buffer->GetMemory()[3] = 0x11;
  Source.Values->GetItems(0)->SetAsInteger(3);
  Source.Values->GetItems(1)->SetAsString(u"ok");
  Target.Values->Assign(*Source.Values);
  EXPECT_EQ(Target.Buffer->GetMemory()[3], 0x11);
  EXPECT_EQ(BufferSlice(*Target.Buffer, 17, 8), BufferSlice(*Source.Buffer, 17, 8));
  EXPECT_FALSE(Target.Values->GetModified());
  EXPECT_FALSE(Target.Values->GetRowValue(0)->GetModified());
  EXPECT_EQ(Target.Values->GetItems(1)->GetAsString(), u"ok");
  EXPECT_EQ(Target.Values->Compare(*Source.Values, 0, false), 0);
}

TEST(RowValues, HiddenColumnsCompareEqual) {
  TORVColumns Columns;
  AddTestColumn(Columns, u"A", dtInteger)->SetHidden(true);
  AddTestColumn(Columns, u"B", dtInteger);
  TTestRow Left(CharacterSetAnsi, Columns);
  TTestRow Right(CharacterSetAnsi, Columns);
  Left.Values->GetItems(0)->SetAsInteger(1);
  Right.Values->GetItems(0)->SetAsInteger(2);
  EXPECT_EQ(Left.Values->Compare(*Right.Values, 0, false), 0);
  Right.Values->GetItems(1)->SetAsInteger(2);
  EXPECT_EQ(Left.Values->Compare(*Right.Values, 0, false), -1);
  // Against chosen columns: the values of those columns, in that order.
  TORVMappedColumns Chosen;
  Chosen.Add(Columns.GetColumn(1));
  TORVValues Key(CharacterSetAnsi);
  auto* Two = new TORVContainedValue(CharacterSetAnsi);
  Two->SetDataType(dtInteger);
  Two->SetAsInteger(2);
  Key.Add(Two);
  EXPECT_EQ(Right.Values->Compare(Key, 0, false, Chosen), 0);
  EXPECT_EQ(Left.Values->Compare(Key, 0, false, Chosen), -1);
}

TEST(RowValues, LargeObjectsLoadOnDemandAndSaveTheirReference) {
  TORVColumns Columns;
  AddTestColumn(Columns, u"ID", dtInteger, 0, 0, 1);
  AddTestColumn(Columns, u"Notes", dtLargeObject, stBlob, 0, 2);
  TTestRow Row(CharacterSetAnsi, Columns);
  TORVValue& Notes = *Row.Values->GetItems(1);
  Notes.SetAsBytes({1, 2, 3, 4, 5});
  EXPECT_EQ(ColumnBytes(Row, Columns, 1), (TORVBytes{0x01, 0, 0, 0, 0, 0x05, 0, 0, 0}));
  Row.Values->SaveBlobStreams(1);
  EXPECT_EQ(ColumnBytes(Row, Columns, 1), (TORVBytes{0x01, 0x01, 0, 0, 0, 0x05, 0, 0, 0}));
  EXPECT_EQ(Row.Values->BlobStore.at(1), (TORVBytes{1, 2, 3, 4, 5}));
  // Rebinding resets: the contents are read again from the store on demand.
  Row.Values->SetBufferStream(Row.Buffer.get());
  EXPECT_EQ(Row.Values->BlobReads, 0);
  EXPECT_EQ(Notes.GetAsBytes(), (TORVBytes{1, 2, 3, 4, 5}));
  EXPECT_EQ(Notes.GetAsBytes(), (TORVBytes{1, 2, 3, 4, 5}));
  EXPECT_EQ(Row.Values->BlobReads, 1);
  EXPECT_FALSE(Row.Values->GetModified());
  // Writing through the contents stream marks the value.
  TORVMemoryStream* Contents = Row.Values->GetRowValue(1)->GetBlobStream();
  Contents->SetPosition(5);
  Contents->Write(TORVBytes{9}, 0, 1);
  EXPECT_TRUE(Row.Values->GetRowValue(1)->GetModified());
  EXPECT_EQ(ColumnBytes(Row, Columns, 1), (TORVBytes{0x01, 0x01, 0, 0, 0, 0x06, 0, 0, 0}));
  Row.Values->ClearBlobBlockNumbers();
  EXPECT_EQ(Row.Values->GetRowValue(1)->GetBlobBlockNumber(), 0);
}

}  // namespace
}  // namespace orv
