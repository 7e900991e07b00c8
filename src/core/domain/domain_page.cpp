#include "domain/domain_page.h"

#include "app/app_util.h"
#include "common/file_util.h"
#include "domain/domain_settings.h"
#include "domain/libxml_ptr.h"
#include "pdf/atomic_file.h"

#include <libxml/xmlsave.h>
#include <wx/file.h>
#include <wx/log.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

namespace {
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

std::string Utf8(const wxString& text) {
    return std::string(text.utf8_str());
}

wxString FromXml(const xmlChar* text) {
    return text == nullptr ? wxString() : wxString::FromUTF8(reinterpret_cast<const char*>(text));
}

bool IsNamed(const xmlNode* node, const char* name) {
    return node->type == XML_ELEMENT_NODE &&
           std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

XmlDocPtr ParseFile(const wxString& path) {
    if (!FileUtil::FileExists(path)) {
        return nullptr;
    }
    return XmlDocPtr(xmlReadFile(Utf8(path).c_str(), nullptr, kParseOptions));
}

// The root's version attribute of a page file; false when the document is not a page file.
bool GetVersion(xmlDoc* doc, double& version) {
    const xmlNode* root = doc == nullptr ? nullptr : xmlDocGetRootElement(doc);
    if (root == nullptr || !IsNamed(root, "setting")) {
        return false;
    }
    XmlCharPtr text(xmlGetProp(root, XmlText("version")));
    if (!text) {
        return false;
    }
    version = DomainPage::ParseDecimal(reinterpret_cast<const char*>(text.get()));
    return true;
}

bool ReadFileBytes(const wxString& path, std::string& data) {
    wxLogNull quiet;
    wxFile file;
    if (!file.Open(path)) {
        return false;
    }
    const wxFileOffset length = file.Length();
    if (length < 0) {
        return false;
    }
    data.resize(static_cast<size_t>(length));
    return file.Read(data.data(), data.size()) == static_cast<ssize_t>(data.size());
}

bool CopyPageFile(const wxString& from, const wxString& to) {
    std::string data;
    return ReadFileBytes(from, data) && FileUtil::WriteFileAtomically(to, data);
}

// The first node the expression finds, or null.
xmlNode* FirstNode(xmlXPathContext* context, const char* expression) {
    XmlXPathObjectPtr result(xmlXPathEvalExpression(XmlText(expression), context));
    if (!result || result->nodesetval == nullptr || result->nodesetval->nodeNr == 0) {
        return nullptr;
    }
    return result->nodesetval->nodeTab[0];
}

// Stores an attribute of the node under `key` when the attribute is present.
void ReadAttribute(const xmlNode* node, const char* attribute, const wxString& key) {
    XmlCharPtr value(xmlGetProp(node, XmlText(attribute)));
    if (value) {
        DomainSettings::SetNamed(key, FromXml(value.get()));
    }
}

xmlNode* FirstChildNamed(const xmlNode* node, const char* name) {
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (IsNamed(child, name)) {
            return child;
        }
    }
    return nullptr;
}

// Stores a size selection ("0" the page type, "1" the page size, "2" the default page type);
// anything else is left out.
void ReadSelection(const xmlNode* node, const wxString& key) {
    XmlCharPtr value(xmlGetProp(node, XmlText("value")));
    const wxString text = FromXml(value.get());
    if (text == "0" || text == "1" || text == "2") {
        DomainSettings::SetNamed(key, text);
    }
}

// Stores an archive format ("1b", "2b" or "3b" for PDF/A, empty for a plain PDF); anything
// else reads as a plain PDF.
void ReadArchive(const xmlNode* node) {
    XmlCharPtr value(xmlGetProp(node, XmlText("value")));
    const wxString text = FromXml(value.get()).Lower();
    DomainSettings::SetNamed("page:pdfa", text == "1b" || text == "2b" || text == "3b" ? text : "");
}

// Stores the OCR languages (names of letters, digits, "_" and "-" joined by "+"; empty for
// none); anything else reads as none.
void ReadOcr(const xmlNode* node) {
    XmlCharPtr value(xmlGetProp(node, XmlText("value")));
    const wxString text = FromXml(value.get());
    bool valid = !text.empty() && text.size() <= 200 && !text.StartsWith("+") &&
                 !text.EndsWith("+") && !text.Contains("++");
    for (const wxUniChar c : text) {
        valid = valid && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '+');
    }
    DomainSettings::SetNamed("page:ocr", valid ? text : wxString());
}

void ReadPageType(const xmlNode* pageType) {
    ReadAttribute(pageType, "value", "page:type");
    wxString items;
    for (const xmlNode* child = pageType->children; child != nullptr; child = child->next) {
        if (IsNamed(child, "default")) {
            ReadAttribute(child, "value", "page:type:default");
        } else if (IsNamed(child, "type-size")) {
            for (const xmlNode* type = child->children; type != nullptr; type = type->next) {
                if (!IsNamed(type, "type")) {
                    continue;
                }
                XmlCharPtr name(xmlGetProp(type, XmlText("name")));
                XmlCharPtr size(xmlGetProp(type, XmlText("size")));
                const wxString typeName = FromXml(name.get());
                items += typeName + ",";
                DomainSettings::SetNamed(typeName, FromXml(size.get()));
            }
        }
    }
    DomainSettings::SetNamed("page:type:items", items);
}

void ReadText(xmlXPathContext* context, const char* expression, const wxString& key) {
    if (const xmlNode* node = FirstNode(context, expression)) {
        XmlCharPtr text(xmlNodeGetContent(node));
        DomainSettings::SetNamed(key, FromXml(text.get()));
    }
}

// Reads one page document into the named settings. Sections the document lacks leave the
// keys as they are.
void ReadDocument(xmlDoc* doc) {
    XmlXPathContextPtr context(xmlXPathNewContext(doc));
    if (!context) {
        return;
    }
    const xmlNode* pageType = FirstNode(context.get(), "/setting/page/page-type");
    if (pageType == nullptr) {
        return;
    }
    ReadPageType(pageType);
    if (const xmlNode* size = FirstNode(context.get(), "/setting/page/page-size")) {
        ReadAttribute(size, "width", "page:width");
        ReadAttribute(size, "height", "page:height");
        if (const xmlNode* byDefault = FirstChildNamed(size, "default")) {
            ReadAttribute(byDefault, "width", "page:width:default");
            ReadAttribute(byDefault, "height", "page:height:default");
        }
    }
    if (const xmlNode* select = FirstNode(context.get(), "/setting/page/size-select")) {
        ReadSelection(select, "page:size:select");
        if (const xmlNode* byDefault = FirstChildNamed(select, "default")) {
            ReadSelection(byDefault, "page:size:select:default");
        }
    }
    if (const xmlNode* margin = FirstNode(context.get(), "/setting/page/page-margin")) {
        static const char* const kSides[] = {"top", "bottom", "left", "right"};
        const xmlNode* byDefault = FirstChildNamed(margin, "default");
        for (const char* side : kSides) {
            ReadAttribute(margin, side, wxString("page:") + side);
            if (byDefault != nullptr) {
                ReadAttribute(byDefault, side, wxString("page:") + side + ":default");
            }
        }
    }
    if (const xmlNode* archive = FirstNode(context.get(), "/setting/page/archive")) {
        ReadArchive(archive);
    }
    if (const xmlNode* ocr = FirstNode(context.get(), "/setting/page/ocr")) {
        ReadOcr(ocr);
    }
    ReadText(context.get(), "/setting/page/author", "page:author");
    ReadText(context.get(), "/setting/page/subject", "page:subject");
}

// Writes the document in place of the file at `path`, formatted, through a temporary file
// that is flushed to the disk before it is renamed (AtomicFile).
bool WriteDocument(xmlDoc* doc, const wxString& path) {
    const std::string target = Utf8(path);
    AtomicFile file;
    if (!file.OpenBeside(target)) {
        return false;
    }
    xmlSaveCtxt* save = xmlSaveToFd(file.Descriptor(), "UTF-8", XML_SAVE_FORMAT);
    if (save == nullptr) {
        return false;
    }
    // Failed writes show in the result of the close, which flushes what is buffered.
    const bool saved = xmlSaveDoc(save, doc) >= 0;
    const bool closed = xmlSaveClose(save) >= 0;
    return saved && closed && file.Commit(target);
}

XmlDocPtr ParseBuiltIn() {
    const char* text = DomainPage::GetBuiltInPageFile();
    return XmlDocPtr(xmlReadMemory(text, static_cast<int>(std::strlen(text)), "page.xml", "UTF-8",
                                   kParseOptions));
}
} // namespace

double DomainPage::ParseDecimal(const char* text) {
    while (*text == ' ' || *text == '\t' || *text == '\n' || *text == '\r') {
        ++text;
    }
    if (*text == '+') {
        ++text;
    }
    double value = 0;
    const char* end = text + std::strlen(text);
    if (std::from_chars(text, end, value).ec != std::errc()) {
        return 0;
    }
    return value;
}

bool DomainPage::ParseMillimetres(const wxString& text, double& value) {
    std::string number = Utf8(text.Strip(wxString::both));
    size_t digits = 0;
    size_t points = 0;
    for (size_t i = 0; i < number.size(); ++i) {
        char& c = number[i];
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if (c == '.' || c == ',') {
            c = '.';
            ++points;
        } else if (!((c == '-' || c == '+') && i == 0)) {
            return false;
        }
    }
    if (digits == 0 || points > 1) {
        return false;
    }
    const char* start = number.data() + (number[0] == '+' ? 1 : 0);
    const char* end = number.data() + number.size();
    double parsed = 0;
    const auto result = std::from_chars(start, end, parsed, std::chars_format::fixed);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(parsed)) {
        return false;
    }
    value = parsed;
    return true;
}

wxString DomainPage::FormatMillimetres(double value, int decimals) {
    char text[64];
    const auto result = decimals < 0 ? std::to_chars(text, text + sizeof text, value)
                                     : std::to_chars(text, text + sizeof text, value,
                                                     std::chars_format::fixed, decimals);
    if (result.ec != std::errc()) {
        return wxString();
    }
    std::string written(text, result.ptr);
    if (written.find('.') != std::string::npos) {
        while (written.back() == '0') {
            written.pop_back();
        }
        if (written.back() == '.') {
            written.pop_back();
        }
    }
    return written == "-0" ? wxString("0") : wxString::FromUTF8(written);
}

bool DomainPage::Load() {
    const wxString defaultPath = AppUtil::GetPagePath(false);
    const wxString userPath = AppUtil::GetPagePath(true);

    XmlDocPtr defaultDoc = ParseFile(defaultPath);
    double defaultVersion = 0;
    const bool defaultSound = defaultDoc && GetVersion(defaultDoc.get(), defaultVersion);

    XmlDocPtr userDoc = ParseFile(userPath);
    double userVersion = 0;
    const bool userSound = userDoc && GetVersion(userDoc.get(), userVersion);

    XmlDocPtr builtIn = ParseBuiltIn();
    XmlDocPtr chosen;
    if (defaultSound) {
        if (userSound && userVersion >= defaultVersion) {
            chosen = std::move(userDoc);
        } else {
            CopyPageFile(defaultPath, userPath);
            chosen = std::move(defaultDoc);
        }
    } else if (userSound) {
        // Keep the user's own settings; the damaged default cannot replace them.
        chosen = std::move(userDoc);
    } else {
        FileUtil::WriteFileAtomically(userPath, GetBuiltInPageFile());
    }

    // The built-in values first, so that a section the chosen file lacks still has values.
    DomainSettings::SetNamed("page:pdfa", "");
    ReadDocument(builtIn.get());
    if (chosen) {
        ReadDocument(chosen.get());
    }
    DomainSettings::SetNamed("page:permission:userpassword", "");
    DomainSettings::SetNamed("page:permission:ownerpassword", "");
    DomainSettings::SetNamed("page:permission:copy", "1");
    DomainSettings::SetNamed("page:permission:print", "1");
    return defaultSound;
}

int DomainPage::SetNodes(xmlXPathContext* context, const char* expression, const wxString& value) {
    XmlXPathObjectPtr result(xmlXPathEvalExpression(XmlText(expression), context));
    if (!result) {
        std::fprintf(stderr, "Error: unable to evaluate xpath expression \"%s\"\n", expression);
        return -1;
    }
    xmlNodeSet* nodes = result->nodesetval;
    if (nodes == nullptr) {
        return 0;
    }
    // xmlNodeSetContent takes entity-encoded text; encode so that "&" or "<" stay literal.
    const std::string utf8 = Utf8(value);
    for (int i = nodes->nodeNr - 1; i >= 0; --i) {
        xmlNode* node = nodes->nodeTab[i];
        XmlCharPtr encoded(xmlEncodeSpecialChars(node->doc, XmlText(utf8.c_str())));
        xmlNodeSetContent(node, encoded.get());
    }
    return 0;
}

bool DomainPage::Save() {
    const wxString userPath = AppUtil::GetPagePath(true);
    XmlDocPtr doc = ParseFile(userPath);
    if (!doc) {
        return false;
    }
    XmlXPathContextPtr context(xmlXPathNewContext(doc.get()));
    if (!context) {
        return false;
    }
    struct Binding {
        const char* expression;
        const char* key;
    };
    static const Binding kBindings[] = {
        {"/setting/page/page-type/@value", "page:type"},
        {"/setting/page/page-size/@width", "page:width"},
        {"/setting/page/page-size/@height", "page:height"},
        {"/setting/page/page-margin/@top", "page:top"},
        {"/setting/page/page-margin/@bottom", "page:bottom"},
        {"/setting/page/page-margin/@left", "page:left"},
        {"/setting/page/page-margin/@right", "page:right"},
        {"/setting/page/author", "page:author"},
    };
    for (const Binding& binding : kBindings) {
        SetNodes(context.get(), binding.expression, DomainSettings::GetNamed(binding.key));
    }
    // A page file written before the size selection, the archive format or the OCR languages
    // were kept lacks their elements.
    xmlNode* page = FirstNode(context.get(), "/setting/page");
    const std::pair<const char*, const char*> values[] = {
        {"size-select", "page:size:select"},
        {"archive", "page:pdfa"},
        {"ocr", "page:ocr"},
    };
    for (const auto& [element, key] : values) {
        xmlNode* node = FirstNode(context.get(), (std::string("/setting/page/") + element).c_str());
        if (node == nullptr && page != nullptr) {
            node = xmlNewChild(page, nullptr, XmlText(element), nullptr);
        }
        if (node != nullptr) {
            xmlSetProp(node, XmlText("value"),
                       XmlText(Utf8(DomainSettings::GetNamed(key)).c_str()));
        }
    }
    context.reset();
    return WriteDocument(doc.get(), userPath);
}
