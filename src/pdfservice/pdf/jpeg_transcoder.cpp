#include "pdf/jpeg_transcoder.h"

#include "pdf/image_source.h"
#include "pdf/pdf_error.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <jerror.h>
#include <jpeglib.h>

namespace {
// Both codecs of a transcoding share one jump buffer and one message.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf* jump;
    char* message;
    bool* damaged; // a warning that the data is corrupt or missing
};

void OnError(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, errors->message);
    std::longjmp(*errors->jump, 1);
}

// libjpeg goes on after a warning, making up what the data lacks (a scan cut short ends grey):
// warnings of corrupt or missing data fail the transcoding. Those about markers that do not
// touch the image (an unknown JFIF version or Adobe transform, a bad profile chunk) do not.
void OnMessage(j_common_ptr info, int level) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    const int code = info->err->msg_code;
    if (level >= 0 || code == JWRN_ADOBE_XFORM || code == JWRN_BOGUS_ICC ||
        code == JWRN_JFIF_MAJOR || *errors->damaged) {
        return;
    }
    (*info->err->format_message)(info, errors->message);
    *errors->damaged = true;
}

// libjpeg reading a source piece by piece. The procedures are called from libjpeg's C frames:
// nothing is thrown through them; a read failure or the end of the data ends the data as an
// end-of-image marker would, and marks the data as cut short.
struct SourceManager {
    jpeg_source_mgr base;
    SourceData::Reader* reader;
    uint64_t position;
    bool ended;
    JOCTET buffer[64 * 1024];
};

void InitSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr info) {
    auto* source = reinterpret_cast<SourceManager*>(info->src);
    size_t n = 0;
    try {
        n = source->reader->ReadAt(source->position, source->buffer, sizeof source->buffer);
    } catch (...) {
        n = 0;
    }
    if (n == 0) {
        source->ended = true;
        source->buffer[0] = 0xFF;
        source->buffer[1] = JPEG_EOI;
        n = 2;
    }
    source->position += n;
    source->base.next_input_byte = source->buffer;
    source->base.bytes_in_buffer = n;
    return TRUE;
}

void SkipInput(j_decompress_ptr info, long count) {
    auto* source = reinterpret_cast<SourceManager*>(info->src);
    while (count > 0) {
        if (static_cast<size_t>(count) <= source->base.bytes_in_buffer) {
            source->base.next_input_byte += count;
            source->base.bytes_in_buffer -= static_cast<size_t>(count);
            return;
        }
        count -= static_cast<long>(source->base.bytes_in_buffer);
        FillInput(info);
    }
}

void TermSource(j_decompress_ptr) {}

// Runs the transcoding in a frame without C++ objects, as longjmp requires. Returns false
// with the library's message on failure; the output buffer is malloc'ed by libjpeg.
bool Transcode(SourceManager* source, unsigned char** out, unsigned long* outSize, char* message,
               bool* damaged) {
    jpeg_decompress_struct input{};
    jpeg_compress_struct output{};
    std::jmp_buf jump;
    ErrorManager inErrors{};
    ErrorManager outErrors{};
    inErrors.jump = outErrors.jump = &jump;
    inErrors.message = outErrors.message = message;
    inErrors.damaged = outErrors.damaged = damaged;
    input.err = jpeg_std_error(&inErrors.base);
    inErrors.base.error_exit = OnError;
    inErrors.base.emit_message = OnMessage;
    output.err = jpeg_std_error(&outErrors.base);
    outErrors.base.error_exit = OnError;
    outErrors.base.emit_message = OnMessage;

    if (setjmp(jump) != 0) {
        jpeg_destroy_compress(&output);
        jpeg_destroy_decompress(&input);
        return false;
    }
    jpeg_create_decompress(&input);
    jpeg_create_compress(&output);
    // The coefficients are held in memory: beyond this libjpeg fails instead of allocating.
    input.mem->max_memory_to_use = static_cast<long>(ImageSource::kMaxBuffer);
    source->base.init_source = InitSource;
    source->base.fill_input_buffer = FillInput;
    source->base.skip_input_data = SkipInput;
    source->base.resync_to_restart = jpeg_resync_to_restart;
    source->base.term_source = TermSource;
    input.src = &source->base;
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

std::string JpegTranscoder::ToHuffman(const SourceData& data, const JpegInfo& frame) {
    // The coefficients of the whole image are held: as many as the data can code.
    ImageSource::CheckBuffer(frame.CoefficientBytes());
    SourceData::Reader reader(data);
    ImageSource::CheckDataSize(frame.CoefficientBytes(), reader.Size(),
                               JpegInfo::kCoefficientBytesPerByte);
    auto source = std::make_unique<SourceManager>();
    source->reader = &reader;
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    char message[JMSG_LENGTH_MAX] = "";
    bool damaged = false;
    const bool ok = Transcode(source.get(), &out, &outSize, message, &damaged);
    std::string result;
    if (ok && out != nullptr && !damaged && !source->ended) {
        result.assign(reinterpret_cast<const char*>(out), outSize);
    }
    std::free(out);
    if (!ok || damaged) {
        throw PdfError(PDF_ERROR_CORRUPT, std::string("broken JPEG: ") + message);
    }
    if (source->ended) {
        throw PdfError(PDF_ERROR_CORRUPT, "truncated JPEG (the image data ends early)");
    }
    return result;
}
