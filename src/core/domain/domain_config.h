#pragma once

#include <wx/string.h>

// The proxy settings, kept for the length of the run only.
struct ProxyRecord {
    wxString type = "HTTP";
    wxString address;
    wxString port;
    wxString user;
    wxString password;
};

// The per-user settings file: the folder files were last added from and the output folder.
// One object exists for the run; its destructor writes the file back.
class DomainConfig {
public:
    explicit DomainConfig(const wxString& path);
    virtual ~DomainConfig();

    DomainConfig(const DomainConfig&) = delete;
    DomainConfig& operator=(const DomainConfig&) = delete;

    // The process-wide settings object (null before start-up creates it).
    static DomainConfig* GetInstance();
    static void SetInstance(DomainConfig* config);

    wxString GetLastConvertDir() const { return m_lastConvertDir; }
    void SetLastConvertDir(const wxString& dir) { m_lastConvertDir = dir; }
    wxString GetLastOutputDir() const { return m_lastOutputDir; }

    ProxyRecord GetProxy() const { return m_proxy; }
    void SetProxy(const ProxyRecord& proxy) { m_proxy = proxy; }

    // True when the file exists, parses, and its root has two element children.
    bool IsValid() const;
    // Writes the fresh five-line file, unless the file exists and `force` is false.
    void WriteDefault(bool force) const;
    void Load();
    bool Save() const;

private:
    wxString m_path;
    wxString m_lastConvertDir;
    wxString m_lastOutputDir;
    ProxyRecord m_proxy;
};
