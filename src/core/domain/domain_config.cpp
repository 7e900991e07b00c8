#include "domain/domain_config.h"

#include "app/app_util.h"
#include "common/file_util.h"
#include "domain/domain_settings.h"

#include <wx/log.h>
#include <wx/mstream.h>
#include <wx/xml/xml.h>

namespace {
DomainConfig* g_instance = nullptr;

constexpr char kFreshFile[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                              "<setting>\r\n"
                              "   <last-convert-dir></last-convert-dir>\r\n"
                              "   <last-output-dir></last-output-dir>\r\n"
                              "</setting>\r\n";

// The root's first two element children, which hold the two folders by position.
bool FindFolderNodes(const wxXmlDocument& doc, wxXmlNode*& first, wxXmlNode*& second) {
    first = second = nullptr;
    const wxXmlNode* root = doc.GetRoot();
    if (root == nullptr) {
        return false;
    }
    for (wxXmlNode* child = root->GetChildren(); child != nullptr; child = child->GetNext()) {
        if (child->GetType() != wxXML_ELEMENT_NODE) {
            continue;
        }
        if (first == nullptr) {
            first = child;
        } else {
            second = child;
            return true;
        }
    }
    return false;
}

bool LoadDocument(const wxString& path, wxXmlDocument& doc) {
    wxLogNull quiet; // a damaged file is replaced, not reported
    return FileUtil::FileExists(path) && doc.Load(path, "UTF-8");
}

void SetText(wxXmlNode* element, const wxString& text) {
    for (wxXmlNode* child = element->GetChildren(); child != nullptr; child = child->GetNext()) {
        if (child->GetType() == wxXML_TEXT_NODE || child->GetType() == wxXML_CDATA_SECTION_NODE) {
            child->SetContent(text);
            return;
        }
    }
    element->AddChild(new wxXmlNode(wxXML_TEXT_NODE, wxEmptyString, text));
}
} // namespace

DomainConfig::DomainConfig(const wxString& path) : m_path(path) {
    Load();
    m_proxy = ProxyRecord{};
}

DomainConfig::~DomainConfig() {
    m_lastOutputDir = DomainSettings::GetKeyed(DomainSettings::kOutputDir);
    Save();
    if (g_instance == this) {
        g_instance = nullptr;
    }
}

DomainConfig* DomainConfig::GetInstance() {
    return g_instance;
}

void DomainConfig::SetInstance(DomainConfig* config) {
    g_instance = config;
}

bool DomainConfig::IsValid() const {
    wxXmlDocument doc;
    wxXmlNode* first;
    wxXmlNode* second;
    return LoadDocument(m_path, doc) && FindFolderNodes(doc, first, second);
}

void DomainConfig::WriteDefault(bool force) const {
    if (FileUtil::FileExists(m_path) && !force) {
        return;
    }
    FileUtil::WriteFileAtomically(m_path, kFreshFile);
}

void DomainConfig::Load() {
    if (!IsValid()) {
        WriteDefault(true);
    }
    wxXmlDocument doc;
    wxXmlNode* first;
    wxXmlNode* second;
    if (LoadDocument(m_path, doc) && FindFolderNodes(doc, first, second)) {
        m_lastConvertDir = first->GetNodeContent();
        m_lastOutputDir = second->GetNodeContent();
        if (m_lastOutputDir.empty() || !FileUtil::PathExists(m_lastOutputDir)) {
            m_lastOutputDir = AppUtil::GetDefaultOutputDir();
        }
    } else {
        m_lastConvertDir.clear();
        m_lastOutputDir = AppUtil::GetDefaultOutputDir();
    }
    DomainSettings::SetKeyed(DomainSettings::kOutputDir, m_lastOutputDir);
}

bool DomainConfig::Save() const {
    WriteDefault(false);
    wxXmlDocument doc;
    wxXmlNode* first;
    wxXmlNode* second;
    if (!LoadDocument(m_path, doc) || !FindFolderNodes(doc, first, second)) {
        return false;
    }
    SetText(first, m_lastConvertDir);
    SetText(second, m_lastOutputDir);

    wxMemoryOutputStream out;
    if (!doc.Save(out, 2)) {
        return false;
    }
    std::string data(out.GetLength(), '\0');
    out.CopyTo(data.data(), data.size());
    return FileUtil::WriteFileAtomically(m_path, data);
}
