#pragma once

#include <array>

// A segment of the grid in world coordinates, from (x0, y0) to (x1, y1).
struct GridLine {
    float x0;
    float y0;
    float x1;
    float y1;
};

// The 12 vertical lines, left to right, then the 12 horizontal lines, bottom to top.
using GridLines = std::array<GridLine, 24>;

// The grid around the camera centre (cx, cy): lines 5 units apart on multiples of 5, around the
// centre snapped towards zero to a multiple of 5. Vertical lines are 60 units long and
// horizontal ones 80, matching the 4:3 view.
GridLines gridLines(float cx, float cy);

// Draws gridLines(cx, cy) in grey in the plane z = 0.
void drawGrid(float cx, float cy);
