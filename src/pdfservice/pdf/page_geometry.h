#pragma once

#include <array>
#include <string>

// Where an image goes: the page size and the box the image fills, in PDF points.
struct PagePlacement {
    double pageWidth = 0;
    double pageHeight = 0;
    double x = 0; // the image box, from the lower left corner of the page
    double y = 0;
    double width = 0;
    double height = 0;
};

// The page a document asks for, in millimetres: a named page type, or else a width and height,
// and the margins.
struct PageSetup {
    const char* pageType = nullptr; // "A4", "letter", "Image Size", ...; null for width x height
    double width = 0;
    double height = 0;
    double left = 0;
    double right = 0;
    double top = 0;
    double bottom = 0;
};

// An image as it is shown (after orientation): its pixels and its resolution in dots per
// inch, 0 when it stores none.
struct ImageExtent {
    double pixelWidth = 0;
    double pixelHeight = 0;
    double xDpi = 0;
    double yDpi = 0;
};

// Page sizes and image placement. Sizes and margins come in millimetres; the image is scaled
// to fit the box inside the margins keeping its aspect ratio, centred, never enlarged beyond
// its physical size, and the page turns to suit a landscape or portrait image.
class PageGeometry {
public:
    // The largest page side PDF readers accept: 200 inches.
    static constexpr double kMaxSide = 14400;
    static constexpr double kMinSide = 3;
    // The resolution of an image that stores none.
    static constexpr double kDefaultDpi = 96;

    // The portrait size of a named page type in millimetres ("A4", "letter", "B5", "C6", ...;
    // case, blanks, hyphens and underscores do not matter). False for an unknown name.
    static bool LookupPageType(const std::string& name, double& widthMm, double& heightMm);
    // True for the page type whose page is the image's own size plus the margins.
    static bool IsImageSize(const std::string& name);

    // The page and image box of an image on a page (the default resolution where the image
    // stores none). Throws PdfError for an unknown page type, a bad size or margins that
    // leave no room.
    static PagePlacement Place(const PageSetup& page, const ImageExtent& image);

    // Whether the margins leave room for the image on every page that Place makes of the
    // setup, upright or turned for a landscape image: kFits, or the pair of margins that
    // fills a side, or kBadPage for an unknown page type, a bad size or a bad margin (which
    // Place refuses for any image).
    enum class Room { kFits, kTopBottom, kLeftRight, kBadPage };
    // `limitMm` gets the length both pairs of margins must stay below: the page's shorter
    // side (for "Image Size", the largest page side).
    static Room CheckRoom(const PageSetup& page, double& limitMm);

    // The matrix that draws an image stored with an EXIF orientation (1 to 8) upright into
    // the box at (x, y) of size width by height.
    static std::array<double, 6> ImageMatrix(int orientation, double x, double y, double width,
                                             double height);
    // True for the orientations that swap width and height (5 to 8).
    static bool SwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }
};
