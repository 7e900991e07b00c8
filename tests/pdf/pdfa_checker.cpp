#include "pdfa_checker.h"

#include "pdf_test_support.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <cstring>
#include <ctime>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sys/stat.h>

namespace pdftest {
namespace {
using Handle = QPDFObjectHandle;

class Checker {
public:
    Checker(const std::string& path, int part) : m_part(part), m_bytes(ReadFile(path)) {
        m_pdf.setSuppressWarnings(true);
        m_pdf.processFile(path.c_str());
    }

    std::vector<std::string> Run() {
        FileStructure();
        Metadata();
        OutputIntents();
        Images();
        EmbeddedFiles();
        return m_problems;
    }

private:
    void Problem(const std::string& text) { m_problems.push_back(text); }

    // The header, the binary comment, the trailer, the cross-reference layout, the stream
    // keywords.
    void FileStructure() {
        const int most = m_part == 1 ? 4 : 7;
        if (m_bytes.size() < 16 || m_bytes.compare(0, 7, "%PDF-1.") != 0 || m_bytes[7] < '0' ||
            m_bytes[7] > '0' + most || (m_bytes[8] != '\n' && m_bytes[8] != '\r')) {
            Problem("header: not %PDF-1.0 to %PDF-1." + std::to_string(most));
        }
        const size_t second = m_bytes.find_first_not_of("\r\n", 8);
        int high = 0;
        for (size_t i = second + 1;
             second != std::string::npos && i < second + 5 && i < m_bytes.size(); ++i) {
            high += static_cast<unsigned char>(m_bytes[i]) >= 128 ? 1 : 0;
        }
        if (second == std::string::npos || m_bytes[second] != '%' || high < 4) {
            Problem("header: no comment of four bytes above 127 on the second line");
        }
        Handle trailer = m_pdf.getTrailer();
        Handle id = trailer.getKey("/ID");
        if (!id.isArray() || id.getArrayNItems() != 2 || !id.getArrayItem(0).isString() ||
            !id.getArrayItem(1).isString()) {
            Problem("trailer: no document ID");
        }
        if (trailer.hasKey("/Encrypt")) {
            Problem("trailer: the document is encrypted");
        }
        const size_t end = m_bytes.rfind("%%EOF");
        if (end == std::string::npos ||
            m_bytes.find_first_not_of("\r\n", end + 5) != std::string::npos) {
            Problem("end: data after %%EOF");
        }
        if (m_part == 1) {
            for (const auto& [og, entry] : m_pdf.getXRefTable()) {
                if (entry.getType() == 2) {
                    Problem("cross-reference: object " + std::to_string(og.getObj()) +
                            " is in an object stream (PDF 1.5)");
                    break;
                }
            }
            if (m_bytes.find("/XRef") != std::string::npos ||
                m_bytes.find("/ObjStm") != std::string::npos) {
                Problem("cross-reference: a cross-reference or object stream (PDF 1.5)");
            }
            if (m_bytes.find("\ntrailer") == std::string::npos) {
                Problem("cross-reference: no trailer dictionary");
            }
        }
        // "stream" followed by an end of line; "endstream" preceded by one. The keywords are
        // told from stream data by what stands around them: a dictionary's end before
        // "stream", "endobj" after "endstream".
        for (size_t at = m_bytes.find("stream"); at != std::string::npos;
             at = m_bytes.find("stream", at + 6)) {
            const bool isEnd = at >= 3 && m_bytes.compare(at - 3, 3, "end") == 0;
            if (isEnd) {
                const size_t next = m_bytes.find_first_not_of(" \r\n", at + 6);
                if (next == std::string::npos || m_bytes.compare(next, 6, "endobj") != 0) {
                    continue;
                }
                const char before = at >= 4 ? m_bytes[at - 4] : '\0';
                if (before != '\n' && before != '\r') {
                    Problem("stream: no end of line before endstream at " + std::to_string(at));
                }
                continue;
            }
            const size_t last =
                at == 0 ? std::string::npos : m_bytes.find_last_not_of(" \r\n", at - 1);
            if (last == std::string::npos || last < 1 || m_bytes.compare(last - 1, 2, ">>") != 0) {
                continue;
            }
            if (at + 6 < m_bytes.size() && m_bytes[at + 6] != '\n' &&
                m_bytes.compare(at + 6, 2, "\r\n") != 0) {
                Problem("stream: the keyword at " + std::to_string(at) +
                        " is not followed by an end of line");
            }
        }
        for (Handle object : m_pdf.getAllObjects()) {
            if (!object.isStream()) {
                continue;
            }
            Handle dict = object.getDict();
            for (const char* key : {"/F", "/FFilter", "/FDecodeParms"}) {
                if (dict.hasKey(key) && !dict.getKey("/Type").isNameAndEquals("/EmbeddedFile")) {
                    Problem(std::string("stream: an external file key ") + key);
                }
            }
            for (const std::string& filter : Filters(dict)) {
                if (filter == "/LZWDecode" || filter == "/Crypt" ||
                    (m_part == 1 && filter == "/JPXDecode")) {
                    Problem("stream: the filter " + filter);
                }
            }
        }
    }

    static std::vector<std::string> Filters(Handle dict) {
        std::vector<std::string> names;
        Handle filter = dict.getKey("/Filter");
        if (filter.isName()) {
            names.push_back(filter.getName());
        } else if (filter.isArray()) {
            for (Handle item : filter.aitems()) {
                if (item.isName()) {
                    names.push_back(item.getName());
                }
            }
        }
        return names;
    }

    // The XMP metadata: there, unfiltered, of this part and level B, and saying what the
    // document information says.
    void Metadata() {
        Handle root = m_pdf.getRoot();
        Handle metadata = root.getKey("/Metadata");
        if (!metadata.isStream()) {
            Problem("metadata: the catalog has no metadata stream");
            return;
        }
        Handle dict = metadata.getDict();
        if (!dict.getKey("/Type").isNameAndEquals("/Metadata") ||
            !dict.getKey("/Subtype").isNameAndEquals("/XML")) {
            Problem("metadata: not /Type /Metadata /Subtype /XML");
        }
        if (dict.hasKey("/Filter")) {
            Problem("metadata: the stream is filtered");
        }
        const std::string xmp = metadata.getStreamData(qpdf_dl_all)->getSize() > 0
                                    ? [&] {
                                          auto data = metadata.getStreamData(qpdf_dl_all);
                                          return std::string(
                                              reinterpret_cast<const char*>(data->getBuffer()),
                                              data->getSize());
                                      }()
                                    : std::string();
        const std::regex header(
            "<\\?xpacket begin=\"(\xEF\xBB\xBF)?\" id=\"W5M0MpCehiHzreSzNTczkc9d\"\\?>");
        if (!std::regex_search(xmp, header)) {
            Problem("metadata: no xpacket header (or one with bytes or encoding)");
        }
        if (xmp.find("<?xpacket end=") == std::string::npos) {
            Problem("metadata: no xpacket trailer");
        }
        if (Property(xmp, "pdfaid:part") != std::to_string(m_part)) {
            Problem("metadata: pdfaid:part is \"" + Property(xmp, "pdfaid:part") + "\"");
        }
        if (Property(xmp, "pdfaid:conformance") != "B") {
            Problem("metadata: pdfaid:conformance is \"" + Property(xmp, "pdfaid:conformance") +
                    "\"");
        }
        // Each entry of the document information, and its XMP property.
        Handle info = m_pdf.getTrailer().getKey("/Info");
        const struct {
            const char* key;
            const char* property;
            bool date;
        } kPairs[] = {
            {"/Title", "dc:title", false},
            {"/Author", "dc:creator", false},
            {"/Subject", "dc:description", false},
            {"/Keywords", "pdf:Keywords", false},
            {"/Producer", "pdf:Producer", false},
            {"/Creator", "xmp:CreatorTool", false},
            {"/CreationDate", "xmp:CreateDate", true},
            {"/ModDate", "xmp:ModifyDate", true},
        };
        for (const auto& pair : kPairs) {
            if (!info.isDictionary() || !info.hasKey(pair.key)) {
                continue;
            }
            const std::string value = info.getKey(pair.key).getUTF8Value();
            const std::string property = Property(xmp, pair.property);
            const bool same = pair.date ? PdfDateSeconds(value) == XmpDateSeconds(property) &&
                                              PdfDateSeconds(value) != -1
                                        : value == property;
            if (!same) {
                Problem(std::string("metadata: ") + pair.property + " \"" + property +
                        "\" differs from " + pair.key + " \"" + value + "\"");
            }
        }
    }

    // The text of a simple XMP property, of the single item of its array, or of its
    // attribute form; XML entities undone.
    static std::string Property(const std::string& xmp, const std::string& name) {
        std::smatch match;
        const std::regex element("<" + name + ">([\\s\\S]*?)</" + name + ">");
        std::string text;
        if (std::regex_search(xmp, match, element)) {
            text = match[1];
            std::smatch item;
            if (std::regex_search(text, item, std::regex("<rdf:li[^>]*>([\\s\\S]*?)</rdf:li>"))) {
                text = item[1];
            }
        } else if (std::regex_search(xmp, match, std::regex(name + "=\"([^\"]*)\""))) {
            text = match[1];
        } else {
            return {};
        }
        for (const auto& [entity, c] : std::map<std::string, std::string>{
                 {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}}) {
            for (size_t at = text.find(entity); at != std::string::npos;
                 at = text.find(entity, at + 1)) {
                text.replace(at, entity.size(), c);
            }
        }
        return text;
    }

    // Seconds since 1970 of "D:YYYYMMDDHHmmSS" with its zone; -1 when it is no date.
    static long long PdfDateSeconds(const std::string& text) {
        std::smatch m;
        if (!std::regex_match(text, m,
                              std::regex("D:(\\d{4})(\\d{2})(\\d{2})(\\d{2})(\\d{2})(\\d{2})"
                                         "(?:Z|([+-])(\\d{2})'(\\d{2})'?)?"))) {
            return -1;
        }
        return Seconds(m, 7);
    }
    static long long XmpDateSeconds(const std::string& text) {
        std::smatch m;
        if (!std::regex_match(text, m,
                              std::regex("(\\d{4})-(\\d{2})-(\\d{2})T(\\d{2}):(\\d{2}):(\\d{2})"
                                         "(?:\\.\\d+)?(?:Z|([+-])(\\d{2}):(\\d{2}))"))) {
            return -1;
        }
        return Seconds(m, 7);
    }
    static long long Seconds(const std::smatch& m, size_t zone) {
        std::tm parts{};
        parts.tm_year = std::stoi(m[1]) - 1900;
        parts.tm_mon = std::stoi(m[2]) - 1;
        parts.tm_mday = std::stoi(m[3]);
        parts.tm_hour = std::stoi(m[4]);
        parts.tm_min = std::stoi(m[5]);
        parts.tm_sec = std::stoi(m[6]);
        long long seconds = timegm(&parts);
        if (m[zone].matched) {
            const long long offset = std::stoi(m[zone + 1]) * 3600LL + std::stoi(m[zone + 2]) * 60;
            seconds += m[zone] == "+" ? -offset : offset;
        }
        return seconds;
    }

    // The ICC profile of a stream: its colour space's components (0 when it is no profile)
    // and its major version.
    static int ProfileComponents(Handle stream, int* version = nullptr,
                                 std::string* cls = nullptr) {
        auto data = stream.getStreamData(qpdf_dl_all);
        const std::string bytes(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
        if (bytes.size() < 132 || bytes.compare(36, 4, "acsp") != 0) {
            return 0;
        }
        if (version != nullptr) {
            *version = static_cast<unsigned char>(bytes[8]);
        }
        if (cls != nullptr) {
            *cls = bytes.substr(12, 4);
        }
        const std::string space = bytes.substr(16, 4);
        return space == "GRAY"   ? 1
               : space == "RGB " ? 3
               : space == "CMYK" ? 4
               : space == "Lab " ? 3
                                 : 0;
    }

    // The output intents: at least one PDF/A intent with a profile of an output device, all
    // of them with the same profile.
    void OutputIntents() {
        Handle intents = m_pdf.getRoot().getKey("/OutputIntents");
        std::set<std::string> profiles;
        if (intents.isArray()) {
            for (Handle intent : intents.aitems()) {
                if (!intent.isDictionary() || !intent.getKey("/S").isNameAndEquals("/GTS_PDFA1")) {
                    continue;
                }
                Handle profile = intent.getKey("/DestOutputProfile");
                if (!profile.isStream()) {
                    Problem("output intent: no DestOutputProfile");
                    continue;
                }
                int version = 0;
                std::string cls;
                const int n = ProfileComponents(profile, &version, &cls);
                if (n == 0 || (cls != "mntr" && cls != "prtr")) {
                    Problem("output intent: not a profile of a monitor or a printer");
                }
                if (!profile.getDict().getKey("/N").isInteger() ||
                    profile.getDict().getKey("/N").getIntValue() != n) {
                    Problem("output intent: /N differs from the profile's components");
                }
                if (m_part == 1 && version >= 4) {
                    Problem("output intent: an ICC profile of version 4 in PDF/A-1");
                }
                if (!intent.getKey("/OutputConditionIdentifier").isString()) {
                    Problem("output intent: no OutputConditionIdentifier");
                }
                m_intentComponents = n;
                profiles.insert(profile.getStreamData(qpdf_dl_all)->getSize() > 0
                                    ? std::to_string(profile.getObjectID())
                                    : "");
            }
        }
        if (profiles.empty()) {
            Problem("output intent: none with /S /GTS_PDFA1");
        }
        if (profiles.size() > 1) {
            Problem("output intent: more than one profile");
        }
    }

    // A colour space used by an image: device spaces only as the output intent allows.
    void ColourSpace(Handle space, const std::string& where) {
        if (space.isName()) {
            const std::string name = space.getName();
            if (name == "/DeviceRGB" && m_intentComponents != 3) {
                Problem(where + ": DeviceRGB without an RGB output intent");
            } else if (name == "/DeviceCMYK" && m_intentComponents != 4) {
                Problem(where + ": DeviceCMYK without a CMYK output intent");
            } else if (name == "/DeviceGray" && m_intentComponents == 0) {
                Problem(where + ": DeviceGray without an output intent");
            }
            return;
        }
        if (!space.isArray() || space.getArrayNItems() < 1 || !space.getArrayItem(0).isName()) {
            Problem(where + ": a colour space that is neither a name nor an array");
            return;
        }
        const std::string family = space.getArrayItem(0).getName();
        if (family == "/Indexed" && space.getArrayNItems() == 4) {
            ColourSpace(space.getArrayItem(1), where + " (palette base)");
        } else if (family == "/ICCBased" && space.getArrayNItems() == 2) {
            Handle stream = space.getArrayItem(1);
            int version = 0;
            const int n = stream.isStream() ? ProfileComponents(stream, &version) : 0;
            if (n == 0) {
                Problem(where + ": ICCBased without a valid profile");
            } else if (!stream.getDict().getKey("/N").isInteger() ||
                       stream.getDict().getKey("/N").getIntValue() != n) {
                Problem(where + ": ICCBased /N differs from the profile's components");
            }
            if (m_part == 1 && version >= 4) {
                Problem(where + ": an ICC profile of version 4 in PDF/A-1");
            }
        } else if (family != "/Lab" && family != "/CalRGB" && family != "/CalGray") {
            Problem(where + ": the colour space " + family);
        }
    }

    void Image(Handle image, const std::string& where) {
        Handle dict = image.getDict();
        if (dict.getKey("/Interpolate").isBool() && dict.getKey("/Interpolate").getBoolValue()) {
            Problem(where + ": Interpolate true");
        }
        for (const char* key : {"/Alternates", "/OPI"}) {
            if (dict.hasKey(key)) {
                Problem(where + ": " + key);
            }
        }
        if (dict.hasKey("/Intent")) {
            static const std::set<std::string> kIntents = {
                "/RelativeColorimetric", "/AbsoluteColorimetric", "/Perceptual", "/Saturation"};
            if (!dict.getKey("/Intent").isName() ||
                kIntents.count(dict.getKey("/Intent").getName()) == 0) {
                Problem(where + ": an unknown rendering intent");
            }
        }
        const int bits = dict.getKey("/BitsPerComponent").isInteger()
                             ? dict.getKey("/BitsPerComponent").getIntValue()
                             : 0;
        const bool jpx = Filters(dict) == std::vector<std::string>{"/JPXDecode"};
        const bool stencil =
            dict.getKey("/ImageMask").isBool() && dict.getKey("/ImageMask").getBoolValue();
        if (!jpx && !stencil && bits != 1 && bits != 2 && bits != 4 && bits != 8 &&
            (m_part == 1 || bits != 16)) {
            Problem(where + ": " + std::to_string(bits) + " bits per component");
        }
        if (dict.hasKey("/SMask")) {
            if (m_part == 1) {
                Problem(where + ": a soft mask (transparency) in PDF/A-1");
            }
            Handle mask = dict.getKey("/SMask");
            if (mask.isStream()) {
                Image(mask, where + " (soft mask)");
            }
        }
        if (!stencil && !jpx) {
            ColourSpace(dict.getKey("/ColorSpace"), where);
        }
    }

    void Images() {
        int number = 0;
        for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(m_pdf).getAllPages()) {
            ++number;
            const std::string where = "page " + std::to_string(number);
            Handle group = page.getObjectHandle().getKey("/Group");
            if (m_part == 1 && group.isDictionary() &&
                group.getKey("/S").isNameAndEquals("/Transparency")) {
                Problem(where + ": a transparency group in PDF/A-1");
            }
            for (const auto& [name, image] : page.getImages()) {
                Image(image, where + " image " + name);
            }
        }
    }

    // Embedded files: none in PDF/A-1 and (ours being no PDF/A documents) PDF/A-2; in
    // PDF/A-3 each with its names, media type, dates and relationship, and associated with
    // the document or a page.
    void EmbeddedFiles() {
        Handle names = m_pdf.getRoot().getKey("/Names");
        Handle files = names.isDictionary() ? names.getKey("/EmbeddedFiles") : Handle::newNull();
        std::vector<Handle> specs;
        std::function<void(Handle)> collect = [&](Handle node) {
            if (!node.isDictionary()) {
                return;
            }
            Handle pairs = node.getKey("/Names");
            if (pairs.isArray()) {
                for (int i = 1; i < pairs.getArrayNItems(); i += 2) {
                    specs.push_back(pairs.getArrayItem(i));
                }
            }
            Handle kids = node.getKey("/Kids");
            if (kids.isArray()) {
                for (Handle kid : kids.aitems()) {
                    collect(kid);
                }
            }
        };
        collect(files);
        if (specs.empty()) {
            return;
        }
        if (m_part != 3) {
            Problem("embedded files: PDF/A-" + std::to_string(m_part) + " holds none");
            return;
        }
        std::set<QPDFObjGen> associated;
        auto addAssociated = [&associated](Handle owner) {
            Handle af = owner.getKey("/AF");
            if (af.isArray()) {
                for (Handle spec : af.aitems()) {
                    associated.insert(spec.getObjGen());
                }
            }
        };
        addAssociated(m_pdf.getRoot());
        for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(m_pdf).getAllPages()) {
            addAssociated(page.getObjectHandle());
        }
        static const std::set<std::string> kRelationships = {
            "/Source",           "/Data",     "/Alternative", "/Supplement",
            "/EncryptedPayload", "/FormData", "/Schema",      "/Unspecified"};
        for (Handle spec : specs) {
            const std::string name =
                spec.getKey("/UF").isString() ? spec.getKey("/UF").getUTF8Value() : "?";
            const std::string where = "embedded file " + name;
            if (!spec.getKey("/F").isString() || !spec.getKey("/UF").isString()) {
                Problem(where + ": no /F and /UF");
            }
            Handle relationship = spec.getKey("/AFRelationship");
            if (!relationship.isName() || kRelationships.count(relationship.getName()) == 0) {
                Problem(where + ": no valid AFRelationship");
            }
            if (associated.count(spec.getObjGen()) == 0) {
                Problem(where + ": in no /AF array");
            }
            Handle ef = spec.getKey("/EF");
            Handle stream = ef.isDictionary() ? ef.getKey("/F") : Handle::newNull();
            if (!stream.isStream()) {
                Problem(where + ": no embedded file stream");
                continue;
            }
            Handle subtype = stream.getDict().getKey("/Subtype");
            if (!subtype.isName() || subtype.getName().find('/', 1) == std::string::npos) {
                Problem(where + ": no media type");
            }
            Handle params = stream.getDict().getKey("/Params");
            if (!params.isDictionary() || !params.getKey("/ModDate").isString()) {
                Problem(where + ": no modification date");
            }
        }
    }

    const int m_part;
    const std::string m_bytes;
    QPDF m_pdf;
    int m_intentComponents = 0;
    std::vector<std::string> m_problems;
};

const char* const kPreflightJars[] = {
    "/usr/share/java/preflight.jar",       "/usr/share/java/pdfbox2.jar",
    "/usr/share/java/fontbox2.jar",        "/usr/share/java/xmpbox.jar",
    "/usr/share/java/commons-logging.jar", "/usr/share/java/javax.activation.jar",
    "/usr/share/java/jaxb-api.jar",
};
} // namespace

std::vector<std::string> PdfaProblems(const std::string& pdf, int part) {
    try {
        return Checker(pdf, part).Run();
    } catch (const std::exception& error) {
        return {std::string("unreadable: ") + error.what()};
    }
}

bool PreflightPasses(const std::string& pdf, std::string* report, bool* available) {
    std::string classpath;
    bool present = RunCommand("java -version >/dev/null 2>&1") == 0;
    for (const char* jar : kPreflightJars) {
        struct stat info;
        present = present && ::stat(jar, &info) == 0;
        classpath += (classpath.empty() ? "" : ":") + std::string(jar);
    }
    if (available != nullptr) {
        *available = present;
    }
    if (!present) {
        if (report != nullptr) {
            *report = "PDFBox Preflight or a Java runtime is not installed";
        }
        return false;
    }
    std::string output;
    const int status = RunCommand(
        "java -cp '" + classpath + "' org.apache.pdfbox.preflight.Validator_A1b '" + pdf + "' 2>&1",
        &output);
    if (report != nullptr) {
        *report = output;
    }
    return status == 0 && output.find("is a valid PDF/A-1b file") != std::string::npos;
}

} // namespace pdftest
