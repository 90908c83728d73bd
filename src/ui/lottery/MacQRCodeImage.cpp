#include "MacQRCodeImage.h"

#include <qrencode.h>

#include <memory>

namespace {

constexpr int moduleSize = 8;
constexpr int quietZone = 4;

QImage encode(const QString &text, int scale, int margin)
{
    const QByteArray bytes = text.toUtf8();
    // 8-bit mode over the exact bytes: no terminator, no character-set guessing.
    std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeData(int(bytes.size()), reinterpret_cast<const unsigned char *>(bytes.constData()), 0,
                          QR_ECLEVEL_M),
        &QRcode_free);
    if (!code || code->width <= 0) {
        return {};
    }
    const int width = code->width;
    const int side = (width + 2 * margin) * scale;
    QImage image(side, side, QImage::Format_Mono);
    image.setColor(0, qRgb(255, 255, 255));
    image.setColor(1, qRgb(0, 0, 0));
    image.fill(0);
    for (int y = 0; y < width; ++y) {
        for (int x = 0; x < width; ++x) {
            if ((code->data[y * width + x] & 1) == 0) {
                continue;
            }
            for (int dy = 0; dy < scale; ++dy) {
                for (int dx = 0; dx < scale; ++dx) {
                    image.setPixel((x + margin) * scale + dx, (y + margin) * scale + dy, 1);
                }
            }
        }
    }
    return image;
}

} // namespace

QImage macQRCodeImage(const QString &text)
{
    return encode(text, moduleSize, quietZone);
}

QImage macQRCodeModules(const QString &text)
{
    return encode(text, 1, 0);
}
