#include "sql/orvexprtoken.h"

#include <algorithm>
#include <limits>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/orvassert.h"
#include "core/orvbitmap.h"
#include "core/orvcontainedvalue.h"
#include "core/orvenv.h"
#include "core/orvnodecache.h"
#include "core/orvstrings.h"
#include "core/orvtypefunc.h"
#include "core/orvvalue.h"

namespace orv {

namespace {

// Tokens carry no character set of their own; the size that the type model
// derives is not kept, so the Unicode set serves for every token.
constexpr int32_t TokenCharacterSet = 1;
constexpr int32_t ArgumentBlockSize = 8;

// A freshly made node of the class of Source, with Source's fields and
// empty children; it is freed again when it never makes it into a tree.
std::unique_ptr<TORVExprToken> NewCopyOf(const TORVExprToken* Source) {
  std::unique_ptr<TORVExprToken> Result(Source->Create());
  Result->Assign(Source, false);
  return Result;
}

// Calls Visit(Node) for every node of the tree under Token, parents before
// children. A node's children are noted before it is visited, so Visit may
// free the node; it may not change the shape of the tree otherwise.
template <typename TNode, typename F>
void ForEachToken(TNode* Token, F&& Visit) {
  if (Token == nullptr) return;
  std::vector<TNode*> Pending{Token};
  while (!Pending.empty()) {
    TNode* Node = Pending.back();
    Pending.pop_back();
    for (int32_t I = Node->GetNumArguments() - 1; I >= 0; --I) {
      if (TORVExprToken* Arg = Node->GetArgument(I)) Pending.push_back(Arg);
    }
    if (Node->GetRightToken() != nullptr) Pending.push_back(Node->GetRightToken());
    if (Node->GetLeftToken() != nullptr) Pending.push_back(Node->GetLeftToken());
    Visit(Node);
  }
}

void ReplaceLinks(TORVExprToken* Node, TORVExprToken* OldToken, TORVExprToken* NewToken) {
  if (Node->FSourceToken == OldToken) Node->FSourceToken = NewToken;
  if (Node->FTargetToken == OldToken) Node->FTargetToken = NewToken;
}

}  // namespace

TORVExprToken::TORVExprToken() = default;

namespace {

// Enough nodes for the tree of a long statement (an IN list of a thousand
// items, a thousand ANDed comparisons) while a thread holds at most a few
// megabytes of them idle.
constexpr int32_t CachedTokens = 4096;

// Set when this thread's cache is gone (the thread is ending); nodes freed
// after that, by thread-local or static objects destroyed later, go straight
// back to the heap.
thread_local bool TokenCacheGone = false;

struct TTokenCache {
  TORVNodeCache Cache{sizeof(TORVExprToken), CachedTokens};
  ~TTokenCache() { TokenCacheGone = true; }
};

TORVNodeCache& ThreadTokenCache() {
  thread_local TTokenCache Instance;
  return Instance.Cache;
}

// Under AddressSanitizer every node goes to the heap and back, so that a
// link to a freed node is still caught however soon its memory would have
// been reused.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool UseTokenCache = false;
#else
constexpr bool UseTokenCache = true;
#endif

}  // namespace

void* TORVExprToken::operator new(std::size_t Size) {
  if (!UseTokenCache || Size != sizeof(TORVExprToken) || TokenCacheGone) return ::operator new(Size);
  return ThreadTokenCache().Get();
}

void TORVExprToken::operator delete(void* Block, std::size_t Size) noexcept {
  if (!UseTokenCache || Size != sizeof(TORVExprToken) || TokenCacheGone) {
    ::operator delete(Block, Size);
    return;
  }
  ThreadTokenCache().Put(Block);
}

TORVExprToken::~TORVExprToken() = default;

TORVExprToken* TORVExprToken::Create() const { return new TORVExprToken(); }

int32_t TORVExprToken::GetMemorySize() {
  int64_t Total = 0;
  ForEachToken(this, [&Total](TORVExprToken* Node) {
    Total += static_cast<int64_t>(sizeof(TORVExprToken));
    for (const TORVString* Text :
         {&Node->FTokenConstant, &Node->FOptimizeName, &Node->FOptimizeHintName, &Node->FDatabaseName,
          &Node->FSourceName, &Node->FName, &Node->FOriginName, &Node->FCorrelationName,
          &Node->FCorrelationDescription}) {
      Total += 2 * static_cast<int64_t>(Text->size());
    }
    Total += 4 * static_cast<int64_t>(Node->GetArgumentTokensCapacity());
    if (auto* Contained = dynamic_cast<TORVContainedValue*>(Node->FValue.get())) {
      Total += Contained->GetMemorySize();
    }
  });
  return Total > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                      : static_cast<int32_t>(Total);
}

void TORVExprToken::Assign(const TORVExprToken* ExprTokenToAssign, bool CopyReferences) {
  const TORVExprToken& From = *ExprTokenToAssign;
  FTokenConstant = From.FTokenConstant;
  FTokenType = From.FTokenType;
  FTokenOperator = From.FTokenOperator;
  FTokenID = From.FTokenID;
  FDataType = From.FDataType;
  FSubType = From.FSubType;
  FLength = From.FLength;
  FScale = From.FScale;
  FCollation = From.FCollation;
  FPartialLength = From.FPartialLength;
  FOptimizeType = From.FOptimizeType;
  FLastOptimizeType = From.FLastOptimizeType;
  FOptimizeCount = From.FOptimizeCount;
  FOptimizeCost = From.FOptimizeCost;
  FOptimizeName = From.FOptimizeName;
  FOptimizeHintName = From.FOptimizeHintName;
  FOptimizeNumber = From.FOptimizeNumber;
  FOptimizeWhere = From.FOptimizeWhere;
  FOptimizeWhereSource = From.FOptimizeWhereSource;
  FLevel = From.FLevel;
  FParentheses = From.FParentheses;
  FLine = From.FLine;
  FCol = From.FCol;
  FExprPos = From.FExprPos;
  FBreakpoint = From.FBreakpoint;
  FDatabaseName = From.FDatabaseName;
  FDatabaseOpen = From.FDatabaseOpen;
  FSourceName = From.FSourceName;
  FSourceToken = From.FSourceToken;
  FTargetToken = From.FTargetToken;
  FName = From.FName;
  FOriginName = From.FOriginName;
  FID = From.FID;
  FCorrelationName = From.FCorrelationName;
  FCorrelationDescription = From.FCorrelationDescription;
  FPosition = From.FPosition;
  FHidden = From.FHidden;
  FUpperToken = From.FUpperToken;
  FFilterObject = From.FFilterObject;
  SetNumArguments(From.FNumArguments);
  if (CopyReferences) {
    SetLeftToken(From.FLeftToken);
    SetRightToken(From.FRightToken);
    for (int32_t I = 0; I < From.FNumArguments; ++I) SetArgument(I, From.FArgumentTokens[I]);
  } else {
    FLeftToken = nullptr;
    FRightToken = nullptr;
    for (int32_t I = 0; I < From.FNumArguments; ++I) FArgumentTokens[I] = nullptr;
  }
  FAssignedToken = const_cast<TORVExprToken*>(ExprTokenToAssign);
}

bool TORVExprToken::Compare(const TORVExprToken* ExprTokenToCompare, bool IncludeConstant) const {
  const TORVExprToken& Other = *ExprTokenToCompare;
  if (FTokenType != Other.FTokenType || FTokenOperator != Other.FTokenOperator ||
      FTokenID != Other.FTokenID || FDataType != Other.FDataType || FSubType != Other.FSubType ||
      FLength != Other.FLength || FScale != Other.FScale || FCollation != Other.FCollation ||
      FPartialLength != Other.FPartialLength) {
    return false;
  }
  if (!SameString(FDatabaseName, Other.FDatabaseName) || !SameString(FSourceName, Other.FSourceName) ||
      !SameString(FCorrelationName, Other.FCorrelationName) || !SameString(FName, Other.FName)) {
    return false;
  }
  if (IncludeConstant && FTokenType == ttCONST) return SameString(FTokenConstant, Other.FTokenConstant);
  return true;
}

void TORVExprToken::SetDataType(int32_t Value) {
  if (Value == FDataType) return;
  int32_t Size = 0;
  AssignDataType(TokenCharacterSet, Value, FDataType, FSubType, FLength, Size, FScale, FCollation);
}

void TORVExprToken::SetSubType(int32_t Value) {
  if (Value == FSubType) return;
  int32_t Size = 0;
  AssignSubType(TokenCharacterSet, FDataType, Value, FSubType, FLength, Size, FScale, FCollation);
}

void TORVExprToken::SetLength(int32_t Value) {
  if (Value == FLength) return;
  int32_t Size = 0;
  AssignLength(TokenCharacterSet, FDataType, FSubType, Value, FLength, Size, false);
}

void TORVExprToken::SetScale(int32_t Value) {
  if (Value == FScale) return;
  AssignScale(FDataType, FSubType, Value, FScale);
}

namespace {
void SetFlag(int32_t& Collation, int32_t Bit, bool Value) {
  if (Value) {
    SetLocaleFlag(Collation, Bit);
  } else {
    ClearLocaleFlag(Collation, Bit);
  }
}
}  // namespace

bool TORVExprToken::GetIgnoreCase() const { return GetLocaleFlag(FCollation, CollationCaseInsensitiveBit); }
void TORVExprToken::SetIgnoreCase(bool Value) { SetFlag(FCollation, CollationCaseInsensitiveBit, Value); }
bool TORVExprToken::GetIgnoreAccent() const {
  return GetLocaleFlag(FCollation, CollationAccentInsensitiveBit);
}
void TORVExprToken::SetIgnoreAccent(bool Value) { SetFlag(FCollation, CollationAccentInsensitiveBit, Value); }
bool TORVExprToken::GetIgnoreKana() const { return GetLocaleFlag(FCollation, CollationKanaInsensitiveBit); }
void TORVExprToken::SetIgnoreKana(bool Value) { SetFlag(FCollation, CollationKanaInsensitiveBit, Value); }
bool TORVExprToken::GetIgnoreWidth() const { return GetLocaleFlag(FCollation, CollationWidthInsensitiveBit); }
void TORVExprToken::SetIgnoreWidth(bool Value) { SetFlag(FCollation, CollationWidthInsensitiveBit, Value); }

bool TORVExprToken::GetNullConstant() const {
  return FTokenType == ttCONST && FDataType != dtCharacter && SameString(FTokenConstant, u"NULL");
}

void TORVExprToken::SetNumArguments(int32_t Value) {
  // Slots are laid out by the parser and the tree routines, never by input:
  // a bad count or index is a broken internal contract.
  if (Value < 0) throw std::out_of_range("negative argument count");
  if (Value == FNumArguments) return;
  SetArgumentTokensCapacity(Value);
  // Slots beyond the count are kept nil, so that a later count increase
  // never exposes a stale child.
  for (int32_t I = Value; I < FNumArguments; ++I) FArgumentTokens[I] = nullptr;
  FNumArguments = Value;
}

void TORVExprToken::SetArgumentTokensCapacity(int32_t Value) {
  if (Value <= FArgumentTokensCapacity) return;
  int32_t NewCapacity = BlockOffset(Value, ArgumentBlockSize);
  auto Slots = std::make_unique<TORVExprToken*[]>(static_cast<size_t>(NewCapacity));
  std::copy_n(FArgumentTokens.get(), FArgumentTokensCapacity, Slots.get());
  FArgumentTokens = std::move(Slots);
  FArgumentTokensCapacity = NewCapacity;
}

void TORVExprToken::CheckArgumentIndex(int32_t Index) const {
  if (Index < 0 || Index >= FNumArguments) ThrowArgumentIndex();
}

void TORVExprToken::ThrowArgumentIndex() {
  // A broken internal contract, as in SetNumArguments.
  throw std::out_of_range("argument slot out of range");
}

void TORVExprToken::AddArgument(TORVExprToken* Value) { InsertArgument(FNumArguments, Value); }

void TORVExprToken::InsertArgument(int32_t InsertPos, TORVExprToken* Value) {
  // A broken internal contract, as in SetNumArguments.
  if (InsertPos < 0 || InsertPos > FNumArguments) throw std::out_of_range("argument slot out of range");
  SetArgumentTokensCapacity(FNumArguments + 1);
  for (int32_t I = FNumArguments; I > InsertPos; --I) FArgumentTokens[I] = FArgumentTokens[I - 1];
  FArgumentTokens[InsertPos] = Value;
  ++FNumArguments;
  if (Value != nullptr) Value->FUpperToken = this;
}

void TORVExprToken::DeleteArgument(int32_t DeletePos) {
  CheckArgumentIndex(DeletePos);
  for (int32_t I = DeletePos; I < FNumArguments - 1; ++I) FArgumentTokens[I] = FArgumentTokens[I + 1];
  --FNumArguments;
  FArgumentTokens[FNumArguments] = nullptr;
}

void TORVExprToken::SetArgument(int32_t SetPos, TORVExprToken* Value) {
  CheckArgumentIndex(SetPos);
  FArgumentTokens[SetPos] = Value;
  if (Value != nullptr) Value->FUpperToken = this;
}

void TORVExprToken::CheckInvariants() const {
  std::unordered_set<const TORVExprToken*> Seen;
  std::vector<const TORVExprToken*> Pending{this};
  while (!Pending.empty()) {
    const TORVExprToken* Node = Pending.back();
    Pending.pop_back();
    ORV_ASSERT(Seen.insert(Node).second);
    ORV_ASSERT(Node->FNumArguments >= 0 && Node->FNumArguments <= Node->FArgumentTokensCapacity);
    for (int32_t I = Node->FNumArguments; I < Node->FArgumentTokensCapacity; ++I)
      ORV_ASSERT(Node->FArgumentTokens[static_cast<size_t>(I)] == nullptr);
    auto Child = [&](const TORVExprToken* Token) {
      if (Token == nullptr) return;
      ORV_ASSERT(Token->FUpperToken == Node);
      Pending.push_back(Token);
    };
    Child(Node->FLeftToken);
    Child(Node->FRightToken);
    for (int32_t I = 0; I < Node->FNumArguments; ++I) Child(Node->FArgumentTokens[static_cast<size_t>(I)]);
  }
}

void TORVExprToken::SetLeftToken(TORVExprToken* Value) {
  FLeftToken = Value;
  if (Value != nullptr) Value->FUpperToken = this;
}

void TORVExprToken::SetRightToken(TORVExprToken* Value) {
  FRightToken = Value;
  if (Value != nullptr) Value->FUpperToken = this;
}

void TORVExprToken::AssignType(const TORVExprToken* ExprTokenToAssign) {
  FDataType = ExprTokenToAssign->FDataType;
  FSubType = ExprTokenToAssign->FSubType;
  FLength = ExprTokenToAssign->FLength;
  FScale = ExprTokenToAssign->FScale;
  FCollation = ExprTokenToAssign->FCollation;
  if (FTokenType == ttDYNPARAM && (FDataType == dtCharacter || FDataType == dtBytes) && FSubType == 0) {
    FLength = 0;
  }
}

void TORVExprToken::AdjustCharType() {
  if (FDataType == dtCharacter && FSubType != 0) FSubType = 0;
}

void TORVExprToken::AssignPos(const TORVExprToken* ExprTokenToAssign) {
  FLine = ExprTokenToAssign->FLine;
  FCol = ExprTokenToAssign->FCol;
  FExprPos = ExprTokenToAssign->FExprPos;
}

void TORVExprToken::FreeBitmap() { FBitmap.reset(); }

bool TORVExprToken::CheckBitmap() {
  if (FBitmap) return false;
  FBitmap = std::make_unique<TORVSparseBitmap>();
  return true;
}

TORVExprToken* CopyTokens(const TORVExprToken* Token) {
  if (Token == nullptr) return nullptr;
  TORVExprToken* Result = CopyNextToken(Token);
  ResetSourceTokenForTokens(Result);
  return Result;
}

TORVExprToken* CopyNextToken(const TORVExprToken* Token) {
  TORVExprToken* Root = NewCopyOf(Token).release();
  try {
    std::vector<std::pair<const TORVExprToken*, TORVExprToken*>> Pending{{Token, Root}};
    while (!Pending.empty()) {
      auto [Source, Copy] = Pending.back();
      Pending.pop_back();
      if (const TORVExprToken* Left = Source->GetLeftToken()) {
        TORVExprToken* Child = NewCopyOf(Left).release();
        Copy->SetLeftToken(Child);
        Pending.emplace_back(Left, Child);
      }
      if (const TORVExprToken* Right = Source->GetRightToken()) {
        TORVExprToken* Child = NewCopyOf(Right).release();
        Copy->SetRightToken(Child);
        Pending.emplace_back(Right, Child);
      }
      for (int32_t I = 0; I < Source->GetNumArguments(); ++I) {
        if (const TORVExprToken* Arg = Source->GetArgument(I)) {
          TORVExprToken* Child = NewCopyOf(Arg).release();
          Copy->SetArgument(I, Child);
          Pending.emplace_back(Arg, Child);
        }
      }
    }
  } catch (...) {
    FreeTokens(Root);
    throw;
  }
  return Root;
}

void ResetSourceTokenForTokens(TORVExprToken* Token) {
  if (Token == nullptr) return;
  // A select column or table reference S of a query Q inside this tree was
  // copied from S.FAssignedToken; links made from within Q to that original
  // must now reach S. Queries above the tree's root belong to the source
  // tree and are never touched, so the source stays as it was.
  //
  // First pass: for every query, the (original, copy) pairs of the select
  // columns and table references whose nearest enclosing query it is.
  std::unordered_map<TORVExprToken*, std::vector<std::pair<TORVExprToken*, TORVExprToken*>>> PairsOfQuery;
  {
    std::vector<std::pair<TORVExprToken*, TORVExprToken*>> Pending{{Token, nullptr}};
    while (!Pending.empty()) {
      auto [Node, Query] = Pending.back();
      Pending.pop_back();
      if ((Node->FTokenType == ttSELECTCOLUMN || Node->FTokenType == ttTABLEREF) && Query != nullptr &&
          Node->FAssignedToken != nullptr) {
        PairsOfQuery[Query].emplace_back(Node->FAssignedToken, Node);
      }
      TORVExprToken* ChildQuery = Node->FTokenType == ttQUERY ? Node : Query;
      if (Node->GetLeftToken() != nullptr) Pending.emplace_back(Node->GetLeftToken(), ChildQuery);
      if (Node->GetRightToken() != nullptr) Pending.emplace_back(Node->GetRightToken(), ChildQuery);
      for (int32_t I = 0; I < Node->GetNumArguments(); ++I) {
        if (TORVExprToken* Arg = Node->GetArgument(I)) Pending.emplace_back(Arg, ChildQuery);
      }
    }
  }
  if (PairsOfQuery.empty()) return;

  // Second pass: walk the tree with the pairs of every query around the
  // current node in force; the innermost query wins for the same original.
  struct TSaved {
    TORVExprToken* Original;
    TORVExprToken* Previous;  // nil: there was no entry
  };
  struct TStep {
    TORVExprToken* Node;
    bool Leaving;
    std::vector<TSaved> Saved;
  };
  std::unordered_map<TORVExprToken*, TORVExprToken*> Active;
  std::vector<TStep> Pending;
  Pending.push_back({Token, false, {}});
  while (!Pending.empty()) {
    TStep Step = std::move(Pending.back());
    Pending.pop_back();
    if (Step.Leaving) {
      for (auto It = Step.Saved.rbegin(); It != Step.Saved.rend(); ++It) {
        if (It->Previous == nullptr) {
          Active.erase(It->Original);
        } else {
          Active[It->Original] = It->Previous;
        }
      }
      continue;
    }
    TORVExprToken* Node = Step.Node;
    auto Found = Node->FTokenType == ttQUERY ? PairsOfQuery.find(Node) : PairsOfQuery.end();
    if (Found != PairsOfQuery.end()) {
      TStep Leave{Node, true, {}};
      for (auto& [Original, Copy] : Found->second) {
        auto Existing = Active.find(Original);
        Leave.Saved.push_back({Original, Existing == Active.end() ? nullptr : Existing->second});
        Active[Original] = Copy;
      }
      Pending.push_back(std::move(Leave));
    }
    if (!Active.empty()) {
      if (Node->FSourceToken != nullptr) {
        auto Link = Active.find(Node->FSourceToken);
        if (Link != Active.end()) Node->FSourceToken = Link->second;
      }
      if (Node->FTargetToken != nullptr) {
        auto Link = Active.find(Node->FTargetToken);
        if (Link != Active.end()) Node->FTargetToken = Link->second;
      }
    }
    for (int32_t I = Node->GetNumArguments() - 1; I >= 0; --I) {
      if (TORVExprToken* Arg = Node->GetArgument(I)) Pending.push_back({Arg, false, {}});
    }
    if (Node->GetRightToken() != nullptr) Pending.push_back({Node->GetRightToken(), false, {}});
    if (Node->GetLeftToken() != nullptr) Pending.push_back({Node->GetLeftToken(), false, {}});
  }
}

void ResetSourceTokenForNextToken(TORVExprToken* Token, TORVExprToken* OldToken, TORVExprToken* NewToken) {
  if (OldToken == nullptr || NewToken == nullptr) {
    ResetSourceTokenForTokens(Token);
    return;
  }
  ForEachToken(Token, [OldToken, NewToken](TORVExprToken* Node) { ReplaceLinks(Node, OldToken, NewToken); });
}

bool CompareTokens(const TORVExprToken* Token1, const TORVExprToken* Token2) {
  if (Token1 == nullptr || Token2 == nullptr) return Token1 == Token2;
  return CompareNextToken(Token1, Token2);
}

bool CompareNextToken(const TORVExprToken* Token1, const TORVExprToken* Token2) {
  std::vector<std::pair<const TORVExprToken*, const TORVExprToken*>> Pending{{Token1, Token2}};
  auto Pair = [&Pending](const TORVExprToken* A, const TORVExprToken* B) {
    if (A == nullptr || B == nullptr) return A == B;
    Pending.emplace_back(A, B);
    return true;
  };
  while (!Pending.empty()) {
    auto [A, B] = Pending.back();
    Pending.pop_back();
    if (!Pair(A->GetLeftToken(), B->GetLeftToken())) return false;
    if (!Pair(A->GetRightToken(), B->GetRightToken())) return false;
    if (A->GetNumArguments() != B->GetNumArguments()) return false;
    for (int32_t I = 0; I < A->GetNumArguments(); ++I) {
      if (!Pair(A->GetArgument(I), B->GetArgument(I))) return false;
    }
    if (!A->Compare(B, true)) return false;
  }
  return true;
}

void FreeTokens(TORVExprToken*& Token) {
  if (Token != nullptr) FreeNextToken(Token);
}

void FreeNextToken(TORVExprToken*& Token) {
  TORVExprToken* Root = Token;
  Token = nullptr;
  ForEachToken(Root, [](TORVExprToken* Node) { delete Node; });
}

int32_t CountTokens(const TORVExprToken* Token) {
  int32_t Count = 0;
  ForEachToken(Token, [&Count](const TORVExprToken*) { ++Count; });
  return Count;
}

}  // namespace orv
