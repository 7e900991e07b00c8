// The command line of the converter: its help and its options, one table row each.
#include "cli/convert_command.h"

#include "common/file_util.h"
#include "domain/output_name.h"

#include <algorithm>
#include <optional>

namespace {
using Options = ConvertCommand::Options;

bool IsNumber(const wxString& text) {
    double value = 0;
    return text.ToCDouble(&value) && value >= 0;
}

// One option: its short and long names, whether it takes a value, and what it does with it
// (returns why the value is wrong, or an empty string). A repeated option takes the last
// value, except the lists, which add up.
struct OptionRule {
    char shortName; // 0: none
    const char* longName;
    bool takesValue;
    wxString (*apply)(Options& options, const wxString& value);
};

const OptionRule kRules[] = {
    {'o', "output", true,
     [](Options& o, const wxString& v) -> wxString {
         o.outputDir = v;
         return v.empty() ? "the output folder is empty" : "";
     }},
    {0, "beside-source", false,
     [](Options& o, const wxString&) -> wxString {
         o.besideSource = true;
         return "";
     }},
    {'m', "merge", true,
     [](Options& o, const wxString& v) -> wxString {
         wxString name = OutputName::Trimmed(v);
         if (name.Lower().EndsWith(".pdf")) {
             name.RemoveLast(4);
         }
         o.mergeName = name;
         return OutputName::CheckTyped(name);
     }},
    {0, "page-type", true,
     [](Options& o, const wxString& v) -> wxString {
         o.pageType = v;
         return "";
     }},
    {0, "size", true,
     [](Options& o, const wxString& v) -> wxString {
         const wxString width = v.BeforeFirst('x');
         const wxString height = v.AfterFirst('x');
         if (!IsNumber(width) || !IsNumber(height)) {
             return "--size takes WIDTHxHEIGHT in millimetres, for example 210x297";
         }
         o.size = std::make_pair(width, height);
         return "";
     }},
    {0, "margins", true,
     [](Options& o, const wxString& v) -> wxString {
         const wxArrayString parts = wxSplit(v, ',', '\0');
         if (parts.size() != 4 || !IsNumber(parts[0]) || !IsNumber(parts[1]) ||
             !IsNumber(parts[2]) || !IsNumber(parts[3])) {
             return "--margins takes TOP,BOTTOM,LEFT,RIGHT in millimetres, for example "
                    "10,10,15,15";
         }
         o.margins = std::vector<wxString>(parts.begin(), parts.end());
         return "";
     }},
    {0, "author", true,
     [](Options& o, const wxString& v) -> wxString {
         o.author = v;
         return "";
     }},
    {0, "owner-password", true,
     [](Options& o, const wxString& v) -> wxString {
         o.ownerPassword = v;
         return v.empty() ? "the owner password is empty" : "";
     }},
    {0, "user-password", true,
     [](Options& o, const wxString& v) -> wxString {
         o.userPassword = v;
         return v.empty() ? "the user password is empty" : "";
     }},
    {0, "owner-password-file", true,
     [](Options& o, const wxString& v) -> wxString {
         o.ownerPasswordFile = v;
         return "";
     }},
    {0, "user-password-file", true,
     [](Options& o, const wxString& v) -> wxString {
         o.userPasswordFile = v;
         return "";
     }},
    {0, "no-copy", false,
     [](Options& o, const wxString&) -> wxString {
         o.noCopy = true;
         return "";
     }},
    {0, "no-print", false,
     [](Options& o, const wxString&) -> wxString {
         o.noPrint = true;
         return "";
     }},
    {0, "pdfa", true,
     [](Options& o, const wxString& v) -> wxString {
         o.pdfa = v.Lower();
         return o.pdfa == "1b" || o.pdfa == "2b" || o.pdfa == "3b" ? ""
                                                                   : "--pdfa takes 1b, 2b or 3b";
     }},
    {0, "flatten-alpha", true,
     [](Options& o, const wxString& v) -> wxString {
         const wxString colour = v.Lower();
         wxString hex = colour == "white" ? "ffffff" : colour == "black" ? "000000" : colour;
         if (hex.StartsWith("#")) {
             hex = hex.Mid(1);
         }
         unsigned long value = 0;
         if (hex.size() != 6 || !hex.ToULong(&value, 16) ||
             hex.find_first_not_of("0123456789abcdef") != wxString::npos) {
             return "--flatten-alpha takes a colour: #RRGGBB, white or black";
         }
         o.flattenAlpha = "#" + hex.Upper();
         return "";
     }},
    {0, "reduce-depth", false,
     [](Options& o, const wxString&) -> wxString {
         o.reduceDepth = true;
         return "";
     }},
    {0, "attach-originals", false,
     [](Options& o, const wxString&) -> wxString {
         o.attachOriginals = true;
         return "";
     }},
    {0, "all-images", false,
     [](Options& o, const wxString&) -> wxString {
         o.allImages = true;
         return "";
     }},
    {0, "ocr", true,
     [](Options& o, const wxString& v) -> wxString {
         o.ocr = v;
         return v.empty() ? "--ocr takes languages, for example eng or eng+deu" : "";
     }},
    {0, "ocr-sidecar", false,
     [](Options& o, const wxString&) -> wxString {
         o.ocrSidecar = true;
         return "";
     }},
    {0, "files-from", true,
     [](Options& o, const wxString& v) -> wxString {
         o.inputs.push_back({v, true});
         return "";
     }},
    {0, "null", false,
     [](Options& o, const wxString&) -> wxString {
         o.nullSeparated = true;
         return "";
     }},
    {'j', "jobs", true,
     [](Options& o, const wxString& v) -> wxString {
         long jobs = 0;
         if (!v.ToLong(&jobs) || jobs < 1 || jobs > 1024) {
             return "--jobs takes a number of files from 1 to 1024";
         }
         o.jobs = static_cast<int>(jobs);
         return "";
     }},
    {0, "shard", true,
     [](Options& o, const wxString& v) -> wxString {
         long index = -1;
         long count = 0;
         // Digits only: "+1/4" or "1/0x4" would be another shard than the one meant.
         const wxString indexText = v.BeforeFirst('/');
         const wxString countText = v.AfterFirst('/');
         auto digits = [](const wxString& text) {
             return !text.empty() && text.length() <= 9 &&
                    text.find_first_not_of("0123456789") == wxString::npos;
         };
         if (!v.Contains("/") || !digits(indexText) || !digits(countText) ||
             !indexText.ToLong(&index) || !countText.ToLong(&count) || count < 1 ||
             index >= count) {
             return "--shard takes K/N: the shard K of N, with 0 <= K < N, for example 0/8";
         }
         o.shardIndex = static_cast<int>(index);
         o.shardCount = static_cast<int>(count);
         return "";
     }},
    {0, "skip-existing", false,
     [](Options& o, const wxString&) -> wxString {
         o.skipExisting = true;
         return "";
     }},
    {0, "report", true,
     [](Options& o, const wxString& v) -> wxString {
         if (v != "json" && v != "text") {
             return "--report takes json or text";
         }
         o.jsonReport = v == "json";
         return "";
     }},
};

const OptionRule* FindLong(const std::string& name) {
    for (const OptionRule& rule : kRules) {
        if (name == rule.longName) {
            return &rule;
        }
    }
    return nullptr;
}

const OptionRule* FindShort(char name) {
    for (const OptionRule& rule : kRules) {
        if (rule.shortName != 0 && rule.shortName == name) {
            return &rule;
        }
    }
    return nullptr;
}
} // namespace

const char* ConvertCommand::Usage() {
    return "Usage: ombrix-convert [OPTION]... INPUT...\n"
           "Convert images (JPEG, PNG, TIFF, BMP, GIF, WebP, JPEG 2000, HEIF, AVIF, JPEG XL)\n"
           "into PDF documents: one PDF per image, or all images merged into one. An INPUT is\n"
           "an image file or a folder, whose images\n"
           "(not those of its sub-folders) are taken in natural name order (\"scan2\" before\n"
           "\"scan10\", whatever their type).\n"
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
           "      --all-images        a page for every image of a HEIF or AVIF file (the\n"
           "                          shots of a burst), not only its primary image\n"
           "\n"
           "Security (AES-256 encryption):\n"
           "      --user-password-file FILE   the password that opens the PDFs: the first\n"
           "                                  line of FILE (UTF-8 text)\n"
           "      --owner-password-file FILE  the password that lifts the restrictions\n"
           "      --user-password TEXT, --owner-password TEXT\n"
           "                          the same on the command line, where other users of\n"
           "                          the machine can read them (ps, /proc); prefer the\n"
           "                          files or the environment variables below\n"
           "      --no-copy           forbid copying text and images from the PDFs\n"
           "      --no-print          forbid printing the PDFs\n"
           "  Restrictions hold only in an encrypted PDF: without an owner password the PDFs\n"
           "  are encrypted with a random one, so that nobody can lift them; the user and\n"
           "  owner passwords must differ. A password is UTF-8 text of at most 4096 bytes\n"
           "  without control characters; as in every AES-256 PDF it is normalised\n"
           "  (SASLprep) and only its first 127 bytes count.\n"
           "\n"
           "Archival PDFs (PDF/A, level B: no encryption, sRGB output intent, XMP metadata):\n"
           "      --pdfa PART         1b, 2b or 3b: PDF/A-1b (PDF 1.4), PDF/A-2b or PDF/A-3b\n"
           "      --flatten-alpha COLOUR\n"
           "                          PDF/A-1b: compose transparent images over COLOUR\n"
           "                          (#RRGGBB, white or black); without it they fail\n"
           "      --reduce-depth      PDF/A-1b: write 16-bit images with 8 bits per sample;\n"
           "                          without it they fail\n"
           "      --attach-originals  PDF/A-3b: embed each image file in the PDF as the\n"
           "                          source of its pages\n"
           "      --extract-originals PDF DIR\n"
           "                          write the images embedded in PDF into the folder DIR,\n"
           "                          byte for byte (no other option; an existing file is\n"
           "                          never replaced: nothing is written then)\n"
           "  PDF/A-2b and 3b keep transparency and 16-bit samples. Each lossy step taken\n"
           "  is named in the file's report line. A password or a restriction cannot go\n"
           "  with --pdfa (PDF/A forbids encryption).\n"
           "\n"
           "Searchable PDFs (OCR with Tesseract; the images stay as they are):\n"
           "      --ocr LANGS         recognise the text of each page in the languages\n"
           "                          LANGS (Tesseract's names joined by +: eng, eng+deu)\n"
           "                          and lay it invisibly over the image, where it can be\n"
           "                          found, selected and copied\n"
           "      --ocr-sidecar       also write the text into a .txt file beside each PDF\n"
           "  A language must be installed (the package tesseract-ocr-LANG, or its\n"
           "  LANG.traineddata in the folder TESSDATA_PREFIX names): a missing one is a usage\n"
           "  error before any file is converted. An image the engine cannot read is\n"
           "  converted without text, with the reason in its report line. Ctrl+C also stops\n"
           "  the recognition of the files in hand, which are then not converted.\n"
           "\n"
           "Many files:\n"
           "      --files-from FILE   also convert the inputs named in FILE, one a line\n"
           "                          (\"-\": the standard input)\n"
           "      --null              the names in FILE end with a NUL, not a newline\n"
           "                          (as find -print0 writes them)\n"
           "  -j, --jobs N            convert N files at once (default: one per processor\n"
           "                          this process may use: its CPU affinity, within its\n"
           "                          control group's CPU quota); at most two per processor\n"
           "                          and one per GiB of memory this process may use: a\n"
           "                          larger N is lowered, with a note; a merge is one file\n"
           "      --shard K/N         convert only the inputs K, K+N, K+2N, ... (counted\n"
           "                          from 0) of the whole list, after folders and lists\n"
           "                          are expanded, so that N runs over the same list (a\n"
           "                          job array's tasks) share it; not with --merge\n"
           "      --skip-existing     leave out images whose PDF is complete and was made\n"
           "                          of the same image content with the same settings\n"
           "                          (with --merge: of the same images in the same\n"
           "                          order), whatever the files' dates, so that a run cut\n"
           "                          short can be repeated; a file cut short, damaged,\n"
           "                          made otherwise or not a PDF at all is made again\n"
           "      --report json       one JSON line per file on the standard output: input,\n"
           "                          output, status (converted, failed, skipped, not\n"
           "                          converted), pages and bytes of the PDF (in a merge,\n"
           "                          of the merged PDF; null when unknown), reason, class\n"
           "                          (of a failure: unreadable, unsupported, damaged,\n"
           "                          limit, io, internal), input_bytes, seconds, sha256\n"
           "                          (of the PDF) and version; progress and summary go\n"
           "                          to the standard error\n"
           "\n"
           "  -h, --help              show this help\n"
           "      --version           show the version\n"
           "\n"
           "Environment:\n"
           "  OMBRIX_USER_PASSWORD, OMBRIX_OWNER_PASSWORD\n"
           "                          the passwords, when no option gives them\n"
           "  TESSDATA_PREFIX         the folder of the OCR languages (default: Debian's\n"
           "                          /usr/share/tesseract-ocr/5/tessdata)\n"
           "  SOURCE_DATE_EPOCH       seconds since 1970, at most 253402300799 (the end of\n"
           "                          9999): the documents' dates, and an ID made from the\n"
           "                          content of unencrypted documents\n"
           "\n"
           "Each file's progress is shown, then a summary with the reason of every failure;\n"
           "every file is also logged in the application's daily log. Ctrl+C or a\n"
           "termination signal stops after the files in hand (a merge runs to its end); a\n"
           "second one ends the program at once. Existing PDFs of the same name are\n"
           "replaced, each in one step; two images of one run that would make the same PDF\n"
           "(x.png and x.jpg) are reported and the second is not converted. A name that is\n"
           "not valid UTF-8 is shown with \\xHH for each byte that is not.\n"
           "\n"
           "Exit status: 0 when every file converted (or was skipped), 1 when any failed or\n"
           "was not converted, 2 for a usage error, 3 when the run could not start (an\n"
           "output folder that cannot be made, a file named by an option that cannot be\n"
           "read).\n";
}

bool ConvertCommand::Parse(const std::vector<std::string>& arguments, Options& options,
                           wxString& error) {
    // Every argument is text: one that is not UTF-8 would read as an empty string and change
    // the meaning of the command (no password, the current folder as input).
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (!FileUtil::IsUtf8(arguments[i])) {
            error = wxString::Format("argument %zu is not valid UTF-8: ", i + 1) +
                    FileUtil::ShowBytes(arguments[i]);
            return false;
        }
    }
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (arg == "--") {
            for (++i; i < arguments.size(); ++i) {
                if (arguments[i].empty()) {
                    error = "an input is empty";
                    return false;
                }
                options.inputs.push_back({wxString::FromUTF8(arguments[i]), false});
            }
            break;
        }
        if (arg.empty()) {
            // It would name the current folder.
            error = "an input is empty";
            return false;
        }
        if (arg.size() < 2 || arg[0] != '-') {
            options.inputs.push_back({wxString::FromUTF8(arg), false});
            continue;
        }
        // --name, --name=value, -x, -xvalue
        const OptionRule* rule = nullptr;
        std::optional<std::string> attached;
        if (arg[1] == '-') {
            const size_t equals = arg.find('=');
            rule = FindLong(
                arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2));
            if (equals != std::string::npos) {
                attached = arg.substr(equals + 1);
            }
        } else {
            rule = FindShort(arg[1]);
            if (arg.size() > 2) {
                attached = arg.substr(2);
            }
        }
        if (rule == nullptr || (attached && !rule->takesValue)) {
            error = "unknown option " + wxString::FromUTF8(arg);
            return false;
        }
        wxString value;
        if (rule->takesValue) {
            if (attached) {
                value = wxString::FromUTF8(*attached);
            } else if (i + 1 < arguments.size()) {
                value = wxString::FromUTF8(arguments[++i]);
            } else {
                error = "option --" + wxString(rule->longName) + " needs a value";
                return false;
            }
        }
        error = rule->apply(options, value);
        if (!error.empty()) {
            return false;
        }
    }

    if (options.inputs.empty()) {
        error = "no input given";
    } else if (options.mergeName && options.besideSource) {
        error = "--merge and --beside-source cannot go together: a merged PDF goes to the "
                "output folder";
    } else if (options.mergeName && options.shardCount > 1) {
        error = "--merge and --shard cannot go together: a merge is one file";
    } else if (options.pageType && options.size) {
        error = "--page-type and --size cannot go together";
    } else if (options.userPassword && options.userPasswordFile) {
        error = "--user-password and --user-password-file cannot go together";
    } else if (options.ownerPassword && options.ownerPasswordFile) {
        error = "--owner-password and --owner-password-file cannot go together";
    } else if ((options.flattenAlpha || options.reduceDepth) && options.pdfa != "1b") {
        error = "--flatten-alpha and --reduce-depth go with --pdfa 1b only (PDF/A-2b and 3b "
                "keep transparency and 16-bit samples)";
    } else if (options.attachOriginals && options.pdfa != "3b") {
        error = "--attach-originals goes with --pdfa 3b only (PDF/A-3b alone may embed "
                "images)";
    } else if (std::count_if(options.inputs.begin(), options.inputs.end(),
                             [](const Options::Input& input) {
                                 return input.list && input.text == "-";
                             }) > 1) {
        error = "the standard input can be read once";
    }
    return error.empty();
}
