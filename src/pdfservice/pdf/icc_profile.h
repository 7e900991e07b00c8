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

    // The major version of a profile that Fits (2 or 4 in practice).
    static int MajorVersion(const std::string& profile);

    // Profiles made by Little CMS, version 2.1 (which every PDF/A part accepts), made once.
    // sRGB (IEC 61966-2.1), the output intent of archival documents.
    static const std::string& Srgb();
    // A CMYK input profile that gives the colours PDF readers show for DeviceCMYK when they
    // have no profile (process inks on white paper: the colours of the 16 combinations of
    // full inks, blended): device CMYK images keep their look in archival documents, whose
    // output intent is RGB.
    static const std::string& PlainCmyk();

    // An RGB profile (version 2.1) of the given primaries and white point (CIE xy: red,
    // green, blue, white) and transfer function, as coded in the colour descriptions of video
    // and of HEIF and AVIF images (ITU-T H.273: 1, 6, 14, 15 the BT.709 curve, 4 and 5 pure
    // gammas, 8 linear, 13 sRGB). Empty for a transfer function no ICC curve of this kind
    // expresses (PQ, HLG) or primaries that give no profile.
    static std::string FromPrimaries(const double (&xy)[8], int transfer);
};
