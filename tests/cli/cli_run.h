#pragma once

// Running the command-line converter from a test, as a user runs it.
#include "pdf/pdf_test_support.h"
#include "support/test_home.h"

#include <wx/string.h>

#include <string>

struct Outcome {
    int status;
    std::string output;
};

// Runs the converter under a time limit, so that a run that blocks fails (status 124, or 137
// when the termination request only stops it after the file in hand) instead of hanging the
// suite; `environment` goes before the command, `tail` redirects its streams.
inline Outcome RunConverter(const TestHome& home, const std::string& arguments,
                            const std::string& environment, const std::string& tail) {
    Outcome outcome;
    outcome.status = pdftest::RunCommand(home.Environment() + environment + " timeout -k 5 60 '" +
                                             OMBRIX_CLI_PATH "' " + arguments + " " + tail,
                                         &outcome.output);
    return outcome;
}

inline std::string Native(const wxString& path) {
    return std::string(path.utf8_str());
}

inline std::string Quoted(const wxString& path) {
    return "'" + Native(path) + "'";
}

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}
