#include "convert/jpeg_image.h"

#include "platform/error.h"

#include <QFile>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

namespace zento {

namespace {

// Pictures larger than this are refused before any pixel memory is taken.
constexpr JDIMENSION kMaxSide = 16384;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

// libjpeg is C: its fatal errors leave through longjmp, never by throwing
// through the library's frames.
[[noreturn]] void ErrorExit(j_common_ptr cinfo)
{
    auto *manager = reinterpret_cast<ErrorManager *>(cinfo->err);
    std::longjmp(manager->jump, 1);
}

void SilentMessage(j_common_ptr) {}

// Everything the decoder touches between setjmp and longjmp lives here, in
// the caller's frame, so nothing with a destructor is skipped by the jump.
struct DecodeState {
    jpeg_decompress_struct cinfo;
    ErrorManager error;
    unsigned char *pixels;
    JDIMENSION width;
    JDIMENSION height;
    char message[JMSG_LENGTH_MAX];
};

bool DecodeRaw(DecodeState *s, const unsigned char *data, unsigned long size)
{
    std::memset(s, 0, sizeof *s);
    s->cinfo.err = jpeg_std_error(&s->error.pub);
    s->error.pub.error_exit = ErrorExit;
    s->error.pub.output_message = SilentMessage;
    if (setjmp(s->error.jump)) {
        s->error.pub.format_message(reinterpret_cast<j_common_ptr>(&s->cinfo), s->message);
        jpeg_destroy_decompress(&s->cinfo);
        return false;
    }
    jpeg_create_decompress(&s->cinfo);
    jpeg_mem_src(&s->cinfo, data, size);
    jpeg_read_header(&s->cinfo, TRUE);
    s->cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&s->cinfo);
    if (s->cinfo.output_width == 0 || s->cinfo.output_height == 0 || s->cinfo.output_width > kMaxSide ||
        s->cinfo.output_height > kMaxSide || s->cinfo.output_components != 3) {
        std::snprintf(s->message, sizeof s->message, "unsupported picture size or colour layout");
        jpeg_destroy_decompress(&s->cinfo);
        return false;
    }
    s->width = s->cinfo.output_width;
    s->height = s->cinfo.output_height;
    const size_t stride = size_t(s->width) * 3;
    s->pixels = static_cast<unsigned char *>(std::malloc(stride * s->height));
    if (!s->pixels) {
        std::snprintf(s->message, sizeof s->message, "out of memory");
        jpeg_destroy_decompress(&s->cinfo);
        return false;
    }
    while (s->cinfo.output_scanline < s->cinfo.output_height) {
        JSAMPROW row = s->pixels + stride * s->cinfo.output_scanline;
        jpeg_read_scanlines(&s->cinfo, &row, 1);
    }
    jpeg_finish_decompress(&s->cinfo);
    jpeg_destroy_decompress(&s->cinfo);
    return true;
}

} // namespace

RgbImage DecodeJpeg(const QByteArray &data)
{
    if (data.isEmpty())
        throw Error(QStringLiteral("JPEG: empty data"));
    DecodeState state;
    const bool ok = DecodeRaw(&state, reinterpret_cast<const unsigned char *>(data.constData()),
                              static_cast<unsigned long>(data.size()));
    if (!ok) {
        std::free(state.pixels);
        throw Error(QStringLiteral("JPEG: ") + QString::fromLocal8Bit(state.message));
    }
    RgbImage image;
    image.width = static_cast<int>(state.width);
    image.height = static_cast<int>(state.height);
    image.rgb = QByteArray(reinterpret_cast<const char *>(state.pixels),
                           static_cast<qsizetype>(state.width) * state.height * 3);
    std::free(state.pixels);
    return image;
}

RgbImage DecodeJpegFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("JPEG: cannot open %1").arg(path));
    return DecodeJpeg(file.readAll());
}

} // namespace zento
