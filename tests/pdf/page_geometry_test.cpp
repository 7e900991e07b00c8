#include "pdf/page_geometry.h"

#include "pdf/pdf_error.h"

#include <gtest/gtest.h>

namespace {
constexpr double kMm = 72.0 / 25.4;
} // namespace

TEST(PageGeometryTest, PageTypesByName) {
    struct Case {
        const char* name;
        double width;
        double height;
    };
    const Case cases[] = {
        {"A4", 210, 297},
        {"a4", 210, 297},
        {"A0", 841, 1189},
        {"A6", 105, 148},
        {"B4", 250, 353},
        {"B5", 176, 250},
        {"C5", 162, 229},
        {"Letter", 215.9, 279.4},
        {"US Letter", 215.9, 279.4},
        {"legal", 215.9, 355.6},
        {"Tabloid", 279.4, 431.8},
        {"Executive", 184.15, 266.7},
        {"half-letter", 139.7, 215.9},
    };
    for (const Case& c : cases) {
        double width = 0;
        double height = 0;
        ASSERT_TRUE(PageGeometry::LookupPageType(c.name, width, height)) << c.name;
        EXPECT_NEAR(width, c.width, 0.01) << c.name;
        EXPECT_NEAR(height, c.height, 0.01) << c.name;
    }
    double width = 0;
    double height = 0;
    EXPECT_FALSE(PageGeometry::LookupPageType("A11", width, height));
    EXPECT_TRUE(PageGeometry::IsImageSize("image size"));
    EXPECT_TRUE(PageGeometry::IsImageSize("Image Size"));
}

TEST(PageGeometryTest, ImagesFitTheBoxCentredWithoutEnlargement) {
    struct Case {
        const char* label;
        const char* type;
        double pixelsWide;
        double pixelsHigh;
        double dpi;
        // expected page and image box, in points
        double pageWidth;
        double pageHeight;
        double x;
        double y;
        double width;
        double height;
    };
    const double a4w = 210 * kMm;
    const double a4h = 297 * kMm;
    const double m = 10 * kMm;
    const Case cases[] = {
        // 960 x 960 at 96 dpi is 720 pt: shrunk to the width of the box.
        {"large square", "A4", 960, 960, 96, a4w, a4h, m, (a4h - (a4w - 2 * m)) / 2, a4w - 2 * m,
         a4w - 2 * m},
        // 96 x 48 px at 96 dpi is 72 x 36 pt; landscape turns the page.
        {"small landscape", "A4", 96, 48, 0, a4h, a4w, (a4h - 72) / 2, (a4w - 36) / 2, 72, 36},
        // The stored resolution decides the physical size.
        {"300 dpi", "A4", 300, 600, 300, a4w, a4h, (a4w - 72) / 2, (a4h - 144) / 2, 72, 144},
        // Image Size: the image's own size plus the margins.
        {"image size", "Image Size", 192, 96, 96, 144 + 2 * m, 72 + 2 * m, m, m, 144, 72},
        // A huge image at a low resolution still gives a page within 200 inches.
        {"huge", "Image Size", 1000000, 10, 1, 14400,
         10.0 / 1 * 72 * (14400 - 2 * m) / (1000000 * 72.0) + 2 * m, m, m, 14400 - 2 * m,
         10.0 * 72 * (14400 - 2 * m) / (1000000 * 72.0)},
    };
    for (const Case& c : cases) {
        const PagePlacement p = PageGeometry::Place({c.type, 0, 0, 10, 10, 10, 10},
                                                    {c.pixelsWide, c.pixelsHigh, c.dpi, c.dpi});
        EXPECT_NEAR(p.pageWidth, c.pageWidth, 0.01) << c.label;
        EXPECT_NEAR(p.pageHeight, c.pageHeight, 0.01) << c.label;
        EXPECT_NEAR(p.x, c.x, 0.01) << c.label;
        EXPECT_NEAR(p.y, c.y, 0.01) << c.label;
        EXPECT_NEAR(p.width, c.width, 0.01) << c.label;
        EXPECT_NEAR(p.height, c.height, 0.01) << c.label;
        EXPECT_LE(p.pageWidth, PageGeometry::kMaxSide) << c.label;
        EXPECT_LE(p.pageHeight, PageGeometry::kMaxSide) << c.label;
        EXPECT_GE(p.pageHeight, PageGeometry::kMinSide) << c.label;
    }
}

TEST(PageGeometryTest, CustomSizeAndUnequalResolution) {
    // 100 x 200 mm page, no margins; 200 x 100 px at 100 x 50 dpi is 144 x 144 pt.
    const PagePlacement p =
        PageGeometry::Place({nullptr, 100, 200, 0, 0, 0, 0}, {200, 100, 100, 50});
    EXPECT_NEAR(p.pageWidth, 100 * kMm, 0.01);
    EXPECT_NEAR(p.pageHeight, 200 * kMm, 0.01);
    EXPECT_NEAR(p.width, 144, 0.01);
    EXPECT_NEAR(p.height, 144, 0.01);
}

TEST(PageGeometryTest, BadGeometryIsAnError) {
    struct Case {
        const char* label;
        const char* type;
        double width;
        double height;
        double margin;
    };
    const Case cases[] = {
        {"unknown type", "Napkin", 0, 0, 10},
        {"margins fill the page", "A6", 0, 0, 60},
        {"negative margin", "A4", 0, 0, -1},
        {"no size", nullptr, 0, 0, 10},
        {"beyond 200 inches", nullptr, 6000, 100, 0},
        {"not a number", nullptr, 210, std::numeric_limits<double>::quiet_NaN(), 0},
        {"image size margins too wide", "Image Size", 0, 0, 3000},
    };
    for (const Case& c : cases) {
        try {
            PageGeometry::Place({c.type, c.width, c.height, c.margin, c.margin, c.margin, c.margin},
                                {100, 100, 0, 0});
            ADD_FAILURE() << c.label;
        } catch (const PdfError& error) {
            EXPECT_EQ(error.Code(), PDF_ERROR_PAGE_GEOMETRY) << c.label;
        }
    }
}

// CheckRoom accepts exactly the setups that Place takes for every image: upright pages for
// portrait images, turned ones for landscape images. A refusal names the pair of margins that
// fills the page's shorter side.
TEST(PageGeometryTest, CheckRoomAgreesWithPlaceInBothOrientations) {
    using Room = PageGeometry::Room;
    struct Case {
        const char* label;
        const char* type;
        double width;
        double height;
        double top;
        double bottom;
        double left;
        double right;
        Room room;
        double limit;
    };
    const Case cases[] = {
        {"A4, usual margins", "A4", 0, 0, 10, 10, 10, 10, Room::kFits, 210},
        {"A4, top and bottom fit upright only", "A4", 0, 0, 150, 100, 10, 10, Room::kTopBottom,
         210},
        {"A4, left and right fit turned only", "A4", 0, 0, 10, 10, 120, 120, Room::kLeftRight, 210},
        {"A4, just below the shorter side", "A4", 0, 0, 104.99, 105, 104.99, 105, Room::kFits, 210},
        {"A4, decimals that add up to the shorter side", "A4", 0, 0, 105.1, 104.9, 0, 0,
         Room::kTopBottom, 210},
        {"Letter, within its 215.9 mm", "Letter", 0, 0, 10, 10, 108, 107.85, Room::kFits, 215.9},
        {"Letter, 0.05 mm beyond", "Letter", 0, 0, 10, 10, 108, 107.95, Room::kLeftRight, 215.9},
        {"custom landscape page", nullptr, 300, 100, 10, 10, 60, 60, Room::kLeftRight, 100},
        {"custom square page", nullptr, 100, 100, 49.5, 50, 0, 0, Room::kFits, 100},
        {"custom page, no margins", nullptr, 2, 2, 0, 0, 0, 0, Room::kFits, 2},
        {"image size takes wide margins", "Image Size", 0, 0, 297, 297, 210, 210, Room::kFits,
         PageGeometry::kMaxSide * 25.4 / 72},
        {"unknown page type", "Napkin", 0, 0, 10, 10, 10, 10, Room::kBadPage, 0},
        {"negative margin", "A4", 0, 0, -1, 10, 10, 10, Room::kBadPage, 0},
    };
    const ImageExtent images[] = {
        {400, 300, 96, 96}, {300, 400, 96, 96}, {300, 300, 96, 96},
        {1, 1, 0, 0},       {20000, 1, 0, 0},   {1, 20000, 0, 0},
    };
    for (const Case& c : cases) {
        const PageSetup page{c.type, c.width, c.height, c.left, c.right, c.top, c.bottom};
        double limit = -1;
        EXPECT_EQ(PageGeometry::CheckRoom(page, limit), c.room) << c.label;
        EXPECT_NEAR(limit, c.limit, 0.001) << c.label;
        int placed = 0;
        for (const ImageExtent& image : images) {
            try {
                PageGeometry::Place(page, image);
                ++placed;
            } catch (const PdfError& error) {
                EXPECT_EQ(error.Code(), PDF_ERROR_PAGE_GEOMETRY) << c.label;
            }
        }
        if (c.room == Room::kFits) {
            EXPECT_EQ(placed, static_cast<int>(std::size(images))) << c.label;
        } else {
            EXPECT_LT(placed, static_cast<int>(std::size(images))) << c.label;
        }
    }
}

TEST(PageGeometryTest, OrientationMatricesMapTheImageOntoTheBox) {
    // Every matrix maps the unit square onto the box (10, 20, 30, 40).
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const auto m = PageGeometry::ImageMatrix(orientation, 10, 20, 30, 40);
        double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
        for (double u : {0.0, 1.0}) {
            for (double v : {0.0, 1.0}) {
                const double x = m[0] * u + m[2] * v + m[4];
                const double y = m[1] * u + m[3] * v + m[5];
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
        }
        EXPECT_DOUBLE_EQ(minX, 10) << orientation;
        EXPECT_DOUBLE_EQ(maxX, 40) << orientation;
        EXPECT_DOUBLE_EQ(minY, 20) << orientation;
        EXPECT_DOUBLE_EQ(maxY, 60) << orientation;
    }
    // Orientation 6 (turn clockwise to view): the first stored row becomes the right column,
    // so the image's top-left corner (0, 1) lands at the top right of the box.
    const auto m = PageGeometry::ImageMatrix(6, 0, 0, 30, 40);
    EXPECT_DOUBLE_EQ(m[2] * 1 + m[4], 30);
    EXPECT_DOUBLE_EQ(m[3] * 1 + m[5], 40);
}
