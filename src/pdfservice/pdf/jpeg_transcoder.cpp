#include "pdf/jpeg_transcoder.h"

#include "pdf/pdf_error.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

namespace {
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

void OnMessage(j_common_ptr, int) {}

// Runs the transcoding in a frame without C++ objects, as longjmp requires. Returns false
// with the library's message on failure; the output buffer is malloc'ed by libjpeg.
bool Transcode(const unsigned char* data, size_t size, unsigned char** out, unsigned long* outSize,
               char* message) {
    jpeg_decompress_struct input{};
    jpeg_compress_struct output{};
    ErrorManager inErrors{};
    ErrorManager outErrors{};
    input.err = jpeg_std_error(&inErrors.base);
    inErrors.base.error_exit = OnError;
    inErrors.base.emit_message = OnMessage;
    output.err = jpeg_std_error(&outErrors.base);
    outErrors.base.error_exit = OnError;
    outErrors.base.emit_message = OnMessage;

    if (setjmp(inErrors.jump) != 0 || setjmp(outErrors.jump) != 0) {
        std::snprintf(message, JMSG_LENGTH_MAX, "%s",
                      inErrors.message[0] ? inErrors.message : outErrors.message);
        jpeg_destroy_compress(&output);
        jpeg_destroy_decompress(&input);
        return false;
    }
    jpeg_create_decompress(&input);
    jpeg_create_compress(&output);
    jpeg_mem_src(&input, data, static_cast<unsigned long>(size));
    jpeg_read_header(&input, TRUE);
    jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&input);
    jpeg_copy_critical_parameters(&input, &output);
    output.arith_code = FALSE;
    output.optimize_coding = TRUE;
    if (input.progressive_mode) {
        jpeg_simple_progression(&output);
    }
    jpeg_mem_dest(&output, out, outSize);
    jpeg_write_coefficients(&output, coefficients);
    jpeg_finish_compress(&output);
    jpeg_finish_decompress(&input);
    jpeg_destroy_compress(&output);
    jpeg_destroy_decompress(&input);
    return true;
}
} // namespace

std::string JpegTranscoder::ToHuffman(const unsigned char* data, size_t size) {
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    char message[JMSG_LENGTH_MAX] = "";
    const bool ok = Transcode(data, size, &out, &outSize, message);
    std::string result;
    if (ok && out != nullptr) {
        result.assign(reinterpret_cast<const char*>(out), outSize);
    }
    std::free(out);
    if (!ok) {
        throw PdfError(PDF_ERROR_CORRUPT, std::string("broken JPEG: ") + message);
    }
    return result;
}
