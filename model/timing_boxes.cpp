#include "model/timing_boxes.h"

namespace {

constexpr int kNumeratorItems = 16;                   // "1" .. "16"
constexpr const char* kDenominatorItems[] = {"4", "8", "16"};

// Sixteenth bars show their length over the denominator as they always have (rounded down).
int BarNumerator(const TBar& bar) {
  return bar.Grid == BarGrid::Sixteenths ? NumeratorFromLength(bar.Length, bar.Denominator)
                                         : GridNumerator(bar.Length, bar.Denominator, bar.Grid);
}

}  // namespace

int NumeratorBoxIndex(const TBar& bar) {
  const int numerator = BarNumerator(bar);
  if (numerator > kNumeratorItems) return kNumeratorItems;  // the item past the list
  return numerator >= 1 ? numerator - 1 : -1;
}

int NumeratorBeyondList(const TBar& bar) {
  const int numerator = BarNumerator(bar);
  return numerator > kNumeratorItems ? numerator : 0;
}

int DenominatorBoxIndex(const TBar& bar) {
  const uint8_t index = DenominatorIndex(bar.Denominator);
  return index == 255 ? -1 : index;
}

std::string NumeratorBoxText(const TBar& bar) {
  const int numerator = BarNumerator(bar);
  return numerator < 1 ? std::string() : std::to_string(numerator);
}

std::string DenominatorBoxText(const TBar& bar) {
  const int index = DenominatorBoxIndex(bar);
  return index < 0 ? std::string() : kDenominatorItems[index];
}
