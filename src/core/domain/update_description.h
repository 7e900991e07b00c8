#pragma once

#include <string>

// The update description: an XML document whose "product" elements, anywhere in it, carry a
// product's display name in their "name" attribute and its latest version in their "version"
// attribute, in any order among other attributes. Everything else in the document is ignored.
class UpdateDescription {
public:
    enum Result {
        kFound,     // the product is listed; `version` holds its version
        kMissing,   // the document is sound and does not list the product
        kMalformed, // not a well-formed XML document, or the product's version is no version
    };

    // Looks the product (its display name in UTF-8, compared exactly) up in the document.
    // The bytes are parsed whole, in the encoding the document declares (UTF-8 when it
    // declares none). The first element with both attributes whose name matches wins; its
    // version must be a version number (see VersionNumber), so that what is found is short.
    static Result FindVersion(const std::string& document, const std::string& product,
                              std::string& version);
};
