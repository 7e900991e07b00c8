#include "pdf/pdf_file_writer.h"

#include "pdf/pdf_error.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFCryptoProvider.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QUtil.hh>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <zlib.h>

namespace {
// Objects gathered into one object stream, at most (as qpdf gathers them).
constexpr size_t kObjectsPerStream = 100;
constexpr size_t kAesBlock = 16;

// AES-256 in CBC mode, as PDF streams are encrypted: a random initialisation vector before the
// data, and padding after it (a whole block when the data fills its last one).
class AesEncryption {
public:
    AesEncryption(const std::string& key, const PdfFileWriter::Sink& out)
        : m_crypto(QPDFCryptoProvider::getImpl()), m_out(out) {
        QUtil::initializeWithRandomBytes(m_vector, sizeof m_vector);
        m_out(m_vector, sizeof m_vector);
        m_crypto->rijndael_init(true, reinterpret_cast<const unsigned char*>(key.data()),
                                key.size(), true, m_vector);
    }
    ~AesEncryption() { m_crypto->rijndael_finalize(); }
    AesEncryption(const AesEncryption&) = delete;
    AesEncryption& operator=(const AesEncryption&) = delete;

    void Write(const unsigned char* data, size_t size) {
        while (size > 0) {
            const size_t n = std::min(kAesBlock - m_used, size);
            std::memcpy(m_block + m_used, data, n);
            m_used += n;
            data += n;
            size -= n;
            if (m_used == kAesBlock) {
                Flush();
            }
        }
    }
    void Finish() {
        const auto pad = static_cast<unsigned char>(kAesBlock - m_used);
        std::memset(m_block + m_used, pad, pad);
        m_used = kAesBlock;
        Flush();
    }
    // The bytes `size` bytes of data take once encrypted.
    static uint64_t SizeOf(uint64_t size) { return kAesBlock + (size / kAesBlock + 1) * kAesBlock; }

private:
    void Flush() {
        unsigned char out[kAesBlock];
        m_crypto->rijndael_process(m_block, out);
        m_out(out, sizeof out);
        m_used = 0;
    }

    std::shared_ptr<QPDFCryptoImpl> m_crypto;
    const PdfFileWriter::Sink& m_out;
    unsigned char m_vector[kAesBlock];
    unsigned char m_block[kAesBlock];
    size_t m_used = 0;
};

// Where an object is: at an offset of the file (type 1), or in an object stream (type 2).
struct XrefEntry {
    uint64_t field = 0; // the offset, or the object stream's number
    uint32_t index = 0; // the place in the object stream
    uint8_t type = 0;   // 0 free
};
} // namespace

class PdfFileWriter::Impl {
public:
    Impl(Sink out, const Security* security, bool derivedId, Layout layout)
        : m_out(std::move(out)), m_classic(layout == Layout::Classic) {
        if (m_classic) {
            security = nullptr;
        }
        m_xref.emplace_back(); // object 0 is free
        if (derivedId && security == nullptr) {
            m_digest = QPDFCryptoProvider::getImpl();
            m_digest->MD5_init();
        }
        unsigned char id[16];
        QUtil::initializeWithRandomBytes(id, sizeof id);
        m_id.assign(reinterpret_cast<const char*>(id), sizeof id);
        if (security != nullptr) {
            SetUpEncryption(*security);
        }
        // The header, and a comment of bytes above 127 that tells file transfers it is binary.
        Write(m_classic                                    ? "%PDF-1.4\n"
              : m_encrypted || layout == Layout::Streams17 ? "%PDF-1.7\n"
                                                           : "%PDF-1.5\n");
        Write("%\xBF\xF7\xA2\xFE\n");
    }

    int Reserve() {
        m_xref.emplace_back();
        return static_cast<int>(m_xref.size()) - 1;
    }

    void Object(int number, const std::string& text) {
        if (m_classic) {
            Begin(number);
            Write(text + "\nendobj\n");
            return;
        }
        m_pending.emplace_back(number, text);
        if (m_pending.size() >= kObjectsPerStream) {
            FlushObjects();
        }
    }

    void Stream(int number, const std::string& dictionary, const std::string& data) {
        const uint64_t length = m_encrypted ? AesEncryption::SizeOf(data.size()) : data.size();
        Begin(number);
        Write("<<" + dictionary + " /Length " + std::to_string(length) + " >>\nstream\n");
        WriteData(reinterpret_cast<const unsigned char*>(data.data()), data.size());
        Write("\nendstream\nendobj\n");
    }

    void Stream(int number, const std::string& dictionary,
                const std::function<void(const Sink&)>& fill) {
        const int lengthObject = Reserve();
        Begin(number);
        Write("<<" + dictionary + " /Length " + Reference(lengthObject) + " >>\nstream\n");
        const uint64_t start = m_written;
        if (m_encrypted) {
            const Sink pass = [this](const unsigned char* data, size_t size) { Count(data, size); };
            AesEncryption aes(m_key, pass);
            fill([&aes](const unsigned char* data, size_t size) { aes.Write(data, size); });
            aes.Finish();
        } else {
            fill([this](const unsigned char* data, size_t size) { Count(data, size); });
        }
        const uint64_t length = m_written - start;
        Write("\nendstream\nendobj\n");
        Begin(lengthObject);
        Write(std::to_string(length) + "\nendobj\n");
    }

    std::string CatalogEntries() const {
        return m_encrypted ? " /Extensions << /ADBE << /BaseVersion /1.7 /ExtensionLevel 8 >> >>"
                           : std::string();
    }

    void Finish(int root, int info) {
        FlushObjects();
        int encryption = 0;
        if (m_encrypted) {
            // The encryption dictionary is no object of an object stream, and its strings are
            // not encrypted.
            encryption = Reserve();
            Begin(encryption);
            Write(m_encryption + "\nendobj\n");
        }
        if (m_digest) {
            // Derived from every byte so far: the same content gives the same ID.
            m_digest->MD5_finalize();
            unsigned char digest[16];
            m_digest->MD5_digest(digest);
            m_digest.reset();
            m_id.assign(reinterpret_cast<const char*>(digest), sizeof digest);
        }
        if (m_classic) {
            FinishTable(root, info);
            return;
        }
        // The cross-reference stream: each object's type, place and index, in as few bytes as
        // the largest place needs.
        const int xref = Reserve();
        m_xref[xref] = {m_written, 0, 1};
        uint64_t largest = 0;
        for (const XrefEntry& entry : m_xref) {
            largest = std::max(largest, entry.field);
        }
        int width = 1;
        while (width < 8 && (largest >> (8 * width)) != 0) {
            ++width;
        }
        std::string table;
        table.reserve(m_xref.size() * (3 + width));
        for (size_t i = 0; i < m_xref.size(); ++i) {
            const XrefEntry& entry = m_xref[i];
            table += static_cast<char>(entry.type);
            const uint64_t field = i == 0 ? 0 : entry.field;
            for (int b = width - 1; b >= 0; --b) {
                table += static_cast<char>(field >> (8 * b));
            }
            const uint32_t index = i == 0 ? 65535 : entry.index;
            table += static_cast<char>(index >> 8);
            table += static_cast<char>(index);
        }
        const std::string data = Deflate(table);
        std::string dictionary = "<< /Type /XRef /Size " + std::to_string(m_xref.size()) +
                                 " /W [1 " + std::to_string(width) + " 2] /Root " +
                                 Reference(root) + " /Info " + Reference(info) + " /ID [" +
                                 HexString(m_id) + HexString(m_id) + "]";
        if (encryption != 0) {
            dictionary += " /Encrypt " + Reference(encryption);
        }
        dictionary += " /Filter /FlateDecode /Length " + std::to_string(data.size()) + " >>";
        const uint64_t xrefOffset = m_written;
        Write(std::to_string(xref) + " 0 obj\n" + dictionary + "\nstream\n");
        Count(reinterpret_cast<const unsigned char*>(data.data()), data.size());
        Write("\nendstream\nendobj\nstartxref\n" + std::to_string(xrefOffset) + "\n%%EOF\n");
    }

private:
    // The cross-reference table and the trailer of the classic layout: an entry of 20 bytes
    // per object, every one of them written at an offset of the file.
    void FinishTable(int root, int info) {
        const uint64_t xrefOffset = m_written;
        std::string table = "xref\n0 " + std::to_string(m_xref.size()) + "\n";
        table.reserve(table.size() + 20 * m_xref.size());
        char entry[32];
        for (size_t i = 0; i < m_xref.size(); ++i) {
            if (i == 0) {
                std::snprintf(entry, sizeof entry, "0000000000 65535 f\r\n");
            } else {
                std::snprintf(entry, sizeof entry, "%010llu 00000 n\r\n",
                              static_cast<unsigned long long>(m_xref[i].field));
            }
            table += entry;
        }
        Write(table);
        Write("trailer\n<< /Size " + std::to_string(m_xref.size()) + " /Root " + Reference(root) +
              " /Info " + Reference(info) + " /ID [" + HexString(m_id) + HexString(m_id) +
              "] >>\nstartxref\n" + std::to_string(xrefOffset) + "\n%%EOF\n");
    }

    void SetUpEncryption(const Security& security) {
        // Permissions: bits 1 and 2 always clear; 5 copying; 3 and 12 printing (at all, in
        // high quality); everything else allowed.
        uint32_t cleared = 1u << 0 | 1u << 1;
        if (!security.allowCopy) {
            cleared |= 1u << 4;
        }
        if (!security.allowPrint) {
            cleared |= 1u << 2 | 1u << 11;
        }
        const int permissions = static_cast<int>(~cleared);
        std::string owner;
        std::string user;
        std::string ownerKey;
        std::string userKey;
        std::string perms;
        QPDF::compute_encryption_parameters_V5(
            security.userPassword.c_str(), security.ownerPassword.c_str(), 5, 6, 32, permissions,
            true, m_id, m_key, owner, user, ownerKey, userKey, perms);
        m_encrypted = true;
        m_encryption = "<< /CF << /StdCF << /AuthEvent /DocOpen /CFM /AESV3 /Length 32 >> >> "
                       "/Filter /Standard /Length 256 /O " +
                       HexString(owner) + " /OE " + HexString(ownerKey) + " /P " +
                       std::to_string(permissions) + " /Perms " + HexString(perms) +
                       " /R 6 /StmF /StdCF /StrF /StdCF /U " + HexString(user) + " /UE " +
                       HexString(userKey) + " /V 5 >>";
    }

    void Begin(int number) {
        m_xref.at(static_cast<size_t>(number)) = {m_written, 0, 1};
        Write(std::to_string(number) + " 0 obj\n");
    }

    void Write(const std::string& text) {
        Count(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    }

    // Everything written goes through here: counted, and digested for the document ID.
    void Count(const unsigned char* data, size_t size) {
        m_out(data, size);
        if (m_digest) {
            m_digest->MD5_update(data, size);
        }
        m_written += size;
    }

    void WriteData(const unsigned char* data, size_t size) {
        if (!m_encrypted) {
            Count(data, size);
            return;
        }
        const Sink pass = [this](const unsigned char* bytes, size_t n) { Count(bytes, n); };
        AesEncryption aes(m_key, pass);
        aes.Write(data, size);
        aes.Finish();
    }

    // Writes the gathered objects as one object stream.
    void FlushObjects() {
        if (m_pending.empty()) {
            return;
        }
        const int stream = Reserve();
        std::string offsets;
        std::string objects;
        for (size_t i = 0; i < m_pending.size(); ++i) {
            const auto& [number, text] = m_pending[i];
            offsets += std::to_string(number) + " " + std::to_string(objects.size()) + " ";
            objects += text + "\n";
            m_xref.at(static_cast<size_t>(number)) = {static_cast<uint64_t>(stream),
                                                      static_cast<uint32_t>(i), 2};
        }
        const std::string dictionary = " /Type /ObjStm /N " + std::to_string(m_pending.size()) +
                                       " /First " + std::to_string(offsets.size()) +
                                       " /Filter /FlateDecode";
        m_pending.clear();
        Stream(stream, dictionary, Deflate(offsets + objects));
    }

    Sink m_out;
    const bool m_classic;
    uint64_t m_written = 0;
    std::vector<XrefEntry> m_xref;
    std::vector<std::pair<int, std::string>> m_pending; // objects for the next object stream
    std::shared_ptr<QPDFCryptoImpl> m_digest;           // of the output, for an ID derived from it
    std::string m_id;
    bool m_encrypted = false;
    std::string m_key;
    std::string m_encryption; // the encryption dictionary
};

PdfFileWriter::PdfFileWriter(Sink out, const Security* security, bool derivedId, Layout layout)
    : m_impl(std::make_unique<Impl>(std::move(out), security, derivedId, layout)) {}

PdfFileWriter::~PdfFileWriter() = default;

int PdfFileWriter::Reserve() {
    return m_impl->Reserve();
}

void PdfFileWriter::Object(int number, const std::string& text) {
    m_impl->Object(number, text);
}

void PdfFileWriter::Stream(int number, const std::string& dictionary, const std::string& data) {
    m_impl->Stream(number, dictionary, data);
}

void PdfFileWriter::Stream(int number, const std::string& dictionary,
                           const std::function<void(const Sink&)>& fill) {
    m_impl->Stream(number, dictionary, fill);
}

std::string PdfFileWriter::CatalogEntries() const {
    return m_impl->CatalogEntries();
}

void PdfFileWriter::Finish(int root, int info) {
    m_impl->Finish(root, info);
}

std::string PdfFileWriter::TextString(const std::string& text) {
    return QPDFObjectHandle::newUnicodeString(text).unparse();
}

std::string PdfFileWriter::Number(double value, int decimals) {
    return QUtil::double_to_string(value, decimals, true);
}

std::string PdfFileWriter::Deflate(const std::string& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                  reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK) {
        throw PdfError(PDF_ERROR_INTERNAL, "cannot compress a stream of the PDF");
    }
    out.resize(size);
    return out;
}

std::string PdfFileWriter::HexString(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text = "<";
    for (const char c : bytes) {
        text += kDigits[static_cast<unsigned char>(c) >> 4];
        text += kDigits[static_cast<unsigned char>(c) & 0x0F];
    }
    return text + ">";
}

std::string PdfFileWriter::Reference(int number) {
    return std::to_string(number) + " 0 R";
}
