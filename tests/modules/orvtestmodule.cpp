// A module library for the module tests, built in several variants from
// this one source (see CMakeLists.txt):
//   ORVTM_CHARSET       0 ANSI texts, 1 UTF-16 texts
//   ORVTM_KINDS         the kinds accepted: 1 routines, 2 text filter,
//                       4 word generator, 8 migrator
//   ORVTM_NO_VALIDATE, ORVTM_NO_CHARSET, ORVTM_NO_CALL_ROUTINE,
//   ORVTM_NO_OBJECT_NAMES, ORVTM_NO_INSERT_PARAMS leave those exports out.
// What a call does is chosen by its inputs (routine names, filter types,
// words, table names), so that one library serves many cases.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#if ORVTM_CHARSET == 1
using TChar = char16_t;
#else
using TChar = char;
#endif
using TText = std::basic_string<TChar>;

#define ORVTM_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using TCallback = uint8_t (*)(uintptr_t Instance, int32_t CallbackID, uintptr_t Data, int32_t* DataSize);

// Every session that loads the library registers itself here, from its
// own thread, while others may be calling: the library stays thread-safe
// as any library shared by sessions must.
std::atomic<uintptr_t> CallbackInstance{0};
std::atomic<TCallback> Callback{nullptr};

// One working context.
struct TContext {
  TText Error;
  TText Output;
  bool LieAboutOutput = false;
  bool FailDataCall = false;
  bool FailClose = false;
  std::vector<uint8_t> OutputParams;
  bool HugeOutputParams = false;
  std::vector<uint8_t> Params;
  int32_t RowsLeft = 0;
};

// Calls on handle 0 land here.
TContext NoContext;

TContext& Context(uintptr_t Handle) {
  return Handle == 0 ? NoContext : *reinterpret_cast<TContext*>(Handle);
}

TText Text(const char* Ascii) { return TText(Ascii, Ascii + std::strlen(Ascii)); }

// A zero-terminated text the engine passed.
TText Given(const TChar* Value) { return Value == nullptr ? TText() : TText(Value); }

bool Is(const TChar* Value, const char* Ascii) { return Given(Value) == Text(Ascii); }

uint8_t Fail(TContext& Ctx, const char* Message) {
  Ctx.Error = Text(Message);
  return 0;
}

// The two-call protocol for a text result.
uint8_t GiveText(TContext& Ctx, const TText& Value, TChar* Buffer, int32_t* Length) {
  if (Buffer == nullptr) {
    *Length = static_cast<int32_t>(Value.size());
    return 1;
  }
  if (Ctx.FailDataCall) return Fail(Ctx, "data call reached");
  const std::size_t Count = std::min<std::size_t>(Value.size(), static_cast<std::size_t>(*Length));
  std::memcpy(Buffer, Value.data(), Count * sizeof(TChar));
  return 1;
}

uint8_t GiveData(const std::vector<uint8_t>& Value, uint8_t* Buffer, int32_t* Size) {
  if (Buffer == nullptr) {
    *Size = static_cast<int32_t>(Value.size());
    return 1;
  }
  std::memcpy(Buffer, Value.data(), std::min<std::size_t>(Value.size(), static_cast<std::size_t>(*Size)));
  return 1;
}

TText Decimal(int32_t Value) { return Text(std::to_string(Value).c_str()); }

}  // namespace

#ifndef ORVTM_NO_VALIDATE
ORVTM_EXPORT uint8_t ValidateORVModule(int32_t TypeOfModule) {
  const int32_t Bit = TypeOfModule == 100 ? 1 : TypeOfModule == 200 ? 2 : TypeOfModule == 300 ? 4 : TypeOfModule == 400 ? 8 : 0;
  return (ORVTM_KINDS & Bit) != 0;
}
#endif

#ifndef ORVTM_NO_CHARSET
ORVTM_EXPORT uint8_t ValidateORVModuleCharacterSet(int32_t CharacterSet) { return CharacterSet == ORVTM_CHARSET; }
#endif

ORVTM_EXPORT uint8_t SetORVModuleCallbackFunction(uintptr_t Instance, TCallback ModuleCallback) {
  CallbackInstance = Instance;
  Callback = ModuleCallback;
  return 1;
}

ORVTM_EXPORT uint8_t OpenORVModule(uintptr_t* ModuleHandle) {
  *ModuleHandle = reinterpret_cast<uintptr_t>(new TContext);
  return 1;
}

ORVTM_EXPORT uint8_t CloseORVModule(uintptr_t ModuleHandle) {
  auto* Ctx = reinterpret_cast<TContext*>(ModuleHandle);
  const bool Failed = Ctx->FailClose;
  delete Ctx;
  return Failed ? 0 : 1;
}

ORVTM_EXPORT uint8_t GetORVModuleErrorMsg(uintptr_t ModuleHandle, TChar* ErrorMsg, int32_t* ErrorMsgLength) {
  TContext& Ctx = Context(ModuleHandle);
  if (ErrorMsg == nullptr) {
    *ErrorMsgLength = static_cast<int32_t>(Ctx.Error.size());
    return 1;
  }
  std::memcpy(ErrorMsg, Ctx.Error.data(), Ctx.Error.size() * sizeof(TChar));
  return 1;
}

// Routines: "Fail" fails; "Echo" reports the parameter data through
// callback 5 and answers, as output data, what callback 3 writes into a
// buffer; "Huge" reports more output data than any module may; "FailClose"
// makes the closing of its context fail; any other routine answers no
// output data.
#ifndef ORVTM_NO_CALL_ROUTINE
ORVTM_EXPORT uint8_t CallORVRoutine(uintptr_t ModuleHandle, const TChar* RoutineName, uint8_t* ParamData,
                                    int32_t ParamDataSize) {
  TContext& Ctx = Context(ModuleHandle);
  Ctx.OutputParams.clear();
  Ctx.HugeOutputParams = Is(RoutineName, "Huge");
  if (Is(RoutineName, "Fail")) return Fail(Ctx, "routine failed");
  if (Is(RoutineName, "FailClose")) Ctx.FailClose = true;
  const TCallback Call = Callback.load();
  if (Is(RoutineName, "Echo") && Call != nullptr) {
    int32_t Size = ParamDataSize;
    if (Call(CallbackInstance.load(), 5, reinterpret_cast<uintptr_t>(ParamData), &Size) == 0)
      return Fail(Ctx, "callback 5 failed");
    std::vector<uint8_t> Answer(4096);
    Size = static_cast<int32_t>(Answer.size());
    if (Call(CallbackInstance.load(), 3, reinterpret_cast<uintptr_t>(Answer.data()), &Size) == 0)
      return Fail(Ctx, "callback 3 failed");
    Answer.resize(static_cast<std::size_t>(Size));
    Ctx.OutputParams = Answer;
  }
  return 1;
}
#endif

ORVTM_EXPORT uint8_t GetORVOutputParams(uintptr_t ModuleHandle, uint8_t* ParamData, int32_t* ParamDataSize) {
  TContext& Ctx = Context(ModuleHandle);
  if (Ctx.HugeOutputParams && ParamData == nullptr) {
    *ParamDataSize = 0x7FFFFFF0;
    return 1;
  }
  return GiveData(Ctx.OutputParams, ParamData, ParamDataSize);
}

// Text filters: type "fail" fails; "zero" answers an empty text and fails
// the data call; "lie" reports a negative length; "failclose" makes
// closing the context fail; any other type answers "<length>:<text>",
// length as received.
ORVTM_EXPORT uint8_t CallORVTextFilter(uintptr_t ModuleHandle, const TChar* TypeName, const TChar* TextData,
                                       int32_t TextLength) {
  TContext& Ctx = Context(ModuleHandle);
  Ctx.FailDataCall = false;
  Ctx.LieAboutOutput = false;
  if (Is(TypeName, "fail")) return Fail(Ctx, "filter failed");
  if (Is(TypeName, "zero")) {
    Ctx.Output.clear();
    Ctx.FailDataCall = true;
    return 1;
  }
  Ctx.LieAboutOutput = Is(TypeName, "lie");
  if (Is(TypeName, "failclose")) Ctx.FailClose = true;
  Ctx.Output = Decimal(TextLength) + Text(":") + TText(TextData, static_cast<std::size_t>(TextLength));
  return 1;
}

ORVTM_EXPORT uint8_t GetORVOutputText(uintptr_t ModuleHandle, TChar* TextData, int32_t* TextLength) {
  TContext& Ctx = Context(ModuleHandle);
  if (Ctx.LieAboutOutput && TextData == nullptr) {
    *TextLength = -1;
    return 1;
  }
  return GiveText(Ctx, Ctx.Output, TextData, TextLength);
}

// Word generator: words are separated by blanks; the word "stuck" leaves
// Position where it was, "huge" reports a length beyond the buffer, "fail"
// fails. Search texts keep a trailing "*".
ORVTM_EXPORT uint8_t CallORVWordGenerator(uintptr_t ModuleHandle, int32_t /*Collation*/, const TChar* TextData,
                                          int32_t TextLength, TChar* WordData, int32_t WordLength,
                                          int32_t* ResultWordLength, int32_t* Position, uint8_t SearchWords) {
  TContext& Ctx = Context(ModuleHandle);
  int32_t Start = *Position - 1;
  while (Start < TextLength && (TextData[Start] == ' ' || (!SearchWords && TextData[Start] == '*'))) ++Start;
  int32_t End = Start;
  while (End < TextLength && TextData[End] != ' ' && (SearchWords || TextData[End] != '*')) ++End;
  const TText Word(TextData + Start, TextData + End);
  *ResultWordLength = 0;
  if (Word.empty()) {
    *Position = End + 1;
    return 1;
  }
  if (Word == Text("fail")) return Fail(Ctx, "generator failed");
  if (Word == Text("huge")) {
    *ResultWordLength = WordLength + 1;
    *Position = End + 1;
    return 1;
  }
  const int32_t Count = std::min(static_cast<int32_t>(Word.size()), WordLength);
  std::memcpy(WordData, Word.data(), static_cast<std::size_t>(Count) * sizeof(TChar));
  *ResultWordLength = Count;
  if (Word != Text("stuck")) *Position = End + 1;
  return 1;
}

// Migrator: the parameters are whatever SetORVParams handed over (none at
// first); two tables "Orders" and "Items" with two rows each; an object
// list of one table and one view; no views, functions, procedures or
// triggers by name. Table "Corrupt" answers insert parameters with a count
// its data cannot hold, table "Empty" none.
ORVTM_EXPORT uint8_t GetORVParams(uintptr_t ModuleHandle, uint8_t* ParamData, int32_t* ParamDataSize) {
  return GiveData(Context(ModuleHandle).Params, ParamData, ParamDataSize);
}

ORVTM_EXPORT uint8_t SetORVParams(uintptr_t ModuleHandle, uint8_t* ParamData, int32_t ParamDataSize) {
  TContext& Ctx = Context(ModuleHandle);
  if (ParamData == nullptr || ParamDataSize <= 0) return Fail(Ctx, "no parameters");
  Ctx.Params.assign(ParamData, ParamData + ParamDataSize);
  return 1;
}

#ifndef ORVTM_NO_OBJECT_NAMES
ORVTM_EXPORT uint8_t GetORVObjectNames(uintptr_t ModuleHandle, TChar* ObjectNames, int32_t* ObjectNamesLength) {
  return GiveText(Context(ModuleHandle), Text("Orders=TABLE,Totals=VIEW"), ObjectNames, ObjectNamesLength);
}

ORVTM_EXPORT uint8_t GetORVCreateObjectStatement(uintptr_t ModuleHandle, const TChar* ObjectName,
                                                 const TChar* ObjectType, uint8_t PostCreate,
                                                 TChar* CreateObjectStatement, int32_t* CreateObjectStatementLength) {
  const TText Statement = PostCreate ? TText() : Text("CREATE ") + Given(ObjectType) + Text(" ") + Given(ObjectName);
  return GiveText(Context(ModuleHandle), Statement, CreateObjectStatement, CreateObjectStatementLength);
}
#endif

ORVTM_EXPORT uint8_t GetORVTableNames(uintptr_t ModuleHandle, TChar* TableNames, int32_t* TableNamesLength) {
  return GiveText(Context(ModuleHandle), Text("Orders,Items"), TableNames, TableNamesLength);
}

ORVTM_EXPORT uint8_t GetORVCreateTableStatement(uintptr_t ModuleHandle, const TChar* TableName,
                                                TChar* CreateTableStatement, int32_t* CreateTableStatementLength) {
  return GiveText(Context(ModuleHandle), Text("CREATE TABLE ") + Given(TableName), CreateTableStatement,
                  CreateTableStatementLength);
}

ORVTM_EXPORT uint8_t GetORVIndexNames(uintptr_t ModuleHandle, const TChar* TableName, TChar* IndexNames,
                                      int32_t* IndexNamesLength) {
  return GiveText(Context(ModuleHandle), Given(TableName) + Text("Key,ByName"), IndexNames, IndexNamesLength);
}

ORVTM_EXPORT uint8_t GetORVCreateIndexStatement(uintptr_t ModuleHandle, const TChar* TableName,
                                                const TChar* IndexName, TChar* CreateIndexStatement,
                                                int32_t* CreateIndexStatementLength) {
  return GiveText(Context(ModuleHandle), Text("CREATE INDEX ") + Given(IndexName) + Text(" ON ") + Given(TableName),
                  CreateIndexStatement, CreateIndexStatementLength);
}

ORVTM_EXPORT uint8_t GetORVTriggerNames(uintptr_t ModuleHandle, const TChar* /*TableName*/, TChar* TriggerNames,
                                        int32_t* TriggerNamesLength) {
  return GiveText(Context(ModuleHandle), TText(), TriggerNames, TriggerNamesLength);
}

ORVTM_EXPORT uint8_t GetORVCreateTriggerStatement(uintptr_t ModuleHandle, const TChar* TableName,
                                                  const TChar* TriggerName, TChar* CreateTriggerStatement,
                                                  int32_t* CreateTriggerStatementLength) {
  return GiveText(Context(ModuleHandle), Text("CREATE TRIGGER ") + Given(TriggerName) + Text(" ON ") + Given(TableName),
                  CreateTriggerStatement, CreateTriggerStatementLength);
}

ORVTM_EXPORT uint8_t GetORVViewNames(uintptr_t ModuleHandle, TChar* ViewNames, int32_t* ViewNamesLength) {
  return GiveText(Context(ModuleHandle), TText(), ViewNames, ViewNamesLength);
}

ORVTM_EXPORT uint8_t GetORVCreateViewStatement(uintptr_t ModuleHandle, const TChar* ViewName,
                                               TChar* CreateViewStatement, int32_t* CreateViewStatementLength) {
  return GiveText(Context(ModuleHandle), Text("CREATE VIEW ") + Given(ViewName), CreateViewStatement,
                  CreateViewStatementLength);
}

ORVTM_EXPORT uint8_t GetORVFunctionNames(uintptr_t ModuleHandle, TChar* FunctionNames, int32_t* FunctionNamesLength) {
  return GiveText(Context(ModuleHandle), TText(), FunctionNames, FunctionNamesLength);
}

ORVTM_EXPORT uint8_t GetORVCreateFunctionStatement(uintptr_t ModuleHandle, const TChar* FunctionName,
                                                   TChar* CreateFunctionStatement,
                                                   int32_t* CreateFunctionStatementLength) {
  return GiveText(Context(ModuleHandle), Text("CREATE FUNCTION ") + Given(FunctionName), CreateFunctionStatement,
                  CreateFunctionStatementLength);
}

ORVTM_EXPORT uint8_t GetORVProcedureNames(uintptr_t ModuleHandle, TChar* ProcedureNames,
                                          int32_t* ProcedureNamesLength) {
  return GiveText(Context(ModuleHandle), TText(), ProcedureNames, ProcedureNamesLength);
}

ORVTM_EXPORT uint8_t GetORVCreateProcedureStatement(uintptr_t ModuleHandle, const TChar* ProcedureName,
                                                    TChar* CreateProcedureStatement,
                                                    int32_t* CreateProcedureStatementLength) {
  return GiveText(Context(ModuleHandle), Text("CREATE PROCEDURE ") + Given(ProcedureName), CreateProcedureStatement,
                  CreateProcedureStatementLength);
}

ORVTM_EXPORT uint8_t GetORVRowsToInsert(uintptr_t ModuleHandle, const TChar* /*TableName*/, int32_t* RowsToInsert) {
  Context(ModuleHandle).RowsLeft = 2;
  *RowsToInsert = 2;
  return 1;
}

ORVTM_EXPORT uint8_t GetORVInsertStatement(uintptr_t ModuleHandle, const TChar* TableName, TChar* InsertStatement,
                                           int32_t* InsertStatementLength) {
  TContext& Ctx = Context(ModuleHandle);
  TText Statement;
  if (Ctx.RowsLeft > 0) Statement = Text("INSERT INTO ") + Given(TableName) + Text(" VALUES (") + Decimal(Ctx.RowsLeft) + Text(")");
  // The row is used up by the data call.
  if (InsertStatement != nullptr && Ctx.RowsLeft > 0) --Ctx.RowsLeft;
  return GiveText(Ctx, Statement, InsertStatement, InsertStatementLength);
}

ORVTM_EXPORT uint8_t GetORVInsertParameterStatement(uintptr_t ModuleHandle, const TChar* TableName,
                                                    TChar* InsertStatement, int32_t* InsertStatementLength) {
  return GiveText(Context(ModuleHandle), Text("INSERT INTO ") + Given(TableName) + Text(" VALUES (:Value)"),
                  InsertStatement, InsertStatementLength);
}

#ifndef ORVTM_NO_INSERT_PARAMS
ORVTM_EXPORT uint8_t GetORVInsertParameters(uintptr_t ModuleHandle, const TChar* TableName, uint8_t* InsertParamData,
                                            int32_t* InsertParamDataSize) {
  TContext& Ctx = Context(ModuleHandle);
  if (Is(TableName, "Corrupt")) {
    // 1000 parameters announced in eight bytes.
    const std::vector<uint8_t> Corrupt{0xE8, 0x03, 0, 0, 0, 0, 0, 0};
    return GiveData(Corrupt, InsertParamData, InsertParamDataSize);
  }
  if (Is(TableName, "Empty")) return GiveData({}, InsertParamData, InsertParamDataSize);
  return GiveData(Ctx.Params, InsertParamData, InsertParamDataSize);
}
#endif
