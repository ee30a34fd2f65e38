// SPDX-License-Identifier: GPL-3.0-or-later
// Paints the program directory's pictures: the splash picture, the page buttons (normal and
// pressed) and the desktop icon, and the icon theme's sizes of the icon for the package. Run by
// the build: artwork <program directory> <icon theme directory>.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

const QColor ink(31, 78, 121);
const QColor accent(200, 40, 40);

// The growth curve every picture of the program shares.
QPainterPath growthCurve(const QRectF& box) {
    QPainterPath path;
    for (int i = 0; i <= 60; ++i) {
        const double t = i / 60.0;
        const double y = 1.0 / (1.0 + std::exp(-12.0 * (t - 0.5)));
        const QPointF p(box.left() + t * box.width(), box.bottom() - y * box.height());
        if (i == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    return path;
}

using Glyph = std::function<void(QPainter&, const QRectF&)>;

void chartGlyph(QPainter& p, const QRectF& r) {
    p.setPen(QPen(ink, 2));
    p.drawLine(r.bottomLeft(), r.topLeft());
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.setPen(QPen(accent, 3));
    p.drawPath(growthCurve(r.adjusted(3, 3, -2, -3)));
}

void calibrationGlyph(QPainter& p, const QRectF& r) {
    p.setPen(QPen(ink, 2));
    p.drawArc(r, 30 * 16, 120 * 16);
    p.drawArc(r.adjusted(6, 6, -6, -6), 30 * 16, 120 * 16);
    p.setPen(QPen(accent, 3));
    const QPointF centre = r.center();
    p.drawLine(centre, QPointF(centre.x() + r.width() * 0.3, r.top() + r.height() * 0.15));
    p.setBrush(ink);
    p.drawEllipse(centre, 3, 3);
}

void optionsGlyph(QPainter& p, const QRectF& r) {
    p.setPen(QPen(ink, 2));
    p.setBrush(Qt::NoBrush);
    const QPointF c = r.center();
    const double outer = r.width() / 2, inner = outer * 0.7;
    QPainterPath gear;
    for (int i = 0; i < 16; ++i) {
        const double a = i * M_PI / 8;
        const double radius = i % 2 ? inner : outer;
        const QPointF q(c.x() + radius * std::cos(a), c.y() + radius * std::sin(a));
        if (i == 0)
            gear.moveTo(q);
        else
            gear.lineTo(q);
    }
    gear.closeSubpath();
    p.drawPath(gear);
    p.drawEllipse(c, outer * 0.3, outer * 0.3);
}

void viewerGlyph(QPainter& p, const QRectF& r) {
    p.setPen(QPen(ink, 2));
    const QRectF page = r.adjusted(r.width() * 0.15, 0, -r.width() * 0.15, 0);
    p.drawRect(page);
    p.setPen(QPen(accent, 2));
    p.drawPath(growthCurve(page.adjusted(4, 6, -4, -6)));
}

void exitGlyph(QPainter& p, const QRectF& r) {
    p.setPen(QPen(ink, 2));
    p.drawRect(r.adjusted(0, 0, -r.width() * 0.4, 0));
    p.setPen(QPen(accent, 3));
    const double y = r.center().y();
    p.drawLine(QPointF(r.left() + r.width() * 0.3, y), QPointF(r.right(), y));
    p.drawLine(QPointF(r.right() - 7, y - 7), QPointF(r.right(), y));
    p.drawLine(QPointF(r.right() - 7, y + 7), QPointF(r.right(), y));
}

QImage button(const Glyph& glyph, bool pressed) {
    QImage image(48, 48, QImage::Format_RGB32);
    image.fill(pressed ? QColor(190, 205, 225) : QColor(240, 240, 240));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    if (pressed) {
        p.setPen(QPen(ink, 2));
        p.drawRect(QRectF(1, 1, 46, 46));
    }
    glyph(p, QRectF(10, 10, 28, 28));
    return image;
}

QImage splash() {
    QImage image(480, 200, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, 480, 200);
    background.setColorAt(0, QColor(235, 242, 250));
    background.setColorAt(1, QColor(190, 210, 235));
    p.fillRect(image.rect(), background);
    const QRectF plot(40, 40, 180, 120);
    p.setPen(QPen(ink, 2));
    p.drawLine(plot.bottomLeft(), plot.topLeft());
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    p.setPen(QPen(accent, 4));
    p.drawPath(growthCurve(plot.adjusted(6, 6, -6, -6)));
    QFont title(QStringLiteral("DejaVu Sans"), 30, QFont::Bold);
    p.setFont(title);
    p.setPen(ink);
    p.drawText(QRectF(230, 50, 240, 60), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Nephodar"));
    p.setFont(QFont(QStringLiteral("DejaVu Sans"), 12));
    p.drawText(QRectF(232, 105, 240, 40), Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("optical density workstation"));
    return image;
}

// Drawn on a 128-pixel grid and scaled, so that every size shows the same picture.
QImage icon(int size = 128) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 128.0, size / 128.0);
    p.setBrush(QColor(235, 242, 250));
    p.setPen(QPen(ink, 6));
    p.drawRoundedRect(QRectF(6, 6, 116, 116), 20, 20);
    p.setPen(QPen(accent, 9, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(growthCurve(QRectF(24, 28, 80, 72)));
    return image;
}

// The same icon as a vector picture, for the desktop's scalable icons.
QByteArray scalableIcon() {
    const QPainterPath curve = growthCurve(QRectF(24, 28, 80, 72));
    QString points;
    for (int i = 0; i < curve.elementCount(); ++i) {
        const QPainterPath::Element e = curve.elementAt(i);
        points += QStringLiteral("%1%2,%3 ")
                      .arg(i == 0 ? QLatin1Char('M') : QLatin1Char('L'))
                      .arg(e.x, 0, 'f', 2)
                      .arg(e.y, 0, 'f', 2);
    }
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"128\" height=\"128\" "
               "viewBox=\"0 0 128 128\">\n"
               "  <rect x=\"6\" y=\"6\" width=\"116\" height=\"116\" rx=\"20\" ry=\"20\" "
               "fill=\"%1\" stroke=\"%2\" stroke-width=\"6\"/>\n"
               "  <path d=\"%3\" style=\"fill:none;stroke:%4;stroke-width:9;"
               "stroke-linecap:round;stroke-linejoin:round\"/>\n"
               "</svg>\n")
        .arg(QColor(235, 242, 250).name(), ink.name(), points.trimmed(), accent.name())
        .toUtf8();
}

bool save(const QImage& image, const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (image.save(path))
        return true;
    std::fprintf(stderr, "artwork: cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: artwork <program directory> [<icon theme directory>]\n");
        return 2;
    }
    const QDir program(QString::fromLocal8Bit(argv[1]));
    const std::pair<const char*, Glyph> buttons[] = {{"Chart", chartGlyph},
                                                     {"Calibrations", calibrationGlyph},
                                                     {"Options", optionsGlyph},
                                                     {"Viewer", viewerGlyph},
                                                     {"Exit", exitGlyph}};
    bool ok = save(splash(), program.filePath(QStringLiteral("Objects/PicNephodar.bmp")));
    for (const auto& [name, glyph] : buttons) {
        ok &= save(button(glyph, false),
                   program.filePath(QStringLiteral("buttons/%1.bmp").arg(name)));
        ok &= save(button(glyph, true),
                   program.filePath(QStringLiteral("buttons/%1_r.bmp").arg(name)));
    }
    ok &= save(icon(), program.filePath(QStringLiteral("nephodar.png")));
    if (argc == 3) {
        const QDir icons(QString::fromLocal8Bit(argv[2]));
        for (const int size : {48, 64, 128, 256})
            ok &= save(icon(size),
                       icons.filePath(QStringLiteral("%1x%1/apps/nephodar.png").arg(size)));
        QDir().mkpath(icons.filePath(QStringLiteral("scalable/apps")));
        QFile svg(icons.filePath(QStringLiteral("scalable/apps/nephodar.svg")));
        ok &= svg.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
              svg.write(scalableIcon()) >= 0 && svg.flush();
    }
    return ok ? 0 : 1;
}
