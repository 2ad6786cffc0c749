// Test access to the pattern store.
#pragma once

#include "detect/pattern.h"

// The live store, read-only.
const PatternStore* arPatternStoreView();
// Returns the store to its start-up state (no pattern loaded, count -1).
void arResetPatternStore();
