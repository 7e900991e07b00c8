#pragma once

#include <string>

// The update description: an XML document whose "product" elements, anywhere in it, carry a
// product's display name as their first attribute and its latest version as their second,
// whatever the attributes are called. Everything else in the document is ignored.
class UpdateDescription {
public:
    enum Result {
        kFound,     // the product is listed; `version` holds its version
        kMissing,   // the document is sound and does not list the product
        kMalformed, // the bytes are not a well-formed XML document
    };

    // Looks the product (its display name in UTF-8, compared exactly) up in the document.
    // The bytes are parsed whole, in the encoding the document declares (UTF-8 when it
    // declares none). The first matching element wins; elements with fewer than two
    // attributes are skipped.
    static Result FindVersion(const std::string& document, const std::string& product,
                              std::string& version);
};
