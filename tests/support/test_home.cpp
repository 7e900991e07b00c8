#include "support/test_home.h"

#include "app/app_util.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {
fs::path ToPath(const wxString& path) {
    return fs::path(std::string(path.utf8_str()));
}
} // namespace

TestHome::TestHome() {
    std::string pattern = (fs::temp_directory_path() / "ombrix-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "cannot create a temporary folder";
    }
    m_root = wxString::FromUTF8(pattern);
    m_documents = m_root + "/Documents/Bilder Ü";
    m_installRoot = m_root + "/install";

    fs::create_directories(ToPath(m_documents));
    fs::create_directories(ToPath(m_root + "/.config"));
    WriteFile(m_root + "/.config/user-dirs.dirs",
              "XDG_DOCUMENTS_DIR=\"$HOME/Documents/Bilder Ü\"\n");
    setenv("HOME", m_root.utf8_str(), 1);
    setenv("XDG_CONFIG_HOME", (m_root + "/.config").utf8_str(), 1);
    setenv("XDG_CACHE_HOME", (m_root + "/.cache").utf8_str(), 1);

    // The staged installation without its programs.
    fs::create_directories(ToPath(m_installRoot + "/bin"));
    const fs::path stage = OMBRIX_STAGE_DIR;
    for (const char* entry : {"page.xml", "option.cfg", "Language", "Themes"}) {
        if (fs::exists(stage / entry)) {
            fs::copy(stage / entry, ToPath(m_installRoot) / entry, fs::copy_options::recursive);
        }
    }
    AppUtil::SetExecutablePath(m_installRoot + "/bin/ombrix-image-to-pdf");
}

TestHome::~TestHome() {
    AppUtil::SetExecutablePath(wxString());
    std::error_code ignored;
    fs::remove_all(ToPath(m_root), ignored);
}

wxString TestHome::UserData() const {
    return m_documents + "/Ombrix files/Ombrix Image to PDF Converter";
}

std::string TestHome::HomeEnv() const {
    return "HOME=" + std::string(m_root.utf8_str());
}

std::string TestHome::ConfigHomeEnv() const {
    return "XDG_CONFIG_HOME=" + std::string((m_root + "/.config").utf8_str());
}

std::string TestHome::Environment() const {
    const std::string root = std::string(m_root.utf8_str());
    return "env HOME='" + root + "' XDG_CONFIG_HOME='" + root + "/.config' XDG_CACHE_HOME='" +
           root + "/.cache' ";
}

std::string TestHome::ReadFile(const wxString& path) {
    std::ifstream in(ToPath(path), std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

void TestHome::WriteFile(const wxString& path, const std::string& data) {
    fs::create_directories(ToPath(path).parent_path());
    std::ofstream out(ToPath(path), std::ios::binary | std::ios::trunc);
    out << data;
}
