#pragma once

#include <QImage>
#include <QString>

// The QR code of the text's UTF-8 bytes at error-correction level M, each module an 8 × 8 block,
// with a 4-module quiet zone. A null image when the text does not fit a QR code.
QImage macQRCodeImage(const QString &text);

// The same code with one pixel per module and no quiet zone; for drawing crisp at any size.
QImage macQRCodeModules(const QString &text);
