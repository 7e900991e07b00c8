#include "common/image_util.h"

#include "app/app_util.h"

#include <wx/dcmemory.h>
#include <wx/filename.h>
#include <wx/filesys.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/renderer.h>
#include <wx/window.h>

#include <cstdlib>
#include <memory>

wxString ImageUtil::GetThemeArchive() {
    return AppUtil::GetInstallRoot() + "/Themes/default.zip";
}

bool ImageUtil::LoadThemeImage(const wxString& name, wxBitmapType type, wxImage& image) {
    wxLogNull quiet; // a missing or damaged image draws nothing; the owner carries on
    wxFileSystem files;
    const wxString location =
        wxFileSystem::FileNameToURL(wxFileName(GetThemeArchive())) + "#zip:" + name;
    std::unique_ptr<wxFSFile> file(files.OpenFile(location, wxFS_READ));
    if (!file || file->GetStream() == nullptr) {
        return false;
    }
    return image.LoadFile(*file->GetStream(), type) && image.IsOk();
}

wxBitmap ImageUtil::LoadThemeBitmap(const wxString& name, wxBitmapType type) {
    wxImage image;
    if (!LoadThemeImage(name, type, image)) {
        return wxNullBitmap;
    }
    wxBitmap bitmap(image);
    return bitmap.IsOk() ? bitmap : wxNullBitmap;
}

wxBitmap* ImageUtil::LoadThemeBitmapPtr(const wxString& name, wxBitmapType type) {
    return new wxBitmap(LoadThemeBitmap(name, type));
}

wxBitmap* ImageUtil::LoadThemeBitmapCut(const wxString& name, int threshold, wxBitmapType type) {
    wxImage image;
    if (!LoadThemeImage(name, type, image)) {
        return nullptr;
    }
    if (image.HasAlpha()) {
        unsigned char* alpha = image.GetAlpha();
        unsigned char* rgb = image.GetData();
        const unsigned char maskRed = image.GetMaskRed();
        const unsigned char maskGreen = image.GetMaskGreen();
        const unsigned char maskBlue = image.GetMaskBlue();
        const size_t count = size_t(image.GetWidth()) * image.GetHeight();
        for (size_t i = 0; i < count; ++i) {
            if (alpha[i] != 0 && alpha[i] < threshold) {
                rgb[3 * i] = maskRed;
                rgb[3 * i + 1] = maskGreen;
                rgb[3 * i + 2] = maskBlue;
                alpha[i] = 0;
            }
        }
    }
    return new wxBitmap(image);
}

wxString ImageUtil::FaceConfigMessage(int x, int y, int width, int height, int maxWidth,
                                      int maxHeight) {
    return wxString::Format(" face config is wrong. x=%d,y=%d,width=%d,height=%d; \nMax width is "
                            "%d,Max height is %d.\n(x+width) must <= Max width AND (y+height) "
                            "must <= Max height",
                            x, y, width, height, maxWidth, maxHeight);
}

namespace {
// True when the rectangle lies inside the source; otherwise shows the face-config message.
bool CheckCrop(const wxBitmap& source, int x, int y, int width, int height) {
    const int maxWidth = source.IsOk() ? source.GetWidth() : 0;
    const int maxHeight = source.IsOk() ? source.GetHeight() : 0;
    if (maxWidth >= x + width && maxHeight >= y + height && x >= 0 && y >= 0) {
        return true;
    }
    wxMessageBox(ImageUtil::FaceConfigMessage(x, y, width, height, maxWidth, maxHeight),
                 wxMessageBoxCaptionStr, wxOK | wxCENTRE);
    return false;
}

// The part of the rectangle inside the source, placed on a transparent bitmap of the
// rectangle's size.
wxBitmap CopyInside(const wxBitmap& source, int x, int y, int width, int height) {
    if (width <= 0 || height <= 0) {
        return wxNullBitmap;
    }
    wxImage result(width, height);
    result.InitAlpha();
    std::fill(result.GetAlpha(), result.GetAlpha() + size_t(width) * height, 0);
    if (source.IsOk()) {
        const wxRect inside = wxRect(x, y, width, height).Intersect(wxRect(source.GetSize()));
        if (!inside.IsEmpty()) {
            wxImage part = source.GetSubBitmap(inside).ConvertToImage();
            if (!part.HasAlpha()) {
                part.InitAlpha();
            }
            result.Paste(part, inside.x - x, inside.y - y, wxIMAGE_ALPHA_BLEND_COMPOSE);
        }
    }
    return wxBitmap(result);
}
} // namespace

wxBitmap ImageUtil::CropBitmap(const wxBitmap& source, int x, int y, int width, int height) {
    if (CheckCrop(source, x, y, width, height)) {
        return width > 0 && height > 0 ? source.GetSubBitmap(wxRect(x, y, width, height))
                                       : wxNullBitmap;
    }
    return CopyInside(source, x, y, width, height);
}

wxBitmap* ImageUtil::CropBitmapStrict(const wxBitmap& source, int x, int y, int width, int height) {
    if (!CheckCrop(source, x, y, width, height)) {
        // The theme does not fit the windows it draws: nothing can be shown properly.
        std::exit(EXIT_FAILURE);
    }
    return new wxBitmap(width > 0 && height > 0 ? source.GetSubBitmap(wxRect(x, y, width, height))
                                                : wxNullBitmap);
}

wxBitmap ImageUtil::StretchBitmap(const wxBitmap& source, const wxRect& stretch,
                                  const wxSize& size) {
    if (!source.IsOk() || source.GetSize() == size) {
        return source;
    }
    const wxSize design = source.GetSize();
    const wxSize growth = size - design;
    if (stretch.IsEmpty() || stretch.width + growth.x <= 0 || stretch.height + growth.y <= 0 ||
        !wxRect(design).Contains(stretch)) {
        return source;
    }
    const wxImage image = source.ConvertToImage();
    wxImage result(size.x, size.y, false);
    if (image.HasAlpha()) {
        result.InitAlpha();
    }
    // Three columns and three rows each: before, inside and after the stretch.
    const int fromX[] = {0, stretch.x, stretch.GetRight() + 1, design.x};
    const int fromY[] = {0, stretch.y, stretch.GetBottom() + 1, design.y};
    const int toX[] = {0, stretch.x, stretch.GetRight() + 1 + growth.x, size.x};
    const int toY[] = {0, stretch.y, stretch.GetBottom() + 1 + growth.y, size.y};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            const wxRect from(fromX[col], fromY[row], fromX[col + 1] - fromX[col],
                              fromY[row + 1] - fromY[row]);
            const wxSize to(toX[col + 1] - toX[col], toY[row + 1] - toY[row]);
            if (from.IsEmpty() || to.x <= 0 || to.y <= 0) {
                continue;
            }
            wxImage part = image.GetSubImage(from);
            if (to != from.GetSize()) {
                part.Rescale(to.x, to.y, wxIMAGE_QUALITY_NEAREST);
            }
            result.Paste(part, toX[col], toY[row]);
        }
    }
    return wxBitmap(result);
}

void ImageUtil::MaskToAlpha(wxImage& image) {
    wxASSERT(image.HasMask());
    wxASSERT(!image.HasAlpha());
    image.InitAlpha(); // turns the mask into alpha and switches the mask off
}

wxBitmap ImageUtil::CreateRadioBitmap(wxWindow* window, bool selected) {
    const wxSize size = wxRendererNative::Get().GetCheckBoxSize(window);
    wxImage image(size);
    image.InitAlpha();
    std::fill(image.GetAlpha(), image.GetAlpha() + size_t(size.x) * size.y, 0);
    wxBitmap bitmap(image);
    {
        wxMemoryDC dc(bitmap);
        wxRendererNative::Get().DrawRadioBitmap(window, dc, wxRect(size),
                                                selected ? int(wxCONTROL_CHECKED) : 0);
    }
    return bitmap;
}
