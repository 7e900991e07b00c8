#pragma once

#include "domain/domain_convert.h"
#include "pdf/page_geometry.h"
#include "pdf/pdf_service.h"

#include <memory>
#include <string>
#include <vector>

class TempFolder;

// The base of every product whose output is PDF: classifies sources, runs the one-file-per-
// source pass through the PDF service, and leaves the merge pass to the product.
class DomainConvertPdfCreator : public DomainConvert {
public:
    // Source-type codes of the PDF service.
    enum SourceType {
        kUnknown = -1,
        kImage = 0,
        kText = 1,
        kHtml = 2,
        kWeb = 3,
        kChm = 4,
        kMobi = 5,
        kEpub = 6,
        kDocx = 7,
    };

    // The page options handed to the service, with the texts they point to.
    struct PageOptions {
        PdfPageOptions record{};
        PdfSecurityOptions security{};
        PdfArchiveOptions archive{};
        PdfOcrOptions ocr{};
        std::string ocrLanguages;
        std::string pageType;
        std::string templateDir;
        std::string title;
        std::string author;
        std::string subject;
        std::string userPassword;
        std::string ownerPassword;
    };

    DomainConvertPdfCreator() { timerDriven = false; }

    virtual int GetSourceType(const wxString& path) const;
    // The folder under which each job gets its private temporary folder.
    virtual wxString GetTempDir() const;
    virtual wxString GetTemplateDir() const;
    virtual wxString GetEnginePath() const;
    virtual int ConvertMerged(ConvertJob& job, const JobSettings& settings);
    virtual int ConvertEach(ConvertJob& job, const JobSettings& settings);

    using DomainConvert::Run;
    int Run(ConvertJob& job, const JobSettings& settings) override;

    // Fills the page options from the job's page settings; `title` is the document title.
    // Returns why they cannot be handed to the service (a password holding a NUL character,
    // which its C text would cut short), or no failure.
    static ConvertFailure FillPageOptions(PageOptions& options, const JobSettings& settings,
                                          const wxString& templateDir, const wxString& title);
    // Whether `output` is a complete PDF that the PDF service made of `sources` (by content,
    // in page order) with the job's page settings and the document title `title`, whatever
    // the files' dates (PdfRecordsWork).
    static bool RecordsWork(const wxString& output, const std::vector<wxString>& sources,
                            const JobSettings& settings, const wxString& title);
    // Whether the margins of the page settings leave room for every image, portrait or
    // landscape, on the page the PDF service makes of these options (PageGeometry::CheckRoom
    // on the same values); `limitMm` gets the length each pair of margins must stay below.
    static PageGeometry::Room CheckRoom(const JobSettings& settings, double& limitMm);

protected:
    // Releases a service through FreeService of the object that created it.
    class ServiceDeleter {
    public:
        explicit ServiceDeleter(DomainConvertPdfCreator* owner = nullptr) : m_owner(owner) {}
        void operator()(Pdf3Service* service) const { m_owner->FreeService(service); }

    private:
        DomainConvertPdfCreator* m_owner;
    };
    using ServicePtr = std::unique_ptr<Pdf3Service, ServiceDeleter>;

    void FillRow(FileRowInfo& row, const wxString& path) override;

    // What both passes need before an output named `name` is written: the name checked, the
    // job's temporary folder made and a PDF service started. Returns why the output cannot be
    // made, or no failure with `service` set.
    ConvertFailure PrepareOutput(const wxString& name, const TempFolder& temp, ServicePtr& service);

    // Moves the PDF the service wrote to `output`; returns why it cannot (the service failed,
    // wrote nothing, or the file cannot be put there), or no failure.
    static ConvertFailure PlaceResult(const PdfResult* result, const wxString& output);
    // With `sidecar`, moves the text the service wrote beside the PDF to `output` with ".txt"
    // for ".pdf".
    static ConvertFailure PlaceSidecar(const PdfResult* result, const wxString& output,
                                       bool sidecar);
    // OCR's progress on the file of `row` as part of the row's progress; OCR stops when the
    // conversion is asked to stop (a merge only when it is abandoned).
    struct OcrWatch {
        DomainConvertPdfCreator* self = nullptr;
        int row = -1; // -1: a merge, whose rows show no progress of their own
        int column = 0;
    };
    static int OnOcrProgress(void* context, int page, int percent);
    // What the service notes on a conversion that succeeded (an image's density it left
    // out); empty when nothing.
    static wxString NoteOf(const PdfResult* result);
    // The progress procedure of a file of its own: the file in hand always finishes.
    static int NoProgress(int pagesDone, int pagesTotal);
    // The progress procedure of a merge: an abandoned job (the window closes) cancels it.
    static int CancelWhenAbandoned(int pagesDone, int pagesTotal);

    // The PDF service; tests put a fake one behind the same interface.
    virtual Pdf3Service* CreateService(const std::string& enginePath);
    virtual void FreeService(Pdf3Service* service);
};
