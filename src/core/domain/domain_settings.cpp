#include "domain/domain_settings.h"

#include <wx/crt.h>

#include <map>
#include <mutex>
#include <unordered_map>

namespace {
struct Tables {
    std::mutex mutex;
    std::unordered_map<int, wxString> keyed;
    std::map<wxString, wxString> named;
};

Tables& GetTables() {
    static Tables tables;
    return tables;
}
} // namespace

wxString DomainSettings::GetKeyed(int key) {
    Tables& tables = GetTables();
    std::lock_guard lock(tables.mutex);
    const auto found = tables.keyed.find(key);
    return found == tables.keyed.end() ? wxString() : found->second.Clone();
}

void DomainSettings::SetKeyed(int key, const wxString& value) {
    Tables& tables = GetTables();
    std::lock_guard lock(tables.mutex);
    tables.keyed[key] = value.Clone();
}

int DomainSettings::GetKeyedInt(int key) {
    return wxAtoi(GetKeyed(key));
}

wxString DomainSettings::GetNamed(const wxString& key) {
    Tables& tables = GetTables();
    std::lock_guard lock(tables.mutex);
    const auto found = tables.named.find(key);
    return found == tables.named.end() ? wxString() : found->second.Clone();
}

void DomainSettings::SetNamed(const wxString& key, const wxString& value) {
    Tables& tables = GetTables();
    std::lock_guard lock(tables.mutex);
    tables.named[key.Clone()] = value.Clone();
}

bool DomainSettings::HasNamed(const wxString& key) {
    Tables& tables = GetTables();
    std::lock_guard lock(tables.mutex);
    return tables.named.count(key) != 0;
}

std::map<wxString, wxString> DomainSettings::GetNamedWithPrefix(const wxString& prefix) {
    Tables& tables = GetTables();
    std::lock_guard lock(tables.mutex);
    std::map<wxString, wxString> copies;
    for (auto it = tables.named.lower_bound(prefix);
         it != tables.named.end() && it->first.StartsWith(prefix); ++it) {
        copies.emplace(it->first.Clone(), it->second.Clone());
    }
    return copies;
}
