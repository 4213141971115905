#include "storage/orvindexnav.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "base/orverror.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvindexes.h"
#include "core/orvenv.h"
#include "core/orvkeyvalues.h"
#include "core/orvliteral.h"
#include "core/orvtypefunc.h"
#include "storage/orvenginesettings.h"
#include "storage/orvindexmgr.h"
#include "storage/orvindexpage.h"

namespace orv {

namespace {

// Deeper than any tree of this file format can grow; a descent that goes
// further follows a cycle in a damaged file.
constexpr int32_t MaxTreeDepth = 64;
constexpr int32_t MaxSequenceAttempts = 8;

bool OnFirstEntry(const TORVIndexKey& Key) { return Key.GetKeyIndex() == 0 && Key.GetRowIndex() == 0; }

bool OnLastEntry(TORVIndexKey& Key) {
  TORVIndexPage* Page = Key.GetIndexPage();
  return Key.GetKeyIndex() >= Page->GetKeyCount() - 1 && Key.GetRowIndex() >= Key.GetRowCount() - 1;
}

int32_t ClampToInteger(int64_t Value) {
  return static_cast<int32_t>(std::clamp<int64_t>(Value, 0, std::numeric_limits<int32_t>::max()));
}

}  // namespace

// ------------------------------------------------- TORVContainedIndexKeyValues

TORVContainedIndexKeyValues::TORVContainedIndexKeyValues(int32_t CharacterSetToUse, TORVIndex* Owner)
    : TORVIndexKeyValues(CharacterSetToUse, Owner, true), FColumnCount(Owner->GetIndexColumns()->GetCount()) {
  const bool TextIndex = Owner->GetIndexType() == itTextIndex;
  for (int32_t Position = 0; Position < FColumnCount; ++Position) {
    TORVIndexColumn* KeyColumn = Owner->GetIndexColumns()->GetIndexColumn(Position);
    auto* Value = new TORVContainedIndexKeyValue(CharacterSetToUse);
    Add(Value);
    if (TextIndex) {
      Value->SetDataType(dtCharacter);
      Value->SetSubType(stVarChar);
      Value->SetLength(Owner->GetTextWordLength());
    } else {
      TORVColumn* Column = KeyColumn->GetSourceColumn();
      Value->SetDataType(Column->GetDataType());
      Value->SetSubType(Column->GetSubType());
      Value->SetLength(Column->GetLength());
      Value->SetScale(Column->GetScale());
    }
    Value->SetCollation(KeyColumn->GetCollation());
    Value->SetRaiseTruncationErrors(false);
  }
}

TORVContainedIndexKeyValues::~TORVContainedIndexKeyValues() {
  // A prefix key hides its later values; they are freed all the same.
  SetCount(FColumnCount);
}

void TORVContainedIndexKeyValues::Assign(TORVValues& FromValues) {
  SetCount(std::min(FromValues.GetCount(), FColumnCount));
  TORVIndexKeyValues::Assign(FromValues);
}

// ------------------------------------------------------------ TORVIndexLevel

void TORVIndexLevel::SetPage(TORVIndexPage* Value) {
  FPage = Value;
  FKey->SetIndexPage(Value);
  if (Value != nullptr) FKey->First();
}

// -------------------------------------------------------- TORVIndexNavigator

struct TORVIndexNavigator::TORVDescent {
  TORVDescentKind Kind = dkFirst;
  TORVValues* Values = nullptr;
  int32_t PartialLength = 0;
  bool CaseInsensitive = false;
  // A unique index searched by all its columns: exact searches.
  bool Exact = false;
  // A prefix under a locale collation: the external page is searched
  // slot by slot.
  bool Sequential = false;
  // Accumulate the estimated position of the entry found.
  bool Estimate = false;
  int64_t Position = 0;
  int32_t Result = 0;
};

namespace {

// Releases the navigator's levels however an operation is left.
template <typename TRelease>
class TLevelsHold {
 public:
  explicit TLevelsHold(TRelease Release) : FRelease(Release) {}
  ~TLevelsHold() { FRelease(); }
  TLevelsHold(const TLevelsHold&) = delete;
  TLevelsHold& operator=(const TLevelsHold&) = delete;

 private:
  TRelease FRelease;
};

}  // namespace

#define ORV_HOLD_LEVELS TLevelsHold LevelsHold([this]() { ClearLevels(); })

TORVIndexNavigator::TORVIndexNavigator(TORVIndexManager* Owner, int32_t Number)
    : FIndexManager(Owner), FIndexNumber(Number) {
  SetActiveIndex();
  FIndex = Owner->GetActiveIndex();
  if (FIndex == nullptr) throw std::out_of_range("index navigator for an index the table does not have");
  FCharacterSet = Owner->GetSettings().GetCharacterSet();
  SetNumLevels(1);
  FPage = Owner->CreateNewPage();
  FKey = std::make_unique<TORVIndexKey>(FCharacterSet, FIndex);
  FKey->SetIndexPage(FPage.get());
  FKey->First();
  FReadAheadKey = std::make_unique<TORVIndexKey>(FCharacterSet, FIndex);
  FReadAheadKey->SetIndexPage(FPage.get());
  FNavigateLevel = std::make_unique<TORVIndexLevel>(FCharacterSet, FIndex);
  FRootLevel = std::make_unique<TORVIndexLevel>(FCharacterSet, FIndex);
  FSplitLevel = std::make_unique<TORVIndexLevel>(FCharacterSet, FIndex);
  FMergeLevel = std::make_unique<TORVIndexLevel>(FCharacterSet, FIndex);
}

TORVIndexNavigator::~TORVIndexNavigator() {
  ClearLevels();
  FreeLevels();
}

void TORVIndexNavigator::SetActiveIndex() { FIndexManager->SetIndexNumber(FIndexNumber); }

void TORVIndexNavigator::FreeLevels() {
  FLevels.clear();
  FNumLevels = 0;
}

void TORVIndexNavigator::SetNumLevels(int32_t Value) {
  while (FNumLevels < Value) {
    FLevels.push_back(std::make_unique<TORVIndexLevel>(FCharacterSet, FIndex));
    ++FNumLevels;
  }
}

void TORVIndexNavigator::ClearLevels() {
  // A page held across a dropped cache is detached, not gone: it is always
  // released, and the last release frees it.
  auto Release = [this](TORVIndexLevel& Level) {
    if (Level.GetPage() == nullptr) return;
    FIndexManager->PutPage(Level.GetPage());
    Level.SetPage(nullptr);
  };
  for (int32_t Index = FNumLevels - 1; Index >= 0; --Index) Release(Level(Index));
  for (TORVIndexLevel* Special : {FNavigateLevel.get(), FRootLevel.get(), FSplitLevel.get(), FMergeLevel.get()})
    if (Special != nullptr) Release(*Special);
  FLevel = 0;
}

void TORVIndexNavigator::IncLevel() {
  ++FLevel;
  if (FLevel >= MaxTreeDepth)
    FIndexManager->CorruptError(FormatString(u"The index %s pages form a cycle", {FIndex->GetName()}));
  SetNumLevels(FLevel + 1);
}

void TORVIndexNavigator::DecLevel() {
  if (FLevel > 0) --FLevel;
}

void TORVIndexNavigator::ClearNavigateLevel() {
  if (FNavigateLevel->GetPage() == nullptr) return;
  FIndexManager->PutPage(FNavigateLevel->GetPage());
  FNavigateLevel->SetPage(nullptr);
}

void TORVIndexNavigator::ClearActiveRow() {
  SetActiveIndex();
  FChainDirection = 0;
  FChainSteps = 0;
  FChainLimit = 0;
  FPage->Initialize();
  FKey->First();
}

void TORVIndexNavigator::SetPage(TORVIndexPage* Value) {
  if (Value == nullptr) {
    ClearActiveRow();
    return;
  }
  FPage->Assign(*Value);
}

int32_t TORVIndexNavigator::GetRowCount() {
  SetActiveIndex();
  return FIndexManager->GetExternalKeys();
}

int32_t TORVIndexNavigator::GetRowNumber() { return FPage->GetKeyCount() == 0 ? 0 : FKey->GetNumber(); }

int32_t TORVIndexNavigator::GetReadAhead(int32_t /*StartingRowNumber*/, int32_t Direction, int32_t MaxReadAhead) {
  if (FPage->GetKeyCount() == 0 || Direction == 0) return 1;
  FReadAheadKey->MoveToKey(*FKey);
  return std::max(FPage->GetReadAhead(*FReadAheadKey, Direction, MaxReadAhead), 1);
}

bool TORVIndexNavigator::RowValid(int32_t /*RowNumber*/, int32_t Direction, bool& StopScan) {
  StopScan = false;
  if (FPage->GetKeyCount() == 0) return false;
  auto Check = [&](int32_t Result) {
    if (Result == 0) return true;
    const bool Backward = Direction >= NavigateBackward;
    // Past the end in the moving direction: nothing further can be valid.
    if ((Result > 0 && !Backward) || (Result < 0 && Backward)) StopScan = true;
    return false;
  };
  if (GetRangeInEffect() && !Check(CheckRange(*FKey))) return false;
  if (GetRestrictedKey() && !Check(CheckRestrictedKey(*FKey))) return false;
  return true;
}

bool TORVIndexNavigator::AfterRange(TORVValues& Values) {
  return (GetRangeInEffect() && CheckRange(Values) > 0) || (GetRestrictedKey() && CheckRestrictedKey(Values) > 0);
}

bool TORVIndexNavigator::BeforeRange(TORVValues& Values) {
  return (GetRangeInEffect() && CheckRange(Values) < 0) || (GetRestrictedKey() && CheckRestrictedKey(Values) < 0);
}

int32_t TORVIndexNavigator::CompareCurrent(TORVValues& Values, int32_t PartialLength, bool CaseInsensitive) {
  if (FPage->GetKeyCount() == 0) return 1;
  return FKey->Compare(Values, PartialLength, CaseInsensitive);
}

bool TORVIndexNavigator::EmptyIndex() {
  if (FIndexManager->GetRootNumber() != 0) return false;
  ClearActiveRow();
  FBOF = true;
  FEOF = true;
  return true;
}

TORVIndexPage* TORVIndexNavigator::FetchPage(int32_t PageNumber, bool DetectChanges, bool& FoundChanges) {
  FoundChanges = false;
  // A number the tree holds never names a page not yet made.
  if (PageNumber < 1 || PageNumber > FIndexManager->GetLastNumber())
    FIndexManager->CorruptError(FormatString(u"Invalid %s number specified for retrieval from cache",
                                             {FIndexManager->GetBufferName()}));
  TORVIndexPage* Page =
      DetectChanges ? FIndexManager->GetPage(PageNumber, FoundChanges) : FIndexManager->GetPage(PageNumber);
  // A page is read under the index active at the time; one laid out for
  // another index would send this index's keys outside it.
  if (Page != nullptr && Page->GetOwnerIndex() != FIndexManager->GetActiveIndex()) {
    FIndexManager->PutPage(Page);
    FIndexManager->CorruptError(FormatString(u"The index %s page %s belongs to another index",
                                             {FIndex->GetName(), IntToString(PageNumber)}));
  }
  return Page;
}

bool TORVIndexNavigator::LinksBack(const TORVIndexPage& Page, int32_t FromNumber, bool Forward) {
  return Page.GetExternal() && (Forward ? Page.GetPriorNumber() : Page.GetNextNumber()) == FromNumber;
}

void TORVIndexNavigator::ChainError() {
  FIndexManager->CorruptError(FormatString(u"The index %s page chain is broken", {FIndex->GetName()}));
  throw std::logic_error("index corruption error returned");
}

TORVIndexPage* TORVIndexNavigator::FetchLinkedPage(int32_t PageNumber, int32_t FromNumber, bool Forward,
                                                   bool DetectChanges, bool& FoundChanges) {
  TORVIndexPage* Page = FetchPage(PageNumber, DetectChanges, FoundChanges);
  if (Page != nullptr && !LinksBack(*Page, FromNumber, Forward)) {
    FIndexManager->PutPage(Page);
    ChainError();
  }
  return Page;
}

void TORVIndexNavigator::CheckChainStep(TORVIndexPage& Page, bool Forward) {
  const int32_t Direction = Forward ? 1 : -1;
  if (FChainDirection != Direction) {
    FChainDirection = Direction;
    FChainSteps = 0;
    FChainLimit = 0;
  }
  // The file's page count is taken again only when the walk passes the one
  // last taken, not at every page: the file may have grown since.
  if (++FChainSteps > FChainLimit) {
    FChainLimit = FIndexManager->GetStoredLastNumber();
    if (FChainSteps > FChainLimit) ChainError();
  }
  const int32_t FromNumber = FPage->GetNumber();
  if (LinksBack(Page, FromNumber, Forward)) return;
  // The current entry is a copy: when this session changed the tree since
  // it was taken, its link may be older than the page it names. Only a
  // page whose own link names Page is a broken chain.
  bool FoundChanges = false;
  TORVIndexPage* From = FetchPage(FromNumber, false, FoundChanges);
  const int32_t Link = Forward ? From->GetNextNumber() : From->GetPriorNumber();
  FIndexManager->PutPage(From);
  if (Link == Page.GetNumber()) ChainError();
}

int32_t TORVIndexNavigator::SearchPage(TORVIndexPage& Page, TORVIndexKey& Key, TORVDescent& Descent) {
  const bool External = Page.GetExternal();
  switch (Descent.Kind) {
    case dkFirst:
      Key.First();
      return 0;
    case dkLast:
      Page.SearchLast(Key);
      return 0;
    case dkRangeStart:
      return Page.SearchRangeStartKey(*static_cast<TORVKeyValues*>(Descent.Values), Key);
    case dkRangeEnd:
      return Page.SearchRangeEndKey(*static_cast<TORVKeyValues*>(Descent.Values), Key);
    case dkKey:
      return Page.SearchKey(*static_cast<TORVKeyValues*>(Descent.Values), Key);
    case dkSearch:
      if (Descent.Exact) return Page.Search(*Descent.Values, Descent.CaseInsensitive, Key);
      return Page.SearchPartial(*Descent.Values, External ? Descent.PartialLength : 0, Descent.CaseInsensitive, Key,
                                External && Descent.Sequential);
    case dkSearchNext:
      if (Descent.Exact) return Page.SearchNext(*Descent.Values, Descent.CaseInsensitive, Key);
      return Page.SearchNextPartial(*Descent.Values, Descent.PartialLength, Descent.CaseInsensitive, Key,
                                    External && Descent.Sequential);
  }
  return 0;
}

bool TORVIndexNavigator::Descend(TORVDescent& Descent, bool DetectChanges, bool& FoundChanges) {
  FoundChanges = false;
  ClearLevels();
  FChainDirection = 0;
  FChainSteps = 0;
  FChainLimit = 0;
  int32_t Number = FIndexManager->GetRootNumber();
  for (;;) {
    TORVIndexPage* Page = FetchPage(Number, DetectChanges, FoundChanges);
    if (Page == nullptr) {
      ClearLevels();
      return false;
    }
    TORVIndexLevel& Current = CurrentLevel();
    Current.SetPage(Page);
    Descent.Result = SearchPage(*Page, Current.GetKey(), Descent);
    if (Descent.Estimate) {
      const int64_t Average =
          Page->GetExternal() ? FIndexManager->GetAverageExternalKeys() : FIndexManager->GetAverageInternalKeys();
      Descent.Position = Descent.Position * (1 + Average) + Page->GetRowCountForKey(Current.GetKey());
    }
    if (Page->GetExternal()) return true;
    Number = Current.GetKey().GetNumber();
    IncLevel();
  }
}

void TORVIndexNavigator::PositionOnLevel() {
  TORVIndexLevel& Current = CurrentLevel();
  FPage->Assign(*Current.GetPage());
  FKey->MoveToKey(Current.GetKey());
  FBOF = false;
  FEOF = false;
  ClearLevels();
}

int32_t TORVIndexNavigator::SearchNextHigherKey(TORVValues& SearchValues, int32_t PartialLength, bool& FoundChanges,
                                                bool CaseInsensitive) {
  FoundChanges = false;
  TORVIndexLevel& Current = CurrentLevel();
  TORVIndexKey& Key = Current.GetKey();
  if (!Key.Next()) {
    const int32_t NextNumber = Current.GetPage()->GetNextNumber();
    if (NextNumber != 0) {
      TORVIndexPage* Page = FetchLinkedPage(NextNumber, Current.GetPage()->GetNumber(), true, true, FoundChanges);
      if (Page == nullptr) {
        ClearLevels();
        return 0;
      }
      FIndexManager->PutPage(Current.GetPage());
      Current.SetPage(Page);
    }
  }
  return Key.Compare(SearchValues, PartialLength, CaseInsensitive);
}

int32_t TORVIndexNavigator::StepPastLess(TORVValues& Values, int32_t PartialLength, bool CaseInsensitive,
                                         int32_t Result, bool& FoundChanges) {
  if (Result >= 0) return Result;
  TORVIndexKey& Key = CurrentLevel().GetKey();
  if (OnLastEntry(Key)) return SearchNextHigherKey(Values, PartialLength, FoundChanges, CaseInsensitive);
  return Key.Compare(Values, PartialLength, CaseInsensitive);
}

void TORVIndexNavigator::SetupSearch(TORVDescent& Descent, TORVValues& Values, int32_t PartialLength,
                                     bool CaseInsensitive, bool Next) {
  Descent.Kind = Next ? dkSearchNext : dkSearch;
  Descent.Values = &Values;
  Descent.PartialLength = PartialLength;
  Descent.CaseInsensitive = CaseInsensitive;
  const int32_t ColumnCount = FIndex->GetIndexColumns()->GetCount();
  Descent.Exact = FIndex->GetUniqueKeys() && Values.GetCount() >= ColumnCount && PartialLength == 0;
  if (Descent.Exact) return;
  int32_t Collation = 0;
  if (Values.GetCount() > 0 && Values.GetCount() <= ColumnCount)
    Collation = FIndex->GetIndexColumns()->GetIndexColumn(Values.GetCount() - 1)->GetCollation();
  ClearLocaleFlags(Collation);
  Descent.Sequential = PartialLength > 0 && Collation != 0;
}

// ----------------------------------------------------------------- movement

bool TORVIndexNavigator::First(bool& FoundChanges) {
  FoundChanges = false;
  SetActiveIndex();
  ORV_HOLD_LEVELS;
  if (EmptyIndex()) return false;
  TORVDescent Descent;
  if (GetRangeInEffect()) {
    Descent.Kind = dkRangeStart;
    Descent.Values = GetRangeStartKeyValues();
  }
  if (!Descend(Descent, true, FoundChanges)) return false;
  if (Descent.Kind == dkRangeStart) {
    StepPastLess(*Descent.Values, 0, false, Descent.Result, FoundChanges);
    if (FoundChanges) return false;
  }
  PositionOnLevel();
  FBOF = true;
  ValidatePosition(NavigateForward, FoundChanges);
  return !FoundChanges && !FEOF;
}

bool TORVIndexNavigator::Last(bool& FoundChanges) {
  FoundChanges = false;
  SetActiveIndex();
  ORV_HOLD_LEVELS;
  if (EmptyIndex()) return false;
  TORVDescent Descent;
  Descent.Kind = dkLast;
  if (GetRangeInEffect()) {
    Descent.Kind = dkRangeEnd;
    Descent.Values = GetRangeEndKeyValues();
  }
  if (!Descend(Descent, true, FoundChanges)) return false;
  PositionOnLevel();
  FEOF = true;
  ValidatePosition(NavigateBackward, FoundChanges);
  return !FoundChanges && !FBOF;
}

bool TORVIndexNavigator::Next(bool& FoundChanges) {
  FoundChanges = false;
  SetActiveIndex();
  ORV_HOLD_LEVELS;
  if (EmptyIndex()) return false;
  FBOF = false;
  if (FPage->GetKeyCount() > 0 && FKey->Next()) {
    if (AfterRange(*FKey)) {
      FKey->Prior();
      FEOF = true;
      ValidatePosition(NavigateBackward, FoundChanges);
      return false;
    }
    FEOF = false;
  } else {
    const int32_t NextNumber = FPage->GetKeyCount() > 0 ? FPage->GetNextNumber() : 0;
    if (NextNumber == 0) {
      FEOF = true;
      return false;
    }
    TORVIndexPage* Page = FetchPage(NextNumber, true, FoundChanges);
    if (Page == nullptr) return false;
    FNavigateLevel->SetPage(Page);
    CheckChainStep(*Page, true);
    if (Page->GetKeyCount() == 0 || AfterRange(FNavigateLevel->GetKey())) {
      FEOF = true;
      ClearNavigateLevel();
      ValidatePosition(NavigateBackward, FoundChanges);
      return false;
    }
    SetPage(Page);
    FKey->First();
    FEOF = false;
    ClearNavigateLevel();
  }
  ValidatePosition(NavigateForward, FoundChanges);
  return !FoundChanges && !FEOF;
}

bool TORVIndexNavigator::Prior(bool& FoundChanges) {
  FoundChanges = false;
  SetActiveIndex();
  ORV_HOLD_LEVELS;
  if (EmptyIndex()) return false;
  FEOF = false;
  if (FPage->GetKeyCount() > 0 && FKey->Prior()) {
    if (BeforeRange(*FKey)) {
      FKey->Next();
      FBOF = true;
      ValidatePosition(NavigateForward, FoundChanges);
      return false;
    }
    FBOF = false;
  } else {
    const int32_t PriorNumber = FPage->GetKeyCount() > 0 ? FPage->GetPriorNumber() : 0;
    if (PriorNumber == 0) {
      FBOF = true;
      return false;
    }
    TORVIndexPage* Page = FetchPage(PriorNumber, true, FoundChanges);
    if (Page == nullptr) return false;
    FNavigateLevel->SetPage(Page);
    CheckChainStep(*Page, false);
    FNavigateLevel->GetKey().Last();
    if (Page->GetKeyCount() == 0 || BeforeRange(FNavigateLevel->GetKey())) {
      FBOF = true;
      ClearNavigateLevel();
      ValidatePosition(NavigateForward, FoundChanges);
      return false;
    }
    SetPage(Page);
    FKey->Last();
    FBOF = false;
    ClearNavigateLevel();
  }
  ValidatePosition(NavigateBackward, FoundChanges);
  return !FoundChanges && !FBOF;
}

int32_t TORVIndexNavigator::PositionBySearch(TORVDescent& Descent, TORVValues& Values, int32_t PartialLength,
                                             bool CaseInsensitive, bool& FoundChanges) {
  FoundChanges = false;
  SetActiveIndex();
  ORV_HOLD_LEVELS;
  if (EmptyIndex()) return 1;
  const int32_t InRange = GetRangeInEffect() ? CheckRange(Values) : 0;
  if (InRange < 0) {
    First(FoundChanges);
  } else if (InRange > 0) {
    Last(FoundChanges);
  } else {
    if (!Descend(Descent, true, FoundChanges)) return 0;
    StepPastLess(Values, PartialLength, CaseInsensitive, Descent.Result, FoundChanges);
    if (FoundChanges) return 0;
    PositionOnLevel();
    ValidatePosition(0, FoundChanges);
  }
  if (FoundChanges) return 0;
  return CompareCurrent(Values, PartialLength, CaseInsensitive);
}

int32_t TORVIndexNavigator::Search(TORVValues& SearchValues, int32_t PartialLength, bool CaseInsensitive,
                                   bool& FoundChanges) {
  TORVDescent Descent;
  SetupSearch(Descent, SearchValues, PartialLength, CaseInsensitive, false);
  return PositionBySearch(Descent, SearchValues, PartialLength, CaseInsensitive, FoundChanges);
}

int32_t TORVIndexNavigator::GotoKey(TORVKeyValues& NewKeyValues, bool& FoundChanges) {
  TORVDescent Descent;
  Descent.Kind = dkKey;
  Descent.Values = &NewKeyValues;
  return PositionBySearch(Descent, NewKeyValues, 0, false, FoundChanges);
}

bool TORVIndexNavigator::GotoNumber(int32_t /*NewNumber*/, int32_t /*Direction*/, bool& FoundChanges) {
  FoundChanges = false;
  return false;
}

void TORVIndexNavigator::GotoSequenceNumber(int32_t NewSequenceNumber, bool& FoundChanges) {
  FoundChanges = false;
  SetActiveIndex();
  if (EmptyIndex()) return;
  for (int32_t Attempt = 0; Attempt < MaxSequenceAttempts; ++Attempt) {
    SetActiveIndex();
    const int32_t Keys = FIndexManager->GetExternalKeys();
    if (NewSequenceNumber > Keys) {
      Last(FoundChanges);
    } else if (NewSequenceNumber > Keys / 2) {
      Last(FoundChanges);
      if (!FoundChanges) {
        FEOF = false;
        for (int32_t Step = 0; Step < Keys - NewSequenceNumber && !FBOF && !FoundChanges; ++Step)
          Prior(FoundChanges);
      }
    } else {
      First(FoundChanges);
      if (!FoundChanges) {
        FBOF = false;
        for (int32_t Step = 0; Step < NewSequenceNumber - 1 && !FEOF && !FoundChanges; ++Step) Next(FoundChanges);
      }
    }
    if (!FoundChanges) return;
  }
}

void TORVIndexNavigator::SetFlags(bool BookmarkBOF, bool BookmarkEOF, bool& FoundChanges) {
  FoundChanges = false;
  SetActiveIndex();
  if (FIndexManager->GetRootNumber() == 0 || FPage->GetKeyCount() == 0 ||
      (GetRangeInEffect() && CheckRange(*FKey) != 0)) {
    FBOF = true;
    FEOF = true;
    return;
  }
  if (!BookmarkBOF) {
    FBOF = false;
  } else if (!FBOF) {
    const bool OldEOF = FEOF;
    if (Prior(FoundChanges)) Next(FoundChanges);
    FEOF = OldEOF;
  }
  if (FBOF || FoundChanges) return;
  if (!BookmarkEOF) {
    FEOF = false;
  } else if (!FEOF) {
    const bool OldBOF = FBOF;
    if (Next(FoundChanges)) Prior(FoundChanges);
    FBOF = OldBOF;
  }
}

// ---------------------------------------------------------------- estimates

int32_t TORVIndexNavigator::GetNextHigherKeyRowCount(bool& FoundChanges) {
  FoundChanges = false;
  TORVIndexLevel& Current = CurrentLevel();
  TORVIndexKey& Key = Current.GetKey();
  int32_t Result = Key.GetRowCount() - 1 - Key.GetRowIndex();
  Key.LastRow();
  if (Key.Next()) return Result + 1;
  const int32_t NextNumber = Current.GetPage()->GetNextNumber();
  if (NextNumber == 0) return Result;
  TORVIndexPage* Page = FetchLinkedPage(NextNumber, Current.GetPage()->GetNumber(), true, true, FoundChanges);
  if (Page == nullptr) return 0;
  FIndexManager->PutPage(Current.GetPage());
  Current.SetPage(Page);
  return Result + 1;
}

int32_t TORVIndexNavigator::GetRowCountEstimate(TORVValues& SearchValues, int32_t PartialLength, bool CaseInsensitive,
                                                bool& FoundChanges) {
  FoundChanges = false;
  SetActiveIndex();
  ORV_HOLD_LEVELS;
  if (FIndexManager->GetRootNumber() == 0) return 0;
  TORVDescent Descent;
  SetupSearch(Descent, SearchValues, PartialLength, CaseInsensitive, false);
  Descent.Estimate = true;
  if (!Descend(Descent, true, FoundChanges)) return 0;
  if (Descent.Result < 0) Descent.Position += GetNextHigherKeyRowCount(FoundChanges);
  return FoundChanges ? 0 : ClampToInteger(Descent.Position);
}

int32_t TORVIndexNavigator::GetNextRowCountEstimate(TORVValues& SearchValues, int32_t PartialLength,
                                                    bool CaseInsensitive, bool& FoundChanges) {
  FoundChanges = false;
  SetActiveIndex();
  ORV_HOLD_LEVELS;
  if (FIndexManager->GetRootNumber() == 0) return 0;
  TORVDescent Descent;
  SetupSearch(Descent, SearchValues, PartialLength, CaseInsensitive, true);
  Descent.Estimate = true;
  if (!Descend(Descent, true, FoundChanges)) return 0;
  if (Descent.Result == 0)
    Descent.Position += 1;
  else if (Descent.Result < 0)
    Descent.Position += GetNextHigherKeyRowCount(FoundChanges);
  return FoundChanges ? 0 : ClampToInteger(Descent.Position);
}

int32_t TORVIndexNavigator::GetLastRowCountEstimate(bool& FoundChanges) {
  FoundChanges = false;
  SetActiveIndex();
  ORV_HOLD_LEVELS;
  if (FIndexManager->GetRootNumber() == 0) return 0;
  TORVDescent Descent;
  Descent.Kind = dkLast;
  Descent.Estimate = true;
  if (!Descend(Descent, true, FoundChanges)) return 0;
  return ClampToInteger(Descent.Position);
}

bool TORVIndexNavigator::Verify(TORVKeyValues& ExistingValues, int32_t ExistingNumber) {
  SetActiveIndex();
  ORV_HOLD_LEVELS;
  if (FIndexManager->GetRootNumber() == 0) return false;
  TORVDescent Descent;
  Descent.Kind = dkKey;
  Descent.Values = &ExistingValues;
  bool FoundChanges = false;
  if (!Descend(Descent, false, FoundChanges)) return false;
  return Descent.Result == 0 && CurrentLevel().GetKey().GetNumber() == ExistingNumber;
}

// ------------------------------------------------------------------ changes

void TORVIndexNavigator::Update(TORVKeyValues& /*ExistingValues*/, int32_t /*ExistingNumber*/) { SetActiveIndex(); }

void TORVIndexNavigator::Insert(TORVKeyValues& NewValues, int32_t NewNumber) {
  SetActiveIndex();
  ORV_HOLD_LEVELS;
  if (FIndexManager->GetRootNumber() == 0) {
    TORVIndexPage* Root = FIndexManager->GetNextFreePage(ptRootExternal);
    FRootLevel->SetPage(Root);
    FIndexManager->SetRootNumber(Root->GetNumber());
    Root->InsertKey(NewValues, NewNumber, FRootLevel->GetKey());
    return;
  }
  TORVDescent Descent;
  Descent.Kind = dkKey;
  Descent.Values = &NewValues;
  bool FoundChanges = false;
  Descend(Descent, false, FoundChanges);
  TORVIndexLevel& Current = CurrentLevel();
  Current.GetPage()->InsertKey(NewValues, NewNumber, Current.GetKey());
  UpdateUpperIndexPages();
}

void TORVIndexNavigator::UpdateUpperIndexPages() {
  for (;;) {
    TORVIndexLevel& Current = CurrentLevel();
    TORVIndexPage& Page = *Current.GetPage();
    TORVIndexKey& Key = Current.GetKey();
    if (!Page.GetOverflowed()) {
      if (FLevel == 0 || !OnFirstEntry(Key)) return;
      // The page has a new first entry: so must its parent's entry.
      Key.First();
      DecLevel();
      TORVIndexLevel& Parent = CurrentLevel();
      TORVIndexPage& ParentPage = *Parent.GetPage();
      ParentPage.DeleteKey(Parent.GetKey());
      ParentPage.InsertKey(Key, Page.GetNumber(), Parent.GetKey());
      continue;
    }
    const bool NewFirst = OnFirstEntry(Key);
    const bool External = Page.GetExternal();
    TORVIndexPage* NewPage = FIndexManager->GetNextFreePage(External ? ptExternal : ptInternal);
    FSplitLevel->SetPage(NewPage);
    if (External) {
      const int32_t OldNext = Page.GetNextNumber();
      NewPage->SetPriorNumber(Page.GetNumber());
      NewPage->SetNextNumber(OldNext);
      Page.SetNextNumber(NewPage->GetNumber());
      if (OldNext != 0) {
        bool FoundChanges = false;
        TORVIndexPage* Following = FetchLinkedPage(OldNext, Page.GetNumber(), true, false, FoundChanges);
        Following->SetPriorNumber(NewPage->GetNumber());
        FIndexManager->PutPage(Following);
      }
    }
    Page.Split(*NewPage);
    FSplitLevel->GetKey().First();
    if (Page.GetPageType() == ptRootInternal || Page.GetPageType() == ptRootExternal) {
      SplitRoot(Page, *NewPage);
      return;
    }
    DecLevel();
    TORVIndexLevel& Parent = CurrentLevel();
    TORVIndexPage& ParentPage = *Parent.GetPage();
    if (NewFirst) {
      ParentPage.DeleteKey(Parent.GetKey());
      ParentPage.InsertKey(FSplitLevel->GetKey(), NewPage->GetNumber(), Parent.GetKey());
      Key.First();
      ParentPage.InsertKey(Key, Page.GetNumber(), Parent.GetKey());
    } else {
      ParentPage.InsertKey(FSplitLevel->GetKey(), NewPage->GetNumber(), Parent.GetKey());
    }
    FIndexManager->PutPage(NewPage);
    FSplitLevel->SetPage(nullptr);
  }
}

void TORVIndexNavigator::SplitRoot(TORVIndexPage& OldRoot, TORVIndexPage& NewPage) {
  if (OldRoot.GetPageType() == ptRootExternal) {
    OldRoot.SetPageType(ptExternal);
  } else {
    // The root's entries were not counted; as an internal page they are.
    OldRoot.SetPageType(ptInternal);
    FIndexManager->IncInternalPages();
    FIndexManager->SetInternalKeys(FIndexManager->GetInternalKeys() + OldRoot.GetRowCount() + NewPage.GetRowCount());
  }
  TORVIndexPage* Root = FIndexManager->GetNextFreePage(ptRootInternal);
  FRootLevel->SetPage(Root);
  FIndexManager->SetRootNumber(Root->GetNumber());
  TORVIndexKey& OldFirst = Level(0).GetKey();
  OldFirst.First();
  Root->InsertKey(OldFirst, OldRoot.GetNumber(), FRootLevel->GetKey());
  FSplitLevel->GetKey().First();
  Root->InsertKey(FSplitLevel->GetKey(), NewPage.GetNumber(), FRootLevel->GetKey());
}

void TORVIndexNavigator::MissingKeyError() {
  FIndexManager->CorruptError(FormatString(u"The index %s is missing a required key", {FIndex->GetName()}));
}

void TORVIndexNavigator::Delete(TORVKeyValues& ExistingValues, int32_t ExistingNumber) {
  SetActiveIndex();
  ORV_HOLD_LEVELS;
  const bool TextIndex = FIndex->GetIndexType() == itTextIndex;
  if (FIndexManager->GetRootNumber() == 0) {
    if (!TextIndex) MissingKeyError();
    return;
  }
  TORVDescent Descent;
  Descent.Kind = dkKey;
  Descent.Values = &ExistingValues;
  bool FoundChanges = false;
  Descend(Descent, false, FoundChanges);
  {
    TORVIndexLevel& Current = CurrentLevel();
    // The entry of another row under the same key is not this row's.
    if (Descent.Result != 0 || Current.GetKey().GetNumber() != ExistingNumber) {
      if (!TextIndex) MissingKeyError();
      return;
    }
    Current.GetPage()->DeleteKey(Current.GetKey());
  }
  for (;;) {
    TORVIndexLevel& Current = CurrentLevel();
    TORVIndexPage& Page = *Current.GetPage();
    if (!Page.GetUnderflowed()) break;
    const uint8_t Type = Page.GetPageType();
    if (Type == ptRootExternal) {
      if (Page.GetKeyCount() > 0) break;
      FIndexManager->SetNextFreePage(Page);
      FIndexManager->SetRootNumber(0);
      break;
    }
    if (Type == ptRootInternal) {
      if (Page.GetRowCount() == 0) {
        FIndexManager->SetNextFreePage(Page);
        FIndexManager->SetRootNumber(0);
      } else if (Page.GetRowCount() == 1) {
        // The only child becomes the root.
        Current.GetKey().First();
        const int32_t ChildNumber = Current.GetKey().GetNumber();
        FIndexManager->SetNextFreePage(Page);
        TORVIndexPage* Child = FetchPage(ChildNumber, false, FoundChanges);
        FRootLevel->SetPage(Child);
        if (Child->GetExternal()) {
          Child->SetPageType(ptRootExternal);
        } else {
          Child->SetPageType(ptRootInternal);
          FIndexManager->DecInternalPages();
          FIndexManager->SetInternalKeys(FIndexManager->GetInternalKeys() - Child->GetRowCount());
        }
        FIndexManager->SetRootNumber(ChildNumber);
        Child->SetNextNumber(0);
        Child->SetPriorNumber(0);
      }
      break;
    }
    if (Page.GetKeyCount() == 0) {
      if (Page.GetExternal()) {
        if (Page.GetPriorNumber() != 0) {
          TORVIndexPage* Previous =
              FetchLinkedPage(Page.GetPriorNumber(), Page.GetNumber(), false, false, FoundChanges);
          Previous->SetNextNumber(Page.GetNextNumber());
          FIndexManager->PutPage(Previous);
        }
        if (Page.GetNextNumber() != 0) {
          TORVIndexPage* Following = FetchLinkedPage(Page.GetNextNumber(), Page.GetNumber(), true, false, FoundChanges);
          Following->SetPriorNumber(Page.GetPriorNumber());
          FIndexManager->PutPage(Following);
        }
      }
      FIndexManager->SetNextFreePage(Page);
      DecLevel();
      TORVIndexLevel& Parent = CurrentLevel();
      Parent.GetPage()->DeleteKey(Parent.GetKey());
      continue;
    }
    if (!Page.GetExternal() || Page.GetPriorNumber() == 0) break;
    TORVIndexPage* Previous = FetchLinkedPage(Page.GetPriorNumber(), Page.GetNumber(), false, false, FoundChanges);
    FMergeLevel->SetPage(Previous);
    if (!Page.CanMerge(*Previous)) break;
    int32_t Adjust = 0;
    if (!Page.GetUniqueKeys()) {
      TORVIndexKey& PreviousLast = FMergeLevel->GetKey();
      PreviousLast.Last();
      TORVIndexKey& First = Current.GetKey();
      First.First();
      if (First.Compare(PreviousLast, 0, false) == 0) {
        Adjust = 1;
        PreviousLast.IncRowCount(First.GetRowCount());
      }
    }
    Page.Merge(*Previous, Adjust);
    Previous->SetNextNumber(Page.GetNextNumber());
    if (Page.GetNextNumber() != 0) {
      TORVIndexPage* Following = FetchLinkedPage(Page.GetNextNumber(), Page.GetNumber(), true, false, FoundChanges);
      Following->SetPriorNumber(Page.GetPriorNumber());
      FIndexManager->PutPage(Following);
    }
    FIndexManager->SetNextFreePage(Page);
    FIndexManager->PutPage(Previous);
    FMergeLevel->SetPage(nullptr);
    DecLevel();
    TORVIndexLevel& Parent = CurrentLevel();
    Parent.GetPage()->DeleteKey(Parent.GetKey());
  }
  UpdateUpperIndexPages();
}

#undef ORV_HOLD_LEVELS

}  // namespace orv
