// FindDrawnBox: the box of the pixels a row-coded picture (BW or B2) draws, shared by both formats.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

// One command of a row as the box search sees it.
struct RowCodedRun {
  bool end = true;     // the row's end command, or a command that cannot be read
  bool drawn = false;  // draws its pixels (anything but a skip)
  int count = 0;       // pixels it covers
  size_t size = 0;     // bytes it takes
};

// box receives {left, top, right, bottom}: the whole picture when it is not row-coded, all zero
// when nothing is drawn. rowStart(y) gives a row's first command; readRun(p) reads the command at p.
// The top row is the first whose first byte is not the end byte, even when it draws nothing.
template <typename RowStart, typename ReadRun>
void FindDrawnBox(int width, int height, bool rowCoded, uint8_t endByte, RowStart rowStart, ReadRun readRun,
                  int32_t box[4]) {
  if (!rowCoded) {
    box[0] = 0;
    box[1] = 0;
    box[2] = width - 1;
    box[3] = height - 1;
    return;
  }
  int minX = INT32_MAX, maxX = -1, firstRow = -1, lastRow = -1;
  for (int y = 0; y < height; ++y) {
    const uint8_t* p = rowStart(y);
    if (firstRow < 0 && *p != endByte) firstRow = y;
    int column = 0;
    for (RowCodedRun run = readRun(p); !run.end; run = readRun(p)) {
      if (run.drawn && run.count > 0) {
        minX = std::min(minX, column);
        maxX = std::max(maxX, column + run.count - 1);
        lastRow = y;
      }
      column += run.count;
      p += run.size;
    }
  }
  if (lastRow < 0) {
    box[0] = box[1] = box[2] = box[3] = 0;
    return;
  }
  box[0] = minX;
  box[1] = firstRow;
  box[2] = maxX;
  box[3] = lastRow;
}
