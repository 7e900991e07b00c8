#include "cli/convert_command.h"

#include "app/app_util.h"
#include "app/language_file.h"
#include "common/file_util.h"
#include "common/platform.h"
#include "common/temp_folder.h"
#include "domain/domain_config.h"
#include "domain/domain_convert_zuzur2aze.h"
#include "domain/domain_page.h"
#include "domain/domain_settings.h"
#include "pdf/pdf_service.h"
#include "thread/convert_run.h"

#include <wx/dir.h>
#include <wx/filename.h>
#include <wx/intl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>

namespace {
void OnStopSignal(int) {
    // The files in hand finish; the rest are left. The handler is reset by the signal, so a
    // second one ends the program at once.
    ConvertState = DomainConvert::kStopRequested;
}

// Ctrl+C and a termination request stop the conversion while the object lives.
class StopSignals {
public:
    StopSignals() {
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_previousInterrupt);
        sigaction(SIGTERM, &action, &m_previousTerminate);
    }
    ~StopSignals() {
        sigaction(SIGINT, &m_previousInterrupt, nullptr);
        sigaction(SIGTERM, &m_previousTerminate, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    struct sigaction m_previousInterrupt {};
    struct sigaction m_previousTerminate {};
};

std::filesystem::path NativePath(const wxString& path) {
    return std::filesystem::path(std::string(path.utf8_str()));
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

wxString StripTrailingSlashes(wxString path) {
    while (path.length() > 1 && path.EndsWith("/")) {
        path.RemoveLast();
    }
    return path;
}

const char kNotUtf8[] = "the file name is not valid UTF-8";

constexpr unsigned long long kGiB = 1ULL << 30;

// Why SOURCE_DATE_EPOCH cannot date the PDFs, or an empty string: unset or empty, or a number
// of seconds since 1970 that a PDF date holds (its year has four digits: up to the end of
// 9999).
wxString CheckSourceDateEpoch() {
    const char* text = std::getenv("SOURCE_DATE_EPOCH");
    if (text == nullptr || *text == '\0') {
        return wxString();
    }
    const std::string value = text;
    const bool digits =
        std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
    const size_t first = value.find_first_not_of('0');
    if (digits &&
        (first == std::string::npos ||
         (value.size() - first <= 12 && std::stoll(value.substr(first)) <= 253402300799))) {
        return wxString();
    }
    return "SOURCE_DATE_EPOCH is " +
           (FileUtil::IsUtf8(value) ? wxString::FromUTF8(value) : FileUtil::ShowBytes(value)) +
           ", not a number of seconds since 1970 from 0 to 253402300799 (the end of 9999)";
}
} // namespace

int ConvertCommand::MostJobs(int processors, unsigned long long memory) {
    // Beyond two files per processor nothing goes faster; each file in hand may hold an image
    // of up to a gigabyte.
    const unsigned long long byMemory = memory / kGiB;
    const int byProcessors = 2 * std::max(processors, 1);
    return static_cast<int>(
        std::max<unsigned long long>(1, std::min<unsigned long long>(byProcessors, byMemory)));
}

int ConvertCommand::ResolvePasswords(Options& options, wxString& error) {
    struct Password {
        std::optional<wxString>& value;
        const std::optional<wxString>& file;
        const char* option;
        const char* variable;
        const char* what;
    };
    const Password passwords[] = {
        {options.userPassword, options.userPasswordFile, "--user-password", "OMBRIX_USER_PASSWORD",
         "user"},
        {options.ownerPassword, options.ownerPasswordFile, "--owner-password",
         "OMBRIX_OWNER_PASSWORD", "owner"},
    };
    for (const Password& password : passwords) {
        std::string text;
        wxString source;
        if (password.value) {
            source = password.option;
            text = std::string(password.value->utf8_str());
        } else if (password.file) {
            source = "the " + wxString(password.what) + " password file " + *password.file;
            const int status = ReadPasswordFile(*password.file, source, text, error);
            if (status != 0) {
                return status;
            }
        } else if (const char* value = std::getenv(password.variable)) {
            source = password.variable;
            text = value;
        } else {
            continue;
        }
        if (text.empty()) {
            // An empty password would leave the PDF unencrypted.
            error = source + " gives an empty password";
            return kStatusUsage;
        }
        if (!FileUtil::IsUtf8(text)) {
            error = source + " is not valid UTF-8";
            return kStatusUsage;
        }
        // What the PDF service would refuse for every file (a control character, a password
        // beyond its bound) is a usage error of the run.
        if (const char* reason = PdfCheckPassword(text.c_str())) {
            error = source + ": " + reason;
            return kStatusUsage;
        }
        password.value = wxString::FromUTF8(text);
    }
    return 0;
}

int ConvertCommand::ReadPasswordFile(const wxString& path, const wxString& source,
                                     std::string& text, wxString& error) {
    // The first line, without its line end, read no further than a password may be long. A
    // pipe is fine here (a shell's <(...)).
    std::ifstream in(NativePath(path), std::ios::binary);
    if (!in) {
        error = "cannot read " + source + ": " + wxString::FromUTF8(std::strerror(errno));
        return kStatusCannotStart;
    }
    // Up to the line end, which a pipe may send without closing, or to one byte more than the
    // longest line with its "\r" (getline stops there with failbit, before the end of input).
    std::string data(kMaxPasswordBytes + 3, '\0');
    in.getline(data.data(), static_cast<std::streamsize>(data.size()));
    if (in.bad()) {
        error = "cannot read " + source + ": " + wxString::FromUTF8(std::strerror(errno));
        return kStatusCannotStart;
    }
    if (in.fail() && !in.eof()) {
        error = wxString::Format("the first line of %s is longer than %zu bytes", source,
                                 kMaxPasswordBytes);
        return kStatusUsage;
    }
    // The count includes the line end taken, when there was one.
    const auto count = static_cast<size_t>(in.gcount());
    text = data.substr(0, in.eof() ? count : count - 1);
    if (text.rfind("\xFF\xFE", 0) == 0 || text.rfind("\xFE\xFF", 0) == 0) {
        // Its NUL bytes would cut the password to its first letter.
        error = source + " is UTF-16 text (it starts with a byte order mark): save it as UTF-8";
        return kStatusUsage;
    }
    if (!text.empty() && text.back() == '\r') {
        text.pop_back();
    }
    if (text.find('\0') != std::string::npos) {
        // Read as text, the password would end there: none at all, or a shorter one.
        error = source + " holds a NUL byte in its first line (UTF-16 text? save it as UTF-8)";
        return kStatusUsage;
    }
    if (text.size() > kMaxPasswordBytes) {
        error = wxString::Format("the first line of %s is longer than %zu bytes", source,
                                 kMaxPasswordBytes);
        return kStatusUsage;
    }
    return 0;
}

wxString ConvertCommand::CheckSecurity(const Options& options) {
    const bool noCopy = DomainSettings::GetNamed("page:permission:copy") == "0";
    const bool noPrint = DomainSettings::GetNamed("page:permission:print") == "0";
    if (!noCopy && !noPrint) {
        return wxString();
    }
    const wxString what = noCopy && noPrint ? "copying and printing"
                          : noCopy          ? "copying"
                                            : "printing";
    const wxString where = options.noCopy || options.noPrint
                               ? wxString()
                               : " (the application's page settings forbid " + what + ")";
    // Without an owner password the PDF service encrypts with a random one, which nobody
    // knows: the restrictions hold and cannot be lifted. An owner password equal to the user
    // password would lift them for every reader, so it is refused.
    const wxString user = DomainSettings::GetNamed("page:permission:userpassword");
    const wxString owner = DomainSettings::GetNamed("page:permission:ownerpassword");
    if (!user.empty() && user == owner) {
        return "the user and owner passwords are the same, so whoever opens the PDF could "
               "lift the ban on " +
               what + ": choose different passwords" + where;
    }
    return wxString();
}

void ConvertCommand::AddPath(const wxString& text, const wxArrayString& wildcards,
                             std::vector<Item>& items) {
    wxFileName name(text);
    name.MakeAbsolute();
    wxString path = name.GetFullPath();
    path = Platform::ToSlashes(path);
    if (wxDir::Exists(path)) {
        path = StripTrailingSlashes(path);
        const wxString given = StripTrailingSlashes(text);
        const wxString prefix = given.EndsWith("/") ? given : given + "/";
        wxArrayString files;
        wxArrayString undecodable;
        FileUtil::ListFiles(path, files, wildcards, &undecodable);
        // One natural order over every type, so that a merged folder keeps its page order.
        FileUtil::SortNatural(files);
        for (const wxString& file : files) {
            const wxString fileName = file.AfterLast('/');
            items.push_back({prefix + fileName, file, fileName, wxString()});
        }
        for (const wxString& file : undecodable) {
            const wxString fileName = file.AfterLast('/');
            items.push_back({prefix + fileName, file, fileName, kNotUtf8});
        }
        if (files.empty() && undecodable.empty()) {
            std::fprintf(stderr, "ombrix-convert: no images in %s\n",
                         static_cast<const char*>(FileUtil::EscapeControls(path).utf8_str()));
        }
        return;
    }
    Item item{text, path, FileUtil::GetFileName(path), wxString()};
    // A pipe or a device named like an image would block its reader; stat does not open it.
    // A missing file fails in the conversion with its reason.
    if (!wxFileExists(path) && wxFileName::Exists(path, wxFILE_EXISTS_ANY)) {
        item.reason = "not a regular file";
    }
    items.push_back(item);
}

bool ConvertCommand::ReadList(const wxString& path, bool nullSeparated,
                              const wxArrayString& wildcards, std::vector<Item>& items,
                              wxString& error) {
    std::string data;
    if (path == "-") {
        char buffer[1 << 16];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
            data.append(buffer, n);
        }
        if (std::ferror(stdin)) {
            error = "cannot read the list from the standard input";
            return false;
        }
    } else {
        std::ifstream in(NativePath(path), std::ios::binary);
        if (!in) {
            error =
                "cannot read the list " + path + ": " + wxString::FromUTF8(std::strerror(errno));
            return false;
        }
        data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    const char separator = nullSeparated ? '\0' : '\n';
    size_t start = 0;
    while (start < data.size()) {
        size_t end = data.find(separator, start);
        if (end == std::string::npos) {
            end = data.size();
        }
        const std::string entry = data.substr(start, end - start);
        start = end + 1;
        if (entry.empty()) {
            continue;
        }
        if (FileUtil::IsUtf8(entry)) {
            AddPath(wxString::FromUTF8(entry), wildcards, items);
        } else {
            const wxString shown = FileUtil::ShowBytes(entry);
            items.push_back({shown, shown, shown.AfterLast('/'), kNotUtf8});
        }
    }
    return true;
}

bool ConvertCommand::CollectItems(const Options& options, const wxArrayString& wildcards,
                                  std::vector<Item>& items, wxString& error) {
    for (const Options::Input& input : options.inputs) {
        if (!input.list) {
            AddPath(input.text, wildcards, items);
        } else if (!ReadList(input.text, options.nullSeparated, wildcards, items, error)) {
            return false;
        }
    }
    return true;
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
    DomainSettings::SetNamed("page:allimages", options.allImages ? "1" : "0");
    if (!options.pdfa.empty()) {
        DomainSettings::SetNamed("page:pdfa", options.pdfa);
        DomainSettings::SetNamed("page:pdfa:flatten", options.flattenAlpha.value_or(""));
        DomainSettings::SetNamed("page:pdfa:reducedepth", options.reduceDepth ? "1" : "0");
        DomainSettings::SetNamed("page:pdfa:attach", options.attachOriginals ? "1" : "0");
    } else {
        // The archive format saved in the application's page settings does not apply: a run
        // makes PDF/A only when its options ask for it.
        DomainSettings::SetNamed("page:pdfa", "");
    }
    // So with OCR.
    DomainSettings::SetNamed("page:ocr", options.ocr);
    DomainSettings::SetNamed("page:ocr:sidecar", options.ocrSidecar ? "1" : "0");
}

wxString ConvertCommand::CheckArchive(bool securityGiven) {
    if (DomainSettings::GetNamed("page:pdfa").empty()) {
        return wxString();
    }
    const bool password = !DomainSettings::GetNamed("page:permission:userpassword").empty() ||
                          !DomainSettings::GetNamed("page:permission:ownerpassword").empty();
    const bool restricted = DomainSettings::GetNamed("page:permission:copy") == "0" ||
                            DomainSettings::GetNamed("page:permission:print") == "0";
    if (!password && !restricted) {
        return wxString();
    }
    const bool environment = std::getenv("OMBRIX_USER_PASSWORD") != nullptr ||
                             std::getenv("OMBRIX_OWNER_PASSWORD") != nullptr;
    return wxString("PDF/A forbids encryption: an archival PDF cannot have ") +
           (password ? "a password" : "a restriction on copying or printing") +
           (securityGiven ? ""
            : environment && password
                ? " (OMBRIX_USER_PASSWORD or OMBRIX_OWNER_PASSWORD in the environment gives one)"
                : " (the application's page settings set one)");
}

int ConvertCommand::ExtractOriginals(const std::vector<std::string>& arguments) {
    if (arguments.size() != 3 || arguments[0] != "--extract-originals") {
        std::fprintf(stderr, "ombrix-convert: --extract-originals takes a PDF and a folder, "
                             "and no other argument\nTry 'ombrix-convert --help' for more "
                             "information.\n");
        return kStatusUsage;
    }
    int count = 0;
    char reason[1024] = "";
    const int code = PdfExtractOriginals(arguments[1].c_str(), arguments[2].c_str(), &count, reason,
                                         sizeof reason);
    if (code != PDF_OK) {
        std::fprintf(stderr, "ombrix-convert: %s\n",
                     static_cast<const char*>(
                         FileUtil::EscapeControls(wxString::FromUTF8(reason)).utf8_str()));
        return kStatusFailed;
    }
    std::fprintf(stderr, "ombrix-convert: %d original%s extracted\n", count, count == 1 ? "" : "s");
    return 0;
}

int ConvertCommand::Run(const std::vector<std::string>& arguments) {
    for (const std::string& arg : arguments) {
        if (arg == "--version") {
            std::printf("ombrix-convert (%s) %s\n",
                        static_cast<const char*>(AppUtil::GetDisplayName().utf8_str()),
                        static_cast<const char*>(AppUtil::GetVersion().utf8_str()));
            return 0;
        }
        if (arg == "-h" || arg == "--help") {
            std::fputs(Usage(), stdout);
            return 0;
        }
    }
    if (std::find(arguments.begin(), arguments.end(), "--extract-originals") != arguments.end()) {
        return ExtractOriginals(arguments);
    }
    auto usageError = [](const wxString& message) {
        std::fprintf(stderr,
                     "ombrix-convert: %s\nTry 'ombrix-convert --help' for more information.\n",
                     static_cast<const char*>(FileUtil::EscapeControls(message).utf8_str()));
        return kStatusUsage;
    };
    // The run cannot start: an output folder, a list or a password file fails it.
    auto cannotStart = [](const wxString& message) {
        std::fprintf(stderr, "ombrix-convert: %s\n",
                     static_cast<const char*>(FileUtil::EscapeControls(message).utf8_str()));
        return kStatusCannotStart;
    };
    Options options;
    wxString error;
    if (!Parse(arguments, options, error)) {
        return usageError(error);
    }
    const bool securityGiven = options.userPassword || options.ownerPassword ||
                               options.userPasswordFile || options.ownerPasswordFile ||
                               options.noCopy || options.noPrint;
    if (const int status = ResolvePasswords(options, error); status != 0) {
        return status == kStatusUsage ? usageError(error) : cannotStart(error);
    }
    error = CheckSourceDateEpoch();
    if (!error.empty()) {
        return usageError(error);
    }
    if (options.ocrSidecar && options.ocr.empty()) {
        return usageError("--ocr-sidecar goes with --ocr");
    }
    if (!options.ocr.empty()) {
        // Before any file is read: a missing language would fail every file.
        if (const char* why = PdfOcrCheckLanguages(options.ocr.utf8_str(), nullptr)) {
            return usageError(wxString::FromUTF8(why));
        }
    }
    // Files at once: as asked, or one per processor, within what the processors and the
    // memory of this process sensibly take.
    const int processors = Platform::GetProcessorCount();
    const unsigned long long memory = Platform::GetMemoryLimit();
    const int most = MostJobs(processors, memory);
    int jobs = options.jobs > 0 ? options.jobs : std::min(processors, most);
    if (jobs > most) {
        std::fprintf(stderr,
                     "ombrix-convert: -j %d is lowered to %d: %d processor%s and %.1f GiB of "
                     "memory take no more (two files per processor, one per GiB)\n",
                     jobs, most, processors, processors == 1 ? "" : "s",
                     static_cast<double>(memory) / kGiB);
        jobs = most;
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
    error = CheckSecurity(options);
    if (error.empty()) {
        error = CheckArchive(securityGiven);
    }
    if (!error.empty()) {
        return usageError(error);
    }

    wxString outputDir = remembered;
    if (!options.outputDir.empty()) {
        wxFileName dir = wxFileName::DirName(options.outputDir);
        dir.MakeAbsolute();
        outputDir = dir.GetPath();
        outputDir = Platform::ToSlashes(outputDir);
        if (!wxDir::Exists(outputDir) &&
            !wxFileName::Mkdir(outputDir, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL)) {
            return cannotStart("cannot create the output folder " + outputDir);
        }
    }

    DomainConvertZUZUR2AZE convert;
    std::vector<Item> items;
    if (!CollectItems(options, convert.GetWildcards(), items, error)) {
        return cannotStart(error);
    }
    if (items.empty()) {
        std::fprintf(stderr, "ombrix-convert: no images to convert\n");
        return kStatusFailed;
    }
    if (options.shardCount > 1) {
        // Every task of an array expands the same list in the same order and takes its
        // share; a shard left empty by a short list has nothing to do.
        std::vector<Item> shard;
        for (size_t i = static_cast<size_t>(options.shardIndex); i < items.size();
             i += static_cast<size_t>(options.shardCount)) {
            shard.push_back(std::move(items[i]));
        }
        items = std::move(shard);
        if (items.empty()) {
            std::fprintf(stderr, "ombrix-convert: shard %d/%d holds no image of the list\n",
                         options.shardIndex, options.shardCount);
            return kStatusDone;
        }
    }

    DomainSettings::SetKeyed(DomainSettings::kOutputDir, outputDir);
    DomainSettings::SetKeyed(DomainSettings::kSaveBesideSource, options.besideSource ? "1" : "0");
    DomainSettings::SetKeyed(DomainSettings::kMerge, options.mergeName ? "1" : "0");
    DomainSettings::SetKeyed(DomainSettings::kMergeOffered, "1");
    DomainSettings::SetKeyed(DomainSettings::kMergeName, options.mergeName.value_or(wxString()));
    DomainSettings::SetKeyed(DomainSettings::kOutputType, "0");
    DomainSettings::SetKeyed(DomainSettings::kStatusColumn, "4");

    // Rows for the files that can be handed to the engine; the job's keys are report rows.
    wxArrayString paths;
    for (const Item& item : items) {
        if (item.reason.empty()) {
            paths.Add(item.path);
        }
    }
    std::unique_ptr<FileRowArray> rows(convert.BuildRowsFromPaths(paths));
    JobSettings settings = JobSettings::Capture();
    // Every PDF of the converter can be skipped by a later run with --skip-existing.
    settings.recordWork = true;
    ConvertJob job;
    std::vector<CliReporter::Row> reportRows;
    size_t next = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        CliReporter::Row entry;
        entry.name = items[i].name;
        entry.input = items[i].input;
        std::error_code sizeError;
        const auto inputBytes = std::filesystem::file_size(NativePath(items[i].path), sizeError);
        entry.inputBytes = sizeError ? -1 : static_cast<int64_t>(inputBytes);
        if (items[i].reason.empty()) {
            const FileRowInfo& row = (*rows)[next++];
            job[static_cast<int>(i)] = row.cells;
            entry.output = ConvertRun::OutputPath(row.cells, settings);
        }
        reportRows.push_back(entry);
    }
    // The job holds the rows' cells from here on.
    rows.reset();
    paths.Clear();

    FILE* human = options.jsonReport ? stderr : stdout;
    CliReporter reporter(std::move(reportRows), options.mergeName.has_value(), human,
                         options.jsonReport ? stdout : nullptr, AppUtil::GetVersion());
    const auto& report = reporter.Rows();
    auto refuse = [&](size_t row, const wxString& reason) {
        reporter.Fail(row, ConvertFailure::Kind::kUnreadable, reason);
        convert.WriteLog(items[row].path,
                         report[row].output.empty() ? reason : report[row].output + ": " + reason,
                         0);
    };
    bool refused = false;
    for (size_t i = 0; i < items.size(); ++i) {
        if (!items[i].reason.empty()) {
            refuse(i, items[i].reason);
            refused = true;
        }
    }
    if (options.mergeName) {
        // A merge is made whole or not at all.
        if (refused && !job.empty()) {
            const wxString reason = "the merge is not made: another of its images cannot be read";
            for (const auto& [row, cells] : job) {
                reporter.Fail(static_cast<size_t>(row), ConvertFailure::Kind::kUnreadable, reason);
            }
            convert.WriteLog(wxString::Format("%zu", items.size()),
                             report[job.begin()->first].output + ": " + reason, 0);
            job.clear();
        } else if (options.skipExisting && !job.empty()) {
            std::vector<wxString> sources;
            for (const auto& [row, cells] : job) {
                sources.push_back(cells[FileRowInfo::kSourcePath]);
            }
            const auto started = std::chrono::steady_clock::now();
            if (DomainConvertPdfCreator::RecordsWork(report[job.begin()->first].output, sources,
                                                     settings, settings.mergeName)) {
                const double seconds = SecondsSince(started);
                for (const auto& [row, cells] : job) {
                    reporter.Skip(static_cast<size_t>(row), seconds);
                }
                job.clear();
            }
        }
    } else if (options.skipExisting) {
        for (auto it = job.begin(); it != job.end();) {
            const auto row = static_cast<size_t>(it->first);
            const auto started = std::chrono::steady_clock::now();
            if (DomainConvertPdfCreator::RecordsWork(
                    report[row].output, {it->second[FileRowInfo::kSourcePath]}, settings,
                    it->second[FileRowInfo::kOutputName])) {
                reporter.Skip(row, SecondsSince(started));
                it = job.erase(it);
            } else {
                ++it;
            }
        }
    }

    if (!job.empty()) {
        if (options.mergeName) {
            std::fprintf(
                human, "Merging %zu images into %s\n", job.size(),
                static_cast<const char*>(
                    FileUtil::EscapeControls(report[job.begin()->first].output).utf8_str()));
            std::fflush(human);
        }
        // The run rules are the window's: one ConvertRun, its events to the reporter.
        convert.SetTarget(&reporter);
        ConvertState = DomainConvert::kRunning;
        {
            StopSignals signals;
            ConvertRun(convert, settings).Execute(job, options.mergeName ? 1 : jobs);
        }
        ConvertState = 0;
    }

    const bool allConverted = reporter.PrintSummary();
    // The command does not change the output folder the application remembers.
    DomainSettings::SetKeyed(DomainSettings::kOutputDir, remembered);
    return allConverted ? 0 : kStatusFailed;
}
