#pragma once

#include <cstddef>
#include <cstdint>

// Reads what page placement needs from EXIF data (a TIFF structure, as carried by a JPEG's
// APP1 "Exif" segment or a PNG's eXIf chunk): the orientation and the resolution. Every
// offset is checked; damaged EXIF data yields the defaults.
class ExifReader {
public:
    ExifReader(const unsigned char* data, size_t size);

    // 1 (upright) to 8; any other stored value reads as 1.
    int Orientation() const { return m_orientation; }
    // Dots per inch, 0 when not stored.
    double XDpi() const { return m_xDpi; }
    double YDpi() const { return m_yDpi; }

private:
    int m_orientation = 1;
    double m_xDpi = 0;
    double m_yDpi = 0;
};
