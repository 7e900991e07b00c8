#include "common/face_reader.h"

#include "common/platform.h"
#include "pdf/file_ptr.h"

#include <expat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace {
std::map<wxString, FaceEntry>& FaceTable() {
    static std::map<wxString, FaceEntry> table;
    return table;
}

struct ParserDeleter {
    void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};
// The paths of the open elements, innermost last.
using ElementStack = std::vector<wxString>;

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto* stack = static_cast<ElementStack*>(data);
    const wxString path =
        (stack->empty() ? wxString() : stack->back()) + "/" + wxString::FromUTF8(name);
    stack->push_back(path);
    if (attributes == nullptr || attributes[0] == nullptr) {
        return; // nothing stored; the children are still read
    }
    FaceEntry entry;
    for (int i = 0; attributes[i] != nullptr && attributes[i + 1] != nullptr; i += 2) {
        const std::string attribute = attributes[i];
        const int value = std::atoi(attributes[i + 1]);
        if (attribute == "x") {
            entry.x = value;
        } else if (attribute == "y") {
            entry.y = value;
        } else if (attribute == "width") {
            entry.width = value;
        } else {
            entry.height = value;
        }
    }
    FaceTable()[path] = entry;
}

void XMLCALL OnEnd(void* data, const XML_Char*) {
    auto* stack = static_cast<ElementStack*>(data);
    if (!stack->empty()) {
        stack->pop_back();
    }
}
} // namespace

namespace {
// Feeds Expat the chunks `read` gives (an empty chunk ends the text); entries read before an
// error stay in the table.
int ParseFace(const std::function<size_t(char*, size_t)>& read, const wxString& origin) {
    std::unique_ptr<XML_ParserStruct, ParserDeleter> parser(XML_ParserCreate(nullptr));
    if (!parser) {
        return -1;
    }
    ElementStack stack;
    XML_SetUserData(parser.get(), &stack);
    XML_SetElementHandler(parser.get(), OnStart, OnEnd);

    char buffer[1024];
    for (;;) {
        const size_t n = read(buffer, sizeof buffer);
        if (n == 0) {
            XML_Parse(parser.get(), nullptr, 0, 1);
            return 0;
        }
        if (XML_Parse(parser.get(), buffer, static_cast<int>(n), 0) == XML_STATUS_ERROR) {
            std::fprintf(stderr, "%s at line %lu ->%s\n",
                         XML_ErrorString(XML_GetErrorCode(parser.get())),
                         static_cast<unsigned long>(XML_GetCurrentLineNumber(parser.get())),
                         static_cast<const char*>(origin.utf8_str()));
            XML_Parse(parser.get(), nullptr, 0, 1);
            return 0;
        }
    }
}
} // namespace

int LoadFace(const wxString& path) {
    FilePtr file(Platform::OpenFile(path, "r"));
    if (!file) {
        return -1;
    }
    return ParseFace(
        [&file](char* buffer, size_t size) {
            return std::ferror(file.get()) ? 0 : std::fread(buffer, 1, size, file.get());
        },
        path);
}

int LoadFaceText(const std::string& text) {
    size_t offset = 0;
    return ParseFace(
        [&](char* buffer, size_t size) {
            const size_t n = std::min(size, text.size() - offset);
            text.copy(buffer, n, offset);
            offset += n;
            return n;
        },
        "the built-in face");
}

const FaceEntry& GetFaceEntry(const wxString& path) {
    static const FaceEntry kNone;
    const auto& table = FaceTable();
    const auto found = table.find(path);
    return found == table.end() ? kNone : found->second;
}
