#include "domain/update_description.h"

#include <expat.h>

#include <climits>
#include <cstring>
#include <memory>

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
    if (search->found || std::strcmp(name, "product") != 0) {
        return;
    }
    // Two attributes: name and value of the first, name and value of the second.
    for (int i = 0; i < 4; ++i) {
        if (attributes == nullptr || attributes[i] == nullptr) {
            return;
        }
    }
    if (*search->product == attributes[1]) {
        search->version = attributes[3];
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
    version = search.version;
    return kFound;
}
