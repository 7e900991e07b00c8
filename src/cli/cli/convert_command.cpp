#include "cli/convert_command.h"

#include "app/app_util.h"
#include "app/language_file.h"
#include "cli/cli_reporter.h"
#include "common/file_util.h"
#include "common/platform.h"
#include "domain/domain_config.h"
#include "domain/domain_convert_zuzur2aze.h"
#include "domain/domain_page.h"
#include "domain/domain_settings.h"
#include "thread/convert_worker.h"

#include <wx/dir.h>
#include <wx/filename.h>
#include <wx/intl.h>

#include <csignal>
#include <cstdio>
#include <memory>

namespace {
void OnInterrupt(int) {
    // The file in hand finishes; the rest are left.
    ConvertState = DomainConvert::kStopRequested;
}

bool IsNumber(const wxString& text) {
    double value = 0;
    return text.ToCDouble(&value) && value >= 0;
}
} // namespace

const char* ConvertCommand::Usage() {
    return "Usage: ombrix-convert [OPTION]... INPUT...\n"
           "Convert images (JPEG, PNG, TIFF, BMP, GIF) into PDF documents: one PDF per image,\n"
           "or all images merged into one. An INPUT is an image file or a folder, whose images\n"
           "(not those of its sub-folders) are taken in name order.\n"
           "\n"
           "Where the PDFs go:\n"
           "  -o, --output DIR        the output folder (made when missing); default: the\n"
           "                          output folder the application remembers\n"
           "      --beside-source     save each PDF in its image's folder\n"
           "  -m, --merge NAME        merge all images, in the order given, into DIR/NAME.pdf\n"
           "\n"
           "Page settings for this run (default: the application's page settings):\n"
           "      --page-type NAME    A4, Letter, Legal, B5, \"Image Size\", ...\n"
           "      --size WxH          custom page size in millimetres, for example 210x297\n"
           "      --margins T,B,L,R   top, bottom, left and right margins in millimetres\n"
           "      --author TEXT       the documents' author\n"
           "      --owner-password TEXT\n"
           "      --user-password TEXT  encrypt the PDFs (AES-256) with these passwords\n"
           "      --no-copy           forbid copying text and images from the PDFs\n"
           "      --no-print          forbid printing the PDFs\n"
           "\n"
           "  -h, --help              show this help\n"
           "\n"
           "Each file's progress is shown, then a summary with the reason of every failure;\n"
           "every file is also logged in the application's daily log. Ctrl+C stops after the\n"
           "file in hand (a merge runs to its end). Existing PDFs of the same name are replaced.\n"
           "\n"
           "Exit status: 0 when every file converted, 1 when any failed, 2 for a usage error.\n";
}

bool ConvertCommand::Parse(const std::vector<std::string>& arguments, Options& options,
                           wxString& error) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        auto value = [&](wxString& out) {
            if (i + 1 >= arguments.size()) {
                error = "option " + wxString::FromUTF8(arg) + " needs a value";
                return false;
            }
            out = wxString::FromUTF8(arguments[++i]);
            return true;
        };
        wxString text;
        if (arg == "-o" || arg == "--output") {
            if (!value(options.outputDir)) {
                return false;
            }
        } else if (arg == "--beside-source") {
            options.besideSource = true;
        } else if (arg == "-m" || arg == "--merge") {
            if (!value(text)) {
                return false;
            }
            if (text.Lower().EndsWith(".pdf")) {
                text.RemoveLast(4);
            }
            const wxString problem = DomainConvertPdfCreator::CheckOutputName(text);
            if (!problem.empty()) {
                error = problem;
                return false;
            }
            options.mergeName = text;
        } else if (arg == "--page-type") {
            if (!value(text)) {
                return false;
            }
            options.pageType = text;
        } else if (arg == "--size") {
            if (!value(text)) {
                return false;
            }
            const wxString width = text.BeforeFirst('x');
            const wxString height = text.AfterFirst('x');
            if (!IsNumber(width) || !IsNumber(height)) {
                error = "--size takes WIDTHxHEIGHT in millimetres, for example 210x297";
                return false;
            }
            options.size = std::make_pair(width, height);
        } else if (arg == "--margins") {
            if (!value(text)) {
                return false;
            }
            const wxArrayString parts = wxSplit(text, ',', '\0');
            if (parts.size() != 4 || !IsNumber(parts[0]) || !IsNumber(parts[1]) ||
                !IsNumber(parts[2]) || !IsNumber(parts[3])) {
                error =
                    "--margins takes TOP,BOTTOM,LEFT,RIGHT in millimetres, for example 10,10,15,15";
                return false;
            }
            options.margins = std::vector<wxString>(parts.begin(), parts.end());
        } else if (arg == "--author") {
            if (!value(text)) {
                return false;
            }
            options.author = text;
        } else if (arg == "--owner-password") {
            if (!value(text)) {
                return false;
            }
            options.ownerPassword = text;
        } else if (arg == "--user-password") {
            if (!value(text)) {
                return false;
            }
            options.userPassword = text;
        } else if (arg == "--no-copy") {
            options.noCopy = true;
        } else if (arg == "--no-print") {
            options.noPrint = true;
        } else if (arg == "--") {
            for (++i; i < arguments.size(); ++i) {
                options.inputs.Add(wxString::FromUTF8(arguments[i]));
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + wxString::FromUTF8(arg);
            return false;
        } else {
            options.inputs.Add(wxString::FromUTF8(arg));
        }
    }
    if (options.inputs.empty()) {
        error = "no input given";
        return false;
    }
    if (options.mergeName && options.besideSource) {
        error = "--merge and --beside-source cannot go together: a merged PDF goes to the output "
                "folder";
        return false;
    }
    if (options.pageType && options.size) {
        error = "--page-type and --size cannot go together";
        return false;
    }
    return true;
}

wxArrayString ConvertCommand::CollectImages(const wxArrayString& inputs,
                                            const wxArrayString& wildcards) {
    wxArrayString paths;
    for (const wxString& input : inputs) {
        wxFileName name(input);
        name.MakeAbsolute();
        wxString path = name.GetFullPath();
        path = Platform::ToSlashes(path);
        if (wxDir::Exists(path)) {
            const size_t before = paths.size();
            while (path.length() > 1 && path.EndsWith("/")) {
                path.RemoveLast();
            }
            for (const wxString& wildcard : wildcards) {
                FileUtil::ListFiles(path, paths, wildcard);
            }
            if (paths.size() == before) {
                std::fprintf(stderr, "ombrix-convert: no images in %s\n",
                             static_cast<const char*>(path.utf8_str()));
            }
        } else {
            paths.Add(path); // a missing or unreadable file fails with its reason
        }
    }
    return paths;
}

void ConvertCommand::ApplyPageSettings(const Options& options) {
    if (options.pageType) {
        DomainSettings::SetNamed("page:size:select", "0");
        DomainSettings::SetNamed("page:type", *options.pageType);
    } else if (options.size) {
        DomainSettings::SetNamed("page:size:select", "1");
        DomainSettings::SetNamed("page:width", options.size->first);
        DomainSettings::SetNamed("page:height", options.size->second);
    }
    if (options.margins) {
        const char* keys[] = {"page:top", "page:bottom", "page:left", "page:right"};
        for (size_t i = 0; i < 4; ++i) {
            DomainSettings::SetNamed(keys[i], (*options.margins)[i]);
        }
    }
    if (options.author) {
        DomainSettings::SetNamed("page:author", *options.author);
    }
    if (options.ownerPassword) {
        DomainSettings::SetNamed("page:permission:ownerpassword", *options.ownerPassword);
    }
    if (options.userPassword) {
        DomainSettings::SetNamed("page:permission:userpassword", *options.userPassword);
    }
    if (options.noCopy) {
        DomainSettings::SetNamed("page:permission:copy", "0");
    }
    if (options.noPrint) {
        DomainSettings::SetNamed("page:permission:print", "0");
    }
}

int ConvertCommand::Run(const std::vector<std::string>& arguments) {
    for (const std::string& arg : arguments) {
        if (arg == "-h" || arg == "--help") {
            std::fputs(Usage(), stdout);
            return 0;
        }
    }
    Options options;
    wxString error;
    if (!Parse(arguments, options, error)) {
        std::fprintf(stderr,
                     "ombrix-convert: %s\nTry 'ombrix-convert --help' for more information.\n",
                     static_cast<const char*>(error.utf8_str()));
        return 2;
    }

    // The settings, page settings and language of the application.
    DomainConfig config(AppUtil::GetConfigPath());
    const wxString remembered = DomainSettings::GetKeyed(DomainSettings::kOutputDir);
    if (!DomainPage().Load()) {
        std::fprintf(stderr,
                     "ombrix-convert: the page settings file %s is missing or damaged; "
                     "built-in page settings are used\n",
                     static_cast<const char*>(AppUtil::GetPagePath(false).utf8_str()));
    }
    std::unique_ptr<wxLocale> locale = LanguageFile::CreateLocale(LanguageFile::ReadLanguage());
    ApplyPageSettings(options);

    wxString outputDir = remembered;
    if (!options.outputDir.empty()) {
        wxFileName dir = wxFileName::DirName(options.outputDir);
        dir.MakeAbsolute();
        outputDir = dir.GetPath();
        outputDir = Platform::ToSlashes(outputDir);
        if (!wxDir::Exists(outputDir) &&
            !wxFileName::Mkdir(outputDir, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL)) {
            std::fprintf(stderr, "ombrix-convert: cannot create the output folder %s\n",
                         static_cast<const char*>(outputDir.utf8_str()));
            return 2;
        }
    }

    DomainConvertZUZUR2AZE convert;
    const wxArrayString paths = CollectImages(options.inputs, convert.GetWildcards());
    if (paths.empty()) {
        std::fprintf(stderr, "ombrix-convert: no images to convert\n");
        return 1;
    }

    DomainSettings::SetKeyed(DomainSettings::kOutputDir, outputDir);
    DomainSettings::SetKeyed(DomainSettings::kSaveBesideSource, options.besideSource ? "1" : "0");
    DomainSettings::SetKeyed(DomainSettings::kMerge, options.mergeName ? "1" : "0");
    DomainSettings::SetKeyed(DomainSettings::kMergeOffered, "1");
    DomainSettings::SetKeyed(DomainSettings::kMergeName, options.mergeName.value_or(wxString()));
    DomainSettings::SetKeyed(DomainSettings::kOutputType, "0");
    DomainSettings::SetKeyed(DomainSettings::kStatusColumn, "4");

    std::unique_ptr<FileRowArray> rows(convert.BuildRowsFromPaths(paths));
    auto job = std::make_unique<ConvertJob>();
    std::vector<CliReporter::Row> reportRows;
    for (size_t i = 0; i < rows->size(); ++i) {
        const FileRowInfo& row = (*rows)[i];
        (*job)[static_cast<int>(i)] = row.cells;
        const wxString folder =
            options.besideSource ? row.cells[FileRowInfo::kSourceDir] : outputDir;
        const wxString name =
            options.mergeName ? *options.mergeName : row.cells[FileRowInfo::kOutputName];
        CliReporter::Row entry;
        entry.name = row.cells[FileRowInfo::kFileName];
        entry.output = folder + "/" + name + ".pdf";
        reportRows.push_back(entry);
    }
    if (options.mergeName) {
        std::printf("Merging %zu images into %s\n", reportRows.size(),
                    static_cast<const char*>(reportRows.front().output.utf8_str()));
    }

    CliReporter reporter(std::move(reportRows), options.mergeName.has_value(), stdout);
    convert.SetTarget(&reporter);
    ConvertState = DomainConvert::kRunning;
    auto* previous = std::signal(SIGINT, OnInterrupt);
    ConvertWorker::ConvertWorkerProc(new ConvertTask{&convert, std::move(job)});
    std::signal(SIGINT, previous);
    ConvertState = 0;

    const bool allConverted = reporter.PrintSummary();
    // The command does not change the output folder the application remembers.
    DomainSettings::SetKeyed(DomainSettings::kOutputDir, remembered);
    return allConverted ? 0 : 1;
}
