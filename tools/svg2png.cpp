// quv-svg2png <in.svg> <out.png> [<width> <height>]
//
// Renders an SVG into a transparent ARGB32 image of exactly width x height
// pixels and writes it as an RGBA PNG with its rows unfiltered. The program
// decodes its pictures at every start, and pictures of flat colours stored so
// decode in about two thirds of the time that libpng's adaptive filters take,
// and come out smaller too. Without an explicit size the root element's
// width and height attributes (whole pixels, "px" allowed) give it, so every
// source states the size it is drawn for. The output is replaced only when the
// whole image was written. Exit status: 0 done, 1 bad arguments or source,
// 2 the PNG could not be written.

#include <csetjmp>
#include <cstdio>

#include <png.h>

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

void appendToBuffer(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<QByteArray*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), int(length));
}

// The PNG file of argb (non-premultiplied ARGB32) into out: RGBA, 8 bits a
// channel, rows unfiltered, zlib's best compression; false when libpng fails.
bool encodePng(const QImage& argb, QByteArray* out)
{
    // Bytes in the order PNG keeps them, whatever the machine's byte order.
    const QImage rows = argb.convertToFormat(QImage::Format_RGBA8888);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, appendToBuffer, nullptr);
    png_set_IHDR(png, info, png_uint_32(rows.width()), png_uint_32(rows.height()), 8, PNG_COLOR_TYPE_RGB_ALPHA,
        PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    for (int y = 0; y < rows.height(); ++y)
        png_write_row(png, rows.constScanLine(y));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
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
    QByteArray png;
    QSaveFile out(outPath);
    if (!encodePng(image.convertToFormat(QImage::Format_ARGB32), &png) || !out.open(QIODevice::WriteOnly)
        || out.write(png) != png.size() || !out.commit()) {
        fail(QStringLiteral("cannot write %1: %2").arg(outPath, out.errorString()));
        return 2;
    }
    return 0;
}
