#pragma once

#include <QByteArray>
#include <QString>

namespace zento {

// A decoded picture: rows top to bottom, three bytes (red, green, blue) per
// pixel, no padding between rows.
struct RgbImage {
    int width = 0;
    int height = 0;
    QByteArray rgb; // width * height * 3 bytes

    bool isNull() const { return width <= 0 || height <= 0; }
};

// Decodes a JPEG held in memory. Raises zento::Error when the data is not a
// picture libjpeg can read.
RgbImage DecodeJpeg(const QByteArray &data);

// Reads and decodes a JPEG file. Raises zento::Error when the file cannot be
// read or is not a JPEG picture.
RgbImage DecodeJpegFile(const QString &path);

} // namespace zento
