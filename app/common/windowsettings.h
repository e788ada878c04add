#pragma once

class QWidget;

namespace qm::store {
class Settings;
struct PlacementKeys;
} // namespace qm::store

namespace qm::app {

// Puts a top-level window back as its settings keep it: its size, never below what its layout
// needs; its place, when it keeps one (a place on no screen would leave the window out of
// reach, so the frame goes to the primary screen's corner instead); and its state.
void restoreWindow(QWidget &window, const store::Settings &settings, const store::PlacementKeys &keys);

// Stores the window's state and its normal place and size: a maximized window keeps the place
// it returns to. Leaves the window as it is.
void saveWindow(const QWidget &window, store::Settings &settings, const store::PlacementKeys &keys);

} // namespace qm::app
