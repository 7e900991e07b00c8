#include "window/base/dh_word_button.h"

#include "common/image_util.h"

#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>

#include <algorithm>

wxIMPLEMENT_DYNAMIC_CLASS(DhWordButton, DhPushButton);

bool DhWordButton::Create(wxWindow* parent, wxWindowID id, const wxPoint& position) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    if (!wxControl::Create(parent, id, position, wxDefaultSize, wxBORDER_NONE)) {
        return false;
    }
    backgroundMode = kColour;
    textX = textY = 0;
    Bind(wxEVT_PAINT, &DhWordButton::OnPaint, this);
    BindPointerEvents();
    return true;
}

void DhWordButton::Slice(const wxBitmap& image, int leftWidth, int centreWidth,
                         wxBitmap slices[4]) {
    wxBitmap source = image;
    wxImage pixels = image.ConvertToImage();
    if (!pixels.HasAlpha() && pixels.HasMask()) {
        ImageUtil::MaskToAlpha(pixels);
        source = wxBitmap(pixels);
    }
    const int height = source.GetHeight();
    const int rightX = leftWidth + centreWidth;
    slices[0] = ImageUtil::CropBitmap(source, 0, 0, leftWidth, height);
    slices[1] = ImageUtil::CropBitmap(source, leftWidth, 0, centreWidth, height);
    slices[2] = ImageUtil::CropBitmap(source, rightX, 0, source.GetWidth() - rightX, height);
}

void DhWordButton::SetStateBitmaps(const wxBitmap& normal, int leftWidth, int centreWidth,
                                   const wxBitmap& current, const wxBitmap& pressed) {
    wxASSERT_MSG(normal.IsOk(), "normal.IsOk()");
    wxASSERT_MSG(normal.GetWidth() >= leftWidth + centreWidth, "normal.GetWidth()>=right_x");
    Slice(normal, leftWidth, centreWidth, normal_bitmap_);
    if (current.IsOk()) {
        Slice(current, leftWidth, centreWidth, current_bitmap_);
    }
    if (pressed.IsOk()) {
        Slice(pressed, leftWidth, centreWidth, pressed_bitmap_);
    }
}

wxBitmap DhWordButton::ComposeFace(const wxBitmap slices[3]) const {
    const int textWidth = GetTextExtent(label).x;
    const int height = slices[1].GetHeight();
    // The centre piece tiled under the label.
    wxBitmap centre;
    if (textWidth > 0) {
        wxImage tile = slices[1].ConvertToImage();
        wxImage strip(textWidth, height);
        if (tile.HasAlpha()) {
            strip.InitAlpha();
        }
        for (int x = 0; x < textWidth; x += tile.GetWidth()) {
            strip.Paste(tile, x, 0);
        }
        centre = wxBitmap(strip);
        wxASSERT_MSG(centre.IsOk(), "dest_center.IsOk()");
    }
    const int width = slices[0].GetWidth() + textWidth + slices[2].GetWidth();
    wxImage canvas(width, height);
    if (slices[0].HasAlpha() || slices[0].ConvertToImage().HasAlpha()) {
        canvas.InitAlpha();
        std::fill(canvas.GetAlpha(), canvas.GetAlpha() + size_t(width) * height, 0);
    }
    canvas.Paste(slices[0].ConvertToImage(), 0, 0);
    if (centre.IsOk()) {
        canvas.Paste(centre.ConvertToImage(), slices[0].GetWidth(), 0);
    }
    canvas.Paste(slices[2].ConvertToImage(), slices[0].GetWidth() + textWidth, 0);
    if (faceGrowth > 0) {
        return ImageUtil::StretchBitmap(wxBitmap(canvas), wxRect(0, height / 2, width, 1),
                                        wxSize(width, height + faceGrowth));
    }
    return wxBitmap(canvas);
}

void DhWordButton::SetLabelAndFont(const wxString& text, const wxFont& font) {
    label = text;
    SetFont(font);
    // The theme places the label for the font's own line. A label in a script the font lacks
    // (Chinese, Japanese) is drawn in a fallback font with a taller line; drawn from the same
    // top its baseline, and the text, would sit low.
    wxCoord width = 0;
    wxCoord height = 0;
    wxCoord descent = 0;
    GetTextExtent("Ag", &width, &height, &descent);
    const int ownAscent = height - descent;
    GetTextExtent(label.empty() ? wxString("Ag") : label, &width, &height, &descent);
    baselineShift = ownAscent - (height - descent);
    // A label that would reach below the face (large text) gets a taller face: its middle
    // row is repeated until the label ends a few pixels above its bottom.
    faceGrowth =
        normal_bitmap_[1].IsOk()
            ? std::max(0, textY + baselineShift + height + 3 - normal_bitmap_[1].GetHeight())
            : 0;
    wxASSERT_MSG(normal_bitmap_[0].IsOk(), "normal_bitmap_[0].IsOk()");
    UpdateTextPosition();
    normal_bitmap_[3] = ComposeFace(normal_bitmap_);
    SetSize(normal_bitmap_[3].GetSize());
    SetMinSize(normal_bitmap_[3].GetSize());
    disabled_bitmap_ = wxBitmap(normal_bitmap_[3].ConvertToImage().ConvertToDisabled(100));
    if (current_bitmap_[0].IsOk()) {
        current_bitmap_[3] = ComposeFace(current_bitmap_);
    }
    if (pressed_bitmap_[0].IsOk()) {
        pressed_bitmap_[3] = ComposeFace(pressed_bitmap_);
    }
    Refresh();
}

void DhWordButton::UpdateTextPosition() {
    textX = normal_bitmap_[0].GetWidth();
    OnTextPositionSet();
}

void DhWordButton::SetBackgroundBitmap(const wxBitmap& background, int mode) {
    background_ = background;
    backgroundMode = mode;
    piece.Reset();
}

bool DhWordButton::SetBackgroundColour(const wxColour& colour) {
    backgroundMode = kColour;
    return wxControl::SetBackgroundColour(colour);
}

void DhWordButton::DrawBackground(wxDC& dc) {
    dc.SetPen(*wxTRANSPARENT_PEN);
    const wxRect rect(GetPosition(), GetSize());
    switch (backgroundMode) {
    case kPiece: {
        const wxBitmap& bitmap = piece.Get(&background_, rect);
        if (bitmap.IsOk()) {
            dc.DrawBitmap(bitmap, 0, 0, true);
        }
        break;
    }
    case kTiled:
        if (background_.IsOk()) {
            wxBitmap tiled(rect.width, background_.GetHeight());
            {
                wxMemoryDC memory(tiled);
                memory.SetBrush(wxBrush(background_));
                memory.SetPen(*wxTRANSPARENT_PEN);
                memory.DrawRectangle(0, 0, rect.width, background_.GetHeight());
            }
            const wxBitmap& bitmap = piece.Get(&tiled, wxRect(0, rect.y, rect.width, rect.height));
            if (bitmap.IsOk()) {
                dc.DrawBitmap(bitmap, 0, 0, true);
            }
        }
        break;
    case kColour:
        dc.SetBrush(wxBrush(GetBackgroundColour()));
        dc.DrawRectangle(0, 0, rect.width, rect.height);
        break;
    default:
        break;
    }
}

void DhWordButton::DrawFaceOrFallback(wxDC& dc) {
    const wxBitmap* face = &normal_bitmap_[3];
    if (state == kCurrent && current_bitmap_[0].IsOk()) {
        face = &current_bitmap_[3];
    } else if (state == kPressed && pressed_bitmap_[0].IsOk()) {
        face = &pressed_bitmap_[3];
    } else if (state == kDisabled) {
        face = &disabled_bitmap_;
    }
    if (face->IsOk()) {
        dc.DrawBitmap(*face, 0, 0, true);
    }
}

void DhWordButton::DrawLabelOn(wxDC& dc) const {
    dc.SetFont(GetFont());
    wxColour colour = GetForegroundColour();
    if (state == kDisabled) {
        // Greyed like the face, keeping light text light and dark text dark.
        colour = colour.GetLuminance() > 0.5 ? wxColour(222, 222, 222) : wxColour(105, 105, 105);
    }
    dc.SetTextForeground(colour);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    dc.DrawText(label, textX, textY + baselineShift);
}

void DhWordButton::OnPaint(wxPaintEvent&) {
    wxBufferedPaintDC dc(this);
    DrawBackground(dc);
    DrawFaceOrFallback(dc);
    DrawLabelOn(dc);
    DrawFocus(dc);
}

wxBitmap DhWordButton::GetLabelledBitmap() const {
    if (!normal_bitmap_[3].IsOk()) {
        return wxNullBitmap;
    }
    wxBitmap copy = normal_bitmap_[3].GetSubBitmap(wxRect(normal_bitmap_[3].GetSize()));
    {
        wxMemoryDC dc(copy);
        DrawLabelOn(dc);
    }
    return copy;
}
