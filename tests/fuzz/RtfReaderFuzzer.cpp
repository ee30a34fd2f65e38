// SPDX-License-Identifier: GPL-3.0-or-later
// The protocol files a viewer opens are rich text from disk: any bytes must read as some
// text, and every text the program writes must read back as it was.
#include "FuzzSupport.h"
#include "workstation/RtfText.h"

#include <QByteArray>
#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString read = RtfText::read(bytes);
    // One character at most for every byte: no control word expands.
    FUZZ_CHECK(read.size() <= bytes.size(), "the text read is longer than the document");

    // The same bytes as a text the program writes (a protocol): CR LF pairs end paragraphs
    // like LF does, so CR is the one character that does not come back.
    QString text = QString::fromUtf8(bytes);
    const QString written = RtfText::read(RtfText::write(text));
    text.remove(QLatin1Char('\r'));
    FUZZ_CHECK(written == text, "a written text reads back changed:\n" + text.toStdString() +
                                    "\nread back as:\n" + written.toStdString());
    return 0;
}
