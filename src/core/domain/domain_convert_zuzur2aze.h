#pragma once

#include "domain/domain_convert_pdf_creator.h"

// The image-to-PDF product: its file types and the pass that merges every image of a job
// into one PDF.
class DomainConvertZUZUR2AZE : public DomainConvertPdfCreator {
public:
    wxString GetOutputExt() const override;
    wxString GetFileFilter() const override;
    wxArrayString GetWildcards() const override;
    bool IsSupportedExt(const wxString& extension) const override;
    std::unique_ptr<DomainConvert> NewConverter() const override;
    int ConvertMerged(ConvertJob& job, const JobSettings& settings) override;
};
