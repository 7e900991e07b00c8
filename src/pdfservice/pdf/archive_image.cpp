#include "pdf/archive_image.h"

#include "pdf/flate_row_decoder.h"
#include "pdf/flate_row_encoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {
using Layout = ImageLayout;

unsigned Sample(const unsigned char* row, size_t index, int bits) {
    switch (bits) {
    case 16:
        return static_cast<unsigned>(row[2 * index]) << 8 | row[2 * index + 1];
    case 8:
        return row[index];
    default: {
        const size_t bit = index * static_cast<size_t>(bits);
        const int shift = 8 - bits - static_cast<int>(bit % 8);
        return (row[bit / 8] >> shift) & ((1u << bits) - 1);
    }
    }
}

int ComponentsOf(Layout::ColourSpace space) {
    return space == Layout::ColourSpace::Gray ? 1 : space == Layout::ColourSpace::CMYK ? 4 : 3;
}

double Linear(double c) {
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double LabF(double t) {
    return t > 216.0 / 24389 ? std::cbrt(t) : (24389.0 / 27 * t + 16) / 116;
}

// The background colour in `space`, as decoded component values (the values the Decode array
// gives: 0 to 1, L* a* b* for Lab).
std::vector<double> BackgroundIn(const Layout& layout, Layout::ColourSpace space,
                                 uint32_t background) {
    const double r = ((background >> 16) & 0xFF) / 255.0;
    const double g = ((background >> 8) & 0xFF) / 255.0;
    const double b = (background & 0xFF) / 255.0;
    switch (space) {
    case Layout::ColourSpace::Gray:
        return {0.299 * r + 0.587 * g + 0.114 * b};
    case Layout::ColourSpace::CMYK: {
        const double k = 1 - std::max({r, g, b});
        if (k >= 1) {
            return {0, 0, 0, 1};
        }
        return {(1 - r - k) / (1 - k), (1 - g - k) / (1 - k), (1 - b - k) / (1 - k), k};
    }
    case Layout::ColourSpace::Lab: {
        // sRGB to CIE XYZ, then L*a*b* against the image's white point.
        const double lr = Linear(r), lg = Linear(g), lb = Linear(b);
        const double x = 0.4124 * lr + 0.3576 * lg + 0.1805 * lb;
        const double y = 0.2126 * lr + 0.7152 * lg + 0.0722 * lb;
        const double z = 0.0193 * lr + 0.1192 * lg + 0.9505 * lb;
        const std::vector<double>& w = layout.whitePoint;
        const double wx = w.size() == 3 && w[0] > 0 ? w[0] : 0.9505;
        const double wy = w.size() == 3 && w[1] > 0 ? w[1] : 1.0;
        const double wz = w.size() == 3 && w[2] > 0 ? w[2] : 1.089;
        const double fx = LabF(x / wx), fy = LabF(y / wy), fz = LabF(z / wz);
        return {116 * fy - 16, 500 * (fx - fy), 200 * (fy - fz)};
    }
    default:
        return {r, g, b};
    }
}

// The default decode range of component `k` of a non-indexed image.
std::array<double, 2> DefaultRange(const Layout& layout, int k) {
    if (layout.colourSpace == Layout::ColourSpace::Lab) {
        if (k == 0) {
            return {0, 100};
        }
        const std::vector<double>& range = layout.labRange;
        if (range.size() == 4) {
            return {range[2 * (k - 1)], range[2 * (k - 1) + 1]};
        }
        return {-100, 100};
    }
    return {0, 1};
}

// The decode range of component `k` of a non-indexed image.
std::array<double, 2> DecodeRange(const Layout& layout, int k) {
    if (layout.decode.size() >= static_cast<size_t>(2 * k + 2)) {
        return {layout.decode[2 * k], layout.decode[2 * k + 1]};
    }
    return DefaultRange(layout, k);
}

unsigned char ToByte(double normalised) {
    return static_cast<unsigned char>(std::lround(std::clamp(normalised, 0.0, 1.0) * 255));
}
} // namespace

std::string ArchiveImage::ColourText(uint32_t background) {
    char text[16];
    std::snprintf(text, sizeof text, "#%06X", background & 0xFFFFFFu);
    return text;
}

void ArchiveImage::Apply(Layout& layout, std::string& image, std::string& mask, const Steps& steps,
                         bool hasProfile) {
    const bool flatten = steps.flatten && layout.softMask;
    const bool reduce = steps.reduceDepth && layout.bitsPerComponent > 8;
    if (!flatten && !reduce) {
        return;
    }
    const bool indexed = layout.colourSpace == Layout::ColourSpace::Indexed;
    // The space the colours are composed in, and the one written: grey composed over a
    // colour becomes RGB, unless a grey profile of its own says what its grey is.
    const Layout::ColourSpace sourceSpace =
        flatten && indexed ? layout.paletteBase : layout.colourSpace;
    const uint32_t bg = steps.background;
    const bool neutral = (bg >> 16 & 0xFF) == (bg >> 8 & 0xFF) && (bg >> 8 & 0xFF) == (bg & 0xFF);
    const bool widen =
        flatten && !hasProfile && sourceSpace == Layout::ColourSpace::Gray && !neutral;
    const Layout::ColourSpace outSpace = widen ? Layout::ColourSpace::RGB : sourceSpace;
    const int inComponents = layout.Components();
    const int sourceComponents = flatten && indexed ? ComponentsOf(sourceSpace) : inComponents;
    const int outComponents = widen ? 3 : sourceComponents;
    const int bits = layout.bitsPerComponent;
    const double inMax = static_cast<double>((1u << bits) - 1);
    const size_t width = static_cast<size_t>(layout.width);

    FlateRowDecoder colourRows(image, layout.width, inComponents, bits);
    std::unique_ptr<FlateRowDecoder> alphaRows;
    std::vector<double> background;
    // How samples decode now, and how the 8-bit ones written decode: with the default
    // ranges, so that samples of fewer bits in 16-bit ones (12-bit scans, whose Decode
    // array stretches them) keep every level an 8-bit sample can give.
    std::vector<std::array<double, 2>> ranges;
    std::vector<std::array<double, 2>> outRanges;
    double alphaMax = 1;
    std::array<double, 2> alphaRange{0, 1};
    if (flatten) {
        alphaRows = std::make_unique<FlateRowDecoder>(mask, layout.width, 1, layout.softMaskBits);
        alphaMax = static_cast<double>((1u << layout.softMaskBits) - 1);
        if (layout.softMaskDecode.size() == 2) {
            alphaRange = {layout.softMaskDecode[0], layout.softMaskDecode[1]};
        }
        background = BackgroundIn(layout, outSpace, steps.background);
    }
    for (int k = 0; k < sourceComponents; ++k) {
        ranges.push_back(indexed && flatten ? std::array<double, 2>{0, 1} : DecodeRange(layout, k));
    }
    for (int k = 0; k < outComponents; ++k) {
        outRanges.push_back((indexed && flatten) || widen ? std::array<double, 2>{0, 1}
                                                          : DefaultRange(layout, k));
    }
    const int paletteEntry = ComponentsOf(layout.paletteBase);

    std::string out;
    auto encoder =
        FlateRowEncoder::AppendingTo(&out, layout.width, layout.height, outComponents, 8);
    std::vector<unsigned char> row(encoder->RowBytes());
    std::vector<double> value(static_cast<size_t>(outComponents));
    for (int y = 0; y < layout.height; ++y) {
        const unsigned char* colour = colourRows.NextRow();
        const unsigned char* alpha = alphaRows ? alphaRows->NextRow() : nullptr;
        for (size_t x = 0; x < width; ++x) {
            // The pixel's decoded component values.
            if (indexed && flatten) {
                const size_t entry = Sample(colour, x, bits) * static_cast<size_t>(paletteEntry);
                for (int k = 0; k < sourceComponents; ++k) {
                    const size_t at = entry + static_cast<size_t>(k);
                    value[k] = at < layout.palette.size()
                                   ? static_cast<unsigned char>(layout.palette[at]) / 255.0
                                   : 0;
                }
            } else {
                for (int k = 0; k < sourceComponents; ++k) {
                    const double n = Sample(colour, x * sourceComponents + k, bits) / inMax;
                    value[k] = ranges[k][0] + n * (ranges[k][1] - ranges[k][0]);
                }
            }
            if (widen) {
                value[1] = value[0];
                value[2] = value[0];
            }
            if (alpha != nullptr) {
                const double a =
                    std::clamp(alphaRange[0] + Sample(alpha, x, layout.softMaskBits) / alphaMax *
                                                   (alphaRange[1] - alphaRange[0]),
                               0.0, 1.0);
                for (int k = 0; k < outComponents; ++k) {
                    double v = value[k];
                    if (!layout.matte.empty() && a > 0) {
                        // Colour premultiplied with the matte colour: undone first.
                        const double m = layout.matte[std::min<size_t>(k, layout.matte.size() - 1)];
                        v = m + (v - m) / a;
                    }
                    value[k] = a * v + (1 - a) * background[k];
                }
            }
            for (int k = 0; k < outComponents; ++k) {
                const double span = outRanges[k][1] - outRanges[k][0];
                const double n = span != 0 ? (value[k] - outRanges[k][0]) / span : 0;
                // The nearest 8-bit value.
                row[x * outComponents + k] = ToByte(n);
            }
        }
        encoder->WriteRow(row.data());
    }
    encoder->Finish();

    if (widen && layout.colourKey.size() == 2) {
        // The grey's range for each of red, green and blue.
        layout.colourKey = {layout.colourKey[0], layout.colourKey[1], layout.colourKey[0],
                            layout.colourKey[1], layout.colourKey[0], layout.colourKey[1]};
        ranges.assign(3, ranges.front());
    }
    if (!layout.colourKey.empty() && !(indexed && flatten)) {
        // The colour key's ranges as the 8-bit samples give them.
        for (size_t i = 0; i < layout.colourKey.size(); ++i) {
            const size_t k = std::min(i / 2, ranges.size() - 1);
            const double decoded =
                ranges[k][0] + layout.colourKey[i] / inMax * (ranges[k][1] - ranges[k][0]);
            const double span = outRanges[k][1] - outRanges[k][0];
            layout.colourKey[i] = ToByte(span != 0 ? (decoded - outRanges[k][0]) / span : 0);
        }
        for (size_t i = 0; i + 1 < layout.colourKey.size(); i += 2) {
            if (layout.colourKey[i] > layout.colourKey[i + 1]) {
                std::swap(layout.colourKey[i], layout.colourKey[i + 1]);
            }
        }
    }
    layout.decode.clear();
    image = std::move(out);
    mask.clear();
    layout.filter = Layout::Filter::Flate;
    layout.bitsPerComponent = 8;
    if (flatten) {
        layout.softMask = false;
        layout.softMaskBits = 8;
        layout.softMaskDecode.clear();
        layout.matte.clear();
        if (indexed || widen) {
            layout.colourSpace = outSpace;
            layout.palette.clear();
        }
    }
}
