#include "domain/domain_option.h"

#include "app/app_util.h"
#include "common/file_util.h"
#include "domain/domain_settings.h"
#include "domain/libxml_ptr.h"

bool DomainOption::Load() {
    const wxString path = AppUtil::GetOptionPath();
    if (!FileUtil::FileExists(path)) {
        return false;
    }
    XmlDocPtr doc(xmlReadFile(path.utf8_str(), nullptr,
                              XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!doc) {
        return false;
    }
    XmlXPathContextPtr context(xmlXPathNewContext(doc.get()));
    if (!context) {
        return false;
    }
    XmlXPathObjectPtr result(xmlXPathEvalExpression(XmlText("/setting/url"), context.get()));
    if (!result || result->nodesetval == nullptr || result->nodesetval->nodeNr == 0) {
        return false;
    }
    const xmlNode* url = result->nodesetval->nodeTab[0];
    for (const xmlNode* child = url->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) {
            continue;
        }
        XmlCharPtr content(xmlNodeGetContent(child));
        const char* text = content ? reinterpret_cast<const char*>(content.get()) : "";
        DomainSettings::SetNamed("url:" +
                                     wxString::FromUTF8(reinterpret_cast<const char*>(child->name)),
                                 wxString::FromUTF8(text));
    }
    DomainSettings::SetNamed("url:update", DomainSettings::GetNamed("url:update") + "-update.xml");
    return true;
}

wxString DomainOption::GetLink(const wxString& name) {
    return DomainSettings::GetNamed("url:" + name);
}
