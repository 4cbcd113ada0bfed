#pragma once
// IDdeDisplay: what the DDE items are made from, as the server sees it. The
// state of the pressure field (CDisplayState, in the measurement above this
// library) implements it, so the server reads the display without knowing it.
//
// User-interface thread only.

#include "dde/ddeitemtext.h"

class IDdeDisplay {
public:
    virtual ~IDdeDisplay() = default;
    // The five values the item texts are made from, as shown now.
    virtual DdeItemSource GetDdeItemSource() const = 0;
};
