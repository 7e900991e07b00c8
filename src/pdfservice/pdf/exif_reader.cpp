#include "pdf/exif_reader.h"

namespace {
class TiffView {
public:
    TiffView(const unsigned char* data, size_t size) : m_data(data), m_size(size) {}

    bool Init() {
        if (m_size < 8) {
            return false;
        }
        if (m_data[0] == 'I' && m_data[1] == 'I') {
            m_little = true;
        } else if (m_data[0] == 'M' && m_data[1] == 'M') {
            m_little = false;
        } else {
            return false;
        }
        return U16(2) == 42;
    }

    bool Has(size_t offset, size_t length) const {
        return offset <= m_size && length <= m_size - offset;
    }
    uint32_t U16(size_t offset) const {
        if (!Has(offset, 2)) {
            return 0;
        }
        const unsigned char* p = m_data + offset;
        return m_little ? p[0] | p[1] << 8 : p[0] << 8 | p[1];
    }
    uint32_t U32(size_t offset) const {
        if (!Has(offset, 4)) {
            return 0;
        }
        const unsigned char* p = m_data + offset;
        return m_little ? uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                              uint32_t(p[3]) << 24
                        : uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 |
                              uint32_t(p[3]);
    }

private:
    const unsigned char* m_data;
    size_t m_size;
    bool m_little = true;
};
} // namespace

ExifReader::ExifReader(const unsigned char* data, size_t size) {
    TiffView tiff(data, size);
    if (!tiff.Init()) {
        return;
    }
    const size_t ifd = tiff.U32(4);
    const size_t count = tiff.U16(ifd);
    if (!tiff.Has(ifd + 2, count * 12)) {
        return;
    }
    double xResolution = 0;
    double yResolution = 0;
    int unit = 2; // inches unless told otherwise
    for (size_t i = 0; i < count; ++i) {
        const size_t entry = ifd + 2 + i * 12;
        const uint32_t tag = tiff.U16(entry);
        const uint32_t type = tiff.U16(entry + 2);
        const uint32_t number = tiff.U32(entry + 4);
        auto rational = [&]() -> double {
            if (type != 5 || number != 1) {
                return 0;
            }
            const size_t at = tiff.U32(entry + 8);
            const uint32_t denominator = tiff.U32(at + 4);
            return tiff.Has(at, 8) && denominator != 0
                       ? static_cast<double>(tiff.U32(at)) / denominator
                       : 0;
        };
        switch (tag) {
        case 0x0112: // Orientation, SHORT
            if (type == 3 && number == 1) {
                const uint32_t value = tiff.U16(entry + 8);
                m_orientation = value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
            }
            break;
        case 0x011A:
            xResolution = rational();
            break;
        case 0x011B:
            yResolution = rational();
            break;
        case 0x0128: // ResolutionUnit: 1 none, 2 inch, 3 centimetre
            if (type == 3) {
                unit = static_cast<int>(tiff.U16(entry + 8));
            }
            break;
        default:
            break;
        }
    }
    const double toInch = unit == 2 ? 1.0 : unit == 3 ? 2.54 : 0.0;
    if (toInch > 0 && xResolution > 0 && yResolution > 0) {
        m_xDpi = xResolution * toInch;
        m_yDpi = yResolution * toInch;
    }
}
