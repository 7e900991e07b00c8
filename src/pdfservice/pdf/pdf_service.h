/* The PDF service: turns image files into PDF documents. A C interface, so that the service
 * can be built, replaced and loaded on its own; all text is NUL-terminated UTF-8.
 *
 * Calling order: one PDF per source: CreatePdf3Service, LoadSource, CreatePdf, read the
 * result, FreePdf3Service. Merging: CreatePdf3Service, AppendSource for each source in page
 * order, one CreatePdf, FreePdf3Service. The result belongs to the service and is valid until
 * the next CreatePdf or FreePdf3Service. */
#ifndef OMBRIX_PDF_SERVICE_H
#define OMBRIX_PDF_SERVICE_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define PDF_SERVICE_API __declspec(dllexport)
#else
#define PDF_SERVICE_API __attribute__((visibility("default")))
#endif

/* Source-type codes of LoadSource; this service converts images only. */
enum PdfSourceType { PDF_SOURCE_IMAGE = 0 };

/* Error codes of PdfResult. */
enum PdfErrorCode {
    PDF_OK = 0,
    PDF_ERROR_NO_SOURCE = 1,          /* CreatePdf without a source */
    PDF_ERROR_UNSUPPORTED_SOURCE = 2, /* a source-type code other than images */
    PDF_ERROR_READ = 3,               /* a source cannot be opened or read */
    PDF_ERROR_UNKNOWN_FORMAT = 4,     /* the content is no image format that is supported */
    PDF_ERROR_CORRUPT = 5,            /* a truncated or malformed image */
    PDF_ERROR_UNSUPPORTED_IMAGE = 6,  /* a valid image that PDF cannot hold losslessly */
    PDF_ERROR_TOO_LARGE = 7,          /* an image too large to convert */
    PDF_ERROR_PAGE_GEOMETRY = 8,      /* unknown page type, bad size or margins */
    PDF_ERROR_WRITE = 9,              /* the PDF cannot be written */
    PDF_ERROR_CANCELLED = 10,         /* the progress procedure asked to stop */
    PDF_ERROR_INTERNAL = 11,
    PDF_ERROR_PASSWORD = 12, /* a password that cannot protect a document (PdfCheckPassword) */
    PDF_ERROR_ARCHIVE = 13,  /* archival settings that cannot be met: encryption asked for too,
                                an unknown part, or originals to extract that cannot be */
    PDF_ERROR_OCR = 14       /* OCR asked for and it cannot run: the engine is not installed,
                                or a language is not (checked before any file is read) */
};

/* Document security, carried by the last reserved word of PdfPageOptions. A document with a
 * password or a restriction is encrypted with AES-256. A password is prepared as the standard
 * has it (SASLprep, then its first 127 bytes count): see PdfCheckPassword. */
typedef struct PdfSecurityOptions {
    const char* userPassword;  /* needed to open the document; null or empty for none */
    const char* ownerPassword; /* lifts the restrictions; null or empty for none */
    int allowCopy;             /* non-zero: text and images may be copied */
    int allowPrint;            /* non-zero: the document may be printed */
} PdfSecurityOptions;

/* An archival document (PDF/A, conformance level B), carried by the last word of
 * PdfPageOptions; null there for a plain PDF. Encryption is refused (PDF_ERROR_ARCHIVE): no
 * password and no restriction with an archive. Every document gets an sRGB output intent and
 * XMP metadata that repeats its information; device CMYK images without a profile of their own
 * get a profile that keeps their look.
 * PDF/A-1b (PDF 1.4) holds no transparency and no 16-bit samples: an image with either fails
 * with PDF_ERROR_UNSUPPORTED_IMAGE and a reason naming the choice, unless its lossy step is
 * allowed here; each step taken is named in the result's reason. An image whose ICC profile
 * is of version 4 cannot go into PDF/A-1b either. The steps are not needed by the other parts
 * and are ignored there. */
typedef struct PdfArchiveOptions {
    int part;                /* 1, 2 or 3: PDF/A-1b, PDF/A-2b or PDF/A-3b */
    int flattenAlpha;        /* PDF/A-1b: non-zero composes transparent images over background */
    unsigned int background; /* the colour composed over, 0xRRGGBB (0xFFFFFF white) */
    int reduceDepth;         /* PDF/A-1b: non-zero writes 16-bit samples as 8-bit ones */
    int attachOriginals;     /* PDF/A-3b: non-zero embeds each source file, byte for byte, as
                                the source of its pages (PdfExtractOriginals gets them back) */
} PdfArchiveOptions;

/* Called during OCR with the index of the page recognised (0 for the first of the document)
 * and the percentage of its recognition done; a non-zero return cancels the conversion
 * (PDF_ERROR_CANCELLED). Pages are recognised side by side: the procedure is called from
 * several threads, and for pages in any order. */
typedef int (*PdfOcrProgressProc)(void* context, int page, int percent);

/* A searchable document (OCR), carried by the word after `archive` in PdfPageOptions; null
 * there for none. Each page's image stays as it is without OCR; the words recognised on it
 * are laid over it as invisible text at their places (selectable, searchable, copyable). The
 * engine is Tesseract (libtesseract.so.5, loaded when first needed, one thread per page) with
 * the languages installed as its data files. Before any file is read, CreatePdf fails with
 * PDF_ERROR_OCR and a reason when the engine or a language is not installed. An image the
 * engine cannot read still gets its page, without text, and the result's reason says why. */
typedef struct PdfOcrOptions {
    const char* languages;       /* "eng", or several joined by '+': "eng+deu" */
    const char* dataPath;        /* the folder of the .traineddata files; null or empty:
                                    TESSDATA_PREFIX, else /usr/share/tesseract-ocr/5/tessdata */
    int sidecar;                 /* non-zero: the recognised text is also written beside the PDF,
                                    under its name with ".txt" for ".pdf" (UTF-8, each page ending in a
                                    form feed); the caller takes it away as it does the PDF */
    PdfOcrProgressProc progress; /* may be null */
    void* context;               /* passed to `progress` */
} PdfOcrOptions;

/* Page options, in millimetres. The page type name wins over width and height. */
typedef struct PdfPageOptions {
    const char* pageType; /* "A4", "letter", "Image Size", ...; null when width and height apply */
    float width;
    float height;
    float left;
    float right;
    float top;
    float bottom;
    /* The four reserved words: document information and security; null for none. */
    const char* title;
    const char* author;
    const char* subject;
    const PdfSecurityOptions* security;
    const char* templateDir; /* not needed for images */
    /* Appended: callers that zero the structure get a plain PDF. */
    const PdfArchiveOptions* archive; /* null for a plain PDF */
    /* Non-zero: the document records its work, a fingerprint of its sources' content and of
       the settings that shape it, which PdfRecordsWork compares. Every source is then read
       whole once more, to hash it. */
    int recordWork;
    int allImages; /* non-zero: every top-level image of a HEIF or AVIF file is a page (the
                      shots of a burst); zero: its primary image only */
    const PdfOcrOptions* ocr;         /* null for no OCR */
} PdfPageOptions;

typedef struct PdfResult {
    const char* path;   /* the PDF written, inside the temporary folder; null on failure */
    const char* reason; /* a short English reason of a failure; on success, notes on what the
                           conversion changed (an image placed as one without a density, as its
                           file gives one no real image has), or empty */
    int pageCount;      /* pages written */
    int reserved[3];
    int errorCode; /* PdfErrorCode; 0 for success */
} PdfResult;

/* Called after each page with the pages done and the pages in all; a non-zero return
 * cancels the conversion. */
typedef int (*PdfProgressProc)(int pagesDone, int pagesTotal);

typedef struct Pdf3Service Pdf3Service;
struct Pdf3Service {
    /* Makes `path` the only source. Returns 0, or the error code the conversion will give. */
    int (*LoadSource)(Pdf3Service* self, const char* path, int sourceType);
    /* Adds `path` after the sources so far. */
    int (*AppendSource)(Pdf3Service* self, const char* path);
    /* Writes one PDF of every source into `tempDir` (or `outputDir` when `tempDir` is null
     * or empty). Never returns null for a service that exists. */
    PdfResult* (*CreatePdf)(Pdf3Service* self, const PdfPageOptions* options, const char* outputDir,
                            const char* tempDir, PdfProgressProc progress, int reserved);
};

/* The engine path is accepted and not needed for images. Returns null when out of memory. */
PDF_SERVICE_API Pdf3Service* CreatePdf3Service(const char* enginePath);
PDF_SERVICE_API void FreePdf3Service(Pdf3Service* service);

/* Why `password` cannot protect a document, or null when it can (null and empty are no
 * password): longer than 4096 bytes, not UTF-8, holding a character that SASLprep (RFC 4013)
 * prohibits (control characters among them), or only characters that it removes. CreatePdf
 * fails with PDF_ERROR_PASSWORD and this reason for such a password. The text is static
 * English. A password with a NUL cannot be passed: callers holding one refuse it. */
PDF_SERVICE_API const char* PdfCheckPassword(const char* password);

/* Non-zero when `path` holds a complete PDF: it starts with the PDF header, ends with the
 * end-of-file marker, and its cross-reference data and trailer read without repair (for an
 * encrypted document, up to the password). */
PDF_SERVICE_API int PdfIsComplete(const char* path);

/* Non-zero when `path` holds a complete PDF (as PdfIsComplete) that this service made of
 * `sources` (`sourceCount` paths, in page order, compared by content) with `options`, asked
 * to record its work (recordWork): the fingerprint of its sources' content and of the
 * settings that shape it, dates aside, is the same. An encrypted document is read with the options'
 * user password, which must open it, and an owner password given must be its owner's. Zero for
 * anything else (another work, a document of another program, a source that cannot be read). */
PDF_SERVICE_API int PdfRecordsWork(const char* path, const char* const* sources, int sourceCount,
                                   const PdfPageOptions* options);

/* Writes the files embedded in the PDF `path` (the originals of a PDF/A-3b document) into the
 * existing folder `folder`, each under its own name, byte for byte. Nothing is written when a
 * name holds a path separator, is empty, "." or "..", or names a file that exists already (no
 * file is ever replaced). Returns 0 and sets `*count` to the files written (0 when there are
 * none), or an error code (PDF_ERROR_READ, PDF_ERROR_ARCHIVE, PDF_ERROR_WRITE) with a short
 * English reason in `reason` (`reasonSize` bytes, NUL-terminated, may be null). */
PDF_SERVICE_API int PdfExtractOriginals(const char* path, const char* folder, int* count,
                                        char* reason, int reasonSize);

/* Why OCR cannot run with `languages` ("eng+deu") and the data folder `dataPath` (null or
 * empty for the default, as in PdfOcrOptions): the engine or a language is not installed, or
 * the list is malformed. Null when it can. The text is English and valid until the next call
 * on the same thread. */
PDF_SERVICE_API const char* PdfOcrCheckLanguages(const char* languages, const char* dataPath);

/* The OCR languages installed in `dataPath` (as above), sorted and joined by '+', into
 * `buffer` (`size` bytes, NUL-terminated; empty when there are none). Returns the length of
 * the whole list, which is cut when it does not fit. */
PDF_SERVICE_API int PdfOcrListLanguages(const char* dataPath, char* buffer, int size);

#ifdef __cplusplus
}
#endif

#endif
