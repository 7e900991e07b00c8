#pragma once

#include <wx/string.h>

#include <string>

// A private world for one test: a temporary HOME whose documents folder is
// "Documents/Bilder Ü" (set through the XDG user-dirs file), and a copy of the staged
// installation tree that the application's paths point at. Everything is removed at the end.
class TestHome {
public:
    TestHome();
    ~TestHome();

    TestHome(const TestHome&) = delete;
    TestHome& operator=(const TestHome&) = delete;

    const wxString& Root() const { return m_root; }
    const wxString& Documents() const { return m_documents; }
    const wxString& InstallRoot() const { return m_installRoot; }
    // The user data folder ("Ombrix files/Ombrix Image to PDF Converter" in the documents).
    wxString UserData() const;

    // The environment a child process needs to see the same world.
    std::string HomeEnv() const;
    std::string ConfigHomeEnv() const;
    // An "env ..." prefix for a shell command that runs in this world.
    std::string Environment() const;

    // Small file helpers for tests.
    static std::string ReadFile(const wxString& path);
    static void WriteFile(const wxString& path, const std::string& data);

private:
    wxString m_root;
    wxString m_documents;
    wxString m_installRoot;
};
