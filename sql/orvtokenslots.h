// The fixed argument slots of token nodes, one list per node kind. The
// parser writes these slots and validation, the builder, execution and the
// tests read them by these names only, never by a bare index, so that a
// node's layout is stated once (scripts/check-slot-names.cmake refuses a
// TokenSlot or SlotOf call with a number outside the slot headers).
#pragma once

#include <cstdint>

namespace orv {

// A clause whose slots are the items of a list (select columns, FROM
// tables, INTO targets, the names of a DECLARE, a block's statements),
// read where only the list's first item matters.
inline constexpr int32_t FirstItemSlot = 0;

// A clause that wraps one value: a WHERE or WHEN clause's condition, a
// column's COMPRESSION, a function's RETURNS parameter, the
// JOININDEXTHRESHHOLD extension's percentage.
inline constexpr int32_t ClauseValueSlot = 0;

// A query (ttQUERY) made from SELECT or TABLE. Slots 0 to 11 are always
// present, nil where the clause is absent; the extension clauses (RANGE,
// NOJOINOPTIMIZE, JOINOPTIMIZECOSTS, JOININDEXTHRESHHOLD) follow from
// QueryExtensionSlot on, each only when written, in that order. INSERT and
// UPDATE build query nodes of their own with other meanings for the slots.
inline constexpr int32_t QueryParametersSlot = 0;  // empty clause: the statement's dynamic parameters
inline constexpr int32_t QueryMergeWordSlot = 1;   // clause whose operator is the merge word in front
inline constexpr int32_t QuerySelectSlot = 2;      // toALL or toDISTINCT clause of ttSELECTCOLUMN items
inline constexpr int32_t QueryNilSlot3 = 3;        // always nil
inline constexpr int32_t QueryNilSlot4 = 4;        // always nil
inline constexpr int32_t QueryIntoSlot = 5;        // clause of INTO targets
inline constexpr int32_t QueryFromSlot = 6;        // clause of ttTABLEREF items, in the order written
inline constexpr int32_t QueryWhereSlot = 7;       // clause whose slot 0 is the condition
inline constexpr int32_t QueryGroupBySlot = 8;     // clause of ttSELECTCOLUMNREF items
inline constexpr int32_t QueryHavingSlot = 9;      // the HAVING condition itself
inline constexpr int32_t QueryMergedQuerySlot = 10;  // the ttQUERY after UNION, EXCEPT or INTERSECT
inline constexpr int32_t QueryOrderBySlot = 11;    // clause of ttSELECTCOLUMNREF items
inline constexpr int32_t QueryExtensionSlot = 12;  // first extension clause, when any
inline constexpr int32_t QueryFixedSlotCount = QueryExtensionSlot;

// The RANGE extension clause: the first row and, after TO, the last, nil
// when not written.
inline constexpr int32_t RangeFirstSlot = 0;
inline constexpr int32_t RangeLastSlot = 1;

// A table of a FROM clause (ttTABLEREF).
inline constexpr int32_t TableRefQuerySlot = 0;       // a derived table's ttQUERY, else nil
inline constexpr int32_t TableRefConditionsSlot = 1;  // clause that receives conditions pushed down to it
inline constexpr int32_t TableRefJoinsSlot = 2;       // clause of the ttJOIN nodes that start at it
inline constexpr int32_t TableRefSlotCount = 3;

// A join (ttJOIN) in a table's join list; a cross join has no slot.
inline constexpr int32_t JoinConditionSlot = 0;  // the ON condition

// A data type (ttDATATYPE) as written in a definition, a declaration or a
// cast.
inline constexpr int32_t DataTypeLengthSlot = 0;     // length of character and bytes types, a Decimal's precision
inline constexpr int32_t DataTypeCollationSlot = 1;  // ttCOLLATIONREF of character types and CLOBs, or nil
inline constexpr int32_t DataTypeScaleSlot = 1;      // a Decimal's scale, or nil

// CAST (toCAST): the value, its target type, then the four formatting
// clauses, each nil when not written.
inline constexpr int32_t CastValueSlot = 0;
inline constexpr int32_t CastDataTypeSlot = 1;
inline constexpr int32_t CastDateFormatSlot = 2;   // DATE FORMAT value
inline constexpr int32_t CastTimeFormatSlot = 3;   // TIME FORMAT value, holding its AM and PM literals
inline constexpr int32_t CastDecimalCharSlot = 4;  // DECIMAL CHAR value
inline constexpr int32_t CastBooleanSlot = 5;      // clause of the BOOLEAN TRUE and FALSE literals

// The TIME FORMAT value's literals (two nils when not written) and the
// BOOLEAN clause's.
inline constexpr int32_t TimeFormatAmSlot = 0;
inline constexpr int32_t TimeFormatPmSlot = 1;
inline constexpr int32_t BooleanTrueSlot = 0;
inline constexpr int32_t BooleanFalseSlot = 1;

// A reference to a column, variable, parameter or array (ttCOLUMNREF,
// ttVARIABLEREF, ttPARAMREF, ttARRAYREF, ttARRAYELEMENTREF).
inline constexpr int32_t RefIndexSlot = 0;      // the element index: a clause holding it, or the index itself
inline constexpr int32_t RefCollationSlot = 1;  // COLLATE clause of the collation reference, or nil
inline constexpr int32_t RefDirectionSlot = 2;  // a key column's ASC or DESC clause, or nil
inline constexpr int32_t IndexValueSlot = 0;    // the index inside its clause
inline constexpr int32_t CollateNameSlot = 0;   // the ttCOLLATIONREF inside a COLLATE clause

// A select column (ttSELECTCOLUMN), and a GROUP BY or ORDER BY item
// (ttSELECTCOLUMNREF).
inline constexpr int32_t ItemExpressionSlot = 0;
inline constexpr int32_t ItemCollateSlot = 1;    // COLLATE clause, or nil
inline constexpr int32_t ItemDirectionSlot = 2;  // an ORDER BY item's ASC or DESC clause, or nil

// An operator (ttUNARY, ttBINARY, ttEXTBINARY): the operand of a unary one
// (IS NULL), the two of a binary one, and LIKE's ESCAPE value, nil when not
// written.
inline constexpr int32_t OperandSlot = 0;
inline constexpr int32_t LeftOperandSlot = 0;
inline constexpr int32_t RightOperandSlot = 1;
inline constexpr int32_t LikeEscapeSlot = 2;

// Function calls (ttFUNCREF), their arguments in the order written. An
// aggregate's further slots are the supporting aggregates validation adds.
inline constexpr int32_t FunctionFirstArgumentSlot = 0;
inline constexpr int32_t AggregateArgumentSlot = 0;
inline constexpr int32_t ExtractValueSlot = 0;     // EXTRACT: the value whose part is taken
inline constexpr int32_t TrimCharactersSlot = 0;   // TRIM: the characters to trim
inline constexpr int32_t TrimTextSlot = 1;         // TRIM: the text trimmed
inline constexpr int32_t SubstringLengthSlot = 2;  // SUBSTRING: the length, or nil
inline constexpr int32_t QuotedStrQuoteSlot = 1;   // QUOTEDSTR: the quote character, or nil
inline constexpr int32_t RandRangeSlot = 0;        // RAND: the range, or nil
inline constexpr int32_t InTransDatabaseSlot = 0;  // INTRANSACTION: the database name, or nil
inline constexpr int32_t RoundPlacesSlot = 1;      // ROUND, TRUNCATE: the decimal places, or nil
inline constexpr int32_t CurrentMomentUTCSlot = 0;  // CURRENT_DATE, _TIME, _TIMESTAMP: the UTC keyword, or nil

// The CASE function (toICASE): parallel clauses of its options (a toDEFAULT
// constant for ELSE) and its results.
inline constexpr int32_t CaseFunctionOptionsSlot = 0;
inline constexpr int32_t CaseFunctionResultsSlot = 1;

}  // namespace orv
