// The text of CREATE and ALTER statements, written from their trees in the
// order the grammar reads the clauses, so that the text parses back to the
// same tree. Every name is written in double quotes: none then reads as a
// keyword of the clause that follows it.
#include <cstdint>
#include <string_view>

#include "sql/orvbuilder.h"
#include "sql/orvroutineslots.h"
#include "sql/orvstmtslots.h"
#include "sql/orvtokenslots.h"

namespace orv {

namespace {

std::u16string_view ObjectWords(const TORVExprToken* Token) {
  switch (Token->FTokenID) {
    case dokDatabase: return u"DATABASE";
    case dokFunction: return u"FUNCTION";
    case dokIndex: return u"INDEX";
    case dokJob: return u"JOB";
    case dokStore: return u"STORE";
    case dokMigrator: return u"MIGRATOR";
    case dokProcedure: return u"PROCEDURE";
    case dokRole: return u"ROLE";
    case dokTable: {
      const TORVExprToken* Table = TokenSlot(Token, ObjectNameSlot);
      return Table != nullptr && Table->FTokenID == TemporaryTableID ? u"TEMPORARY TABLE" : u"TABLE";
    }
    case dokTextFilter: return u"TEXT FILTER";
    case dokTextIndex: return u"TEXT INDEX";
    case dokTrigger: return u"TRIGGER";
    case dokUser: return u"USER";
    case dokView: return u"VIEW";
    case dokWordGenerator: return u"WORD GENERATOR";
    case dokModule: return u"MODULE";
    default: return u"";
  }
}

bool IsTrueFlag(const TORVExprToken* Flag) { return Flag->FTokenConstant == u"TRUE"; }

std::u16string_view RuleWords(TORVTokenOperator Rule) {
  switch (Rule) {
    case toCASCADE: return u"CASCADE";
    case toSETNULL: return u"SET NULL";
    case toSETDEFAULT: return u"SET DEFAULT";
    case toRESTRICT: return u"RESTRICT";
    default: return u"NO ACTION";
  }
}

std::u16string_view TriggerTimingWords(TORVTokenOperator Timing) {
  switch (Timing) {
    case toBEFORE: return u"BEFORE";
    case toAFTER: return u"AFTER";
    case toERROR: return u"ERROR";
    default: return u"INSTEAD OF";
  }
}

std::u16string_view TriggerOperationWords(int32_t ID) {
  switch (ID) {
    case TriggerInsertID: return u"INSERT";
    case TriggerUpdateID: return u"UPDATE";
    case TriggerDeleteID: return u"DELETE";
    case TriggerAllID: return u"ALL";
    default: return u"LOAD UPDATE";
  }
}

std::u16string_view OrdinalWord(const TORVString& Ordinal) {
  static constexpr std::u16string_view Words[] = {u"FIRST", u"SECOND", u"THIRD", u"FOURTH", u"LAST"};
  if (Ordinal.size() != 1 || Ordinal[0] < u'1' || Ordinal[0] > u'5') return u"";
  return Words[Ordinal[0] - u'1'];
}

std::u16string_view DayName(const TORVExprToken* Day) {
  const TORVString& Number = Day->FTokenConstant;
  if (Number.size() != 1 || Number[0] < u'1' || Number[0] > u'7') return u"";
  return JobDayNames[Number[0] - u'1'];
}

}  // namespace

void TORVExprBuilder::BuildOptionalValue(std::u16string_view Word, const TORVExprToken* Value) {
  if (Value == nullptr) return;
  Write(u" ");
  Write(Word);
  Write(u" ");
  BuildValue(Value);
}

void TORVExprBuilder::BuildFlag(const TORVExprToken* Flag, std::u16string_view TrueWords,
                                std::u16string_view FalseWords) {
  if (Flag == nullptr) return;
  const std::u16string_view Words = IsTrueFlag(Flag) ? TrueWords : FalseWords;
  if (Words.empty()) return;
  Write(u" ");
  Write(Words);
}

// The set slots of a day or month list, by their names.
void TORVExprBuilder::BuildNameList(const TORVExprToken* Clause) {
  bool First = true;
  for (int32_t I = 0; Clause != nullptr && I < Clause->GetNumArguments(); ++I) {
    const TORVExprToken* Name = Clause->GetArgument(I);
    if (Name == nullptr) continue;
    Write(First ? u" " : u", ");
    Write(Name->FTokenConstant);
    First = false;
  }
}

void TORVExprBuilder::BuildDefinition(const TORVExprToken* Token) {
  if (Token == nullptr || Token->FTokenType != ttDYNSTATEMENT) return;
  if (Token->FTokenOperator != toCREATE && Token->FTokenOperator != toALTER) return;
  Write(Token->FTokenOperator == toCREATE ? u"CREATE " : u"ALTER ");
  // Functions and procedures write their own word with the routine.
  if (Token->FTokenID == dokFunction || Token->FTokenID == dokProcedure) {
    BuildRoutine(TokenSlot(Token, ObjectNameSlot));
    BuildOptionalValue(u"DESCRIPTION", TokenSlot(Token, StoredRoutineDescriptionSlot));
    BuildOptionalValue(u"VERSION", TokenSlot(Token, StoredRoutineVersionSlot));
    BuildOptionalValue(u"ATTRIBUTES", TokenSlot(Token, StoredRoutineAttributesSlot));
    return;
  }
  Write(ObjectWords(Token));
  Write(u" ");
  switch (Token->FTokenID) {
    case dokTable:
      BuildTableDef(Token);
      return;
    case dokIndex:
    case dokTextIndex:
      BuildIndexDef(Token);
      return;
    default:
      break;
  }
  if (const TORVExprToken* Name = TokenSlot(Token, ObjectNameSlot)) Write(QuotedName(Name->FName));
  switch (Token->FTokenID) {
    case dokDatabase:
      BuildDatabaseDef(Token);
      break;
    case dokUser:
      BuildOptionalValue(u"PASSWORD", TokenSlot(Token, UserPasswordSlot));
      BuildOptionalValue(u"DESCRIPTION", TokenSlot(Token, UserDescriptionSlot));
      BuildOptionalValue(u"ATTRIBUTES", TokenSlot(Token, UserAttributesSlot));
      break;
    case dokRole:
      BuildOptionalValue(u"DESCRIPTION", TokenSlot(Token, RoleDescriptionSlot));
      BuildOptionalValue(u"ATTRIBUTES", TokenSlot(Token, RoleAttributesSlot));
      break;
    case dokStore:
      BuildStoreDef(Token);
      break;
    case dokJob:
      BuildJobDef(Token);
      break;
    case dokTrigger:
      BuildTriggerDef(Token);
      break;
    case dokView:
      BuildViewDef(Token);
      break;
    default:
      BuildModuleBacked(Token);
      break;
  }
}

// MODULE, TEXT FILTER, WORD GENERATOR and MIGRATOR: the slots an ALTER
// cannot change are nil there and so not written.
void TORVExprBuilder::BuildModuleBacked(const TORVExprToken* Token) {
  auto Module = [this](const TORVExprToken* Name) {
    if (Name != nullptr) Write(u" MODULE " + QuotedName(Name->FName));
  };
  switch (Token->FTokenID) {
    case dokModule:
      BuildOptionalValue(u"PATH", TokenSlot(Token, ModulePathSlot));
      BuildOptionalValue(u"DESCRIPTION", TokenSlot(Token, ModuleDescriptionSlot));
      break;
    case dokTextFilter:
      BuildOptionalValue(u"TYPE", TokenSlot(Token, TextFilterTypeSlot));
      Module(TokenSlot(Token, TextFilterModuleSlot));
      BuildOptionalValue(u"DESCRIPTION", TokenSlot(Token, TextFilterDescriptionSlot));
      break;
    default:
      Module(TokenSlot(Token, ModuleObjectModuleSlot));
      BuildOptionalValue(u"DESCRIPTION", TokenSlot(Token, ModuleDescriptionSlot));
      break;
  }
}

void TORVExprBuilder::BuildDatabaseDef(const TORVExprToken* Token) {
  if (const TORVExprToken* Path = TokenSlot(Token, DatabasePathSlot)) {
    BuildOptionalValue(u"PATH", Path);
  } else {
    Write(u" IN MEMORY");
  }
  BuildFlag(TokenSlot(Token, DatabaseEncryptedSlot), u"ENCRYPTED CATALOG", u"UNENCRYPTED CATALOG");
  BuildOptionalValue(u"DESCRIPTION", TokenSlot(Token, DatabaseDescriptionSlot));
  BuildOptionalValue(u"ATTRIBUTES", TokenSlot(Token, DatabaseAttributesSlot));
}

void TORVExprBuilder::BuildStoreDef(const TORVExprToken* Token) {
  if (const TORVExprToken* Path = TokenSlot(Token, StorePathSlot)) {
    Write(u" AS LOCAL");
    BuildOptionalValue(u"PATH", Path);
  } else {
    Write(u" AS REMOTE");
    BuildOptionalValue(u"ADDRESS", TokenSlot(Token, StoreAddressSlot));
    BuildOptionalValue(u"HOST", TokenSlot(Token, StoreHostSlot));
    BuildOptionalValue(u"PORT", TokenSlot(Token, StorePortSlot));
    BuildOptionalValue(u"SERVICE", TokenSlot(Token, StoreServiceSlot));
    if (const TORVExprToken* User = TokenSlot(Token, StoreUserSlot)) Write(u" USER " + QuotedName(User->FName));
    BuildOptionalValue(u"PASSWORD", TokenSlot(Token, StorePasswordSlot));
    if (const TORVExprToken* Store = TokenSlot(Token, StoreRemoteStoreSlot))
      Write(u" STORE " + QuotedName(Store->FName));
    BuildOptionalValue(u"SIGNATURE", TokenSlot(Token, StoreSignatureSlot));
    const TORVExprToken* Password = TokenSlot(Token, StoreEncryptionPasswordSlot);
    if (TokenSlot(Token, StoreEncryptedSlot) != nullptr) {
      Write(u" ENCRYPTED");
      BuildOptionalValue(u"WITH PASSWORD", Password);
    } else {
      BuildOptionalValue(u"ENCRYPTION PASSWORD", Password);
    }
    BuildOptionalValue(u"COMPRESSION", TokenSlot(Token, StoreCompressionSlot));
    BuildOptionalValue(u"TIMEOUT", TokenSlot(Token, StoreTimeoutSlot));
    BuildOptionalValue(u"PING", TokenSlot(Token, StorePingSlot));
  }
  BuildOptionalValue(u"DESCRIPTION", TokenSlot(Token, StoreDescriptionSlot));
  BuildOptionalValue(u"ATTRIBUTES", TokenSlot(Token, StoreAttributesSlot));
}

void TORVExprBuilder::BuildJobDef(const TORVExprToken* Token) {
  if (const TORVExprToken* User = TokenSlot(Token, JobRunAsSlot)) Write(u" RUN AS " + QuotedName(User->FName));
  BuildOptionalValue(u"FROM", TokenSlot(Token, JobFromSlot));
  BuildOptionalValue(u"TO", TokenSlot(Token, JobToSlot));
  BuildSchedule(Token);
  BuildOptionalValue(u"BETWEEN", TokenSlot(Token, JobBetweenSlot));
  BuildOptionalValue(u"AND", TokenSlot(Token, JobAndSlot));
  BuildOptionalValue(u"CATEGORY", TokenSlot(Token, JobCategorySlot));
  NewLine();
  BuildBlock(TokenSlot(TokenSlot(Token, ObjectNameSlot), RoutineBodySlot));
  BuildOptionalValue(u"DESCRIPTION", TokenSlot(Token, JobDescriptionSlot));
  BuildOptionalValue(u"VERSION", TokenSlot(Token, JobVersionSlot));
  BuildOptionalValue(u"ATTRIBUTES", TokenSlot(Token, JobAttributesSlot));
}

void TORVExprBuilder::BuildSchedule(const TORVExprToken* Token) {
  const TORVExprToken* Schedule = TokenSlot(Token, JobScheduleSlot);
  if (Schedule == nullptr) return;
  const TORVExprToken* Days = TokenSlot(Token, JobDaysSlot);
  auto Every = [&](std::u16string_view Unit) {
    BuildOptionalValue(u"EVERY", TokenSlot(Token, JobIntervalSlot));
    Write(Unit);
  };
  auto OnDays = [&] {
    if (Days == nullptr) return;
    Write(u" ON");
    BuildNameList(Days);
  };
  switch (Schedule->FTokenID) {
    case jsOnce: Write(u" ONCE"); break;
    case jsDaily: Write(u" DAILY"); OnDays(); break;
    case jsWeekly: Write(u" WEEKLY"); OnDays(); break;
    case jsMonthly: {
      Write(u" MONTHLY ON");
      if (const TORVExprToken* Ordinal = TokenSlot(Token, JobOrdinalSlot)) {
        const std::u16string_view Word = OrdinalWord(Ordinal->FTokenConstant);
        if (!Word.empty()) {
          Write(u" ");
          Write(Word);
        }
        if (const TORVExprToken* Day = TokenSlot(Ordinal, JobOrdinalDaySlot)) {
          Write(u" ");
          Write(DayName(Day));
        }
      } else {
        BuildOptionalValue(u"DAY", TokenSlot(Token, JobDayOfMonthSlot));
      }
      Write(u" OF");
      BuildNameList(TokenSlot(Token, JobMonthsSlot));
      break;
    }
    case jsEveryDays: Every(u" DAYS"); break;
    case jsEveryWeeks: Every(u" WEEKS"); OnDays(); break;
    case jsHourly: Write(u" HOURLY"); OnDays(); break;
    case jsEveryHours: Every(u" HOURS"); OnDays(); break;
    case jsEveryMinutes: Every(u" MINUTES"); OnDays(); break;
    case jsAtServerStart: Write(u" AT SERVER START"); break;
    default: break;
  }
}

void TORVExprBuilder::BuildTriggerDef(const TORVExprToken* Token) {
  const TORVExprToken* Trigger = TokenSlot(Token, ObjectNameSlot);
  if (Trigger == nullptr) return;
  Write(u" ");
  Write(TriggerTimingWords(Trigger->FTokenOperator));
  Write(u" ");
  Write(TriggerOperationWords(Trigger->FTokenID));
  if (const TORVExprToken* Columns = TokenSlot(Token, TriggerColumnsSlot)) {
    Write(u" OF");
    for (int32_t I = 0; I < Columns->GetNumArguments(); ++I) {
      Write(I == 0 ? u" " : u", ");
      Write(QuotedName(Columns->GetArgument(I)->FName));
    }
  }
  if (const TORVExprToken* Table = TokenSlot(Token, TriggerTableSlot)) {
    Write(u" ON ");
    BuildQualifiedName(Table);
  }
  BuildOptionalValue(u"AT", TokenSlot(Token, TriggerPositionSlot));
  if (const TORVExprToken* When = TokenSlot(Token, TriggerConditionSlot)) {
    Write(u" WHEN ");
    BuildCondition(TokenSlot(When, ClauseValueSlot));
  }
  NewLine();
  BuildBlock(TokenSlot(Trigger, RoutineBodySlot));
  BuildOptionalValue(u"DESCRIPTION", TokenSlot(Token, TriggerDescriptionSlot));
}

void TORVExprBuilder::BuildViewDef(const TORVExprToken* Token) {
  Write(u" AS ");
  FIndentationLevel = -1;
  BuildQuery(TokenSlot(Token, ViewQuerySlot), true);
  BuildFlag(TokenSlot(Token, ViewCheckOptionSlot), u"WITH CHECK OPTION", u"WITHOUT CHECK OPTION");
  BuildOptionalValue(u"DESCRIPTION", TokenSlot(Token, ViewDescriptionSlot));
  BuildOptionalValue(u"VERSION", TokenSlot(Token, ViewVersionSlot));
  BuildOptionalValue(u"ATTRIBUTES", TokenSlot(Token, ViewAttributesSlot));
}

void TORVExprBuilder::BuildIndexDef(const TORVExprToken* Token) {
  if (const TORVExprToken* Name = TokenSlot(Token, ObjectNameSlot)) Write(QuotedName(Name->FName));
  if (const TORVExprToken* Table = TokenSlot(Token, IndexTableSlot)) {
    Write(u" ON ");
    BuildQualifiedName(Table);
  }
  Write(u" (");
  const TORVExprToken* Columns = TokenSlot(Token, IndexColumnsSlot);
  for (int32_t I = 0; Columns != nullptr && I < Columns->GetNumArguments(); ++I) {
    const TORVExprToken* Column = Columns->GetArgument(I);
    if (I > 0) Write(u", ");
    Write(QuotedName(Column->FName));
    if (const TORVExprToken* Collation = TokenSlot(Column, IndexColumnCollateSlot)) BuildCollation(Collation);
    if (const TORVExprToken* Direction = TokenSlot(Column, IndexColumnDirectionSlot))
      Write(Direction->FTokenOperator == toDESC ? u" DESC" : u" ASC");
  }
  Write(u")");
  BuildOptionalValue(u"DESCRIPTION", TokenSlot(Token, IndexDescriptionSlot));
  BuildOptionalValue(u"INDEXED WORD LENGTH", TokenSlot(Token, IndexWordLengthSlot));
  if (const TORVExprToken* Filter = TokenSlot(Token, IndexFilterTypeSlot))
    Write(u" FILTER TYPE COLUMN " + QuotedName(Filter->FName));
  if (const TORVExprToken* Generator = TokenSlot(Token, IndexWordGeneratorSlot))
    Write(u" WORD GENERATOR " + QuotedName(Generator->FName));
  BuildFlag(TokenSlot(Token, IndexExtensionsSlot), u"NO BACKUP FILES", u"");
}

// ---------------------------------------------------------------------------
// Tables

void TORVExprBuilder::BuildTableDef(const TORVExprToken* Token) {
  if (const TORVExprToken* Table = TokenSlot(Token, ObjectNameSlot)) BuildQualifiedName(Table);
  const TORVExprToken* Items = TokenSlot(Token, TableDefinitionsSlot);
  if (const TORVExprToken* As = TokenSlot(Token, TableAsSlot)) {
    Write(u" AS ");
    FIndentationLevel = -1;
    BuildQuery(TokenSlot(As, TableAsQuerySlot), true);
    Write(TokenSlot(As, TableAsWithDataSlot) != nullptr ? u" WITH DATA" : u" WITH NO DATA");
  } else if (const TORVExprToken* From = TokenSlot(Token, TableFromSlot)) {
    Write(u" FROM");
    if (const TORVExprToken* Updates = TokenSlot(From, TableFromUpdatesSlot)) {
      Write(u" UPDATES " + QuotedName(Updates->FName));
      if (const TORVExprToken* Store = TokenSlot(From, TableFromStoreSlot))
        Write(u" IN STORE " + QuotedName(Store->FName));
    } else if (From->GetNumArguments() > 0) {
      Write(u" PUBLISHED UPDATES");
      const TORVExprToken* Tables = TokenSlot(From, TableFromTablesSlot);
      for (int32_t I = 0; Tables != nullptr && I < Tables->GetNumArguments(); ++I) {
        Write(I == 0 ? u" TABLES " : u", ");
        BuildQualifiedName(Tables->GetArgument(I));
      }
    }
  } else if (Token->FTokenOperator == toCREATE) {
    Write(u" (");
    for (int32_t I = 0; Items != nullptr && I < Items->GetNumArguments(); ++I) {
      if (I > 0) Write(u", ");
      BuildTableItem(Items->GetArgument(I), true);
    }
    Write(u")");
  } else {
    for (int32_t I = 0; Items != nullptr && I < Items->GetNumArguments(); ++I) {
      Write(I == 0 ? u" " : u", ");
      BuildTableItem(Items->GetArgument(I), false);
    }
  }
  BuildTableExtensions(Token);
}

// One item of the definitions: a column, constraint or LIKE table of
// CREATE TABLE, or an alteration of ALTER TABLE.
void TORVExprBuilder::BuildTableItem(const TORVExprToken* Item, bool Create) {
  const TORVExprToken* Object = TokenSlot(Item, DefinitionItemSlot);
  if (Object == nullptr) return;
  if (Object->FTokenType == ttTABLE) {
    Write(u"LIKE ");
    BuildQualifiedName(Object);
    for (int32_t I = 0; I < LikeSlotCount; ++I) {
      if (TokenSlot(Object, I) == nullptr) continue;
      Write(u" INCLUDING ");
      Write(LikeKindNames[I]);
    }
    return;
  }
  const bool Constraint = Object->FTokenType == ttCONSTRAINT;
  if (Create) {
    if (Constraint) {
      BuildTableConstraint(Object);
    } else {
      Write(QuotedName(Object->FName) + u" ");
      BuildColumnDef(Object);
    }
    return;
  }
  const TORVString Name = QuotedName(Object->FName);
  const std::u16string_view Kind = Constraint ? u" CONSTRAINT " : u" COLUMN ";
  switch (Item->FTokenOperator) {
    case toADD:
      Write(u"ADD");
      if (Constraint) {
        Write(u" ");
        BuildTableConstraint(Object);
        return;
      }
      Write(Kind);
      Write(Name + u" ");
      BuildColumnDef(Object);
      BuildOptionalValue(u"AT", TokenSlot(Object, ColumnPositionSlot));
      return;
    case toRENAME:
      Write(u"RENAME");
      Write(Kind);
      Write(Name);
      static_assert(RenameNewConstraintSlot == RenameNewColumnSlot);
      if (const TORVExprToken* New = TokenSlot(Object, RenameNewColumnSlot)) Write(u" TO " + QuotedName(New->FName));
      return;
    case toDROP:
      Write(u"DROP");
      Write(Kind);
      Write(Name);
      return;
    default:
      break;
  }
  Write(u"ALTER");
  Write(Kind);
  Write(Name);
  switch (Object->FTokenOperator) {
    case toSETDESC:
      BuildOptionalValue(u"DESCRIPTION",
                         TokenSlot(Object, Constraint ? ConstraintSetDescriptionSlot : ColumnDescriptionSlot));
      return;
    case toMOVECOLUMN:
      BuildOptionalValue(u"MOVE TO", TokenSlot(Object, ColumnPositionSlot));
      return;
    case toSETDEFAULT:
      Write(u" SET ");
      BuildAdditive(TokenSlot(TokenSlot(Object, ColumnValueSlot), ColumnExpressionSlot));
      return;
    case toDROPDEFAULT:
      Write(u" DROP DEFAULT");
      return;
    case toRESTARTIDENTITY:
      BuildOptionalValue(u"RESTART WITH", TokenSlot(Object, ColumnRestartSlot));
      return;
    default:
      Write(u" AS ");
      break;
  }
  if (Constraint) {
    BuildConstraintDef(Object);
    BuildErrorClause(TokenSlot(Object, ConstraintErrorSlot));
    BuildOptionalValue(u"DESCRIPTION", TokenSlot(Object, ConstraintDescriptionSlot));
  } else {
    BuildColumnDef(Object);
  }
}

void TORVExprBuilder::BuildColumnDef(const TORVExprToken* Column) {
  BuildDataType(TokenSlot(Column, ColumnDataTypeSlot));
  if (const TORVExprToken* Compression = TokenSlot(Column, ColumnCompressionSlot))
    BuildOptionalValue(u"COMPRESSION", TokenSlot(Compression, ClauseValueSlot));
  if (const TORVExprToken* Value = TokenSlot(Column, ColumnValueSlot)) {
    const TORVExprToken* Expression = TokenSlot(Value, ColumnExpressionSlot);
    switch (Value->FTokenOperator) {
      case toIDENTITY:
      case toDEFAULTIDENTITY:
        Write(Value->FTokenOperator == toIDENTITY ? u" GENERATED ALWAYS AS IDENTITY"
                                                   : u" GENERATED BY DEFAULT AS IDENTITY");
        if (const TORVExprToken* Start = TokenSlot(Value, IdentityStartSlot)) {
          Write(u" (START WITH ");
          BuildValue(Start);
          if (const TORVExprToken* Increment = TokenSlot(Value, IdentityIncrementSlot)) {
            Write(u", INCREMENT BY ");
            BuildValue(Increment);
          }
          Write(u")");
        }
        break;
      case toGENERATED:
        Write(u" GENERATED ALWAYS AS ");
        BuildCondition(Expression);
        break;
      case toCOMPUTED:
        Write(u" COMPUTED ALWAYS AS ");
        BuildCondition(Expression);
        break;
      default:
        Write(u" DEFAULT ");
        BuildAdditive(Expression);
        break;
    }
  }
  if (const TORVExprToken* Required = TokenSlot(Column, ColumnRequiredSlot)) {
    Write(u" NOT NULL");
    if (TokenSlot(Required, ErrorCodeSlot) != nullptr) BuildErrorClause(Required);
  }
  const TORVExprToken* Constraints = TokenSlot(Column, ColumnConstraintsSlot);
  for (int32_t I = 0; Constraints != nullptr && I < Constraints->GetNumArguments(); ++I) {
    const TORVExprToken* Constraint = Constraints->GetArgument(I);
    Write(u" ");
    if (!Constraint->FName.empty()) Write(u"CONSTRAINT " + QuotedName(Constraint->FName) + u" ");
    BuildConstraintDef(Constraint);
    BuildErrorClause(TokenSlot(Constraint, ConstraintErrorSlot));
  }
  BuildOptionalValue(u"DESCRIPTION", TokenSlot(Column, ColumnDescriptionSlot));
}

// [CONSTRAINT name] kind [error] [DESCRIPTION value].
void TORVExprBuilder::BuildTableConstraint(const TORVExprToken* Constraint) {
  if (!Constraint->FName.empty()) Write(u"CONSTRAINT " + QuotedName(Constraint->FName) + u" ");
  BuildConstraintDef(Constraint);
  BuildErrorClause(TokenSlot(Constraint, ConstraintErrorSlot));
  BuildOptionalValue(u"DESCRIPTION", TokenSlot(Constraint, ConstraintDescriptionSlot));
}

// The kind of a constraint and its five slots.
void TORVExprBuilder::BuildConstraintDef(const TORVExprToken* Constraint) {
  auto Columns = [this](const TORVExprToken* List) {
    if (List == nullptr) return;
    Write(u" (");
    for (int32_t I = 0; I < List->GetNumArguments(); ++I) {
      if (I > 0) Write(u", ");
      Write(QuotedName(List->GetArgument(I)->FName));
    }
    Write(u")");
  };
  const TORVExprToken* KeyColumns = TokenSlot(Constraint, ConstraintColumnsSlot);
  switch (Constraint->FTokenOperator) {
    case toPRIMARYKEY:
      Write(u"PRIMARY KEY");
      Columns(KeyColumns);
      break;
    case toUNIQUE:
      Write(u"UNIQUE");
      Columns(KeyColumns);
      break;
    case toCHECK:
      Write(u"CHECK ");
      BuildCondition(TokenSlot(Constraint, ConstraintConditionSlot));
      break;
    case toFOREIGNKEY:
      // A column's own reference has no key columns and reads back only in
      // the bare form.
      if (KeyColumns != nullptr) {
        Write(u"FOREIGN KEY");
        Columns(KeyColumns);
        Write(u" ");
      }
      Write(u"REFERENCES ");
      if (const TORVExprToken* Table = TokenSlot(Constraint, ConstraintTableSlot)) BuildQualifiedName(Table);
      Columns(TokenSlot(Constraint, ConstraintTargetColumnsSlot));
      if (const TORVExprToken* Update = TokenSlot(Constraint, ConstraintUpdateRuleSlot)) {
        BuildReferenceRule(u"UPDATE", Update);
        if (const TORVExprToken* Delete = TokenSlot(Constraint, ConstraintDeleteRuleSlot))
          BuildReferenceRule(u"DELETE", Delete);
      } else if (const TORVExprToken* Delete = TokenSlot(Constraint, ConstraintDeleteRuleSlot)) {
        BuildReferenceRule(u"DELETE", Delete);
      }
      break;
    default:
      break;
  }
}

void TORVExprBuilder::BuildReferenceRule(std::u16string_view Event, const TORVExprToken* Rule) {
  Write(u" ON ");
  Write(Event);
  Write(u" ");
  Write(RuleWords(Rule->FTokenOperator));
}

void TORVExprBuilder::BuildErrorClause(const TORVExprToken* Clause) {
  if (Clause == nullptr) return;
  Write(u" ERROR");
  BuildOptionalValue(u"CODE", TokenSlot(Clause, ErrorCodeSlot));
  BuildOptionalValue(u"MESSAGE", TokenSlot(Clause, ErrorMessageSlot));
}

void TORVExprBuilder::BuildTableExtensions(const TORVExprToken* Token) {
  BuildOptionalValue(u"DESCRIPTION", TokenSlot(Token, TableDescriptionSlot));
  BuildOptionalValue(u"VERSION", TokenSlot(Token, TableVersionSlot));
  BuildFlag(TokenSlot(Token, TableReadOnlySlot), u"READONLY", u"READWRITE");
  BuildFlag(TokenSlot(Token, TableEncryptedSlot), u"ENCRYPTED", u"UNENCRYPTED");
  BuildOptionalValue(u"INDEX PAGE SIZE", TokenSlot(Token, TableIndexPageSizeSlot));
  BuildOptionalValue(u"BLOB BLOCK SIZE", TokenSlot(Token, TableBlobBlockSizeSlot));
  BuildOptionalValue(u"PUBLISH BLOCK SIZE", TokenSlot(Token, TablePublishBlockSizeSlot));
  BuildOptionalValue(u"PUBLISH COMPRESSION", TokenSlot(Token, TablePublishCompressionSlot));
  BuildOptionalValue(u"MAX ROW BUFFER SIZE", TokenSlot(Token, TableMaxRowBufferSlot));
  BuildOptionalValue(u"MAX INDEX BUFFER SIZE", TokenSlot(Token, TableMaxIndexBufferSlot));
  BuildOptionalValue(u"MAX BLOB BUFFER SIZE", TokenSlot(Token, TableMaxBlobBufferSlot));
  BuildOptionalValue(u"MAX PUBLISH BUFFER SIZE", TokenSlot(Token, TableMaxPublishBufferSlot));
  BuildOptionalValue(u"ATTRIBUTES", TokenSlot(Token, TableAttributesSlot));
  BuildFlag(TokenSlot(Token, TableNoBackupFilesSlot), u"NO BACKUP FILES", u"");
}

}  // namespace orv
