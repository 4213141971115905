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

bool TORVNavigator::ScanForward(bool& FoundChanges, bool& Stopped) {
  bool StopScan = false;
  Stopped = false;
  while (!FEOF) {
    if (RowValid(GetRowNumber(), NavigateForward, StopScan)) return true;
    if (StopScan) break;
    Next(FoundChanges);
    if (FoundChanges) break;
  }
  Stopped = StopScan || FoundChanges;
  return false;
}

bool TORVNavigator::ScanBackward(bool& FoundChanges, bool& Stopped) {
  bool StopScan = false;
  Stopped = false;
  while (!FBOF) {
    if (RowValid(GetRowNumber(), NavigateBackward, StopScan)) return true;
    if (StopScan) break;
    Prior(FoundChanges);
    if (FoundChanges) break;
  }
  Stopped = StopScan || FoundChanges;
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
    bool Stopped = false;
    if (Direction <= NavigateForward) {
      const bool OldBOF = FBOF;
      if (ScanForward(FoundChanges, Stopped)) {
        FBOF = OldBOF;
        return;
      }
      if (FoundChanges) return;
      // Nothing valid ahead: the nearest valid row behind, at the end.
      if (ScanBackward(FoundChanges, Stopped)) {
        FBOF = OldBOF;
        FEOF = true;
        return;
      }
      if (FoundChanges) return;
    } else {
      const bool OldEOF = FEOF;
      if (ScanBackward(FoundChanges, Stopped)) {
        FEOF = OldEOF;
        return;
      }
      if (FoundChanges) return;
      if (ScanForward(FoundChanges, Stopped)) {
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
