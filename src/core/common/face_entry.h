#pragma once

#include <cstdint>

// One value of the theme's face description: four integers whose meaning depends on the
// path they are stored under (a rectangle; three-slice widths; a colour as red, green, blue;
// a font size in `height`; an offset in `y`; a layout as first position and gap).
struct FaceEntry {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};
