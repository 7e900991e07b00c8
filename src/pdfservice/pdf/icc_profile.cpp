#include "pdf/icc_profile.h"

#include <cstring>

bool IccProfile::Fits(const std::string& profile, int components) {
    if (profile.size() < 132 || profile.size() > kMaxSize) {
        return false;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(profile.data());
    const unsigned long declared =
        static_cast<unsigned long>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
    if (declared > profile.size() || declared < 132 || std::memcmp(p + 36, "acsp", 4) != 0) {
        return false;
    }
    const char* space = reinterpret_cast<const char*>(p + 16);
    switch (components) {
    case 1:
        return std::memcmp(space, "GRAY", 4) == 0;
    case 3:
        return std::memcmp(space, "RGB ", 4) == 0;
    case 4:
        return std::memcmp(space, "CMYK", 4) == 0;
    default:
        return false;
    }
}
