#include "storage/orvindexmgr.h"

#include <algorithm>
#include <stdexcept>

#include "base/orverror.h"
#include "catalog/orvindexes.h"
#include "core/orvbitmap.h"
#include "core/orvliteral.h"
#include "core/orvsessionmgr.h"
#include "storage/orvenginesettings.h"
#include "storage/orvindexkey.h"
#include "storage/orvindexpage.h"
#include "storage/orvtablefileowner.h"

namespace orv {

namespace {

// Releases a held page however the scope is left.
class TPageHold {
 public:
  TPageHold(TORVIndexManager& Manager, TORVIndexPage* Page) : FManager(Manager), FPage(Page) {}
  ~TPageHold() {
    if (FPage != nullptr) FManager.PutPage(FPage);
  }
  TPageHold(const TPageHold&) = delete;
  TPageHold& operator=(const TPageHold&) = delete;

 private:
  TORVIndexManager& FManager;
  TORVIndexPage* FPage;
};

bool IsExternalPage(const TORVIndexPage& Page) { return Page.GetExternal(); }

// The numbers the entries of Page hold, in entry order.
std::vector<int32_t> EntryNumbers(TORVIndexPage& Page, TORVIndexKey& Key) {
  std::vector<int32_t> Result;
  if (Page.GetKeyCount() == 0) return Result;
  Result.reserve(static_cast<size_t>(Page.GetRowCount()));
  Key.SetIndexPage(&Page);
  Key.First();
  do Result.push_back(Key.GetNumber());
  while (Key.Next());
  return Result;
}

int32_t Percent(int64_t Part, int64_t Whole) {
  if (Whole <= 0) return 0;
  return static_cast<int32_t>(std::min<int64_t>(Part * 100 / Whole, 100));
}

}  // namespace

TORVIndexManager::TORVIndexManager(TORVTableFileOwner* Owner) : TORVTableFileManager(Owner) {}

TORVString TORVIndexManager::GetFileExtension() { return GetSettings().GetIndexExtension(); }

std::unique_ptr<TORVTableFileBuffer> TORVIndexManager::CreateBuffer() {
  return std::make_unique<TORVIndexPage>(this, GetActiveIndex());
}

std::unique_ptr<TORVIndexPage> TORVIndexManager::CreateNewPage() {
  auto Page = std::make_unique<TORVIndexPage>(this, GetActiveIndex());
  Page->Initialize();
  return Page;
}

int32_t TORVIndexManager::GetBufferSize() { return FTableManager->GetIndexPageSize(); }

int32_t TORVIndexManager::GetAvailableHeaderSize() {
  return FTableManager->GetSystemTable() ? SystemAvailableHeaderBytes : AvailableHeaderBytes;
}

int32_t TORVIndexManager::GetActualHeaderSize() {
  const int32_t Size = CommonHeaderSize + IndexHeaderRecordSize * FTableManager->GetIndexCount();
  return (Size + 7) / 8 * 8;
}

int32_t TORVIndexManager::CalculateMaxBufferCount() {
  return std::max(FTableManager->GetMaxIndexBufferSize() / GetBufferSize(), MinIndexBufferCount);
}

void TORVIndexManager::Initialize() {
  TORVTableFileManager::Initialize();
  FIndexHeaders.assign(static_cast<size_t>(FTableManager->GetIndexCount()), TORVIndexHeader());
}

void TORVIndexManager::ReadHeader() {
  TORVTableFileManager::ReadHeader();
  TORVMemoryStream& Stream = *FHeaderStream;
  FIndexHeaders.assign(static_cast<size_t>(FTableManager->GetIndexCount()), TORVIndexHeader());
  for (TORVIndexHeader& Header : FIndexHeaders) {
    Header.RootNumber = Stream.ReadInteger();
    Header.InternalPages = Stream.ReadInteger();
    Header.InternalKeys = Stream.ReadInteger();
    Header.ExternalPages = Stream.ReadInteger();
    Header.ExternalKeys = Stream.ReadInteger();
  }
}

void TORVIndexManager::WriteHeader(bool IncUpdateCounter) {
  TORVTableFileManager::WriteHeader(IncUpdateCounter);
  TORVMemoryStream& Stream = *FHeaderStream;
  // The header holds as many records as the catalog lists indexes.
  const size_t Count = std::min(FIndexHeaders.size(), static_cast<size_t>(FTableManager->GetIndexCount()));
  for (size_t Index = 0; Index < Count; ++Index) {
    const TORVIndexHeader& Header = FIndexHeaders[Index];
    Stream.WriteInteger(Header.RootNumber);
    Stream.WriteInteger(Header.InternalPages);
    Stream.WriteInteger(Header.InternalKeys);
    Stream.WriteInteger(Header.ExternalPages);
    Stream.WriteInteger(Header.ExternalKeys);
  }
}

// ---------------------------------------------------------------- records

TORVIndex* TORVIndexManager::GetActiveIndex() const {
  TORVIndexes& Indexes = FTableManager->GetIndexes();
  if (FIndexNumber < 0 || FIndexNumber >= Indexes.GetCount()) return nullptr;
  return Indexes.GetIndex(FIndexNumber);
}

const TORVIndexHeader& TORVIndexManager::GetIndexHeader(int32_t Index) const {
  return FIndexHeaders.at(static_cast<size_t>(Index));
}

TORVIndexHeader& TORVIndexManager::Active() { return FIndexHeaders.at(static_cast<size_t>(FIndexNumber)); }

const TORVIndexHeader& TORVIndexManager::Active() const {
  return FIndexHeaders.at(static_cast<size_t>(FIndexNumber));
}

void TORVIndexManager::SetRootNumber(int32_t Value) {
  Active().RootNumber = Value;
  FModified = true;
}

void TORVIndexManager::SetInternalPages(int32_t Value) {
  Active().InternalPages = Value;
  FModified = true;
}

void TORVIndexManager::SetInternalKeys(int32_t Value) {
  Active().InternalKeys = Value;
  FModified = true;
}

void TORVIndexManager::SetExternalPages(int32_t Value) {
  Active().ExternalPages = Value;
  FModified = true;
}

void TORVIndexManager::SetExternalKeys(int32_t Value) {
  Active().ExternalKeys = Value;
  FModified = true;
}

int32_t TORVIndexManager::GetAverageInternalKeys() const {
  return GetInternalPages() > 0 ? GetInternalKeys() / GetInternalPages() : 0;
}

int32_t TORVIndexManager::GetAverageExternalKeys() const {
  return GetExternalPages() > 0 ? GetExternalKeys() / GetExternalPages() : 0;
}

int64_t TORVIndexManager::GetCostForCount(int64_t Value) {
  const int64_t PageSize = GetBufferSize();
  const int64_t Average = GetAverageExternalKeys();
  if (Average == 0 || Average >= Value) return PageSize;
  return PageSize * (Value / Average + (Value % Average != 0 ? 1 : 0));
}

// ------------------------------------------------------------------ pages

TORVIndexPage* TORVIndexManager::GetPage(int32_t PageNumber, bool& FoundChanges) {
  return static_cast<TORVIndexPage*>(GetBuffer(PageNumber, false, FoundChanges, 1, 0));
}

TORVIndexPage* TORVIndexManager::GetPage(int32_t PageNumber) {
  return static_cast<TORVIndexPage*>(GetSettledBuffer(PageNumber, false, 1, 0));
}

void TORVIndexManager::PutPage(TORVIndexPage* Page) { PutBuffer(Page); }

TORVIndexPage* TORVIndexManager::GetNextFreePage(uint8_t NewPageType) {
  TORVIndexPage* Page = GetPage(GetNextFreeNumber());
  SetNextFreeNumber(Page->GetNextNumber());
  Page->Initialize();
  Page->SetPageType(NewPageType);
  // Initialize leaves the page clean; the new page must reach the disk.
  Page->SetModified(true);
  if (NewPageType == ptExternal || NewPageType == ptRootExternal)
    SetExternalPages(GetExternalPages() + 1);
  else if (NewPageType == ptInternal)
    IncInternalPages();
  return Page;
}

void TORVIndexManager::SetNextFreePage(TORVIndexPage& FreePage) {
  if (FreePage.GetExternal())
    SetExternalPages(GetExternalPages() - 1);
  else if (FreePage.GetPageType() == ptInternal)
    DecInternalPages();
  FreePage.Clear();
  FreePage.SetNextNumber(GetNextFreeNumber() == GetNextNumber() ? 0 : GetNextFreeNumber());
  SetNextFreeNumber(FreePage.GetNumber());
}

// ------------------------------------------------------------- operations

void TORVIndexManager::CreateIndex(int32_t IndexNumberToCreate) {
  const size_t Count = static_cast<size_t>(FTableManager->GetIndexCount());
  const size_t Position = static_cast<size_t>(IndexNumberToCreate);
  if (IndexNumberToCreate < 0 || Position >= Count) throw std::out_of_range("index number outside the index list");
  // An index that took its place before others pushes their records up
  // rather than taking over one of them.
  if (FIndexHeaders.size() < Count)
    FIndexHeaders.insert(FIndexHeaders.begin() + static_cast<std::ptrdiff_t>(std::min(Position, FIndexHeaders.size())),
                         TORVIndexHeader());
  FIndexHeaders.resize(Count);
  FIndexNumber = IndexNumberToCreate;
  FIndexHeaders[Position] = TORVIndexHeader();
  FModified = true;
  Write(true);
}

void TORVIndexManager::AlterIndex(int32_t IndexNumberToAlter) {
  FIndexNumber = IndexNumberToAlter;
  // The caller rebuilds the index whatever the walk freed: pages a stop
  // left behind are only lost space.
  if (GetRootNumber() != 0) FreeIndexPages();
  // Also without a root: a repair that dropped a bad root pointer left the
  // counts of the lost keys behind.
  Active() = TORVIndexHeader();
  FModified = true;
  Write(true);
}

bool TORVIndexManager::DropIndex(int32_t IndexNumberToDrop) {
  FIndexNumber = IndexNumberToDrop;
  if (GetRootNumber() != 0) {
    if (!FreeIndexPages()) {
      CancelWrite();
      return false;
    }
    SetRootNumber(0);
  }
  FIndexHeaders.erase(FIndexHeaders.begin() + IndexNumberToDrop);
  FModified = true;
  Write(true);
  FIndexNumber = 0;
  return true;
}

bool TORVIndexManager::FreeIndexPages() {
  int32_t Count = 0;
  return DeleteNextIndexPage(GetRootNumber(), GetExternalKeys(), Count);
}

bool TORVIndexManager::DeleteNextIndexPage(int32_t PageNumber, int32_t TotalKeys, int32_t& Count) {
  if (PageNumber < 1 || PageNumber > GetLastNumber()) return true;
  TORVIndexPage* Page = GetPage(PageNumber);
  TPageHold Hold(*this, Page);
  // Someone else holds the page at the moment: it is left alone.
  if (Page->GetUseCount() != 1) return true;
  if (IsExternalPage(*Page)) {
    Count += Page->GetRowCount();
    SetNextFreePage(*Page);
    return true;
  }
  TORVIndexKey Key(Page->GetCharacterSet(), Page->GetOwnerIndex());
  TORVSessionManager& Session = FTableManager->GetSessionManager();
  for (int32_t Child : EntryNumbers(*Page, Key)) {
    if (!DeleteNextIndexPage(Child, TotalKeys, Count)) return false;
    if (!Session.CheckProgressInterval(Percent(Count, TotalKeys))) return false;
  }
  SetNextFreePage(*Page);
  return true;
}

void TORVIndexManager::WalkIndex(const std::function<void(TORVIndexPage&)>& Visit) {
  if (GetRootNumber() == 0) return;
  // A damaged file may link pages into a cycle: each page is visited once.
  TORVSparseBitmap Visited;
  Visited.SetBitCount(static_cast<int64_t>(GetLastNumber()) + 1);
  std::function<void(int32_t)> Walk = [&](int32_t PageNumber) {
    if (PageNumber < 1 || PageNumber > GetLastNumber() || Visited.BitSet(PageNumber)) return;
    Visited.SetBit(PageNumber);
    std::vector<int32_t> Children;
    {
      TORVIndexPage* Page = GetPage(PageNumber);
      TPageHold Hold(*this, Page);
      Visit(*Page);
      if (!IsExternalPage(*Page)) {
        TORVIndexKey Key(Page->GetCharacterSet(), Page->GetOwnerIndex());
        Children = EntryNumbers(*Page, Key);
      }
    }
    for (int32_t Child : Children) Walk(Child);
  };
  Walk(GetRootNumber());
}

int32_t TORVIndexManager::CalculateSpace(int32_t IndexNumberToCalculate) {
  FIndexNumber = IndexNumberToCalculate;
  int32_t Result = 0;
  WalkIndex([&](TORVIndexPage& Page) { Result += Page.GetTotalPageSize(); });
  return Result;
}

int32_t TORVIndexManager::CalculateSlackSpace(int32_t IndexNumberToCalculate) {
  FIndexNumber = IndexNumberToCalculate;
  int32_t Result = 0;
  WalkIndex([&](TORVIndexPage& Page) { Result += Page.GetPageSize() - Page.GetTotalPageSize(); });
  return Result;
}

int32_t TORVIndexManager::CalculateInternalPages(int32_t IndexNumberToCalculate) {
  FIndexNumber = IndexNumberToCalculate;
  int32_t Result = 0;
  WalkIndex([&](TORVIndexPage& Page) {
    if (Page.GetPageType() == ptInternal) ++Result;
  });
  return Result;
}

TORVString TORVIndexManager::DumpIndex(int32_t IndexNumberToDump, bool RowIDs) {
  FIndexNumber = IndexNumberToDump;
  TORVString Result;
  WalkIndex([&](TORVIndexPage& Page) { DumpPage(Page, RowIDs, Result); });
  return Result;
}

void TORVIndexManager::DumpPage(TORVIndexPage& Page, bool RowIDs, TORVString& Text) {
  static constexpr const char16_t* Titles[] = {u"\r\n\r\nRoot Page # ", u"\r\n\r\nInternal Page # ",
                                               u"\r\n\r\nExternal Page # ", u"\r\n\r\nRoot/External Page # "};
  const TORVString Rule(30, u'=');
  Text += Titles[Page.GetPageType()] + IntToString(Page.GetNumber());
  Text += u"\r\n" + Rule;
  Text += u"\r\nPrior Page #: " + IntToString(Page.GetPriorNumber());
  Text += u"\r\nNext Page #: " + IntToString(Page.GetNextNumber());
  Text += u"\r\nKey Count: " + IntToString(Page.GetKeyCount());
  Text += u"\r\nRow Count: " + IntToString(Page.GetRowCount());
  Text += u"\r\nTotal Page Size: " + IntToString(Page.GetTotalPageSize());
  Text += u"\r\n" + Rule + u"\r\n";
  TORVIndexKey Key(Page.GetCharacterSet(), Page.GetOwnerIndex());
  Key.SetIndexPage(&Page);
  for (int32_t Slot = 0; Slot < Page.GetKeyCount(); ++Slot) {
    Key.MoveTo(Slot);
    Text += u"\r\n";
    for (int32_t Value = 0; Value < Key.GetCount(); ++Value) {
      if (Value > 0) Text += u"|";
      TORVValue* Item = Key.GetItems(Value);
      Text += Item->GetNull() ? TORVString(u"NULL") : Item->GetAsString();
    }
    Text += u"\r\n";
    if (Page.GetUniqueKeys()) {
      Text += u"\r\nRow/Page Pointer: " + IntToString(Key.GetNumber());
    } else {
      const int32_t Rows = Key.GetRowCount();
      Text += u"\r\nRow Count: " + IntToString(Rows);
      Text += u"\r\nFirst Row ID: " + IntToString(Key.GetRowID());
      Text += u"\r\nFirst Row/Page Pointer: " + IntToString(Key.GetNumber());
      if (RowIDs)
        for (int32_t Row = 0; Row < Rows; ++Row) {
          Key.MoveToRow(Row);
          Text += (Row == 0 ? u"\r\n" : u"|") + IntToString(Key.GetRowID()) + u"-" + IntToString(Key.GetNumber());
        }
    }
    Text += u"\r\n";
  }
}

// ------------------------------------------------------------ verification

bool TORVIndexManager::VerifyHeader(bool& FoundErrors, bool RepairErrors) {
  if (!TORVTableFileManager::VerifyHeader(FoundErrors, RepairErrors)) return false;
  for (TORVIndexHeader& Header : FIndexHeaders) {
    if (Header.RootNumber >= 0 && Header.RootNumber <= GetLastNumber()) continue;
    FoundErrors = true;
    LogVerifyMessage(FormatString(u"Invalid root %s pointer (%s)", {GetBufferName(), IntToString(Header.RootNumber)}),
                     nullptr, RepairErrors);
    if (RepairErrors) {
      Header.RootNumber = 0;
      FModified = true;
    }
  }
  return true;
}

struct TORVIndexManager::TVerifyCounts {
  int32_t InternalPages = 0;
  int32_t InternalKeys = 0;
  int32_t ExternalPages = 0;
  int32_t ExternalKeys = 0;
  // The record's page total, for progress.
  int64_t TotalPages = 0;
  // The external pages are met in key order, which is the order of their
  // doubly linked chain: the last one met and the page it links to.
  int32_t LastExternal = 0;
  int32_t LastExternalNext = 0;
  bool TreeError = false;
  bool Aborted = false;
};

bool TORVIndexManager::VerifyBuffers(bool& FoundErrors, bool RepairErrors) {
  if (!TORVTableFileManager::VerifyBuffers(FoundErrors, RepairErrors)) return false;
  TORVSessionManager& Session = FTableManager->GetSessionManager();
  TORVIndexes& Indexes = FTableManager->GetIndexes();
  const TORVString Name = GetBufferName();
  // Pages past the file's end, which a damaged header may claim, are not
  // walked: the header check has reported them.
  const int32_t LastNumber = GetStoredLastNumber();
  const int32_t IndexCount = std::min(GetIndexCount(), Indexes.GetCount());
  for (int32_t Index = 0; Index < Indexes.GetCount(); ++Index) Indexes.GetIndex(Index)->SetRequiresRebuild(false);
  auto Found = [&](const TORVString& Message, TORVConfigObject* Obj) {
    FoundErrors = true;
    LogVerifyMessage(Message, Obj, RepairErrors);
  };

  bool Rebuild = false;
  bool Aborted = false;
  TORVSparseBitmap PageBitmap;
  PageBitmap.SetBitCount(static_cast<int64_t>(LastNumber) + 1);

  // The free chain, each page once.
  int32_t Number = GetNextFreeNumber();
  while (Number > 0 && Number <= LastNumber) {
    TORVIndexPage* Page = nullptr;
    try {
      Page = GetPage(Number);
    } catch (const EORVException&) {
      Found(FormatString(u"Error accessing %s (%s)", {Name, IntToString(Number)}), nullptr);
      Rebuild = true;
      break;
    }
    TPageHold Hold(*this, Page);
    PageBitmap.SetBit(Number);
    const int32_t Next = Page->GetNextNumber();
    bool Stop = false;
    bool Bad = false;
    if (Next < 0 || Next > LastNumber + 1) {
      Found(FormatString(u"Invalid next free %s pointer (%s)", {Name, IntToString(Next)}), nullptr);
      Bad = true;
    } else if (Next != 0 && PageBitmap.BitSet(Next)) {
      Found(FormatString(u"Recursive next %s pointer (%s)", {Name, IntToString(Next)}), nullptr);
      Bad = true;
      Stop = true;
    }
    if (Bad) {
      // The chain is no chain from here on: the whole file is rebuilt.
      Rebuild = true;
      if (RepairErrors) Page->SetNextNumber(0);
    }
    Number = Stop ? 0 : Next;
    if (!Session.CheckProgressInterval(0)) {
      Aborted = true;
      break;
    }
  }

  // Every index from its root, when the free chain was sound.
  const int32_t RowsLastNumber = FTableManager->GetRowsetLastNumber();
  for (int32_t Index = 0; !Rebuild && !Aborted && Index < IndexCount; ++Index) {
    FIndexNumber = Index;
    TORVIndex* CatalogIndex = Indexes.GetIndex(Index);
    TORVIndexHeader& Header = FIndexHeaders[static_cast<size_t>(Index)];
    FTableManager->VerifyStatus(
        FormatString(u"Verifying %s %s (structure-only)", {CatalogIndex->GetTypeName(), CatalogIndex->GetName()}));
    TORVProgressScope Progress(Session);
    if (Header.RootNumber == 0) continue;
    if (PageBitmap.BitSet(Header.RootNumber)) {
      Found(FormatString(u"Invalid recursive root %s pointer (%s)", {Name, IntToString(Header.RootNumber)}), nullptr);
      Rebuild = true;
      continue;
    }
    TVerifyCounts Counts;
    Counts.TotalPages = static_cast<int64_t>(Header.InternalPages) + Header.ExternalPages;
    TORVSparseBitmap RowBitmap;
    RowBitmap.SetBitCount(static_cast<int64_t>(std::max(RowsLastNumber, 0)) + 1);
    try {
      VerifyNextIndexPage(Header.RootNumber, nullptr, RowBitmap, PageBitmap, Counts, RepairErrors);
    } catch (const EORVException&) {
      Found(FormatString(u"Error accessing %s (%s)", {Name, IntToString(Header.RootNumber)}), nullptr);
      Counts.TreeError = true;
    }
    if (!Counts.TreeError && !Counts.Aborted && Counts.LastExternalNext != 0) {
      Found(FormatString(u"Invalid next %s %s pointer (%s)",
                         {Name, IntToString(Counts.LastExternal), IntToString(Counts.LastExternalNext)}),
            CatalogIndex);
      Counts.TreeError = true;
    }
    if (Counts.TreeError) FoundErrors = true;
    if (Counts.Aborted) {
      Aborted = true;
      break;
    }
    if (Counts.TreeError) {
      Rebuild = true;
      continue;
    }
    auto Compare = [&](const char16_t* Message, int32_t& Stored, int32_t Counted) {
      if (Stored == Counted) return;
      Found(FormatString(Message, {Name, IntToString(Stored)}), CatalogIndex);
      if (RepairErrors) {
        Stored = Counted;
        FModified = true;
      }
    };
    Compare(u"Invalid internal %s count (%s)", Header.InternalPages, Counts.InternalPages);
    Compare(u"Invalid internal %s key count (%s)", Header.InternalKeys, Counts.InternalKeys);
    Compare(u"Invalid external %s count (%s)", Header.ExternalPages, Counts.ExternalPages);
    Compare(u"Invalid external %s key count (%s)", Header.ExternalKeys, Counts.ExternalKeys);
  }

  if (!Aborted && Rebuild) {
    if (RepairErrors) Empty();
    for (int32_t Index = 0; Index < Indexes.GetCount(); ++Index) Indexes.GetIndex(Index)->SetRequiresRebuild(true);
  }
  FIndexNumber = 0;
  return !Aborted;
}

bool TORVIndexManager::VerifyNextIndexPage(int32_t PageNumber, TORVIndexKey* ParentKey,
                                           TORVSparseBitmap& RowBitmap, TORVSparseBitmap& PageBitmap,
                                           TVerifyCounts& Counts, bool RepairErrors) {
  const TORVString Name = GetBufferName();
  const TORVString Number = IntToString(PageNumber);
  const int32_t LastNumber = GetStoredLastNumber();
  TORVIndex* CatalogIndex = GetActiveIndex();
  auto Fail = [&](const TORVString& Message) {
    LogVerifyMessage(Message, CatalogIndex, RepairErrors);
    Counts.TreeError = true;
    return false;
  };
  TORVIndexPage* Page = nullptr;
  try {
    Page = GetPage(PageNumber);
  } catch (const EORVException&) {
    LogVerifyMessage(FormatString(u"Error accessing %s (%s)", {Name, Number}), nullptr, RepairErrors);
    Counts.TreeError = true;
    return false;
  }
  TPageHold Hold(*this, Page);
  PageBitmap.SetBit(PageNumber);
  try {
    const int32_t Next = Page->GetNextNumber();
    if (Next < 0 || Next > LastNumber)
      return Fail(FormatString(u"Invalid next %s %s pointer (%s)", {Name, Number, IntToString(Next)}));
    if (Next != 0 && PageBitmap.BitSet(Next))
      return Fail(FormatString(u"Recursive next %s pointer (%s)", {Name, IntToString(Next)}));
    const bool External = Page->GetExternal();
    if (External && (Page->GetPriorNumber() < 0 || Page->GetPriorNumber() > LastNumber))
      return Fail(
          FormatString(u"Invalid prior %s %s pointer (%s)", {Name, Number, IntToString(Page->GetPriorNumber())}));
    if (External) {
      // Cursors walk the chain: it must list the external pages in key
      // order, each linking back to the one before.
      if (Counts.LastExternal != 0 && Counts.LastExternalNext != PageNumber)
        return Fail(FormatString(u"Invalid next %s %s pointer (%s)", {Name, IntToString(Counts.LastExternal),
                                                                       IntToString(Counts.LastExternalNext)}));
      if (Page->GetPriorNumber() != Counts.LastExternal)
        return Fail(
            FormatString(u"Invalid prior %s %s pointer (%s)", {Name, Number, IntToString(Page->GetPriorNumber())}));
      Counts.LastExternal = PageNumber;
      Counts.LastExternalNext = Next;
    }
    if (Page->GetOwnerIndex() != CatalogIndex)
      return Fail(FormatString(u"Error accessing %s (%s)", {Name, Number}));
    if (Page->GetKeyCount() == 0)
      return Fail(FormatString(u"Invalid %s %s key count (%s)", {Name, Number, IntToString(Page->GetKeyCount())}));
    TORVIndexKey Key(Page->GetCharacterSet(), Page->GetOwnerIndex());
    Key.SetIndexPage(Page);
    Key.First();
    if (ParentKey != nullptr && Key.Compare(*ParentKey, 0, false) != 0)
      return Fail(FormatString(u"Invalid %s %s key value (%s)", {Name, Number, KeyValuesAsString(Key)}));
    if (External) {
      const bool TextIndex = CatalogIndex != nullptr && CatalogIndex->GetIndexType() == itTextIndex;
      const int32_t RowsLastNumber = FTableManager->GetRowsetLastNumber();
      do {
        const int32_t Row = Key.GetNumber();
        if (Row < 1 || Row > RowsLastNumber)
          return Fail(FormatString(u"Invalid %s %s key row pointer (%s)", {Name, Number, IntToString(Row)}));
        if (!TextIndex && RowBitmap.BitSet(Row))
          return Fail(FormatString(u"Duplicate %s %s key row pointer (%s)", {Name, Number, IntToString(Row)}));
        RowBitmap.SetBit(Row);
      } while (Key.Next());
      ++Counts.ExternalPages;
      Counts.ExternalKeys += Page->GetRowCount();
      return true;
    }
    TORVSessionManager& Session = FTableManager->GetSessionManager();
    do {
      const int32_t Child = Key.GetNumber();
      if (Child < 1 || Child > LastNumber)
        return Fail(FormatString(u"Invalid %s %s key page pointer (%s)", {Name, Number, IntToString(Child)}));
      if (PageBitmap.BitSet(Child))
        return Fail(
            FormatString(u"Invalid recursive %s %s key page pointer (%s)", {Name, Number, IntToString(Child)}));
      if (!VerifyNextIndexPage(Child, &Key, RowBitmap, PageBitmap, Counts, RepairErrors)) return false;
      const int64_t Done = static_cast<int64_t>(Counts.InternalPages) + Counts.ExternalPages;
      if (!Session.CheckProgressInterval(Percent(Done, Counts.TotalPages))) {
        Counts.Aborted = true;
        return false;
      }
    } while (Key.Next());
    if (Page->GetPageType() == ptInternal) {
      ++Counts.InternalPages;
      Counts.InternalKeys += Page->GetRowCount();
    }
    return true;
  } catch (const EORVException&) {
    LogVerifyMessage(FormatString(u"Error accessing %s (%s)", {Name, Number}), nullptr, RepairErrors);
    Counts.TreeError = true;
    return false;
  }
}

}  // namespace orv
