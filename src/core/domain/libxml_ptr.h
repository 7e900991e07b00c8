#pragma once

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>

#include <memory>

// Owning handles for libxml2 objects.
struct XmlDocDeleter {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct XmlXPathContextDeleter {
    void operator()(xmlXPathContext* context) const { xmlXPathFreeContext(context); }
};
struct XmlXPathObjectDeleter {
    void operator()(xmlXPathObject* object) const { xmlXPathFreeObject(object); }
};
struct XmlCharDeleter {
    void operator()(xmlChar* text) const { xmlFree(text); }
};

using XmlDocPtr = std::unique_ptr<xmlDoc, XmlDocDeleter>;
using XmlXPathContextPtr = std::unique_ptr<xmlXPathContext, XmlXPathContextDeleter>;
using XmlXPathObjectPtr = std::unique_ptr<xmlXPathObject, XmlXPathObjectDeleter>;
using XmlCharPtr = std::unique_ptr<xmlChar, XmlCharDeleter>;

// Text for libxml2, which takes UTF-8 as xmlChar (its BAD_CAST, without the C cast).
inline const xmlChar* XmlText(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}
