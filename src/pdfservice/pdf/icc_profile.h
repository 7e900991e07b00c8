#pragma once

#include <cstddef>
#include <string>

// Checks of ICC profiles before they are embedded: a profile must be well formed and
// describe the colour space of the image it comes with, or PDF readers reject the page.
class IccProfile {
public:
    // Profiles larger than this are left out (as browsers do): real ones are far smaller,
    // and each costs memory while its page is written.
    static constexpr size_t kMaxSize = 4 * 1024 * 1024;

    // True when `profile` is a plausible ICC profile whose data colour space has `components`
    // components (1 grey, 3 RGB, 4 CMYK).
    static bool Fits(const std::string& profile, int components);
};
