// The expression token tree: the one node class of every compiled SQL
// construct, the kinds and operators that tell nodes apart, and the routines
// that copy, compare and free whole trees.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/orvcommon.h"
#include "base/orvtype.h"

namespace orv {

class TORVValue;
class TORVContainedValue;
class TORVSparseBitmap;

// Kinds of nodes. Names ending in REF are references that the validater
// resolves into FSourceToken; the others declare or structure.
enum TORVTokenType : uint8_t {
  ttNONE, ttARRAY, ttARRAYREF, ttARRAYELEMENTREF, ttAUTHORIZATION, ttBACKUP, ttBINARY, ttBLOCK,
  ttBLOCKCLAUSE, ttCLAUSE, ttCOLLATION, ttCOLLATIONREF, ttCOLUMN, ttCOLUMNREF, ttCONST,
  ttCONSTRAINT, ttCONTROL, ttCURSOR, ttCURSORREF, ttDATABASE, ttDATATYPE, ttDYNPARAM,
  ttDYNPARAMREF, ttDYNSTATEMENT, ttEXTBINARY, ttFILE, ttFUNCREF, ttFUNCTION, ttINDEX, ttJOB,
  ttJOIN, ttLINKEDCOLUMNREF, ttMIGRATOR, ttMODULE, ttPARAM, ttPARAMREF, ttPRIVILEGE, ttPROCEDURE,
  ttPROCREF, ttQUERY, ttROLE, ttROWCOLUMNREF, ttROWVALUE, ttROWVARIABLE, ttSCRIPT, ttSELECTCOLUMN,
  ttSELECTCOLUMNREF, ttSTATEMENT, ttSTATEMENTREF, ttSTORE, ttTABLE, ttTABLEREF, ttTEXTFILTER,
  ttTRIGGER, ttUNARY, ttUPDATES, ttUSER, ttVARIABLE, ttVARIABLEREF, ttVIEW, ttWORDGEN,
};

// Operators, functions, clause words, control statements and statements.
// The ordinals are fixed: the parser's and validater's dispatch tables and
// several range tests rely on them.
enum TORVTokenOperator : uint8_t {
  // Operators.
  toNONE, toADD, toAND, toDIV, toEQ, toGE, toGT, toLE, toLT, toMOD, toMUL, toNE, toNEGATE, toNOT,
  toOR, toSUB, toSUBINTERVAL,
  // Built-in functions; the dispatch tables index them by ordinal - 17.
  toABORTED, toABS, toACOS, toASIN, toATAN, toATAN2, toAVG, toBOF, toCARDINALITY, toCASEOPTION,
  toCASERESULT, toCAST, toCEILING, toCOALESCE, toCOLCOUNT, toCOLNAME, toCONCAT, toCOS, toCOT,
  toCOUNT, toCURCOMPUTER, toCURDATABASE, toCURDATE, toCURGUID, toCURSESSIONID, toCURTIME,
  toCURTIMESTAMP, toCURUSER, toCURVERSION, toDEGREES, toEOF, toERRORCODE, toERRORMSG, toEXISTS,
  toEXP, toEXTRACT, toEXTRACTDAY, toEXTRACTDAYOFWEEK, toEXTRACTDAYOFYEAR, toEXTRACTHOUR,
  toEXTRACTMINUTE, toEXTRACTMONTH, toEXTRACTMSECOND, toEXTRACTSECOND, toEXTRACTWEEK, toEXTRACTYEAR,
  toFLOOR, toICASE, toIFNULL, toIIF, toINTRANS, toLASTIDENTITY, toLEFT, toLENGTH, toLIST,
  toLOADINGUPDATES, toLOG, toLOG10, toLOWER, toMAX, toMIN, toNULLIF, toOCCURS, toOPERATION, toPI,
  toPOS, toPOWER, toQUOTEDSTR, toRADIANS, toRAND, toREPEATSTR, toREPLACE, toRIGHT, toROUND,
  toROWCOUNT, toROWSAFFECTED, toRUNSUM, toSENSITIVE, toSIGN, toSIN, toSQRT, toSTDDEV, toSTMTRESULT,
  toSUBSTRING, toSUM, toSUMSQUARE, toTAN, toTRIM, toTRIMBOTH, toTRIMLEADING, toTRIMTRAILING,
  toTRUNCATE, toUDF, toUPPER,
  // Extended binary operators.
  toBETWEEN, toCONTAINS, toCONTAINSANY, toIN, toISNOTNULL, toISNULL, toLIKE, toNOTBETWEEN,
  toNOTCONTAINS, toNOTCONTAINSANY, toNOTIN, toNOTLIKE,
  // Clause words.
  toALL, toASC, toCOLLATE, toCORRELATED, toCROSSJOIN, toDERIVED, toDESC, toDISTINCT, toEXCEPT,
  toEXCEPTALL, toINNERJOIN, toINTERSECT, toINTERSECTALL, toJOININDEXTHRESHHOLD,
  toJOINOPTIMIZECOSTS, toLEFTOUTERJOIN, toNOJOINOPTIMIZE, toRANGE, toRIGHTOUTERJOIN, toUNION,
  toUNIONALL, toUNCORRELATED, toAFTER, toBEFORE, toCASCADE, toCHECK, toCOMPUTED, toDEFAULT,
  toDEFAULTIDENTITY, toDROPDEFAULT, toERROR, toFOREIGNKEY, toGENERATED, toIDENTITY, toIFOPTION,
  toIFRESULT, toINPUT, toINPUTOUTPUT, toINSTEADOF, toMOVECOLUMN, toNAMED, toNOBACKUPFILES,
  toOUTPUT, toPRIMARYKEY, toRESTARTIDENTITY, toRESTRICT, toRESULT, toSETDESC, toSETDEFAULT,
  toSETNULL, toUNIQUE,
  // Control statements; dispatched by ordinal - 174.
  toABORT, toCALL, toCASE, toCLOSE, toCOMMIT, toDECLARE, toDELETECURSOR, toEXECUTE,
  toEXECUTEIMMEDIATE, toFETCH, toFOR, toIF, toINSERTCURSOR, toITERATE, toLEAVE, toLOGEVENT, toLOOP,
  toOPEN, toPREPARE, toRAISE, toREFRESH, toREPEAT, toRETRY, toRETURN, toROLLBACK, toSET,
  toSETCACHE, toSETLOGMSG, toSETPROGRESS, toSETSTATUSMSG, toSTARTTRANS, toUNPREPARE,
  toUPDATECURSOR, toUSEDB, toWHILE,
  // Statements; dispatched by ordinal - 209.
  toALTER, toBACKUPDB, toCOMPAREDB, toCOPYFILE, toCREATE, toDELETE, toDELETEFILE, toDISABLE,
  toDISCONNECTSESSION, toDROP, toEMPTYTABLE, toENABLE, toEXPORTTABLE, toGRANT, toGRANTPRIVILEGES,
  toGRANTROLES, toIMPORTTABLE, toINSERT, toLOADDBUPDATES, toMIGRATEDB, toOPTIMIZETABLE, toPUBLISH,
  toREMOVESESSION, toRENAME, toRENAMEFILE, toREPAIRTABLE, toRESET, toRESTOREDB, toREVOKE,
  toREVOKEPRIVILEGES, toREVOKEROLES, toSAVEDBUPDATES, toSELECT, toSETDYN, toUNPUBLISH, toUPDATE,
  toVERIFYTABLE,
};

static_assert(ttWORDGEN == 60, "token types are persisted by ordinal");
static_assert(toSUBINTERVAL == 16 && toABORTED == 17 && toUPPER == 110 && toBETWEEN == 111 &&
                  toNOTLIKE == 122 && toALL == 123 && toUNIQUE == 173 && toABORT == 174 &&
                  toWHILE == 208 && toALTER == 209 && toVERIFYTABLE == 245,
              "operator groups must keep their fixed ordinal ranges");

inline constexpr TORVTokenOperator FirstFunctionOperator = toABORTED;
inline constexpr TORVTokenOperator FirstControlOperator = toABORT;
inline constexpr TORVTokenOperator FirstStatementOperator = toALTER;
// Sizes of the dispatch tables that the parser and the validater index by
// those ordinals.
inline constexpr int32_t FunctionsTableCount = toUPPER - toABORTED + 1;        // 94
inline constexpr int32_t StatementsTableCount = toVERIFYTABLE - toALTER + 1;   // 37
inline constexpr int32_t ControlsTableCount = toWHILE - toABORT + 1;           // 35

class TORVExprToken;
using TORVExprTokens = std::vector<TORVExprToken*>;

// A node of a token tree. A node owns FValue, FBitmap and FBitmapValue only:
// children are freed with the whole tree (FreeTokens), and every other
// reference is a plain link. Putting a child under a node always sets the
// child's FUpperToken, so the parent chain stays complete.
//
// Binary nodes keep their operands in the left and right tokens, unary nodes
// in the left token; every other node keeps its children in numbered
// argument slots whose meaning is fixed per construct (a nil slot stands for
// an absent optional part; sql/orvtokenslots.h names the slots).
//
// Invariants of a tree (CheckInvariants): it is a tree, every node reached
// once from its root through the left, right and argument links; each child
// names the node it hangs under as FUpperToken; 0 <= FNumArguments <=
// FArgumentTokensCapacity = the slots allocated, and slots beyond
// FNumArguments are nil. Other links (FSourceToken, FTargetToken, ...) may
// point anywhere and are not part of the shape.
class TORVExprToken : public TORVBaseObject {
 public:
  TORVExprToken();
  ~TORVExprToken() override;

  // A blank node of the same class.
  virtual TORVExprToken* Create() const;
  // An estimate for statistics: the node, its strings and its whole subtree.
  virtual int32_t GetMemorySize();
  // Copies every field except the owned value and bitmap. With
  // CopyReferences the children are shared with ExprTokenToAssign (and now
  // name this node as parent); without, the operands are nil and the node
  // gets as many argument slots as the source, all nil.
  virtual void Assign(const TORVExprToken* ExprTokenToAssign, bool CopyReferences);
  // Equality of the node alone (children are not compared); names and, with
  // IncludeConstant, a constant's text compare case-insensitively.
  virtual bool Compare(const TORVExprToken* ExprTokenToCompare, bool IncludeConstant) const;

  // Type setters: a different value is stored through the type model's
  // normalisation, which adjusts the dependent fields; the same value again
  // changes nothing.
  void SetDataType(int32_t Value);
  void SetSubType(int32_t Value);
  void SetLength(int32_t Value);
  void SetScale(int32_t Value);

  bool GetIgnoreCase() const;
  void SetIgnoreCase(bool Value);
  bool GetIgnoreAccent() const;
  void SetIgnoreAccent(bool Value);
  bool GetIgnoreKana() const;
  void SetIgnoreKana(bool Value);
  bool GetIgnoreWidth() const;
  void SetIgnoreWidth(bool Value);

  // A constant NULL: a non-character constant written as NULL.
  bool GetNullConstant() const;

  int32_t GetNumArguments() const { return FNumArguments; }
  void SetNumArguments(int32_t Value);
  int32_t GetArgumentTokensCapacity() const { return FArgumentTokensCapacity; }
  // Grows to Value rounded up to a multiple of 8; never shrinks.
  void SetArgumentTokensCapacity(int32_t Value);
  // Slot Index (0 .. GetNumArguments() - 1); std::out_of_range outside.
  // Inline: every walk over a tree asks for its slots at each node.
  TORVExprToken* GetArgument(int32_t Index) const {
    if (Index < 0 || Index >= FNumArguments) [[unlikely]]
      ThrowArgumentIndex();
    return FArgumentTokens[static_cast<std::size_t>(Index)];
  }
  // Value may be nil. The child's parent becomes this node.
  void AddArgument(TORVExprToken* Value);
  void InsertArgument(int32_t InsertPos, TORVExprToken* Value);
  // The removed node is neither freed nor unlinked from this parent.
  void DeleteArgument(int32_t DeletePos);
  // The node that was in the slot is not freed.
  void SetArgument(int32_t SetPos, TORVExprToken* Value);

  TORVExprToken* GetLeftToken() const { return FLeftToken; }
  TORVExprToken* GetRightToken() const { return FRightToken; }
  void SetLeftToken(TORVExprToken* Value);
  void SetRightToken(TORVExprToken* Value);

  // Copies the type fields as they are; a dynamic parameter that receives a
  // character or byte type of subtype 0 gets length 0.
  void AssignType(const TORVExprToken* ExprTokenToAssign);
  // Fixed or GUID character becomes variable character.
  void AdjustCharType();
  void AssignPos(const TORVExprToken* ExprTokenToAssign);

  // Raises std::logic_error when the tree under this node breaks an
  // invariant above. Walks with an explicit stack.
  void CheckInvariants() const;

  void FreeBitmap();
  // Creates the bitmap when there is none; True exactly when created now.
  bool CheckBitmap();

  // Nodes come from a per-thread cache of freed nodes (core/orvnodecache.h),
  // so that compiling statement after statement reuses the memory of the
  // trees freed before.
  static void* operator new(std::size_t Size);
  static void operator delete(void* Block, std::size_t Size) noexcept;

  // The layout is chosen for speed and nothing depends on it. What every
  // walk reads (the kind, the parent and child links, the source link) sits
  // in the node's first 64 bytes, so that walking up or down a large tree
  // touches one cache line per node; the other fields follow widest first,
  // so that a node carries no padding.
  TORVTokenType FTokenType = ttNONE;
  TORVTokenOperator FTokenOperator = toNONE;
  bool FOptimizeWhere = false;
  bool FParentheses = false;
  bool FBreakpoint = false;
  bool FDatabaseOpen = false;
  bool FHidden = false;
  TORVExprToken* FUpperToken = nullptr;

 private:
  TORVExprToken* FLeftToken = nullptr;
  TORVExprToken* FRightToken = nullptr;
  // FArgumentTokensCapacity slots.
  std::unique_ptr<TORVExprToken*[]> FArgumentTokens;
  int32_t FNumArguments = 0;
  int32_t FArgumentTokensCapacity = 0;

 public:
  TORVExprToken* FSourceToken = nullptr;
  TORVString FTokenConstant;
  TORVString FName;
  TORVString FSourceName;
  TORVString FDatabaseName;
  TORVString FCorrelationName;
  TORVString FOptimizeName;
  TORVString FOptimizeHintName;
  TORVString FOriginName;
  TORVString FCorrelationDescription;
  TORVExprToken* FTargetToken = nullptr;
  TORVExprToken* FOptimizeWhereSource = nullptr;
  std::unique_ptr<TORVValue> FValue;
  TORVBaseObject* FFilterObject = nullptr;
  TORVExprToken* FAssignedToken = nullptr;
  std::unique_ptr<TORVSparseBitmap> FBitmap;
  std::unique_ptr<TORVContainedValue> FBitmapValue;
  int64_t FOptimizeCost = 0;
  int32_t FTokenID = 0;
  int32_t FDataType = 0;
  int32_t FSubType = 0;
  int32_t FLength = 0;
  int32_t FScale = 0;
  int32_t FCollation = 0;
  int32_t FPartialLength = 0;
  int32_t FOptimizeType = 0;
  int32_t FLastOptimizeType = 0;
  int32_t FOptimizeCount = 0;
  int32_t FOptimizeNumber = 0;
  int32_t FLevel = 0;
  int32_t FLine = 0;
  int32_t FCol = 0;
  int32_t FExprPos = 0;
  int32_t FID = 0;
  int32_t FPosition = -1;

 private:
  void CheckArgumentIndex(int32_t Index) const;
  [[noreturn]] static void ThrowArgumentIndex();
};

// Whole-tree routines. All of them walk with an explicit stack, so trees of
// any depth (a long chain of ORs, deep parentheses) are safe.

// A deep copy (nil for nil) in which links to a select column or table
// reference of a copied query, made from inside that query, point to the
// copy of that node; every other link keeps pointing where it pointed.
TORVExprToken* CopyTokens(const TORVExprToken* Token);
// A deep copy without re-pointing links. Token must not be nil.
TORVExprToken* CopyNextToken(const TORVExprToken* Token);
// Re-points the links of a freshly copied tree (see CopyTokens).
void ResetSourceTokenForTokens(TORVExprToken* Token);
// With OldToken and NewToken given: replaces every FSourceToken and
// FTargetToken link equal to OldToken by NewToken throughout the tree under
// Token. Without them: the same as ResetSourceTokenForTokens.
void ResetSourceTokenForNextToken(TORVExprToken* Token, TORVExprToken* OldToken, TORVExprToken* NewToken);
// Structural equality: same shape, nil slots in the same places, and every
// pair of nodes equal by Compare with constants included. Two nils are equal.
bool CompareTokens(const TORVExprToken* Token1, const TORVExprToken* Token2);
bool CompareNextToken(const TORVExprToken* Token1, const TORVExprToken* Token2);
// The number of nodes of the tree; 0 for nil.
int32_t CountTokens(const TORVExprToken* Token);
// Frees the whole tree and clears the variable; nothing for nil.
void FreeTokens(TORVExprToken*& Token);
void FreeNextToken(TORVExprToken*& Token);

}  // namespace orv
