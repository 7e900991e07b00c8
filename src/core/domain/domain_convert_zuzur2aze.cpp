#include "domain/domain_convert_zuzur2aze.h"

#include "common/temp_folder.h"

#include <wx/translation.h>

wxString DomainConvertZUZUR2AZE::GetOutputExt() const {
    return ".pdf";
}

wxString DomainConvertZUZUR2AZE::GetFileFilter() const {
    // The label before the "|" is shown by the windows, translated.
    // TRANSLATORS: the kind of files the program reads, in the file dialog's type list and
    // in the message "No %s Added !".
    return wxString(wxTRANSLATE("Image files")) +
           "|*.JPG;*.JPEG;*.PNG;*.TIF;*.TIFF;*.BMP;*.GIF;*.WEBP;*.JP2;*.J2K;*.JPX;*.HEIC;*.HEIF;"
           "*.AVIF;*.JXL;";
}

wxArrayString DomainConvertZUZUR2AZE::GetWildcards() const {
    wxArrayString wildcards;
    for (const char* wildcard :
         {"*.jpg", "*.jpeg", "*.png", "*.tif", "*.tiff", "*.bmp", "*.gif", "*.webp", "*.jp2",
          "*.j2k", "*.jpx", "*.heic", "*.heif", "*.avif", "*.jxl"}) {
        wildcards.Add(wildcard);
    }
    return wildcards;
}

bool DomainConvertZUZUR2AZE::IsSupportedExt(const wxString& extension) const {
    return wxString(";jpg;jpeg;png;tif;tiff;bmp;gif;webp;jp2;j2k;jpx;heic;heif;avif;jxl;")
        .Contains(";" + extension + ";");
}

std::unique_ptr<DomainConvert> DomainConvertZUZUR2AZE::NewConverter() const {
    return std::make_unique<DomainConvertZUZUR2AZE>();
}

int DomainConvertZUZUR2AZE::ConvertMerged(ConvertJob& job, const JobSettings& settings) {
    const int column = settings.statusColumn;
    const wxString folder = settings.outputDir;
    const wxString name = settings.mergeName;
    const wxString output = folder + "/" + name + ".pdf";

    // The service and the temporary folder are released on every path.
    TempFolder temp;
    ServicePtr service;
    int pages = 0;
    wxString note;
    ConvertFailure failure = PrepareOutput(name, temp, service);
    if (!failure) {
        for (const auto& [row, cells] : job) {
            service->AppendSource(service.get(), cells[FileRowInfo::kSourcePath].utf8_str());
            PostProgress(30, 100, row, column);
        }
        PageOptions options;
        failure = FillPageOptions(options, settings, GetTemplateDir(), name);
        OcrWatch watch{this, -1, column};
        options.ocr.progress = OnOcrProgress;
        options.ocr.context = &watch;
        if (!failure) {
            const PdfResult* result =
                service->CreatePdf(service.get(), &options.record, folder.utf8_str(),
                                   temp.Path().utf8_str(), CancelWhenAbandoned, 0);
            failure = PlaceResult(result, output);
            if (!failure) {
                failure = PlaceSidecar(result, output, options.ocr.sidecar != 0);
            }
            note = NoteOf(result);
            pages = result != nullptr ? result->pageCount : 0;
        }
    }

    // All or nothing: one merged file, or every row failed.
    for (const auto& [row, cells] : job) {
        if (!failure) {
            PostProgress(100, 100, row, column, pages, note);
        } else {
            PostStatus(row, column, DhGridCellRenderCommandEvent::kFailed, failure);
        }
    }
    const wxString said = failure ? failure.reason : note;
    WriteLog(wxString::Format("%zu", job.size()), said.empty() ? output : output + ": " + said,
             failure ? 0 : 1);
    job.clear();
    return failure ? 0 : 1;
}
