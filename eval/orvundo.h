// Undoing work after a failure that is already on its way.
#pragma once

namespace orv {

// Runs Undo and swallows what it raises: the failure already on its way is
// the one that passes on, not a second one from cleaning up after it.
template <typename TUndo>
void UndoAfterFailure(TUndo Undo) noexcept {
  try {
    Undo();
  } catch (...) {
  }
}

}  // namespace orv
