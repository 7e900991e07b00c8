#include "domain/update_description.h"

#include "domain/version_number.h"

#include <expat.h>

#include <climits>
#include <cstring>
#include <memory>
#include <vector>

namespace {
struct ParserDeleter {
    void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};
using ParserPtr = std::unique_ptr<std::remove_pointer_t<XML_Parser>, ParserDeleter>;

struct Search {
    const std::string* product = nullptr;
    std::string version;
    bool found = false;
};

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto* search = static_cast<Search*>(data);
    if (search->found || std::strcmp(name, "product") != 0 || attributes == nullptr) {
        return;
    }
    // Attributes come as name, value, name, value, ..., then a null.
    const XML_Char* product = nullptr;
    const XML_Char* version = nullptr;
    for (int i = 0; attributes[i] != nullptr && attributes[i + 1] != nullptr; i += 2) {
        if (std::strcmp(attributes[i], "name") == 0) {
            product = attributes[i + 1];
        } else if (std::strcmp(attributes[i], "version") == 0) {
            version = attributes[i + 1];
        }
    }
    if (product != nullptr && version != nullptr && *search->product == product) {
        search->version = version;
        search->found = true;
    }
}
} // namespace

UpdateDescription::Result UpdateDescription::FindVersion(const std::string& document,
                                                         const std::string& product,
                                                         std::string& version) {
    version.clear();
    if (document.size() > static_cast<size_t>(INT_MAX)) {
        return kMalformed;
    }
    ParserPtr parser(XML_ParserCreate(nullptr));
    if (!parser) {
        return kMalformed;
    }
    Search search;
    search.product = &product;
    XML_SetUserData(parser.get(), &search);
    XML_SetStartElementHandler(parser.get(), OnStart);
    if (XML_Parse(parser.get(), document.data(), static_cast<int>(document.size()), 1) ==
        XML_STATUS_ERROR) {
        return kMalformed;
    }
    if (!search.found) {
        return kMissing;
    }
    std::vector<unsigned long> parts;
    if (!VersionNumber::Parse(search.version, parts)) {
        return kMalformed;
    }
    version = search.version;
    return kFound;
}
