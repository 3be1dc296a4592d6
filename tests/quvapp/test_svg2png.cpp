// The image renderer of the build: exact sizes, real transparency, PNG rows
// stored unfiltered, Qt's own warnings passed on, and a clear failure that
// leaves no output behind.

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include "quvtest.h"

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray errors;
};

Run render(
    const QStringList& arguments, const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
{
    // The renderer inherits this test's environment, sanitizer options included.
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(QUV_SVG2PNG), arguments);
    Run run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = process.exitCode();
    run.errors = process.readAllStandardError();
    return run;
}

bool writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

// A 10 x 6 picture: a red square on the left half, the right half left empty.
const QByteArray kHalfRed
    = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10px\" height=\"6\" viewBox=\"0 0 10 6\">"
      "<rect x=\"0\" y=\"0\" width=\"5\" height=\"6\" fill=\"#ff0000\"/></svg>";

} // namespace

class TestSvg2Png : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void declaredAndExplicitSize();
    void colours();
    void rowsUnfiltered();
    void warningsPassOn();
    void refusals_data();
    void refusals();

private:
    QTemporaryDir m_dir;
};

void TestSvg2Png::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(writeFile(m_dir.filePath(QStringLiteral("half.svg")), kHalfRed));
}

void TestSvg2Png::declaredAndExplicitSize()
{
    const QString declared = m_dir.filePath(QStringLiteral("sub/half.png"));
    const Run run = render({ m_dir.filePath(QStringLiteral("half.svg")), declared });
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.errors, QByteArray());
    QImage image(declared);
    QCOMPARE(image.size(), QSize(10, 6));
    QVERIFY(image.hasAlphaChannel());
    QCOMPARE(image.pixel(2, 3), qRgba(255, 0, 0, 255));
    QCOMPARE(qAlpha(image.pixel(7, 3)), 0);

    const QString scaled = m_dir.filePath(QStringLiteral("double.png"));
    QCOMPARE(render({ m_dir.filePath(QStringLiteral("half.svg")), scaled, QStringLiteral("20"), QStringLiteral("12") })
                 .exitCode,
        0);
    image = QImage(scaled);
    QCOMPARE(image.size(), QSize(20, 12));
    QCOMPARE(image.pixel(9, 11), qRgba(255, 0, 0, 255));
    QCOMPARE(qAlpha(image.pixel(10, 0)), 0);

    // A build machine without a runtime folder gets no word about it.
    QProcessEnvironment noRuntimeDir = QProcessEnvironment::systemEnvironment();
    noRuntimeDir.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    const Run quiet = render({ m_dir.filePath(QStringLiteral("half.svg")), declared }, noRuntimeDir);
    QCOMPARE(quiet.exitCode, 0);
    QCOMPARE(quiet.errors, QByteArray());
}

// Colours come out as drawn, opaque and translucent ones alike, each picture with an alpha channel.
void TestSvg2Png::colours()
{
    const QString opaqueSvg = m_dir.filePath(QStringLiteral("opaque.svg"));
    QVERIFY(writeFile(opaqueSvg,
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"3\" height=\"2\">"
        "<rect width=\"3\" height=\"2\" fill=\"#336699\"/><rect width=\"1\" height=\"1\" fill=\"#fe0102\"/></svg>"));
    const QString opaque = m_dir.filePath(QStringLiteral("opaque.png"));
    QCOMPARE(render({ opaqueSvg, opaque }).exitCode, 0);
    QImage image(opaque);
    QVERIFY(image.hasAlphaChannel());
    QCOMPARE(image.pixel(0, 0), qRgb(0xfe, 0x01, 0x02));
    QCOMPARE(image.pixel(2, 1), qRgb(0x33, 0x66, 0x99));

    const QString translucentSvg = m_dir.filePath(QStringLiteral("translucent.svg"));
    QVERIFY(writeFile(translucentSvg,
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"2\" height=\"1\">"
        "<rect width=\"1\" height=\"1\" fill=\"#00ff00\" fill-opacity=\"0.5\"/></svg>"));
    const QString translucent = m_dir.filePath(QStringLiteral("translucent.png"));
    QCOMPARE(render({ translucentSvg, translucent }).exitCode, 0);
    image = QImage(translucent).convertToFormat(QImage::Format_ARGB32);
    QVERIFY(qAbs(qAlpha(image.pixel(0, 0)) - 128) <= 1);
    QCOMPARE(qRed(image.pixel(0, 0)) + qBlue(image.pixel(0, 0)), 0);
    QVERIFY(qGreen(image.pixel(0, 0)) >= 254);
    QCOMPARE(image.pixel(1, 0), qRgba(0, 0, 0, 0));
}

// The file is RGBA at 8 bits a channel, and every row is stored with filter
// type 0 (none), which the program's start decodes fastest.
void TestSvg2Png::rowsUnfiltered()
{
    const QString out = m_dir.filePath(QStringLiteral("rows.png"));
    QCOMPARE(render({ m_dir.filePath(QStringLiteral("half.svg")), out }).exitCode, 0);
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray png = file.readAll();
    QVERIFY(png.startsWith("\x89PNG\r\n\x1a\n"));
    QByteArray header;
    QByteArray deflated;
    for (int at = 8; at + 12 <= png.size();) {
        const int length = int(qFromBigEndian<quint32>(png.constData() + at));
        const QByteArray type = png.mid(at + 4, 4);
        if (type == "IHDR")
            header = png.mid(at + 8, length);
        else if (type == "IDAT")
            deflated += png.mid(at + 8, length);
        at += 12 + length;
    }
    QCOMPARE(header.size(), 13);
    QCOMPARE(qFromBigEndian<quint32>(header.constData()), 10u);
    QCOMPARE(qFromBigEndian<quint32>(header.constData() + 4), 6u);
    QCOMPARE(int(header.at(8)), 8); // bits a channel
    QCOMPARE(int(header.at(9)), 6); // RGBA
    const int rowBytes = 1 + 10 * 4;
    QByteArray sized(4, '\0');
    qToBigEndian<quint32>(quint32(6 * rowBytes), sized.data());
    const QByteArray rows = qUncompress(sized + deflated);
    QCOMPARE(rows.size(), 6 * rowBytes);
    for (int y = 0; y < 6; ++y)
        QCOMPARE(int(rows.at(y * rowBytes)), 0);
}

// Qt's messages about the source reach the build's output; the picture is still made.
void TestSvg2Png::warningsPassOn()
{
    const QString in = m_dir.filePath(QStringLiteral("missing.svg"));
    QVERIFY(writeFile(in,
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"4\" height=\"4\">"
        "<rect width=\"4\" height=\"4\" fill=\"url(#nowhere)\"/></svg>"));
    const Run run = render({ in, m_dir.filePath(QStringLiteral("missing.png")) });
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.errors.contains("#nowhere"), run.errors.constData());
}

void TestSvg2Png::refusals_data()
{
    QTest::addColumn<QByteArray>("svg");
    QTest::addColumn<QStringList>("size");
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("no size") << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 4 4\"/>")
                             << QStringList() << QByteArray("needs width and height");
    QTest::newRow("broken") << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"4\" height=\"4\"><rect")
                            << QStringList() << QByteArray("not a valid SVG");
    QTest::newRow("zero size") << kHalfRed << QStringList({ QStringLiteral("0"), QStringLiteral("4") })
                               << QByteArray("not between 1 and 4096");
    QTest::newRow("too wide") << kHalfRed << QStringList({ QStringLiteral("4097"), QStringLiteral("4") })
                              << QByteArray("not between 1 and 4096");
    QTest::newRow("too high") << kHalfRed << QStringList({ QStringLiteral("4"), QStringLiteral("4097") })
                              << QByteArray("not between 1 and 4096");
    QTest::newRow("size not a number") << kHalfRed << QStringList({ QStringLiteral("wide"), QStringLiteral("4") })
                                       << QByteArray("not between 1 and 4096");
    QTest::newRow("missing source") << QByteArray() << QStringList() << QByteArray("cannot read");
    // The output's folder is a file: nothing can be written there.
    QTest::newRow("unwritable output") << kHalfRed << QStringList() << QByteArray("cannot write");
}

void TestSvg2Png::refusals()
{
    QFETCH(QByteArray, svg);
    QFETCH(QStringList, size);
    QFETCH(QByteArray, message);

    const QString in = m_dir.filePath(QStringLiteral("refused.svg"));
    QFile::remove(in);
    if (!svg.isEmpty())
        QVERIFY(writeFile(in, svg));
    const bool unwritable = message == "cannot write";
    const QString blocker = m_dir.filePath(QStringLiteral("blocker"));
    QVERIFY(writeFile(blocker, "x"));
    const QString out
        = unwritable ? blocker + QStringLiteral("/out.png") : m_dir.filePath(QStringLiteral("refused.png"));
    QFile::remove(out); // a row before may have failed and left one
    const Run run = render(QStringList({ in, out }) + size);
    QCOMPARE(run.exitCode, unwritable ? 2 : 1);
    QVERIFY2(run.errors.contains(message), run.errors.constData());
    QVERIFY(!QFile::exists(out));

    const Run usage = render({ in });
    QCOMPARE(usage.exitCode, 1);
    QVERIFY2(usage.errors.contains("usage: quv-svg2png <in.svg> <out.png>"), usage.errors.constData());
}

QUV_TEST_MAIN(TestSvg2Png)
#include "test_svg2png.moc"
