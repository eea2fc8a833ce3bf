// The counting line over a bar, as the text export writes it and the text import reads it back,
// so the two cannot drift apart.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "model/time_feel.h"

// The counting cells of a bar of `length` cells in `grid`, a label over each cell in `shown` (one
// bit per cell) that is counted aloud. A sixteenth bar writes its labels whole, so each beat number
// from 10 on pushes the rest of its line one character right, as it always has; every other grid
// keeps one character per cell, a two-digit beat number covering the cell after it as well.
std::string CountCells(BarGrid grid, int length, uint64_t shown);

// Whether `written` (one bar's part of a counting line, between its bar lines) is what CountCells
// writes for `length` cells of `grid` with some cells shown, and shows a label over every cell in
// `noted` that has one (the cells where the bar's rows hold a note).
bool CountCellsFit(std::string_view written, BarGrid grid, int length, uint64_t noted);
