#include "pdf/page_geometry.h"

#include "pdf/pdf_error.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace {
constexpr double kPointsPerMm = 72.0 / 25.4;

struct PageType {
    const char* name; // normalised: lower case without blanks, hyphens or underscores
    double width;     // millimetres, portrait
    double height;
};

constexpr double kInch = 25.4;

constexpr PageType kPageTypes[] = {
    {"a0", 841, 1189},
    {"a1", 594, 841},
    {"a2", 420, 594},
    {"a3", 297, 420},
    {"a4", 210, 297},
    {"a5", 148, 210},
    {"a6", 105, 148},
    {"a7", 74, 105},
    {"a8", 52, 74},
    {"a9", 37, 52},
    {"a10", 26, 37},
    {"b0", 1000, 1414},
    {"b1", 707, 1000},
    {"b2", 500, 707},
    {"b3", 353, 500},
    {"b4", 250, 353},
    {"b5", 176, 250},
    {"b6", 125, 176},
    {"b7", 88, 125},
    {"b8", 62, 88},
    {"b9", 44, 62},
    {"b10", 31, 44},
    {"c0", 917, 1297},
    {"c1", 648, 917},
    {"c2", 458, 648},
    {"c3", 324, 458},
    {"c4", 229, 324},
    {"c5", 162, 229},
    {"c6", 114, 162},
    {"c7", 81, 114},
    {"c8", 57, 81},
    {"c9", 40, 57},
    {"c10", 28, 40},
    {"jisb4", 257, 364},
    {"jisb5", 182, 257},
    {"letter", 8.5 * kInch, 11 * kInch},
    {"usletter", 8.5 * kInch, 11 * kInch},
    {"legal", 8.5 * kInch, 14 * kInch},
    {"uslegal", 8.5 * kInch, 14 * kInch},
    {"tabloid", 11 * kInch, 17 * kInch},
    {"ledger", 11 * kInch, 17 * kInch},
    {"executive", 7.25 * kInch, 10.5 * kInch},
    {"statement", 5.5 * kInch, 8.5 * kInch},
    {"halfletter", 5.5 * kInch, 8.5 * kInch},
    {"folio", 8.5 * kInch, 13 * kInch},
    {"juniorlegal", 5 * kInch, 8 * kInch},
    {"governmentletter", 8 * kInch, 10.5 * kInch},
};

std::string Normalise(const std::string& name) {
    std::string out;
    for (char c : name) {
        if (c != ' ' && c != '-' && c != '_' && c != '\t') {
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return out;
}

[[noreturn]] void Bad(const std::string& what) {
    throw PdfError(PDF_ERROR_PAGE_GEOMETRY, what);
}

std::string Format(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

void CheckMargins(const PageSetup& page) {
    for (double margin : {page.left, page.right, page.top, page.bottom}) {
        if (!std::isfinite(margin) || margin < 0) {
            Bad("invalid margin " + Format(margin) + " mm");
        }
    }
}

// The portrait page of a page type or of a width and height, in points (not for the page
// type "Image Size").
void PageSize(const PageSetup& page, double& width, double& height) {
    if (page.pageType != nullptr) {
        if (!PageGeometry::LookupPageType(page.pageType, width, height)) {
            Bad(std::string("unknown page type \"") + page.pageType + "\"");
        }
    } else {
        width = page.width;
        height = page.height;
    }
    if (!std::isfinite(width) || !std::isfinite(height) || width <= 0 || height <= 0) {
        Bad("invalid page size " + Format(width) + " x " + Format(height) + " mm");
    }
    width *= kPointsPerMm;
    height *= kPointsPerMm;
    if (width > PageGeometry::kMaxSide + 0.5 || height > PageGeometry::kMaxSide + 0.5) {
        Bad("page size beyond the PDF limit of 200 inches (5080 mm) a side");
    }
    width = std::clamp(width, PageGeometry::kMinSide, PageGeometry::kMaxSide);
    height = std::clamp(height, PageGeometry::kMinSide, PageGeometry::kMaxSide);
}

// What a page side leaves between two margins, all in points. Place and CheckRoom both
// measure with it, so that they agree to the last bit.
double Inside(double side, double margin1, double margin2) {
    return side - margin1 - margin2;
}
} // namespace

bool PageGeometry::LookupPageType(const std::string& name, double& widthMm, double& heightMm) {
    const std::string key = Normalise(name);
    for (const PageType& type : kPageTypes) {
        if (key == type.name) {
            widthMm = type.width;
            heightMm = type.height;
            return true;
        }
    }
    return false;
}

bool PageGeometry::IsImageSize(const std::string& name) {
    return Normalise(name) == "imagesize";
}

PagePlacement PageGeometry::Place(const PageSetup& page, const ImageExtent& image) {
    CheckMargins(page);
    const double left = page.left * kPointsPerMm;
    const double right = page.right * kPointsPerMm;
    const double top = page.top * kPointsPerMm;
    const double bottom = page.bottom * kPointsPerMm;

    // The image's physical size in points.
    const double dpiX = image.xDpi > 0 && std::isfinite(image.xDpi) ? image.xDpi : kDefaultDpi;
    const double dpiY = image.yDpi > 0 && std::isfinite(image.yDpi) ? image.yDpi : kDefaultDpi;
    const double naturalWidth = image.pixelWidth / dpiX * 72.0;
    const double naturalHeight = image.pixelHeight / dpiY * 72.0;

    PagePlacement placement;
    if (page.pageType != nullptr && IsImageSize(page.pageType)) {
        if (Inside(kMaxSide, left, right) <= 0 || Inside(kMaxSide, top, bottom) <= 0) {
            Bad("the margins leave no room for the image");
        }
        const double scale = std::min({1.0, Inside(kMaxSide, left, right) / naturalWidth,
                                       Inside(kMaxSide, top, bottom) / naturalHeight});
        placement.width = naturalWidth * scale;
        placement.height = naturalHeight * scale;
        placement.pageWidth = std::max(kMinSide, placement.width + left + right);
        placement.pageHeight = std::max(kMinSide, placement.height + top + bottom);
        placement.x = left;
        placement.y = placement.pageHeight - top - placement.height;
        return placement;
    }

    double width = 0;
    double height = 0;
    PageSize(page, width, height);
    // The page follows the image: landscape for a landscape image, portrait for a portrait one.
    if ((naturalWidth > naturalHeight) != (width > height) && naturalWidth != naturalHeight &&
        width != height) {
        std::swap(width, height);
    }
    const double boxWidth = Inside(width, left, right);
    const double boxHeight = Inside(height, top, bottom);
    if (boxWidth <= 0 || boxHeight <= 0) {
        Bad("the margins leave no room for the image");
    }
    const double scale = std::min({1.0, boxWidth / naturalWidth, boxHeight / naturalHeight});
    placement.pageWidth = width;
    placement.pageHeight = height;
    placement.width = naturalWidth * scale;
    placement.height = naturalHeight * scale;
    placement.x = left + (boxWidth - placement.width) / 2;
    placement.y = bottom + (boxHeight - placement.height) / 2;
    return placement;
}

PageGeometry::Room PageGeometry::CheckRoom(const PageSetup& page, double& limitMm) {
    limitMm = 0;
    double width = kMaxSide;
    double height = kMaxSide;
    try {
        CheckMargins(page);
        if (page.pageType == nullptr || !IsImageSize(page.pageType)) {
            PageSize(page, width, height);
        }
    } catch (const PdfError&) {
        return Room::kBadPage;
    }
    limitMm = std::min(width, height) / kPointsPerMm;
    const double left = page.left * kPointsPerMm;
    const double right = page.right * kPointsPerMm;
    const double top = page.top * kPointsPerMm;
    const double bottom = page.bottom * kPointsPerMm;
    // Upright and turned: Place turns any page that is not square for an image of the
    // other orientation.
    if (Inside(height, top, bottom) <= 0 || Inside(width, top, bottom) <= 0) {
        return Room::kTopBottom;
    }
    if (Inside(width, left, right) <= 0 || Inside(height, left, right) <= 0) {
        return Room::kLeftRight;
    }
    return Room::kFits;
}

std::array<double, 6> PageGeometry::ImageMatrix(int orientation, double x, double y, double w,
                                                double h) {
    // Image space has the first stored row at the top; each matrix maps it so that the
    // picture appears upright in the box.
    switch (orientation) {
    case 2: // mirrored left to right
        return {-w, 0, 0, h, x + w, y};
    case 3: // turned 180 degrees
        return {-w, 0, 0, -h, x + w, y + h};
    case 4: // mirrored top to bottom
        return {w, 0, 0, -h, x, y + h};
    case 5: // mirrored along the main diagonal
        return {0, -h, -w, 0, x + w, y + h};
    case 6: // turned 90 degrees clockwise to view
        return {0, -h, w, 0, x, y + h};
    case 7: // mirrored along the other diagonal
        return {0, h, w, 0, x, y};
    case 8: // turned 90 degrees counter-clockwise to view
        return {0, h, -w, 0, x + w, y};
    default:
        return {w, 0, 0, h, x, y};
    }
}
