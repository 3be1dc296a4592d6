// quv-svg2png <in.svg> <out.png> [<width> <height>]
//
// Renders an SVG into a transparent ARGB32 image of exactly width x height
// pixels and writes it as a PNG. Without an explicit size the root element's
// width and height attributes (whole pixels, "px" allowed) give it, so every
// source states the size it is drawn for. The output is replaced only when the
// whole image was written. Exit status: 0 done, 1 bad arguments or source,
// 2 the PNG could not be written.

#include <cstdio>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSize>
#include <QSvgRenderer>
#include <QXmlStreamReader>

namespace {

void fail(const QString& message)
{
    std::fprintf(stderr, "quv-svg2png: %s\n", qPrintable(message));
}

// A pixel length such as "24" or "24px"; 0 when the text is anything else.
int pixelLength(const QStringRef& text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*([0-9]+)(px)?\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text.toString());
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

// The size the root <svg> element declares, or an empty size.
QSize declaredSize(const QByteArray& svg)
{
    QXmlStreamReader reader(svg);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement) {
            if (reader.name() != QLatin1String("svg"))
                return QSize();
            const QXmlStreamAttributes attributes = reader.attributes();
            return QSize(pixelLength(attributes.value(QLatin1String("width"))),
                pixelLength(attributes.value(QLatin1String("height"))));
        }
    }
    return QSize();
}

int parseDimension(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? value : 0;
}

// The offscreen platform asks for a runtime folder it does not need for
// rendering; build machines often have none. Every other message passes.
void messageHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

} // namespace

int main(int argc, char** argv)
{
    // Rendering needs no display; the offscreen platform also serves SVG text.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(messageHandler);
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 2 && args.size() != 4) {
        fail(QStringLiteral("usage: quv-svg2png <in.svg> <out.png> [<width> <height>]"));
        return 1;
    }
    const QString inPath = args.at(0);
    const QString outPath = args.at(1);

    QFile in(inPath);
    if (!in.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("cannot read %1: %2").arg(inPath, in.errorString()));
        return 1;
    }
    const QByteArray svg = in.readAll();

    QSize size;
    if (args.size() == 4) {
        size = QSize(parseDimension(args.at(2)), parseDimension(args.at(3)));
    } else {
        size = declaredSize(svg);
        if (size.isEmpty()) {
            fail(QStringLiteral("%1: the <svg> element needs width and height in whole pixels").arg(inPath));
            return 1;
        }
    }
    if (size.isEmpty() || size.width() > 4096 || size.height() > 4096) {
        fail(QStringLiteral("%1: size %2 x %3 is not between 1 and 4096 pixels")
                 .arg(inPath)
                 .arg(size.width())
                 .arg(size.height()));
        return 1;
    }

    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) {
        fail(QStringLiteral("%1: not a valid SVG document").arg(inPath));
        return 1;
    }

    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    }

    QDir().mkpath(QFileInfo(outPath).absolutePath());
    QSaveFile out(outPath);
    if (!out.open(QIODevice::WriteOnly) || !image.convertToFormat(QImage::Format_ARGB32).save(&out, "PNG")
        || !out.commit()) {
        fail(QStringLiteral("cannot write %1: %2").arg(outPath, out.errorString()));
        return 2;
    }
    return 0;
}
