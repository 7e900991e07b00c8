#include "pdf/icc_profile.h"

#include <cstring>
#include <memory>

#include <lcms2.h>

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

int IccProfile::MajorVersion(const std::string& profile) {
    return profile.size() > 8 ? static_cast<unsigned char>(profile[8]) : 0;
}

namespace {
struct ProfileCloser {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using ProfilePtr = std::unique_ptr<void, ProfileCloser>;
struct TransformDeleter {
    void operator()(void* transform) const { cmsDeleteTransform(transform); }
};
using TransformPtr = std::unique_ptr<void, TransformDeleter>;
struct PipelineDeleter {
    void operator()(cmsPipeline* pipeline) const { cmsPipelineFree(pipeline); }
};

std::string Saved(cmsHPROFILE profile) {
    cmsUInt32Number size = 0;
    if (!cmsSaveProfileToMem(profile, nullptr, &size) || size == 0) {
        return {};
    }
    std::string bytes(size, '\0');
    if (!cmsSaveProfileToMem(profile, bytes.data(), &size)) {
        return {};
    }
    bytes.resize(size);
    return bytes;
}

void Describe(cmsHPROFILE profile, const wchar_t* description) {
    cmsMLU* text = cmsMLUalloc(nullptr, 1);
    cmsMLUsetWide(text, "en", "US", description);
    cmsWriteTag(profile, cmsSigProfileDescriptionTag, text);
    cmsMLUfree(text);
    cmsMLU* copyright = cmsMLUalloc(nullptr, 1);
    cmsMLUsetWide(copyright, "en", "US", L"No copyright, use freely");
    cmsWriteTag(profile, cmsSigCopyrightTag, copyright);
    cmsMLUfree(copyright);
}

// Grid points on each axis of the CMYK profile's table.
constexpr cmsUInt32Number kCmykGrid = 11;

// The sRGB colours of the 16 combinations of full process inks on white paper (cyan, magenta,
// yellow, black, each absent or full; index bits C M Y K from the highest), as the common PDF
// readers blend them to show device CMYK.
constexpr double kInkCorners[16][3] = {
    {1.0000, 1.0000, 1.0000}, // paper
    {0.1373, 0.1216, 0.1255}, // K
    {1.0000, 0.9490, 0.0000}, // Y
    {0.1098, 0.1020, 0.0000}, // Y K
    {0.9255, 0.0000, 0.5490}, // M
    {0.1412, 0.0000, 0.0000}, // M K
    {0.9294, 0.1098, 0.1412}, // M Y
    {0.1333, 0.0000, 0.0000}, // M Y K
    {0.0000, 0.6784, 0.9373}, // C
    {0.0000, 0.0588, 0.1412}, // C K
    {0.0000, 0.6510, 0.3137}, // C Y
    {0.0000, 0.0745, 0.0000}, // C Y K
    {0.1804, 0.1922, 0.5725}, // C M
    {0.0000, 0.0000, 0.0078}, // C M K
    {0.2118, 0.2119, 0.2235}, // C M Y
    {0.0000, 0.0000, 0.0000}, // C M Y K
};

int SampleCmyk(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) {
    double ink[4];
    for (int i = 0; i < 4; ++i) {
        ink[i] = in[i] / 65535.0;
    }
    // Each corner weighs as much as the inks present in it cover, and the others leave free.
    double rgb[3] = {0, 0, 0};
    for (int corner = 0; corner < 16; ++corner) {
        double weight = 1;
        for (int i = 0; i < 4; ++i) {
            const bool full = (corner >> (3 - i) & 1) != 0;
            weight *= full ? ink[i] : 1 - ink[i];
        }
        for (int k = 0; k < 3; ++k) {
            rgb[k] += weight * kInkCorners[corner][k];
        }
    }
    cmsCIELab lab;
    cmsDoTransform(cargo, rgb, &lab, 1);
    // Version 2 profiles encode L*a*b* as version 2 did.
    cmsFloat2LabEncodedV2(out, &lab);
    return 1;
}
} // namespace

const std::string& IccProfile::Srgb() {
    static const std::string profile = [] {
        const ProfilePtr srgb(cmsCreate_sRGBProfile());
        if (!srgb) {
            return std::string();
        }
        cmsSetProfileVersion(srgb.get(), 2.1);
        Describe(srgb.get(), L"sRGB IEC61966-2.1");
        return Saved(srgb.get());
    }();
    return profile;
}

const std::string& IccProfile::PlainCmyk() {
    static const std::string profile = []() -> std::string {
        const ProfilePtr srgb(cmsCreate_sRGBProfile());
        const ProfilePtr lab(cmsCreateLab4Profile(cmsD50_xyY()));
        if (!srgb || !lab) {
            return {};
        }
        const TransformPtr toLab(cmsCreateTransform(srgb.get(), TYPE_RGB_DBL, lab.get(),
                                                    TYPE_Lab_DBL, INTENT_RELATIVE_COLORIMETRIC,
                                                    cmsFLAGS_NOCACHE | cmsFLAGS_NOOPTIMIZE));
        const ProfilePtr cmyk(cmsCreateProfilePlaceholder(nullptr));
        if (!toLab || !cmyk) {
            return {};
        }
        cmsSetProfileVersion(cmyk.get(), 2.1);
        cmsSetDeviceClass(cmyk.get(), cmsSigInputClass);
        cmsSetColorSpace(cmyk.get(), cmsSigCmykData);
        cmsSetPCS(cmyk.get(), cmsSigLabData);
        const std::unique_ptr<cmsPipeline, PipelineDeleter> lut(cmsPipelineAlloc(nullptr, 4, 3));
        cmsStage* table = cmsStageAllocCLut16bit(nullptr, kCmykGrid, 4, 3, nullptr);
        if (!lut || table == nullptr) {
            return {};
        }
        if (!cmsStageSampleCLut16bit(table, SampleCmyk, toLab.get(), 0) ||
            !cmsPipelineInsertStage(lut.get(), cmsAT_BEGIN, table)) {
            cmsStageFree(table);
            return {};
        }
        Describe(cmyk.get(), L"Process inks on white paper, as PDF readers show device CMYK");
        cmsWriteTag(cmyk.get(), cmsSigMediaWhitePointTag, cmsD50_XYZ());
        cmsWriteTag(cmyk.get(), cmsSigAToB0Tag, lut.get());
        return Saved(cmyk.get());
    }();
    return profile;
}

std::string IccProfile::FromPrimaries(const double (&xy)[8], int transfer) {
    // Parametric curves of type 4: Y = (aX + b)^g for X >= d, else cX.
    double curve[5] = {1, 1, 0, 0, 0};
    int type = 1;
    switch (transfer) {
    case 1:
    case 6:
    case 14:
    case 15:
        type = 4;
        curve[0] = 1 / 0.45;
        curve[1] = 1 / 1.099;
        curve[2] = 0.099 / 1.099;
        curve[3] = 1 / 4.5;
        curve[4] = 0.081;
        break;
    case 4:
        curve[0] = 2.2;
        break;
    case 5:
        curve[0] = 2.8;
        break;
    case 8:
        curve[0] = 1;
        break;
    case 13:
        type = 4;
        curve[0] = 2.4;
        curve[1] = 1 / 1.055;
        curve[2] = 0.055 / 1.055;
        curve[3] = 1 / 12.92;
        curve[4] = 0.04045;
        break;
    default:
        return {};
    }
    for (const double value : xy) {
        if (!(value > 0 && value < 1)) {
            return {};
        }
    }
    struct CurveFree {
        void operator()(cmsToneCurve* tone) const { cmsFreeToneCurve(tone); }
    };
    const std::unique_ptr<cmsToneCurve, CurveFree> tone(
        cmsBuildParametricToneCurve(nullptr, type, curve));
    if (!tone) {
        return {};
    }
    const cmsCIExyY white{xy[6], xy[7], 1};
    const cmsCIExyYTRIPLE primaries{{xy[0], xy[1], 1}, {xy[2], xy[3], 1}, {xy[4], xy[5], 1}};
    cmsToneCurve* curves[3] = {tone.get(), tone.get(), tone.get()};
    const ProfilePtr profile(cmsCreateRGBProfile(&white, &primaries, curves));
    if (!profile) {
        return {};
    }
    cmsSetProfileVersion(profile.get(), 2.1);
    Describe(profile.get(), L"RGB from the image's colour description");
    return Saved(profile.get());
}
