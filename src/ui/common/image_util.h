#pragma once

#include <wx/bitmap.h>
#include <wx/gdicmn.h>
#include <wx/image.h>
#include <wx/string.h>

class wxWindow;

// Theme images out of "Themes/default.zip" under the install root, and the cutting of
// images into pieces. Static operations only.
class ImageUtil {
public:
    virtual ~ImageUtil() = default;

    // The image at `name` in the theme archive ("image/base/big-normal.png"); the null
    // bitmap when it cannot be loaded.
    static wxBitmap LoadThemeBitmap(const wxString& name, wxBitmapType type = wxBITMAP_TYPE_PNG);
    // The same, allocated; the caller owns it (an invalid bitmap when it cannot be loaded).
    static wxBitmap* LoadThemeBitmapPtr(const wxString& name,
                                        wxBitmapType type = wxBITMAP_TYPE_PNG);
    // The image with every partly transparent pixel below `threshold` made fully
    // transparent; null when it cannot be loaded. The caller owns it.
    static wxBitmap* LoadThemeBitmapCut(const wxString& name, int threshold,
                                        wxBitmapType type = wxBITMAP_TYPE_PNG);

    // The rectangle of the source as a new bitmap. A rectangle that leaves the source shows
    // the face-config message and takes what lies inside.
    static wxBitmap CropBitmap(const wxBitmap& source, int x, int y, int width, int height);
    // The same, allocated; a rectangle that leaves the source ends the program after the
    // message, as the theme cannot be used.
    static wxBitmap* CropBitmapStrict(const wxBitmap& source, int x, int y, int width, int height);

    // The source drawn at another size: only the columns and rows inside `stretch` are
    // widened or narrowed (they are alike there), the rest is copied as it is. The size must
    // leave the rest room.
    static wxBitmap StretchBitmap(const wxBitmap& source, const wxRect& stretch,
                                  const wxSize& size);

    // Turns an image's mask into an alpha channel.
    static void MaskToAlpha(wxImage& image);
    // A native radio button, selected or not, on a transparent background.
    static wxBitmap CreateRadioBitmap(wxWindow* window, bool selected);

    // The message shown for a crop outside its image.
    static wxString FaceConfigMessage(int x, int y, int width, int height, int maxWidth,
                                      int maxHeight);
    // The archive the theme images come from.
    static wxString GetThemeArchive();

private:
    static bool LoadThemeImage(const wxString& name, wxBitmapType type, wxImage& image);
};
