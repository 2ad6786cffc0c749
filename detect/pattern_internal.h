// Test access to the pattern store.
#pragma once

#include "detect/pattern.h"

// The live store, read-only.
const PatternStore* arPatternStoreView();
