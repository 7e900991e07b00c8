#include "domain/domain_convert_pdf_creator.h"

#include "app/app_util.h"
#include "common/file_util.h"
#include "common/platform.h"
#include "common/temp_folder.h"
#include "domain/domain_page.h"
#include "domain/domain_settings.h"
#include "domain/output_name.h"

#include <wx/filename.h>

#include <map>
#include <memory>

namespace {
std::string Utf8(const wxString& text) {
    return std::string(text.utf8_str());
}
} // namespace

int DomainConvertPdfCreator::GetSourceType(const wxString& path) const {
    if (path.StartsWith("http://") || path.StartsWith("https://")) {
        return kWeb;
    }
    const wxString ext = path.AfterLast('.').Lower();
    if (!path.Contains(".")) {
        return kUnknown;
    }
    static const struct {
        const char* extensions;
        int type;
    } kTypes[] = {
        {";jpg;jpeg;png;tif;tiff;gif;bmp;webp;jp2;j2k;jpx;heic;heif;avif;jxl;", kImage},
        {";txt;", kText},
        {";htm;html;xhtml;xhtm;", kHtml},
        {";chm;", kChm},
        {";mobi;prc;", kMobi},
        {";epub;", kEpub},
        {";docx;", kDocx},
    };
    for (const auto& entry : kTypes) {
        if (wxString(entry.extensions).Contains(";" + ext + ";")) {
            return entry.type;
        }
    }
    return kUnknown;
}

wxString DomainConvertPdfCreator::GetTempDir() const {
    return TempFolder::GetBaseDir();
}

wxString DomainConvertPdfCreator::GetTemplateDir() const {
    return AppUtil::GetInstallRoot() + "/Template/CHM/";
}

wxString DomainConvertPdfCreator::GetEnginePath() const {
    return AppUtil::GetExeDir() + "/h2p.exe";
}

int DomainConvertPdfCreator::ConvertMerged(ConvertJob&, const JobSettings&) {
    return 0;
}

void DomainConvertPdfCreator::FillRow(FileRowInfo& row, const wxString& path) {
    DomainConvert::FillRow(row, path);
    row.cells.Add(wxString::Format("%d", GetSourceType(path)));
}

Pdf3Service* DomainConvertPdfCreator::CreateService(const std::string& enginePath) {
    return CreatePdf3Service(enginePath.c_str());
}

void DomainConvertPdfCreator::FreeService(Pdf3Service* service) {
    FreePdf3Service(service);
}

int DomainConvertPdfCreator::Run(ConvertJob& job, const JobSettings& settings) {
    return settings.merge ? ConvertMerged(job, settings) : ConvertEach(job, settings);
}

ConvertFailure DomainConvertPdfCreator::FillPageOptions(PageOptions& options,
                                                        const JobSettings& settings,
                                                        const wxString& templateDir,
                                                        const wxString& title) {
    auto number = [&settings](const char* key) {
        return static_cast<float>(DomainPage::ParseDecimal(settings.Page(key).utf8_str()));
    };
    PdfPageOptions& record = options.record;
    record = PdfPageOptions{};
    options.templateDir = Utf8(templateDir);
    record.templateDir = options.templateDir.c_str();

    const int select = wxAtoi(settings.Page("page:size:select"));
    if (select == 0) {
        options.pageType = Utf8(settings.Page("page:type"));
        record.pageType = options.pageType.c_str();
    } else if (select == 1) {
        record.width = number("page:width");
        record.height = number("page:height");
    } else {
        options.pageType = Utf8(settings.Page("page:type:default"));
        record.pageType = options.pageType.c_str();
    }
    record.left = number("page:left");
    record.right = number("page:right");
    record.top = number("page:top");
    record.bottom = number("page:bottom");

    // What "Document Description" and "Document Security" say reaches the PDF.
    options.title = Utf8(title);
    options.author = Utf8(settings.Page("page:author"));
    options.subject = Utf8(settings.Page("page:subject"));
    options.userPassword = Utf8(settings.Page("page:permission:userpassword"));
    options.ownerPassword = Utf8(settings.Page("page:permission:ownerpassword"));
    record.title = options.title.c_str();
    record.author = options.author.c_str();
    record.subject = options.subject.c_str();
    options.security.userPassword = options.userPassword.c_str();
    options.security.ownerPassword = options.ownerPassword.c_str();
    options.security.allowCopy = settings.Page("page:permission:copy") != "0";
    options.security.allowPrint = settings.Page("page:permission:print") != "0";
    record.security = &options.security;
    record.recordWork = settings.recordWork ? 1 : 0;

    // An archival document: "page:pdfa" names the part ("1b", "2b", "3b"; empty for a plain
    // PDF), "page:pdfa:flatten" the colour (#RRGGBB) that PDF/A-1b composes transparent
    // images over (empty: they are refused), "page:pdfa:reducedepth" "1" lets PDF/A-1b write
    // 16-bit samples as 8-bit ones, "page:pdfa:attach" "1" embeds the originals in PDF/A-3b.
    const wxString part = settings.Page("page:pdfa").Lower();
    if (!part.empty()) {
        options.archive = PdfArchiveOptions{};
        options.archive.part = part == "1b" ? 1 : part == "2b" ? 2 : part == "3b" ? 3 : -1;
        unsigned long background = 0;
        const wxString flatten = settings.Page("page:pdfa:flatten");
        if (flatten.StartsWith("#") && flatten.Mid(1).ToULong(&background, 16)) {
            options.archive.flattenAlpha = 1;
            options.archive.background = static_cast<unsigned int>(background & 0xFFFFFF);
        }
        options.archive.reduceDepth = settings.Page("page:pdfa:reducedepth") == "1";
        options.archive.attachOriginals = settings.Page("page:pdfa:attach") == "1";
        record.archive = &options.archive;
    }

    // "page:allimages" "1": every top-level image of a HEIF or AVIF file is a page.
    record.allImages = settings.Page("page:allimages") == "1";
    // OCR: "page:ocr" names the languages ("eng+deu"; empty for none), "page:ocr:sidecar" "1"
    // writes the text beside each PDF too.
    const wxString languages = settings.Page("page:ocr");
    if (!languages.empty()) {
        options.ocrLanguages = Utf8(languages);
        options.ocr.languages = options.ocrLanguages.c_str();
        options.ocr.sidecar = settings.Page("page:ocr:sidecar") == "1" ? 1 : 0;
        record.ocr = &options.ocr;
    }

    // The service takes NUL-terminated text: a password cut at a NUL would be another one, or
    // none at all.
    for (const char* key : {"page:permission:userpassword", "page:permission:ownerpassword"}) {
        if (settings.Page(key).Find(wxUniChar(0)) != wxNOT_FOUND) {
            return {ConvertFailure::Kind::kPassword,
                    wxString("the ") + (wxString(key).Contains("user") ? "user" : "owner") +
                        " password holds a NUL character"};
        }
    }
    return {};
}

bool DomainConvertPdfCreator::RecordsWork(const wxString& output,
                                          const std::vector<wxString>& sources,
                                          const JobSettings& settings, const wxString& title) {
    PageOptions options;
    if (sources.empty() || FillPageOptions(options, settings, wxString(), title)) {
        return false;
    }
    std::vector<std::string> paths;
    for (const wxString& source : sources) {
        paths.push_back(Utf8(source));
    }
    std::vector<const char*> pointers;
    for (const std::string& path : paths) {
        pointers.push_back(path.c_str());
    }
    return PdfRecordsWork(Utf8(output).c_str(), pointers.data(), static_cast<int>(pointers.size()),
                          &options.record) != 0;
}

PageGeometry::Room DomainConvertPdfCreator::CheckRoom(const JobSettings& settings,
                                                      double& limitMm) {
    PageOptions options;
    FillPageOptions(options, settings, wxString(), wxString());
    const PdfPageOptions& record = options.record;
    // As the PDF service takes the record.
    const PageSetup page = {record.pageType, record.width, record.height, record.left,
                            record.right,    record.top,   record.bottom};
    return PageGeometry::CheckRoom(page, limitMm);
}

int DomainConvertPdfCreator::NoProgress(int, int) {
    return 0;
}

int DomainConvertPdfCreator::CancelWhenAbandoned(int, int) {
    return ConvertState == kAbandonRequested ? 1 : 0;
}

ConvertFailure DomainConvertPdfCreator::PlaceResult(const PdfResult* result,
                                                    const wxString& output) {
    using Kind = ConvertFailure::Kind;
    if (result == nullptr) {
        return {Kind::kInternal, "the PDF service gave no result"};
    }
    if (result->errorCode != 0) {
        const wxString reason = wxString::FromUTF8(result->reason != nullptr ? result->reason : "");
        return {ConvertFailure::FromServiceError(result->errorCode),
                reason.empty() ? wxString::Format("error %d", result->errorCode) : reason};
    }
    if (result->path == nullptr || !FileUtil::FileExists(wxString::FromUTF8(result->path))) {
        return {Kind::kInternal, "the PDF service wrote no file"};
    }
    wxString reason;
    if (!Platform::MoveIntoPlace(wxString::FromUTF8(result->path), output, &reason)) {
        return {Kind::kWrite, "cannot write " + output + ": " + reason};
    }
    return {};
}

ConvertFailure DomainConvertPdfCreator::PlaceSidecar(const PdfResult* result,
                                                     const wxString& output, bool sidecar) {
    if (!sidecar || result == nullptr || result->errorCode != 0 || result->path == nullptr) {
        return {};
    }
    const wxString written = wxString::FromUTF8(result->path).BeforeLast('.') + ".txt";
    const wxString target = output.BeforeLast('.') + ".txt";
    wxString reason;
    if (!Platform::MoveIntoPlace(written, target, &reason)) {
        return {ConvertFailure::Kind::kWrite, "cannot write " + target + ": " + reason};
    }
    return {};
}

int DomainConvertPdfCreator::OnOcrProgress(void* context, int, int percent) {
    const auto* watch = static_cast<const OcrWatch*>(context);
    if (watch->row < 0) {
        return ConvertState == kAbandonRequested ? 1 : 0;
    }
    // Recognition takes the row from where reading left it (30) to nearly done.
    watch->self->PostProgress(30 + percent * 65 / 100, 100, watch->row, watch->column);
    return StopRequested() ? 1 : 0;
}

wxString DomainConvertPdfCreator::NoteOf(const PdfResult* result) {
    if (result == nullptr || result->errorCode != 0 || result->reason == nullptr) {
        return wxString();
    }
    return wxString::FromUTF8(result->reason);
}

ConvertFailure DomainConvertPdfCreator::PrepareOutput(const wxString& name, const TempFolder& temp,
                                                      ServicePtr& service) {
    using Kind = ConvertFailure::Kind;
    const wxString reason = OutputName::CheckSafe(name);
    if (!reason.empty()) {
        return {Kind::kOutputName, reason};
    }
    if (!temp.IsOk()) {
        return {Kind::kWrite, "cannot create a temporary folder"};
    }
    service = ServicePtr(CreateService(Utf8(GetEnginePath())), ServiceDeleter(this));
    return service ? ConvertFailure()
                   : ConvertFailure(Kind::kInternal, "cannot start the PDF service");
}

int DomainConvertPdfCreator::ConvertEach(ConvertJob& job, const JobSettings& settings) {
    const int column = settings.statusColumn;
    TempFolder temp;
    int count = 0;
    for (const auto& [row, cells] : job) {
        wxString folder =
            settings.saveBesideSource ? cells[FileRowInfo::kSourceDir] : settings.outputDir;
        const wxString name = cells[FileRowInfo::kOutputName];
        const wxString source = cells[FileRowInfo::kSourcePath];
        const wxString output = folder + "/" + name + ".pdf";

        ServicePtr service;
        int pages = 0;
        wxString note;
        ConvertFailure failure = PrepareOutput(name, temp, service);
        if (!failure) {
            const int type = cells.size() > FileRowInfo::kProductType
                                 ? wxAtoi(cells[FileRowInfo::kProductType])
                                 : static_cast<int>(kImage);
            service->LoadSource(service.get(), source.utf8_str(), type);
            PostProgress(30, 100, row, column);
            PageOptions options;
            failure = FillPageOptions(options, settings, GetTemplateDir(), name);
            OcrWatch watch{this, row, column};
            options.ocr.progress = OnOcrProgress;
            options.ocr.context = &watch;
            if (!failure) {
                const PdfResult* result =
                    service->CreatePdf(service.get(), &options.record, folder.utf8_str(),
                                       temp.Path().utf8_str(), NoProgress, 0);
                failure = PlaceResult(result, output);
                if (!failure) {
                    failure = PlaceSidecar(result, output, options.ocr.sidecar != 0);
                }
                note = NoteOf(result);
                pages = result != nullptr ? result->pageCount : 0;
            }
        }
        service.reset();

        if (!failure) {
            PostProgress(100, 100, row, column, pages, note);
            ++count;
            WriteLog(source, note.empty() ? output : output + ": " + note, 1);
        } else if (failure.kind == ConvertFailure::Kind::kCancelled) {
            // Stopped in the middle of its OCR: not converted, and the run ends here.
            PostStatus(row, column, DhGridCellRenderCommandEvent::kStopped);
            WriteLog(source, output + ": " + failure.reason, 0);
            break;
        } else {
            PostStatus(row, column, DhGridCellRenderCommandEvent::kFailed, failure);
            WriteLog(source, output + ": " + failure.reason, 0);
        }
        if (StopRequested()) {
            PostStatus(row, column, DhGridCellRenderCommandEvent::kStopped);
            break;
        }
    }
    job.clear();
    return count;
}
