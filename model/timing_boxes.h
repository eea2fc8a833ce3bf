// What the window's Timing boxes show for a bar, for the window itself and for everything that
// must print the timing as the boxes would (the command line's text and HTML exports). The
// numerator box lists 1..16 and the denominator box 4, 8, 16; a longer bar (an imported 17/16)
// shows its numerator in one more item past the list. A timing no numerator fits (3 positions in
// quarters) leaves that box empty.
#pragma once

#include <string>

#include "model/tab_document.h"

// The list index each box selects for `bar`; -1 when it shows nothing.
int NumeratorBoxIndex(const TBar& bar);
int DenominatorBoxIndex(const TBar& bar);
// The numerator the item past the list shows for `bar`; 0 when the list holds it.
int NumeratorBeyondList(const TBar& bar);
// The boxes' texts: the selected item, or empty.
std::string NumeratorBoxText(const TBar& bar);
std::string DenominatorBoxText(const TBar& bar);
