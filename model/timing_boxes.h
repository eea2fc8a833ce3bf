// What the window's Timing boxes show for a bar, for the window itself and for everything that
// must print the timing as the boxes would (the command line's text and HTML exports). The
// numerator box holds 1..16 and the denominator box 4, 8, 16; a timing a box cannot hold (3
// positions in quarters, 32 eighths) leaves that box empty.
#pragma once

#include <string>

#include "model/tab_document.h"

// The list index each box selects for `bar`; -1 when it shows nothing.
int NumeratorBoxIndex(const TBar& bar);
int DenominatorBoxIndex(const TBar& bar);
// The boxes' texts: the selected item, or empty.
std::string NumeratorBoxText(const TBar& bar);
std::string DenominatorBoxText(const TBar& bar);
