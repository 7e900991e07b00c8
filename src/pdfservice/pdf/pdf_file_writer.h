#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Writes a PDF file object by object as the objects come, so that a document of any number of
// pages takes the same memory: of a written object only its place in the cross-reference
// stream is kept (a few bytes). Objects other than streams are gathered into compressed
// object streams (PDF 1.5); stream data goes out as it is handed over, encrypted with AES-256
// (revision 6) when the document is. qpdf provides the encryption's keys and ciphers. The
// classic layout (PDF 1.4) writes every object on its own and ends with a cross-reference
// table, for readers and archives that know no object or cross-reference streams.
class PdfFileWriter {
public:
    using Sink = std::function<void(const unsigned char* data, size_t size)>;

    // The security of an encrypted document. The owner password is not empty.
    struct Security {
        std::string userPassword;
        std::string ownerPassword;
        bool allowCopy = true;
        bool allowPrint = true;
    };

    // How the file is laid out.
    enum class Layout {
        Streams,   // object and cross-reference streams: PDF 1.5 (1.7 when encrypted)
        Classic,   // objects on their own and a cross-reference table: PDF 1.4, no encryption
        Streams17, // as Streams, with the header of PDF 1.7
    };

    // Writes the header to `out`, which may throw (the write then stops). `security` null: no
    // encryption (always with the classic layout). `derivedId`: the document ID is derived
    // from the content (unencrypted documents), rather than random.
    PdfFileWriter(Sink out, const Security* security, bool derivedId,
                  Layout layout = Layout::Streams);
    ~PdfFileWriter();
    PdfFileWriter(const PdfFileWriter&) = delete;
    PdfFileWriter& operator=(const PdfFileWriter&) = delete;

    // A new object number.
    int Reserve();
    // Object `number`, not a stream, in PDF syntax. Its strings are not encrypted (it goes into
    // an object stream, which is).
    void Object(int number, const std::string& text);
    // Stream `number`: `dictionary` holds its entries but /Length (without << and >>).
    void Stream(int number, const std::string& dictionary, const std::string& data);
    // The same with the data handed to the sink while `fill` runs, piece by piece: its length
    // goes into an object of its own.
    void Stream(int number, const std::string& dictionary,
                const std::function<void(const Sink&)>& fill);
    // Entries the catalog needs for this file (the extension level of its encryption), each
    // led by a space; empty when none.
    std::string CatalogEntries() const;
    // Ends the file with its cross-reference stream (or table): the catalog `root` and the
    // document information `info`.
    void Finish(int root, int info);

    // A PDF string of `text` (UTF-8) for documents' information: PDFDocEncoding where it can
    // be, else UTF-16.
    static std::string TextString(const std::string& text);
    // Deflates data held whole (small streams, object streams, the cross-reference stream).
    static std::string Deflate(const std::string& data);
    // A PDF hexadecimal string of the bytes: <0a1b...>.
    static std::string HexString(const std::string& bytes);
    // An indirect reference to object `number`: "12 0 R".
    static std::string Reference(int number);
    // A number in PDF syntax, up to `decimals` places.
    static std::string Number(double value, int decimals = 6);

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};
