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

    // The page and image box for an image shown `pixelWidth` by `pixelHeight` pixels (as
    // displayed, after orientation) at the given resolution (0: the default). `pageType` may
    // be null, in which case `widthMm` by `heightMm` is the page. Throws PdfError for an
    // unknown page type, a bad size or margins that leave no room.
    static PagePlacement Place(const char* pageType, double widthMm, double heightMm, double leftMm,
                               double rightMm, double topMm, double bottomMm, double pixelWidth,
                               double pixelHeight, double xDpi, double yDpi);

    // The matrix that draws an image stored with an EXIF orientation (1 to 8) upright into
    // the box at (x, y) of size width by height.
    static std::array<double, 6> ImageMatrix(int orientation, double x, double y, double width,
                                             double height);
    // True for the orientations that swap width and height (5 to 8).
    static bool SwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }
};
