#include "base/orverrors.h"
#include "sql/orvcompiledexpr.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "base/orverror.h"
#include "core/orvcollation.h"
#include "core/orvliteral.h"
#include "core/orvstream.h"
#include "core/orvstrings.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"

namespace orv {

namespace {

// The nearest query above Token, or nil.
TORVExprToken* EnclosingQuery(const TORVExprToken* Token) {
  for (TORVExprToken* Node = Token->FUpperToken; Node != nullptr; Node = Node->FUpperToken) {
    if (Node->FTokenType == ttQUERY) return Node;
  }
  return nullptr;
}

// The first FROM table of the query around Token, or nil.
TORVExprToken* FirstFromTable(const TORVExprToken* Token) {
  if (Token == nullptr) return nullptr;
  TORVExprToken* Query = EnclosingQuery(Token);
  if (Query == nullptr || Query->GetNumArguments() <= QueryFromSlot) return nullptr;
  TORVExprToken* From = Query->GetArgument(QueryFromSlot);
  if (From == nullptr || From->GetNumArguments() == 0) return nullptr;
  return From->GetArgument(0);
}

// Text without its trailing run of blanks and CR LF pairs, in any mix.
TORVString TrimTrailingBlanksAndBreaks(const TORVString& Text) {
  size_t End = Text.size();
  for (;;) {
    if (End >= 1 && Text[End - 1] == u' ') {
      --End;
    } else if (End >= 2 && Text[End - 2] == u'\r' && Text[End - 1] == u'\n') {
      End -= 2;
    } else {
      break;
    }
  }
  return Text.substr(0, End);
}

// Visits, parents first, the nodes of a condition that the filter routines
// look into: binary and unary operands, and the arguments of extended binary
// nodes, function calls and row values. Sub-queries and other constructs
// are visited themselves but not entered.
template <typename F>
void ForEachConditionToken(TORVExprToken* Token, F&& Visit) {
  if (Token == nullptr) return;
  std::vector<TORVExprToken*> Pending{Token};
  while (!Pending.empty()) {
    TORVExprToken* Node = Pending.back();
    Pending.pop_back();
    Visit(Node);
    switch (Node->FTokenType) {
      case ttBINARY:
        if (Node->GetRightToken() != nullptr) Pending.push_back(Node->GetRightToken());
        if (Node->GetLeftToken() != nullptr) Pending.push_back(Node->GetLeftToken());
        break;
      case ttUNARY:
        if (Node->GetLeftToken() != nullptr) Pending.push_back(Node->GetLeftToken());
        break;
      case ttEXTBINARY:
      case ttFUNCREF:
      case ttROWVALUE:
        for (int32_t I = Node->GetNumArguments() - 1; I >= 0; --I) {
          if (TORVExprToken* Arg = Node->GetArgument(I)) Pending.push_back(Arg);
        }
        break;
      default:
        break;
    }
  }
}

}  // namespace

TORVCompiledExpr::TORVCompiledExpr() = default;

TORVCompiledExpr::~TORVCompiledExpr() {
  try {
    Clear();
  } catch (...) {
    // An unbind that fails at destruction has nobody to report to; the tree
    // itself is freed by Clear in any case.
  }
}

std::unique_ptr<TORVCompiledExpr> TORVCompiledExpr::Create() const {
  return std::make_unique<TORVCompiledExpr>();
}

TORVString TORVCompiledExpr::GetTypeName() const { return u"expression"; }

void TORVCompiledExpr::ExpressionError(const TORVString& Message, int32_t Line, int32_t Column) {
  int32_t ErrorLine = GetLine(Line);
  int32_t ErrorColumn = GetCol(Column);
  throw MakeError(ORV_SQL_ERROR, {GetTypeName(), IntToString(ErrorLine), IntToString(ErrorColumn), Message},
                  ErrorLine, ErrorColumn);
}

void TORVCompiledExpr::SetTokens(TORVExprToken* Value) {
  TORVExpr::SetTokens(Value);
  if (Value != nullptr) {
    FExpression = Value->FUpperToken != nullptr ? Value->FUpperToken->FTokenConstant : TORVString();
    FExpressionLength = static_cast<int32_t>(FExpression.size());
    FCompiled = true;
  } else {
    FExpression.clear();
    FExpressionLength = 0;
    FCompiled = false;
  }
}

int32_t TORVCompiledExpr::GetMemorySize() {
  int64_t Total = TORVExpr::GetMemorySize() + 2 * static_cast<int64_t>(FExpression.size());
  return Total > INT32_MAX ? INT32_MAX : static_cast<int32_t>(Total);
}

void TORVCompiledExpr::Clear() {
  if (GetOwnsTokens() && FTokens != nullptr) {
    // Children before their parent: left operand, right operand, then the
    // arguments in order, then the node.
    std::exception_ptr Failure;
    struct TStep {
      TORVExprToken* Node;
      bool ChildrenDone;
    };
    std::vector<TStep> Pending{{FTokens, false}};
    while (!Pending.empty()) {
      TStep Step = Pending.back();
      Pending.pop_back();
      if (Step.ChildrenDone) {
        try {
          UnbindReference(Step.Node);
        } catch (...) {
          // The tree is freed below whatever happens; the first failure is
          // reported once the whole tree has been unbound.
          if (!Failure) Failure = std::current_exception();
        }
        continue;
      }
      TORVExprToken* Node = Step.Node;
      Pending.push_back({Node, true});
      for (int32_t I = Node->GetNumArguments() - 1; I >= 0; --I) {
        if (TORVExprToken* Arg = Node->GetArgument(I)) Pending.push_back({Arg, false});
      }
      if (Node->GetRightToken() != nullptr) Pending.push_back({Node->GetRightToken(), false});
      if (Node->GetLeftToken() != nullptr) Pending.push_back({Node->GetLeftToken(), false});
    }
    TORVExpr::Clear();
    if (Failure) std::rethrow_exception(Failure);
    return;
  }
  TORVExpr::Clear();
}

void TORVCompiledExpr::Assign(TORVExpr* FromExpr, bool CopyReferences) {
  TORVExpr::Assign(FromExpr, CopyReferences);
  if (auto* From = dynamic_cast<TORVCompiledExpr*>(FromExpr)) {
    FExpression = From->FExpression;
    FExpressionLength = From->FExpressionLength;
    if (CopyReferences) {
      FCompiled = From->FCompiled;
    } else {
      // The tree of the previous text must not outlive it.
      Clear();
      FCompiled = false;
    }
  }
}

bool TORVCompiledExpr::Compare(TORVExpr* ExprToCompare) {
  auto* Other = dynamic_cast<TORVCompiledExpr*>(ExprToCompare);
  if (Other == nullptr) return false;
  return SameString(TrimTrailingBlanksAndBreaks(FExpression), TrimTrailingBlanksAndBreaks(Other->FExpression));
}

void TORVCompiledExpr::Save(TORVMemoryStream& Stream) { Stream.WriteString(FExpression); }

void TORVCompiledExpr::Load(TORVMemoryStream& Stream) {
  TORVString Text;
  Stream.ReadString(Text);
  if (Text != FExpression) {
    FExpression = std::move(Text);
    FExpressionLength = static_cast<int32_t>(FExpression.size());
    SetCompiled(false);
  }
}

TORVExprToken* TORVCompiledExpr::Parse() { return nullptr; }

void TORVCompiledExpr::Validate() {}

void TORVCompiledExpr::DefaultDatabaseName(TORVExprToken* Token, TORVString& Name) {
  Name.clear();
  if (Token == nullptr || Token->FTokenType != ttCOLUMNREF) return;
  if (TORVExprToken* Table = FirstFromTable(Token)) Name = Table->FDatabaseName;
}

void TORVCompiledExpr::DefaultSchemaName(TORVExprToken* Token, TORVString& Name) {
  Name.clear();
  if (TORVExprToken* Table = FirstFromTable(Token)) Name = Table->FSourceName;
}

void TORVCompiledExpr::DefaultTableName(TORVExprToken* Token, TORVString& Name) {
  Name.clear();
  if (TORVExprToken* Table = FirstFromTable(Token)) Name = Table->FName;
}

void TORVCompiledExpr::UseDatabase(TORVExprToken* /*Token*/) {}

void TORVCompiledExpr::UnlockDatabase(TORVExprToken* /*Token*/) {}

void TORVCompiledExpr::OpenCatalogForDatabase() {}

void TORVCompiledExpr::CloseCatalogForDatabase() {}

void TORVCompiledExpr::ExpandAllSelectColumns(TORVExprToken* /*Query*/, TORVExprToken* /*TableToken*/,
                                              int32_t& /*Position*/, TORVExprToken* /*Column*/) {}

void TORVCompiledExpr::ExpandAllInsertColumns(TORVExprToken* /*TableToken*/, TORVExprToken* /*Columns*/) {}

void TORVCompiledExpr::BeginReadTokenCatalog(TORVExprToken* /*Token*/) {}

void TORVCompiledExpr::EndReadTokenCatalog(TORVExprToken* /*Token*/) {}

TORVExprToken* TORVCompiledExpr::GetFunctionParamToken(const TORVString& /*FunctionName*/,
                                                       int32_t /*ParamIndex*/) {
  return nullptr;
}

TORVExprToken* TORVCompiledExpr::GetProcedureParamToken(const TORVString& /*ProcedureName*/,
                                                        int32_t /*ParamIndex*/) {
  return nullptr;
}

bool TORVCompiledExpr::ColumnExists(TORVExprToken* /*TableToken*/, TORVExprToken* /*ColumnToken*/) {
  return false;
}

void TORVCompiledExpr::BindReference(TORVExprToken* /*Token*/, TORVTokenType /*ReferenceType*/,
                                     bool /*IncludeTemporary*/) {}

void TORVCompiledExpr::UnbindReference(TORVExprToken* /*Token*/) {}

bool TORVCompiledExpr::TextIndexExists(TORVExprToken* /*Token*/) { return false; }

void TORVCompiledExpr::CheckForRowColumn(TORVExprToken* Token) { Token->FTokenOperator = toNONE; }

void TORVCompiledExpr::TableFound(TORVExprToken* /*Token*/) {}

void TORVCompiledExpr::ColumnFound(TORVExprToken* /*Token*/) {}

void TORVCompiledExpr::FunctionFound(TORVExprToken* /*Token*/) {}

void TORVCompiledExpr::ProcedureFound(TORVExprToken* /*Token*/) {}

int32_t TORVCompiledExpr::GetRowSize() { return 0; }

int32_t TORVCompiledExpr::GetRowCount() { return 0; }

void TORVCompiledExpr::GetRowTableName(TORVString& Name) { Name.clear(); }

void TORVCompiledExpr::SetOptimization(TORVExprToken* Token) {
  Token->FOptimizeType = 0;
  Token->FOptimizeCount = 0;
  Token->FOptimizeCost = 0;
  Token->FOptimizeName.clear();
  Token->FOptimizeHintName.clear();
}

void TORVCompiledExpr::ExpressionChanged() { SetCompiled(false); }

void TORVCompiledExpr::ExpressionCompiled() {}

void TORVCompiledExpr::ExpressionDecompiled() {}

bool TORVCompiledExpr::IsRemoteColumn() { return false; }

TORVString TORVCompiledExpr::Build(TORVExprToken* /*Token*/, bool /*Plan*/, bool /*PlanCosts*/,
                                   bool /*ShowParameterValues*/) {
  return TORVString();
}

void TORVCompiledExpr::Unlock() {}

void TORVCompiledExpr::SetExpression(const TORVString& Value) {
  if (Value == FExpression) return;
  FExpression = Value;
  FExpressionLength = static_cast<int32_t>(FExpression.size());
  ExpressionChanged();
}

void TORVCompiledExpr::SetCompiled(bool Value) {
  if (FCompiling) return;
  TORVFlagScope Guard(FCompiling);
  if (Value == FCompiled) return;
  Clear();
  if (Value) {
    try {
      FTokens = Parse();
      if (FTokens != nullptr) {
        Validate();
        ExpressionCompiled();
      }
    } catch (...) {
      // The compile's own error is the one to report; Clear frees the tree
      // regardless.
      WhileUnwinding([this] { Clear(); });
      throw;
    }
  } else {
    ExpressionDecompiled();
  }
  FCompiled = Value;
}

void TORVCompiledExpr::SetupLinkedColumns(TORVExprToken* TargetTableToken) {
  if (!FCompiled) return;
  ForEachConditionToken(FTokens, [TargetTableToken](TORVExprToken* Node) {
    if (Node->FTokenType != ttCOLUMNREF && Node->FTokenType != ttLINKEDCOLUMNREF) return;
    bool Linked = Node->FSourceToken != nullptr && TargetTableToken != nullptr &&
                  Node->FSourceToken != TargetTableToken;
    Node->FTokenType = Linked ? ttLINKEDCOLUMNREF : ttCOLUMNREF;
  });
}

void TORVCompiledExpr::ResetBitmaps() {
  if (!FCompiled) return;
  ForEachConditionToken(FTokens, [](TORVExprToken* Node) { Node->FreeBitmap(); });
}

TORVString TORVCompiledExpr::GetPlan() { return Build(FTokens, true, FCostOptimization, true); }

// ---------------------------------------------------------------------------
// Normalisation and renaming

void TORVCompiledExpr::Normalize(bool CaseInsensitiveMatch, bool NoPartialMatch) {
  if (!FCompiled) return;
  if (FTokens == nullptr) return;
  NormalizeNextToken(FTokens, CaseInsensitiveMatch, NoPartialMatch);
  FTokens = RemoveNots(FTokens, false);
}

void TORVCompiledExpr::NormalizeNextToken(TORVExprToken* Token, bool CaseInsensitiveMatch, bool NoPartialMatch) {
  if (Token == nullptr) return;
  switch (Token->FTokenType) {
    case ttBINARY: {
      const bool LeftColumns = ContainsColumns(Token->GetLeftToken());
      const bool RightColumns = ContainsColumns(Token->GetRightToken());
      if (!IsComparisonOperator(Token->FTokenOperator) || LeftColumns == RightColumns) {
        NormalizeNextToken(Token->GetLeftToken(), CaseInsensitiveMatch, NoPartialMatch);
        NormalizeNextToken(Token->GetRightToken(), CaseInsensitiveMatch, NoPartialMatch);
        return;
      }
      if (RightColumns) ReverseBinaryTokenOperator(Token);
      TORVExprToken* Column = Token->GetLeftToken();
      TORVExprToken* Constant = Token->GetRightToken();
      if (Constant == nullptr || Constant->FTokenType != ttCONST || Constant->FDataType != 1 ||
          (Token->FTokenOperator != toEQ && Token->FTokenOperator != toNE))
        return;
      if (CaseInsensitiveMatch) Column->SetIgnoreCase(true);
      if (Token->FPartialLength != 0 || NoPartialMatch || !EndsWithWildCard(Constant->FTokenConstant, u'*', 0))
        return;
      TORVString Prefix = Constant->FTokenConstant;
      GetEndingWildCardLength(Prefix, u'*', 0);
      if (!Prefix.empty()) {
        Token->FPartialLength = static_cast<int32_t>(Prefix.size());
        Constant->FTokenConstant = Prefix;
        return;
      }
      // Only wildcards: "= '*'" matches every value, so it asks for one; its
      // negation "<> '*'" matches none but NULL, as NOT over "= '*'" would.
      Token->SetLeftToken(nullptr);
      Token->SetRightToken(nullptr);
      Token->FTokenType = ttEXTBINARY;
      Token->FTokenOperator = Token->FTokenOperator == toEQ ? toISNOTNULL : toISNULL;
      Constant->FTokenConstant = u"NULL";
      Constant->FDataType = 0;
      Constant->FSubType = 0;
      Constant->FLength = 0;
      Constant->FScale = 0;
      Token->AddArgument(Column);
      Token->AddArgument(Constant);
      return;
    }
    case ttEXTBINARY:
      if (CaseInsensitiveMatch && Token->GetNumArguments() > 0 && Token->GetArgument(0) != nullptr)
        Token->GetArgument(0)->SetIgnoreCase(true);
      [[fallthrough]];
    case ttFUNCREF:
    case ttROWVALUE:
      for (int32_t I = 0; I < Token->GetNumArguments(); ++I)
        NormalizeNextToken(Token->GetArgument(I), CaseInsensitiveMatch, NoPartialMatch);
      return;
    case ttUNARY:
      NormalizeNextToken(Token->GetLeftToken(), CaseInsensitiveMatch, NoPartialMatch);
      return;
    default:
      return;
  }
}

void TORVCompiledExpr::RenameSymbols(TORVTokenType SymbolType, const TORVString& OldName,
                                     const TORVString& NewName) {
  SetCompiled(true);
  struct TReplacement {
    int32_t Position;  // 1-based in FExpression
    TORVString OldText;
    TORVString NewText;
  };
  std::vector<TReplacement> Replacements;
  std::vector<TORVExprToken*> Nodes;
  std::vector<TORVExprToken*> Stack;
  if (FTokens != nullptr) Stack.push_back(FTokens);
  while (!Stack.empty()) {
    TORVExprToken* Token = Stack.back();
    Stack.pop_back();
    Nodes.push_back(Token);
    if (Token->GetLeftToken() != nullptr) Stack.push_back(Token->GetLeftToken());
    if (Token->GetRightToken() != nullptr) Stack.push_back(Token->GetRightToken());
    for (int32_t I = 0; I < Token->GetNumArguments(); ++I) {
      if (Token->GetArgument(I) != nullptr) Stack.push_back(Token->GetArgument(I));
    }
    if (Token->FTokenType != SymbolType || !SameString(Token->FName, OldName)) continue;
    Token->FName = NewName;
    TReplacement Replacement{Token->FExprPos, OldName, NewName};
    if (!Token->FSourceName.empty()) {
      Replacement.OldText = Token->FSourceName + u"." + Replacement.OldText;
      Replacement.NewText = Token->FSourceName + u"." + Replacement.NewText;
    }
    if (!Token->FDatabaseName.empty()) {
      Replacement.OldText = Token->FDatabaseName + u"." + Replacement.OldText;
      Replacement.NewText = Token->FDatabaseName + u"." + Replacement.NewText;
    }
    if (Replacement.Position >= 1 && static_cast<std::size_t>(Replacement.Position) <= FExpression.size() &&
        FExpression[static_cast<std::size_t>(Replacement.Position) - 1] == u'"')
      ++Replacement.Position;
    Replacements.push_back(std::move(Replacement));
  }
  // Latest position first; a copied node repeats its original's position and
  // is replaced once.
  std::sort(Replacements.begin(), Replacements.end(),
            [](const TReplacement& A, const TReplacement& B) { return A.Position > B.Position; });
  std::size_t Limit = FExpression.size();  // the start of the last replacement made
  for (const TReplacement& Replacement : Replacements) {
    if (Replacement.Position < 1) continue;
    const std::size_t Start = static_cast<std::size_t>(Replacement.Position) - 1;
    // The text must still hold the old name there; anything else (a quoted
    // qualifier, blanks around the point) is left as it is rather than
    // overwritten.
    if (Start + Replacement.OldText.size() > std::min(Limit, FExpression.size())) continue;
    if (!SameString(std::u16string_view(FExpression).substr(Start, Replacement.OldText.size()),
                    Replacement.OldText))
      continue;
    FExpression = ReplaceWord(FExpression, Replacement.OldText, Replacement.Position, Replacement.NewText);
    Limit = Start;
    // Positions after the replaced text move with it, so that the tree
    // keeps pointing at its text for the next rename.
    const int32_t Shift = static_cast<int32_t>(Replacement.NewText.size() - Replacement.OldText.size());
    for (TORVExprToken* Node : Nodes) {
      if (Node->FExprPos > Replacement.Position) Node->FExprPos += Shift;
    }
  }
  FExpressionLength = static_cast<int32_t>(FExpression.size());
}

}  // namespace orv
