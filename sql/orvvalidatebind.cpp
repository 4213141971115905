// Name binding: what a name in a token tree refers to. Columns are found
// among the FROM tables of the queries around them, variables, arrays,
// cursors and statements among the declarations of the blocks around them,
// parameters among those of the routine, and every "?" gets a declaration
// of its own; whatever the tree does not declare is bound through the
// catalog callbacks of the expression being validated.
#include <memory>

#include "core/orvliteral.h"
#include "core/orvstrings.h"
#include "sql/orvcompiledexpr.h"
#include "sql/orvroutineslots.h"
#include "sql/orvtokenslots.h"
#include "sql/orvtreeutil.h"
#include "sql/orvvalidater.h"

namespace orv {

namespace {

bool IsMerged(const TORVExprToken* Query) {
  const TORVExprToken* Merge = SlotOf(Query, QueryMergeWordSlot);
  return Merge != nullptr && Merge->FTokenOperator != toNONE;
}

// The FROM table of Query that supplies ColumnRef, or nil. The first pass
// matches a qualifier against correlation names (and the names of tables
// without one), the second against table names alone.
TORVExprToken* FindColumnTable(TORVExprValidater& Validater, TORVExprToken* Query, TORVExprToken* ColumnRef,
                               bool SecondPass) {
  TORVExprToken* From = SlotOf(Query, QueryFromSlot);
  if (From == nullptr) return nullptr;
  const bool Qualified = !ColumnRef->FSourceName.empty();
  for (int32_t I = 0; I < From->GetNumArguments(); ++I) {
    TORVExprToken* Table = From->GetArgument(I);
    if (Table == nullptr) continue;
    if (Qualified) {
      if (SecondPass) {
        if (SameString(Table->FName, ColumnRef->FSourceName)) return Table;
      } else if (Table->FCorrelationName.empty() ? SameString(Table->FName, ColumnRef->FSourceName)
                                                  : SameString(Table->FCorrelationName, ColumnRef->FSourceName)) {
        return Table;
      }
    } else if (ColumnRef->FName == u"*" || Validater.ColumnExists(Table, ColumnRef)) {
      return Table;
    }
  }
  return nullptr;
}

// Calls Visit with every DECLARE statement of the blocks around Token,
// innermost block first and in order within a block, until Visit returns
// True.
template <typename F>
void ForEachDeclaration(TORVExprToken* Token, F&& Visit) {
  for (TORVExprToken* Block = GetParentBlockToken(Token); Block != nullptr;
       Block = GetParentBlockToken(Block->FUpperToken)) {
    TORVExprToken* Declarations = SlotOf(Block, BlockDeclarationsSlot);
    if (Declarations == nullptr) continue;
    for (int32_t I = 0; I < Declarations->GetNumArguments(); ++I) {
      TORVExprToken* Declare = Declarations->GetArgument(I);
      if (Declare != nullptr && Visit(Declare)) return;
    }
  }
}

// The first name that Declare declares for which Match holds, or nil.
template <typename F>
TORVExprToken* FindDeclaredName(TORVExprToken* Declare, F&& Match) {
  TORVExprToken* Names = SlotOf(Declare, DeclareNamesSlot);
  for (int32_t I = 0; Names != nullptr && I < Names->GetNumArguments(); ++I) {
    TORVExprToken* Name = Names->GetArgument(I);
    if (Name != nullptr && Match(Name)) return Name;
  }
  return nullptr;
}

bool HasIndex(const TORVExprToken* Ref) { return SlotOf(Ref, RefIndexSlot) != nullptr; }

}  // namespace

void TORVExprValidater::SetColumnSourceToken(TORVExprToken* ColumnRef) {
  const bool Qualified = !ColumnRef->FSourceName.empty();
  TORVExprToken* Start = GetParentQueryToken(ColumnRef);
  // An unqualified name would find the same tables again in a second pass.
  const int32_t Passes = Qualified ? 2 : 1;
  for (int32_t Pass = 0; Pass < Passes && Start != nullptr; ++Pass) {
    TORVExprToken* Query = Start;
    while (Query != nullptr) {
      if (TORVExprToken* Table = FindColumnTable(*this, Query, ColumnRef, Pass == 1)) {
        ColumnRef->FSourceToken = Table;
        return;
      }
      // A derived table and the query of CREATE do not see the queries
      // around them; a sub-query elsewhere does, and becomes correlated.
      TORVExprToken* Parent = Query->FUpperToken;
      const bool Merged = IsMerged(Query);
      if (Parent != nullptr && Parent->FTokenOperator != toDERIVED &&
          (Parent->FUpperToken == nullptr || Parent->FUpperToken->FTokenOperator != toCREATE) && !Merged) {
        if (TORVExprToken* Outer = GetParentQueryToken(Parent)) {
          Query->FTokenOperator = toCORRELATED;
          Query = Outer;
          continue;
        }
      }
      Query = Merged ? GetMergeParentQueryToken(Query) : nullptr;
    }
  }
  if (Qualified) ExpectedTokenTypes(ColumnRef, {ttCOLUMNREF});
}

void TORVExprValidater::SetVariableSourceToken(TORVExprToken* Ref, bool Required) {
  // With an index only an array matches.
  const bool Indexed = HasIndex(Ref);
  bool Found = false;
  ForEachDeclaration(Ref, [&](TORVExprToken* Declare) {
    TORVExprToken* Name = FindDeclaredName(Declare, [&](const TORVExprToken* Candidate) {
      return SameString(Candidate->FName, Ref->FName) &&
             (Candidate->FTokenType == ttARRAY || (Candidate->FTokenType == ttVARIABLE && !Indexed));
    });
    if (Name == nullptr) return false;
    if (Name->FTokenType == ttARRAY) {
      Ref->FTokenType = Indexed ? ttARRAYELEMENTREF : ttARRAYREF;
    } else {
      Ref->FTokenType = ttVARIABLEREF;
    }
    Ref->FSourceToken = Name;
    Found = true;
    return true;
  });
  if (!Found && Required) InvalidToken(Ref, u"the referenced variable does not exist");
}

void TORVExprValidater::SetParamSourceToken(TORVExprToken* Ref, bool Required) {
  TORVExprToken* Params = SlotOf(GetParentRoutineToken(Ref), RoutineParamsSlot);
  for (int32_t I = 0; Params != nullptr && I < Params->GetNumArguments(); ++I) {
    TORVExprToken* Param = Params->GetArgument(I);
    if (Param != nullptr && SameString(Param->FName, Ref->FName)) {
      Ref->FSourceToken = Param;
      return;
    }
  }
  if (Required) InvalidToken(Ref, u"the referenced parameter does not exist");
}

void TORVExprValidater::SetDynamicParamSourceToken(TORVExprToken* Ref) {
  TORVExprToken* Params = SlotOf(GetOuterQueryToken(Ref), QueryParametersSlot);
  if (Params == nullptr) {
    if (Ref->FSourceToken == nullptr) InvalidToken(Ref, u"the referenced dynamic parameter does not exist");
    return;
  }
  // The insertion point is kept in the list's position; a list that has
  // none yet takes declarations at its end.
  int32_t Position = Params->FPosition;
  if (Position < 0 || Position > Params->GetNumArguments()) Position = Params->GetNumArguments();
  auto Param = std::make_unique<TORVExprToken>();
  Param->FTokenType = ttDYNPARAM;
  Param->FTokenOperator = FParamOperator;
  Param->FName = u"Parameter" + IntToString(FParamNum);
  Param->FPosition = Position;
  Param->AssignPos(Ref);
  Params->InsertArgument(Position, Param.get());
  Ref->FSourceToken = Param.release();
  Params->FPosition = Position + 1;
  ++FParamNum;
}

void TORVExprValidater::SetCursorSourceToken(TORVExprToken* Ref) {
  bool Found = false;
  ForEachDeclaration(Ref, [&](TORVExprToken* Declare) {
    TORVExprToken* Cursor = SlotOf(SlotOf(Declare, DeclareNamesSlot), FirstItemSlot);
    if (Cursor == nullptr || Cursor->FTokenType != ttCURSOR || !SameString(Cursor->FName, Ref->FName)) return false;
    Ref->FSourceToken = Cursor;
    Found = true;
    return true;
  });
  if (!Found) InvalidToken(Ref, u"the referenced cursor does not exist");
}

void TORVExprValidater::SetStatementSourceToken(TORVExprToken* Ref) {
  bool Found = false;
  ForEachDeclaration(Ref, [&](TORVExprToken* Declare) {
    // The statement a cursor is declared FOR comes first.
    auto CursorFor = [&](const TORVExprToken* Candidate) {
      const TORVExprToken* For = SlotOf(Candidate, CursorStatementSlot);
      return Candidate->FTokenType == ttCURSOR && For != nullptr && SameString(For->FName, Ref->FName);
    };
    TORVExprToken* Statement = SlotOf(FindDeclaredName(Declare, CursorFor), CursorStatementSlot);
    if (Statement == nullptr) {
      Statement = FindDeclaredName(Declare, [&](const TORVExprToken* Candidate) {
        return Candidate->FTokenType == ttSTATEMENT && SameString(Candidate->FName, Ref->FName);
      });
    }
    if (Statement == nullptr) return false;
    Ref->FSourceToken = Statement;
    Found = true;
    return true;
  });
  if (!Found) InvalidToken(Ref, u"the referenced statement does not exist");
}

void TORVExprValidater::SetJumpSourceToken(TORVExprToken* Jump) {
  const bool Labelled = !Jump->FName.empty();
  TORVExprToken* Target = nullptr;
  for (TORVExprToken* Block = GetParentBlockToken(Jump); Block != nullptr && Target == nullptr;) {
    TORVExprToken* Enclosing = GetParentBlockToken(Block->FUpperToken);
    if (Jump->FTokenOperator == toRETRY) {
      if (Enclosing == nullptr) Target = Block;
    } else if (Block->FTokenOperator != toNAMED || (Labelled && !SameString(Block->FName, Jump->FName))) {
      // The statement list of a loop jumps to the loop.
      TORVExprToken* Owner = Block->FUpperToken;
      const bool Loop = Owner != nullptr && Owner->FTokenType == ttCONTROL &&
                        (Owner->FTokenOperator == toLOOP || Owner->FTokenOperator == toREPEAT ||
                         Owner->FTokenOperator == toWHILE);
      if (Loop && (!Labelled || SameString(Owner->FName, Jump->FName))) Target = Owner;
    } else if (Jump->FTokenOperator == toLEAVE) {
      Target = Block;
    } else {
      InvalidToken(Jump, u"ITERATE not allowed in non-looping statement block");
    }
    Block = Enclosing;
  }
  if (Target == nullptr) {
    InvalidToken(Jump,
                 Labelled ? u"the referenced label does not exist" : u"ITERATE or LEAVE not allowed outside of block");
  }
  Jump->FSourceToken = Target;
}

void TORVExprValidater::AssignSourceType(TORVExprToken* Ref) {
  if (Ref->FSourceToken != nullptr) Ref->AssignType(Ref->FSourceToken);
}

void TORVExprValidater::BindReference(TORVExprToken* Token, TORVTokenType ReferenceType, bool IncludeTemporary) {
  if (Token->FTokenType != ttCOLUMNREF || Token->FSourceToken != nullptr || !Token->FSourceName.empty()) {
    CheckTokenType(Token, {ReferenceType});
  } else {
    // An unqualified column that no FROM table supplied: the expression may
    // still know a table to look it up in.
    TORVString Name;
    DefaultSchemaName(Token, Name);
    if (Name.empty()) DefaultTableName(Token, Name);
    if (Name.empty()) {
      Token->FTokenType = ttNONE;
      if (GetParentQueryToken(Token) != nullptr) {
        CheckTokenType(Token, {ReferenceType});
      } else {
        CheckTokenType(Token, {ttARRAYREF, ttARRAYELEMENTREF, ttVARIABLEREF});
      }
    } else {
      CheckTokenType(Token, {ReferenceType});
    }
  }
  Expr().BindReference(Token, ReferenceType, IncludeTemporary);
}

void TORVExprValidater::ValidateColumnOptions(TORVExprToken* Token) {
  for (int32_t I = 0; I < Token->GetNumArguments(); ++I) {
    TORVExprToken* Option = Token->GetArgument(I);
    if (Option == nullptr || Option->FTokenOperator != toCOLLATE) continue;
    if (TORVExprToken* Collation = SlotOf(Option, CollateNameSlot)) BindReference(Collation, ttCOLLATIONREF, true);
  }
}

void TORVExprValidater::CheckForRowColumn(TORVExprToken* Token) {
  Expr().CheckForRowColumn(Token);
  if (Token->FTokenType == ttROWCOLUMNREF && Token->FSourceToken == nullptr) {
    InvalidToken(Token, u"the column reference must be prefaced with a row identifier");
  }
}

// ---------------------------------------------------------------------------
// Catalog forwarders

void TORVExprValidater::BeginReadTokenCatalog(TORVExprToken* Token) { Expr().BeginReadTokenCatalog(Token); }

void TORVExprValidater::EndReadTokenCatalog(TORVExprToken* Token) { Expr().EndReadTokenCatalog(Token); }

TORVExprToken* TORVExprValidater::GetFunctionParamToken(const TORVString& FunctionName, int32_t ParamIndex) {
  return Expr().GetFunctionParamToken(FunctionName, ParamIndex);
}

TORVExprToken* TORVExprValidater::GetProcedureParamToken(const TORVString& ProcedureName, int32_t ParamIndex) {
  return Expr().GetProcedureParamToken(ProcedureName, ParamIndex);
}

bool TORVExprValidater::ColumnExists(TORVExprToken* TableToken, TORVExprToken* ColumnToken) {
  return Expr().ColumnExists(TableToken, ColumnToken);
}

void TORVExprValidater::UseDatabase(TORVExprToken* Token) { Expr().UseDatabase(Token); }

void TORVExprValidater::UnlockDatabase(TORVExprToken* Token) { Expr().UnlockDatabase(Token); }

void TORVExprValidater::ExpandAllSelectColumns(TORVExprToken* Query, TORVExprToken* TableToken, int32_t& Position,
                                               TORVExprToken* Column) {
  Expr().ExpandAllSelectColumns(Query, TableToken, Position, Column);
}

void TORVExprValidater::ExpandAllInsertColumns(TORVExprToken* TableToken, TORVExprToken* Columns) {
  Expr().ExpandAllInsertColumns(TableToken, Columns);
}

void TORVExprValidater::DefaultSchemaName(TORVExprToken* Token, TORVString& Name) {
  Expr().DefaultSchemaName(Token, Name);
}

void TORVExprValidater::DefaultTableName(TORVExprToken* Token, TORVString& Name) {
  Expr().DefaultTableName(Token, Name);
}

void TORVExprValidater::TableFound(TORVExprToken* Token) { Expr().TableFound(Token); }

void TORVExprValidater::ColumnFound(TORVExprToken* Token) { Expr().ColumnFound(Token); }

void TORVExprValidater::FunctionFound(TORVExprToken* Token) { Expr().FunctionFound(Token); }

void TORVExprValidater::ProcedureFound(TORVExprToken* Token) { Expr().ProcedureFound(Token); }

}  // namespace orv
