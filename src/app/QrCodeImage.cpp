// SPDX-License-Identifier: GPL-3.0-or-later
#include "QrCodeImage.h"

#include <QPainter>
#include <memory>
#include <qrencode.h>

QImage qrCodeImage(const QString& text, int moduleSize) {
    const QByteArray utf8 = text.toUtf8();
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString8bit(utf8.constData(), 0, QR_ECLEVEL_M), &QRcode_free);
    if (!code)
        return {};
    constexpr int quietZone = 4;
    const int modules = code->width + 2 * quietZone;
    QImage image(modules * moduleSize, modules * moduleSize, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < code->width; ++y)
        for (int x = 0; x < code->width; ++x)
            if ((code->data[y * code->width + x] & 1) != 0) // the module's lowest bit: dark
                painter.fillRect((x + quietZone) * moduleSize, (y + quietZone) * moduleSize,
                                 moduleSize, moduleSize, Qt::black);
    return image;
}
