// Reading row buffers through the row values beside a plain memcpy of the
// same bytes. Every row of 1,000,000 buffers of the columns Integer,
// VarChar(10) Unicode, BLOB and SmallInt is read column by column through
// the As getters; the memcpy run copies each row's bytes. The ratio of the
// two times is what to compare.
//
// A second run reads numbers, dates and Booleans and counts the heap
// allocations made while reading: there must be none.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "base/orvtype.h"
#include "bench/orvbenchalloc.h"
#include "bench/orvbenchrow.h"
#include "catalog/orvcolumns.h"
#include "catalog/orvrowvalues.h"
#include "core/orvstream.h"
#include "core/orvtypefunc.h"

namespace {

using namespace orv;
using orv::bench::GAllocations;

constexpr int32_t kRows = 1000000;

using orv::bench::AddColumn;
using orv::bench::TBenchRowValues;

// kRows buffers of the column list, one after another, each filled through
// the row values.
struct TRowSet {
  template <typename TFill>
  TRowSet(TORVColumns& ColumnsToUse, TFill Fill)
      : Columns(ColumnsToUse),
        RowSize(ColumnsToUse.GetRowsetRowSize()),
        Bytes(static_cast<size_t>(RowSize) * kRows),
        Buffer(CharacterSetUnicode),
        Values(CharacterSetUnicode, &ColumnsToUse, true) {
    for (int32_t Row = 0; Row < kRows; ++Row) {
      Bind(Row);
      Fill(Values, Row);
    }
  }

  void Bind(int32_t Row) {
    Buffer.SetMemory(Bytes.data() + static_cast<size_t>(Row) * RowSize, RowSize);
    Values.SetBufferStream(&Buffer);
  }

  TORVColumns& Columns;
  int32_t RowSize;
  std::vector<uint8_t> Bytes;
  TORVMemoryStream Buffer;
  TBenchRowValues Values;
};

TORVColumns& LayoutColumns() {
  static TORVColumns* Columns = [] {
    auto* Made = new TORVColumns();
    Made->SetCatalogCharacterSet(CharacterSetUnicode);
    AddColumn(*Made, u"ID", dtInteger, 0, 0);
    AddColumn(*Made, u"Name", dtCharacter, stVarChar, 10);
    AddColumn(*Made, u"Notes", dtLargeObject, stBlob, 0);
    AddColumn(*Made, u"Flags", dtSmallInt, 0, 0);
    return Made;
  }();
  return *Columns;
}

TRowSet& LayoutRows() {
  static TRowSet* Rows = new TRowSet(LayoutColumns(), [](TORVRowValues& Values, int32_t Row) {
    Values.GetItems(0)->SetAsInteger(Row);
    Values.GetItems(1)->SetAsString(Row % 2 == 0 ? u"Smith" : u"Montgomery");
    Values.GetItems(2)->SetAsBytes({});
    Values.GetItems(3)->SetAsSmallInt(static_cast<int16_t>(Row));
  });
  return *Rows;
}

void BM_RowValuesRead(benchmark::State& State) {
  TRowSet& Rows = LayoutRows();
  TORVRowValues& Values = Rows.Values;
  for (auto _ : State) {
    int64_t Sum = 0;
    for (int32_t Row = 0; Row < kRows; ++Row) {
      Rows.Bind(Row);
      Sum += Values.GetItems(0)->GetAsInteger();
      Sum += static_cast<int64_t>(Values.GetItems(1)->GetAsString().size());
      Sum += Values.GetItems(2)->GetAsBlob()->GetSize();
      Sum += Values.GetItems(3)->GetAsSmallInt();
    }
    benchmark::DoNotOptimize(Sum);
  }
  State.SetItemsProcessed(State.iterations() * kRows);
  State.SetBytesProcessed(State.iterations() * kRows * Rows.RowSize);
}
BENCHMARK(BM_RowValuesRead)->Unit(benchmark::kMillisecond);

void BM_RowMemcpy(benchmark::State& State) {
  TRowSet& Rows = LayoutRows();
  std::vector<uint8_t> Target(static_cast<size_t>(Rows.RowSize));
  for (auto _ : State) {
    for (int32_t Row = 0; Row < kRows; ++Row) {
      std::memcpy(Target.data(), Rows.Bytes.data() + static_cast<size_t>(Row) * Rows.RowSize, Target.size());
      benchmark::DoNotOptimize(Target.data());
      benchmark::ClobberMemory();
    }
  }
  State.SetItemsProcessed(State.iterations() * kRows);
  State.SetBytesProcessed(State.iterations() * kRows * Rows.RowSize);
}
BENCHMARK(BM_RowMemcpy)->Unit(benchmark::kMillisecond);

// Numbers, dates and Booleans: the reads allocate nothing.
void BM_RowValuesReadNumbers(benchmark::State& State) {
  static TORVColumns* Columns = [] {
    auto* Made = new TORVColumns();
    AddColumn(*Made, u"I", dtInteger, 0, 0);
    AddColumn(*Made, u"S", dtSmallInt, 0, 0);
    AddColumn(*Made, u"L", dtBigInt, 0, 0);
    AddColumn(*Made, u"F", dtFloat, 0, 0);
    AddColumn(*Made, u"D", dtDecimal, 0, 0);
    AddColumn(*Made, u"Day", dtDate, 0, 0);
    AddColumn(*Made, u"At", dtTimeStamp, 0, 0);
    AddColumn(*Made, u"B", dtBoolean, 0, 0);
    return Made;
  }();
  static TRowSet* Rows = new TRowSet(*Columns, [](TORVRowValues& Values, int32_t Row) {
    Values.GetItems(0)->SetAsInteger(Row);
    Values.GetItems(1)->SetAsSmallInt(static_cast<int16_t>(Row));
    Values.GetItems(2)->SetAsLargeInt(Row * 3LL);
    Values.GetItems(3)->SetAsDouble(Row / 4.0);
    Values.GetItems(4)->SetAsInteger(Row);
    Values.GetItems(5)->SetAsDate(700000 + Row % 1000);
    Values.GetItems(6)->SetAsTimeStamp(60480000000000LL + Row);
    Values.GetItems(7)->SetAsBoolean(Row % 3 == 0);
  });
  TORVRowValues& Values = Rows->Values;
  int64_t Allocations = 0;
  for (auto _ : State) {
    double Sum = 0;
    const int64_t Before = GAllocations.load(std::memory_order_relaxed);
    for (int32_t Row = 0; Row < kRows; ++Row) {
      Rows->Bind(Row);
      Sum += Values.GetItems(0)->GetAsInteger() + Values.GetItems(1)->GetAsSmallInt() +
             static_cast<double>(Values.GetItems(2)->GetAsLargeInt()) + Values.GetItems(3)->GetAsDouble() +
             static_cast<double>(Values.GetItems(4)->GetAsCurrency().Scaled()) + Values.GetItems(5)->GetAsDate() +
             static_cast<double>(Values.GetItems(6)->GetAsTimeStamp()) + (Values.GetItems(7)->GetAsBoolean() ? 1 : 0);
    }
    Allocations += GAllocations.load(std::memory_order_relaxed) - Before;
    benchmark::DoNotOptimize(Sum);
  }
  State.counters["allocations"] = static_cast<double>(Allocations);
  if (Allocations != 0) State.SkipWithError("numbers, dates and Booleans allocated while being read");
  State.SetItemsProcessed(State.iterations() * kRows);
}
BENCHMARK(BM_RowValuesReadNumbers)->Unit(benchmark::kMillisecond);

}  // namespace
