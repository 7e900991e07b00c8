#include "common/stretch_layout.h"

StretchLayout::StretchLayout(const wxSize& design, const wxRect& stretch, const wxSize& current)
    : m_design(design), m_stretch(stretch), m_current(current) {
    const wxRect inside(1, 1, design.x - 2, design.y - 2);
    if (m_stretch.IsEmpty() || !inside.Contains(m_stretch)) {
        m_stretch = inside;
    }
}

int StretchLayout::Map(int value, int start, int length, int growth) {
    if (value <= start || length <= 0) {
        return value;
    }
    if (value >= start + length) {
        return value + growth;
    }
    const long long inside = static_cast<long long>(value - start) * (length + growth) / length;
    return start + static_cast<int>(inside);
}

wxRect StretchLayout::Map(const wxRect& rect) const {
    const int left = MapX(rect.x);
    const int top = MapY(rect.y);
    return wxRect(left, top, MapX(rect.x + rect.width) - left, MapY(rect.y + rect.height) - top);
}
