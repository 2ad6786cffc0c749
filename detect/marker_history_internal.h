// Test access to the cross-frame marker memory.
#pragma once

#include "detect/marker_history.h"

const MarkerHistory* arMarkerHistoryView();
