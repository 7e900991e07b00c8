#include "domain/job_settings.h"

#include "domain/domain_settings.h"

JobSettings JobSettings::Capture() {
    JobSettings settings;
    settings.outputDir = DomainSettings::GetKeyed(DomainSettings::kOutputDir);

    settings.saveBesideSource = DomainSettings::GetKeyedInt(DomainSettings::kSaveBesideSource) != 0;
    settings.merge = DomainSettings::GetKeyedInt(DomainSettings::kMergeOffered) != 0 &&
                     DomainSettings::GetKeyedInt(DomainSettings::kMerge) != 0;
    settings.mergeName = DomainSettings::GetKeyed(DomainSettings::kMergeName);
    settings.statusColumn = DomainSettings::GetKeyedInt(DomainSettings::kStatusColumn);
    settings.page = DomainSettings::GetNamedWithPrefix("page:");
    return settings;
}

wxString JobSettings::Page(const wxString& key) const {
    const auto found = page.find(key);
    return found == page.end() ? wxString() : found->second;
}
