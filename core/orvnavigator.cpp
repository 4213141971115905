#include "core/orvnavigator.h"

namespace orv {

bool TORVNavigator::RowValid(int32_t /*RowNumber*/, int32_t /*Direction*/, bool& StopScan) {
  StopScan = false;
  return true;
}

int32_t TORVNavigator::GetReadAhead(int32_t /*StartingRowNumber*/, int32_t /*Direction*/, int32_t /*MaxReadAhead*/) {
  return 1;
}

bool TORVNavigator::First(bool& /*FoundChanges*/) { return true; }

bool TORVNavigator::Last(bool& /*FoundChanges*/) { return true; }

// Steps in Direction while the current row is invalid; True when it stops
// on a valid row, False at the edge, on StopScan or on FoundChanges.
bool TORVNavigator::Scan(int32_t Direction, bool& FoundChanges) {
  const bool Forward = Direction == NavigateForward;
  bool StopScan = false;
  while (Forward ? !FEOF : !FBOF) {
    if (RowValid(GetRowNumber(), Direction, StopScan)) return true;
    if (StopScan) return false;
    if (Forward)
      Next(FoundChanges);
    else
      Prior(FoundChanges);
    if (FoundChanges) return false;
  }
  return false;
}

void TORVNavigator::ValidatePosition(int32_t Direction, bool& FoundChanges) {
  if (FValidating) return;
  FValidating = true;
  struct TValidatingScope {
    bool& Flag;
    ~TValidatingScope() { Flag = false; }
  } Validating{FValidating};

  if (GetRowCount() > 0) {
    if (Direction <= NavigateForward) {
      const bool OldBOF = FBOF;
      if (Scan(NavigateForward, FoundChanges)) {
        FBOF = OldBOF;
        return;
      }
      if (FoundChanges) return;
      // Nothing valid ahead: the nearest valid row behind, at the end.
      if (Scan(NavigateBackward, FoundChanges)) {
        FBOF = OldBOF;
        FEOF = true;
        return;
      }
      if (FoundChanges) return;
    } else {
      const bool OldEOF = FEOF;
      if (Scan(NavigateBackward, FoundChanges)) {
        FEOF = OldEOF;
        return;
      }
      if (FoundChanges) return;
      if (Scan(NavigateForward, FoundChanges)) {
        FBOF = true;
        FEOF = OldEOF;
        return;
      }
      if (FoundChanges) return;
    }
  }
  ClearActiveRow();
  FBOF = true;
  FEOF = true;
}

}  // namespace orv
