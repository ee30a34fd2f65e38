// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>

// A QR code of the text as a black-on-white image, moduleSize pixels to a module, with the
// four-module quiet zone readers need. A null image when the text is too long for a code.
QImage qrCodeImage(const QString& text, int moduleSize);
