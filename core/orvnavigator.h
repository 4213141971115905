// Movement through rows in some order (row number, an index, a filter)
// without knowing where the rows come from.
#pragma once

#include <cstdint>

#include "core/orvcommon.h"

namespace orv {

class TORVValues;

// Directions of movement; ValidatePosition takes 0 as forward and anything
// from 2 up as backward.
inline constexpr int32_t NavigateForward = 1;
inline constexpr int32_t NavigateBackward = 2;

// BoF and EoF are both True when the navigator has no valid row. A derived
// navigator that notices, while moving, that the rows changed underneath
// sets FoundChanges; its caller then starts its work again.
class TORVNavigator : public TORVBaseObject {
 public:
  TORVNavigator() = default;

  virtual int32_t GetRowCount() = 0;
  // Forgets the current row.
  virtual void ClearActiveRow() = 0;
  // Every row is valid here. A derived navigator that sets StopScan ends the
  // scan in Direction.
  virtual bool RowValid(int32_t RowNumber, int32_t Direction, bool& StopScan);
  virtual int32_t GetRowNumber() = 0;
  // How many rows to read ahead from StartingRowNumber; 1 here.
  virtual int32_t GetReadAhead(int32_t StartingRowNumber, int32_t Direction, int32_t MaxReadAhead);
  virtual int32_t Search(TORVValues& SearchValues, int32_t PartialLength, bool CaseInsensitive,
                         bool& FoundChanges) = 0;
  virtual bool GotoNumber(int32_t NewNumber, int32_t Direction, bool& FoundChanges) = 0;
  virtual void GotoSequenceNumber(int32_t NewSequenceNumber, bool& FoundChanges) = 0;
  // True and nothing else here.
  virtual bool First(bool& FoundChanges);
  virtual bool Next(bool& FoundChanges) = 0;
  virtual bool Prior(bool& FoundChanges) = 0;
  virtual bool Last(bool& FoundChanges);
  // Moves from an invalid current row to the nearest valid one, first in
  // Direction and then the other way; with none, the active row is cleared
  // and BoF and EoF are both True. Ignored while it is already running.
  virtual void ValidatePosition(int32_t Direction, bool& FoundChanges);

  bool GetBoF() const { return FBOF; }
  bool GetEoF() const { return FEOF; }
  void SetBOF(bool Value) { FBOF = Value; }
  void SetEOF(bool Value) { FEOF = Value; }

 protected:
  bool FBOF = false;
  bool FEOF = false;
  bool FValidating = false;

 private:
  // One scan of ValidatePosition.
  bool Scan(int32_t Direction, bool& FoundChanges);
};

}  // namespace orv
