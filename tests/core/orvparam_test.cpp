#include "core/orvparam.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/orverror.h"
#include "core/orvstream.h"
#include "core/orvtypefunc.h"

namespace orv {
namespace {

constexpr int32_t kAnsi = 0;
constexpr int32_t kUnicode = 1;

std::string Utf8(const TORVString& Value) { return std::string(Value.begin(), Value.end()); }

TORVBytes Contents(const TORVMemoryStream& Stream) {
  return TORVBytes(Stream.GetMemory(), Stream.GetMemory() + Stream.GetSize());
}

std::unique_ptr<TORVParamValue> MakeParam(const TORVString& Name, int32_t DataType, int32_t SubType, int32_t Length,
                                          int32_t CharacterSet = kUnicode) {
  auto param = std::make_unique<TORVParamValue>(CharacterSet);
  param->SetName(Name);
  param->SetParamType(ptInput);
  param->SetDataType(DataType);
  param->SetSubType(SubType);
  param->SetLength(Length);
  return param;
}

// Runs Action and returns the message of the EORVException it raises, after
// checking the code.
template <typename F>
std::string ErrorOf(F Action, int32_t Code) {
  try {
    Action();
  } catch (const EORVException& e) {
    EXPECT_EQ(e.ErrorCode(), Code);
    return Utf8(e.ErrorMsg());
  }
  ADD_FAILURE() << "no error";
  return {};
}

const TORVBytes kP1Type{0x01, 0x00, 0x00, 0x00,                          // input
                        0x02, 0x00, 0x00, 0x00, 0x70, 0x00, 0x31, 0x00,  // p1
                        0x01, 0x00, 0x00, 0x00,                          // character
                        0x00, 0x00, 0x00, 0x00,                          // VarChar
                        0x05, 0x00, 0x00, 0x00,                          // length 5
                        0x00, 0x00, 0x00, 0x00,                          // scale
                        0x00, 0x00, 0x00, 0x00};                         // collation

TEST(ParamValue, RecordWithTypeInformation) {
  auto param = MakeParam(u"p1", dtCharacter, stVarChar, 5);
  param->SetAsString(u"abc");
  TORVMemoryStream stream(kUnicode);
  param->Save(stream);
  TORVBytes expected = kP1Type;
  expected.insert(expected.end(), {0x00, 0x03, 0x00, 0x00, 0x00, 0x61, 0x00, 0x62, 0x00, 0x63, 0x00});
  EXPECT_EQ(Contents(stream), expected);

  param->SetAsNull(true);
  TORVMemoryStream nullStream(kUnicode);
  param->Save(nullStream, true);
  expected = kP1Type;
  expected.push_back(0x01);
  EXPECT_EQ(Contents(nullStream), expected);
}

TEST(ParamValue, LoadAppliesTheTypeBeforeTheValue) {
  for (int32_t characterSet : {kAnsi, kUnicode}) {
    SCOPED_TRACE(characterSet);
    auto source = MakeParam(u"Total", dtDecimal, 0, 0, characterSet);
    source->SetParamType(ptInputOutput);
    source->SetScale(2);
    source->SetAsString(u"12.34");
    auto text = MakeParam(u"name", dtCharacter, stChar, 6, characterSet);
    text->SetCollation(1033);
    text->SetAsString(u"ab");
    TORVMemoryStream stream(characterSet);
    source->Save(stream);
    text->Save(stream);

    // The target starts as another type with a value of its own.
    TORVParamValue target(characterSet), targetText(characterSet);
    target.SetDataType(dtCharacter);
    target.SetAsString(u"old");
    stream.SetPosition(0);
    target.Load(stream);
    targetText.Load(stream);
    EXPECT_EQ(stream.GetPosition(), stream.GetSize());
    EXPECT_EQ(target.GetParamType(), ptInputOutput);
    EXPECT_EQ(target.GetName(), u"Total");
    EXPECT_EQ(target.GetDataType(), dtDecimal);
    EXPECT_EQ(target.GetScale(), 2);
    EXPECT_EQ(target.GetAsCurrency(), TORVCurrency::FromScaled(123400));
    EXPECT_EQ(targetText.GetSubType(), stChar);
    EXPECT_EQ(targetText.GetDefinedLength(), 6);
    EXPECT_EQ(targetText.GetCollation(), 1033);
    EXPECT_EQ(targetText.GetAsString(), u"ab    ");
  }
}

TEST(ParamValue, ShortOrDamagedRecordRaisesAndLeavesTheParameter) {
  auto param = MakeParam(u"p1", dtCharacter, stVarChar, 5);
  param->SetAsString(u"abc");
  TORVMemoryStream full(kUnicode);
  param->Save(full);
  const TORVBytes record = Contents(full);

  TORVBytes negativeLength = record;
  negativeLength[20] = 0xFF;
  negativeLength[23] = 0xFF;
  TORVBytes hugeName = record;
  hugeName[7] = 0x7F;
  for (const TORVBytes& bytes :
       {TORVBytes(record.begin(), record.begin() + 10), TORVBytes(record.begin(), record.begin() + 31), hugeName,
        negativeLength}) {
    TORVMemoryStream stream(kUnicode);
    stream.Write(bytes, 0, static_cast<int32_t>(bytes.size()));
    stream.SetPosition(0);
    auto target = MakeParam(u"q", dtInteger, 0, 0);
    target->SetAsInteger(5);
    EXPECT_EQ(ErrorOf([&] { target->Load(stream); }, 1011),
              "An error occurred with the parameter q (A conversion error occurred with the value)");
    EXPECT_EQ(target->GetName(), u"q");
    EXPECT_EQ(target->GetDataType(), dtInteger);
    EXPECT_EQ(target->GetAsInteger(), 5);
  }
}

TEST(ParamValue, DefinedLengthLimitsTextAndErrorsNameTheParameter) {
  struct Case {
    int32_t subType;
    const char16_t* text;
    bool raise;
    const char16_t* stored;  // nullptr: a truncation error
  };
  const Case cases[] = {
      {stVarChar, u"abc   d", true, nullptr},  {stVarChar, u"abc    ", true, u"abc  "},
      {stVarChar, u"abcdef", true, nullptr},   {stVarChar, u"abcdefg", false, u"abcde"},
      {stVarChar, u"abcde", true, u"abcde"},   {stChar, u"ab", true, u"ab   "},
      {stChar, u"abcdefg", true, u"abcde"},
  };
  for (int32_t characterSet : {kAnsi, kUnicode}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(Utf8(c.text));
      auto param = MakeParam(u"p1", dtCharacter, c.subType, 5, characterSet);
      param->SetRaiseTruncationErrors(c.raise);
      if (c.stored == nullptr) {
        EXPECT_EQ(ErrorOf([&] { param->SetAsString(c.text); }, 1011),
                  "An error occurred with the parameter p1 (The value " + Utf8(c.text) + " would result in truncation)");
      } else {
        param->SetAsString(c.text);
        EXPECT_EQ(param->GetAsString(), c.stored);
      }
    }
  }
  // A defined length of 0 does not limit the text.
  auto unlimited = MakeParam(u"p1", dtCharacter, stVarChar, 0);
  unlimited->SetAsString(u"a long text");
  EXPECT_EQ(unlimited->GetAsString(), u"a long text");
}

TEST(ParamValue, RangeAndConversionErrorsNameTheParameter) {
  auto small = MakeParam(u"Counter", dtSmallInt, 0, 0);
  EXPECT_EQ(ErrorOf([&] { small->SetAsInteger(40000); }, 1011),
            "An error occurred with the parameter Counter (The value 40000 is out of the range of permissible values "
            "for the SmallInt type)");
  EXPECT_EQ(ErrorOf([&] { small->SetAsString(u"abc"); }, 1011),
            "An error occurred with the parameter Counter (A conversion error occurred with the value abc)");
}

// A list with an input VarChar, an output Integer and a result.
std::unique_ptr<TORVParamValues> OutputList() {
  auto list = std::make_unique<TORVParamValues>(kUnicode);
  TORVParamValue* input = list->CreateNew();
  input->SetName(u"In1");
  input->SetParamType(ptInput);
  input->SetDataType(dtCharacter);
  TORVParamValue* output = list->CreateNew();
  output->SetName(u"Out1");
  output->SetParamType(ptOutput);
  output->SetDataType(dtInteger);
  TORVParamValue* result = list->CreateNew();
  result->SetName(u"Result");
  result->SetParamType(ptResult);
  result->SetDataType(dtInteger);
  return list;
}

TEST(ParamValues, OutputParamsTravelAsBareValuesOfOutputAndResultOnly) {
  auto list = OutputList();
  list->FindByName(u"in1")->SetAsString(u"abc");
  list->FindByName(u"out1")->SetAsInteger(7);
  TORVMemoryStream stream(kUnicode);
  list->SaveOutputParams(stream);
  EXPECT_EQ(Contents(stream), (TORVBytes{0x00, 0x07, 0x00, 0x00, 0x00, 0x01}));

  auto other = OutputList();
  other->GetParams(0)->SetAsString(u"keep");
  other->GetParams(2)->SetAsInteger(3);
  stream.SetPosition(0);
  other->LoadOutputParams(stream);
  EXPECT_EQ(other->GetParams(0)->GetAsString(), u"keep");
  EXPECT_EQ(other->GetParams(1)->GetAsInteger(), 7);
  EXPECT_TRUE(other->GetParams(2)->GetNull());
  EXPECT_EQ(stream.GetPosition(), stream.GetSize());
}

TEST(ParamValues, FindByNameIgnoresCaseAndTrailingBlanksAndNamesAnUnknownParameter) {
  auto list = OutputList();
  EXPECT_EQ(list->FindByName(u"OUT1"), list->GetParams(1));
  EXPECT_EQ(list->FindByName(u"result  "), list->GetParams(2));
  EXPECT_EQ(ErrorOf([&] { list->FindByName(u"Missing"); }, 401), "The parameter Missing does not exist");
  TORVParamValues empty(kUnicode);
  EXPECT_EQ(ErrorOf([&] { empty.FindByName(u"p1"); }, 401), "The parameter p1 does not exist");
}

TEST(ParamValues, ListRoundTripsWithTypesAndCreatesItsParameters) {
  auto list = OutputList();
  list->GetParams(0)->SetAsString(u"x");
  list->GetParams(1)->SetAsInteger(-3);
  TORVMemoryStream stream(kUnicode);
  list->Save(stream);

  TORVParamValues loaded(kUnicode);
  stream.SetPosition(0);
  loaded.Load(stream);
  ASSERT_EQ(loaded.GetCount(), 3);
  EXPECT_EQ(loaded.FindByName(u"In1")->GetAsString(), u"x");
  EXPECT_EQ(loaded.FindByName(u"Out1")->GetAsInteger(), -3);
  EXPECT_EQ(loaded.FindByName(u"Result")->GetParamType(), ptResult);
  EXPECT_TRUE(loaded.FindByName(u"Result")->GetNull());
}

TEST(ParamValues, RemoveAllFreesOwnedParametersAndLeavesReferencedOnes) {
  auto owner = OutputList();
  TORVReferencedParamValues referring(kUnicode);
  EXPECT_FALSE(referring.GetOwnsValues());
  for (int32_t i = 0; i < owner->GetCount(); ++i) referring.Add(owner->GetItems(i));
  referring.RemoveAll();
  EXPECT_EQ(referring.GetCount(), 3);
  EXPECT_EQ(referring.FindByName(u"Out1"), owner->GetParams(1));

  owner->RemoveAll();
  EXPECT_EQ(owner->GetCount(), 0);
  EXPECT_NE(owner->CreateNew(), nullptr);
  EXPECT_EQ(owner->GetCount(), 1);
}

}  // namespace
}  // namespace orv
