// The quv:: string functions and the running averages.

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "quvtest.h"

#include "quvbase/system/quvaverage.h"
#include "quvbase/system/quvstring.h"
#include "quvbase/system/quvtime.h"

namespace {

QStringList toQt(const std::vector<std::string>& pieces)
{
    QStringList list;
    for (const std::string& piece : pieces)
        list << QString::fromStdString(piece);
    return list;
}

std::vector<std::string> fromQt(const QStringList& list)
{
    std::vector<std::string> pieces;
    for (const QString& piece : list)
        pieces.push_back(piece.toStdString());
    return pieces;
}

} // namespace

class TestQuvString : public QObject
{
    Q_OBJECT

private slots:
    void integers_data();
    void integers();
    void floats_data();
    void floats();
    void toString();
    void replace_data();
    void replace();
    void splitOnChar_data();
    void splitOnChar();
    void splitOnString_data();
    void splitOnString();
    void strip_data();
    void strip();
    void caseChange_data();
    void caseChange();
    void join();
    void boundedCopies_data();
    void boundedCopies();
    void stringToCString();
    void utf8_data();
    void utf8();
    void utf8Errors();
    void runAverage();
    void runAverageOfSizeZero();
    void runTimeAverage();
};

void TestQuvString::integers_data()
{
    QTest::addColumn<QString>("function");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("base");
    QTest::addColumn<qlonglong>("value");
    QTest::addColumn<int>("consumed");

    QTest::newRow("stoi spaces, trailing text") << "stoi" << QByteArray("  42abc") << 10 << 42ll << 4;
    QTest::newRow("stoi no number") << "stoi" << QByteArray("abc") << 10 << 0ll << 0;
    QTest::newRow("stoi empty") << "stoi" << QByteArray("") << 10 << 0ll << 0;
    QTest::newRow("stoi hex with prefix") << "stoi" << QByteArray("0x1F") << 16 << 31ll << 4;
    QTest::newRow("stoi base 0 octal") << "stoi" << QByteArray("017") << 0 << 15ll << 3;
    QTest::newRow("stoi sign") << "stoi" << QByteArray(" -12 ") << 10 << -12ll << 4;
    QTest::newRow("stoi keeps the low 32 bits") << "stoi" << QByteArray("99999999999") << 10 << 1215752191ll << 11;
    QTest::newRow("stoi lone sign") << "stoi" << QByteArray("-") << 10 << 0ll << 0;
    QTest::newRow("stoi bad base") << "stoi" << QByteArray("12") << 1 << 0ll << 0;
    QTest::newRow("stoi base 37") << "stoi" << QByteArray("12") << 37 << 0ll << 0;
    QTest::newRow("stol negative base") << "stol" << QByteArray("12") << -2 << 0ll << 0;
    QTest::newRow("stoul bad base") << "stoul" << QByteArray("12") << 1 << 0ll << 0;
    QTest::newRow("stol large") << "stol" << QByteArray("-9000000000") << 10 << -9000000000ll << 11;
    QTest::newRow("stol saturates") << "stol" << QByteArray("99999999999999999999") << 10 << qlonglong(LONG_MAX) << 20;
    QTest::newRow("stol binary") << "stol" << QByteArray("1012") << 2 << 5ll << 3;
    QTest::newRow("stoul") << "stoul" << QByteArray("4294967295") << 10 << 4294967295ll << 10;
    QTest::newRow("stoul hex") << "stoul" << QByteArray("ffz") << 16 << 255ll << 2;
    QTest::newRow("stoul no number") << "stoul" << QByteArray("x1") << 10 << 0ll << 0;
}

void TestQuvString::integers()
{
    QFETCH(QString, function);
    QFETCH(QByteArray, text);
    QFETCH(int, base);
    QFETCH(qlonglong, value);
    QFETCH(int, consumed);

    const std::string str = text.toStdString();
    size_t idx = 999;
    qlonglong result = 0;
    if (function == QLatin1String("stoi")) {
        result = quv::stoi(str, &idx, base);
        QCOMPARE(qlonglong(quv::stoi(str, nullptr, base)), result);
    } else if (function == QLatin1String("stol")) {
        result = quv::stol(str, &idx, base);
    } else {
        result = qlonglong(quv::stoul(str, &idx, base));
    }
    QCOMPARE(result, value);
    QCOMPARE(int(idx), consumed);
}

void TestQuvString::floats_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("consumed");

    QTest::newRow("exponent, trailing text") << QByteArray("1e3x") << 1000.0 << 3;
    QTest::newRow("spaces and sign") << QByteArray("  -2.5") << -2.5 << 6;
    QTest::newRow("no number") << QByteArray("abc") << 0.0 << 0;
    QTest::newRow("empty") << QByteArray("") << 0.0 << 0;
    QTest::newRow("hex float") << QByteArray("0x1p4") << 16.0 << 5;
    QTest::newRow("dot only") << QByteArray(".") << 0.0 << 0;
}

void TestQuvString::floats()
{
    QFETCH(QByteArray, text);
    QFETCH(double, value);
    QFETCH(int, consumed);

    const std::string str = text.toStdString();
    size_t idx = 999;
    QCOMPARE(quv::stod(str, &idx), value);
    QCOMPARE(int(idx), consumed);
    idx = 999;
    QCOMPARE(quv::stof(str, &idx), float(value));
    QCOMPARE(int(idx), consumed);
    idx = 999;
    QCOMPARE(double(quv::stold(str, &idx)), value);
    QCOMPARE(int(idx), consumed);
    QCOMPARE(quv::stod(str), value);

    // Out of range is what strtod gives, never an exception.
    QVERIFY(std::isinf(quv::stod("1e999")));
    QVERIFY(std::isinf(quv::stof("1e39")));
}

void TestQuvString::toString()
{
    QCOMPARE(quv::to_string(true), std::string("true"));
    QCOMPARE(quv::to_string(false), std::string("false"));
    QCOMPARE(quv::to_string(-7), std::string("-7"));
    QCOMPARE(quv::to_string(INT_MIN), std::string("-2147483648"));
    QCOMPARE(quv::to_string(-9000000000l), std::string("-9000000000"));
    QCOMPARE(quv::to_string(4294967295u), std::string("4294967295"));
    QCOMPARE(quv::to_string(18446744073709551615ul), std::string("18446744073709551615"));
    QCOMPARE(quv::to_string(2.5), std::string("2.500000"));
    QCOMPARE(quv::to_string(1.0 / 3), std::string("0.333333"));
    QCOMPARE(quv::to_string(2.5f), std::string("2.500000"));
    QCOMPARE(quv::to_string(-0.0000004), std::string("-0.000000"));
    QCOMPARE(quv::to_string(1e20), std::string("100000000000000000000.000000"));
    QCOMPARE(quv::to_string(2.25l), std::string("2.250000"));
}

void TestQuvString::replace_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("result");

    QTest::newRow("shrinking, no rescan") << "aaaa"
                                          << "aa"
                                          << "a"
                                          << "aa";
    QTest::newRow("growing, no rescan") << "aa"
                                        << "a"
                                        << "aa"
                                        << "aaaa";
    QTest::newRow("empty from") << "abc"
                                << ""
                                << "x"
                                << "abc";
    QTest::newRow("to empty") << "a-b-c"
                              << "-"
                              << ""
                              << "abc";
    QTest::newRow("not found") << "abc"
                               << "z"
                               << "y"
                               << "abc";
    QTest::newRow("whole") << "abc"
                           << "abc"
                           << "x"
                           << "x";
    QTest::newRow("empty text") << ""
                                << "a"
                                << "b"
                                << "";
}

void TestQuvString::replace()
{
    QFETCH(QString, text);
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, result);

    std::string str = text.toStdString();
    std::string& returned = quv::replace(str, from.toStdString(), to.toStdString());
    QCOMPARE(&returned, &str);
    QCOMPARE(QString::fromStdString(str), result);
}

void TestQuvString::splitOnChar_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("pieces");

    QTest::newRow("plain") << "a,b,c" << QStringList { "a", "b", "c" };
    QTest::newRow("empty piece") << "a,,b" << QStringList { "a", "", "b" };
    QTest::newRow("trailing delimiter") << "a,b," << QStringList { "a", "b", "" };
    QTest::newRow("leading delimiter") << ",a" << QStringList { "", "a" };
    QTest::newRow("delimiter only") << "," << QStringList { "", "" };
    QTest::newRow("empty") << "" << QStringList {};
    QTest::newRow("no delimiter") << "abc" << QStringList { "abc" };
}

void TestQuvString::splitOnChar()
{
    QFETCH(QString, text);
    QFETCH(QStringList, pieces);

    QCOMPARE(toQt(quv::split(text.toStdString(), ',')), pieces);
    std::vector<std::string> out { "left", "over" };
    quv::split(text.toStdString(), ',', out);
    QCOMPARE(toQt(out), pieces);
}

void TestQuvString::splitOnString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("delimiter");
    QTest::addColumn<QStringList>("pieces");

    QTest::newRow("plain") << "a::b"
                           << "::" << QStringList { "a", "b" };
    QTest::newRow("trailing") << "a::"
                              << "::" << QStringList { "a", "" };
    QTest::newRow("none") << "abc"
                          << "::" << QStringList { "abc" };
    QTest::newRow("empty text") << ""
                                << "::" << QStringList { "" };
    QTest::newRow("adjacent") << "a::::b"
                              << "::" << QStringList { "a", "", "b" };
    QTest::newRow("overlapping candidates") << "a:::b"
                                            << "::" << QStringList { "a", ":b" };
    QTest::newRow("empty delimiter") << "abc"
                                     << "" << QStringList { "abc" };
}

void TestQuvString::splitOnString()
{
    QFETCH(QString, text);
    QFETCH(QString, delimiter);
    QFETCH(QStringList, pieces);
    QCOMPARE(toQt(quv::split(text.toStdString(), delimiter.toStdString())), pieces);
}

void TestQuvString::strip_data()
{
    QTest::addColumn<QString>("function");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("defaultChars");
    QTest::addColumn<QString>("chars");
    QTest::addColumn<QString>("result");

    QTest::newRow("strip default") << "strip"
                                   << "  x \t\n"
                                   << true << ""
                                   << "x";
    QTest::newRow("strip inner space stays") << "strip"
                                             << "\r a b \r" << true << ""
                                             << "a b";
    QTest::newRow("rstrip only spaces") << "rstrip"
                                        << "   " << true << ""
                                        << "";
    QTest::newRow("lstrip only spaces") << "lstrip"
                                        << "   " << true << ""
                                        << "";
    QTest::newRow("rstrip") << "rstrip"
                            << " x  " << true << ""
                            << " x";
    QTest::newRow("lstrip") << "lstrip"
                            << " x  " << true << ""
                            << "x  ";
    QTest::newRow("empty chars strip nothing") << "strip"
                                               << " abc " << false << ""
                                               << " abc ";
    QTest::newRow("own chars") << "strip"
                               << "--x-y--" << false << "-"
                               << "x-y";
    QTest::newRow("empty text") << "strip"
                                << "" << true << ""
                                << "";
}

void TestQuvString::strip()
{
    QFETCH(QString, function);
    QFETCH(QString, text);
    QFETCH(bool, defaultChars);
    QFETCH(QString, chars);
    QFETCH(QString, result);

    std::string str = text.toStdString();
    const std::string set = chars.toStdString();
    std::string* returned = nullptr;
    if (function == QLatin1String("strip"))
        returned = defaultChars ? &quv::strip(str) : &quv::strip(str, set);
    else if (function == QLatin1String("lstrip"))
        returned = defaultChars ? &quv::lstrip(str) : &quv::lstrip(str, set);
    else
        returned = defaultChars ? &quv::rstrip(str) : &quv::rstrip(str, set);
    QCOMPARE(returned, &str);
    QCOMPARE(QString::fromStdString(str), result);
}

void TestQuvString::caseChange_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("lower");
    QTest::addColumn<QByteArray>("upper");

    QTest::newRow("ascii") << QByteArray("MiXeD 123") << QByteArray("mixed 123") << QByteArray("MIXED 123");
    // Bytes above 0x7F (UTF-8) pass unchanged.
    QTest::newRow("utf-8") << QByteArray("\xC3\x89t\xC3\xA9") << QByteArray("\xC3\x89t\xC3\xA9")
                           << QByteArray("\xC3\x89T\xC3\xA9");
    QTest::newRow("all high bytes") << QByteArray("\x80\xFF\xC0") << QByteArray("\x80\xFF\xC0")
                                    << QByteArray("\x80\xFF\xC0");
    QTest::newRow("empty") << QByteArray() << QByteArray() << QByteArray();
}

void TestQuvString::caseChange()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, lower);
    QFETCH(QByteArray, upper);

    std::string str = text.toStdString();
    QCOMPARE(&quv::lower(str), &str);
    QCOMPARE(QByteArray::fromStdString(str), lower);
    str = text.toStdString();
    QCOMPARE(&quv::upper(str), &str);
    QCOMPARE(QByteArray::fromStdString(str), upper);
}

void TestQuvString::join()
{
    QCOMPARE(quv::join(fromQt({ "a", "", "b" }), "-"), std::string("a--b"));
    QCOMPARE(quv::join(fromQt({ "a" }), "-"), std::string("a"));
    QCOMPARE(quv::join({}, "-"), std::string());
    QCOMPARE(quv::join(fromQt({ "x", "y", "z" }), ", "), std::string("x, y, z"));
    QCOMPARE(quv::join(fromQt({ "x", "y" }), ""), std::string("xy"));
}

void TestQuvString::boundedCopies_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<qulonglong>("n");
    QTest::addColumn<qulonglong>("capacity");
    // What the 8-byte buffer (filled with 0xAA) holds afterwards.
    QTest::addColumn<QByteArray>("buffer");

    const char x = char(0xAA);
    QTest::newRow("capacity cuts") << QByteArray("hello") << 5ull << 3ull << QByteArray("he\0", 3) + QByteArray(5, x);
    QTest::newRow("capacity 0 writes nothing") << QByteArray("hello") << 5ull << 0ull << QByteArray(8, x);
    QTest::newRow("capacity 1 terminates")
        << QByteArray("hello") << 5ull << 1ull << QByteArray(1, '\0') + QByteArray(7, x);
    QTest::newRow("n cuts") << QByteArray("hello") << 2ull << 8ull << QByteArray("he\0", 3) + QByteArray(5, x);
    QTest::newRow("n with the terminator")
        << QByteArray("hi") << 3ull << 8ull << QByteArray("hi\0\0", 4) + QByteArray(4, x);
    QTest::newRow("zero padding up to n")
        << QByteArray("hi") << 6ull << 8ull << QByteArray("hi\0\0\0\0\0", 7) + QByteArray(1, x);
    QTest::newRow("capacity negative as 32 bits") << QByteArray("hello") << 5ull << 0xFFFFFFFFull << QByteArray(8, x);
}

void TestQuvString::boundedCopies()
{
    QFETCH(QByteArray, source);
    QFETCH(qulonglong, n);
    QFETCH(qulonglong, capacity);
    QFETCH(QByteArray, buffer);

    char bytes[8];
    std::memset(bytes, 0xAA, sizeof bytes);
    QCOMPARE(static_cast<void*>(quv::safer_strncpy(bytes, source.constData(), n, capacity)), static_cast<void*>(bytes));
    QCOMPARE(QByteArray(bytes, sizeof bytes), buffer);
}

void TestQuvString::stringToCString()
{
    char bytes[8];
    std::memset(bytes, 0xAA, sizeof bytes);
    QVERIFY(quv::string_to_cstring("hello", bytes, 3));
    QCOMPARE(QByteArray(bytes, 4), QByteArray("he\0\xAA", 4));
    QVERIFY(quv::string_to_cstring("hi", bytes, sizeof bytes));
    QCOMPARE(QByteArray(bytes, 3), QByteArray("hi\0", 3));
    QVERIFY(quv::string_to_cstring("", bytes, 1));
    QCOMPARE(bytes[0], '\0');
    QVERIFY(!quv::string_to_cstring("hello", nullptr, 8));
    std::memset(bytes, 0xAA, sizeof bytes);
    QVERIFY(!quv::string_to_cstring("hello", bytes, 0));
    QCOMPARE(bytes[0], char(0xAA));

    // The null-pointer guard of the bounded copy.
    QCOMPARE(static_cast<void*>(quv::safer_strncpy(nullptr, "x", 1, 8)), static_cast<void*>(nullptr));
    QCOMPARE(static_cast<void*>(quv::safer_strncpy(bytes, nullptr, 4, 8)), static_cast<void*>(bytes));
    QCOMPARE(bytes[0], '\0');
}

void TestQuvString::utf8_data()
{
    QTest::addColumn<QByteArray>("utf8");
    QTest::addColumn<QVector<uint>>("codePoints");

    QTest::newRow("ascii") << QByteArray("abc") << QVector<uint> { 'a', 'b', 'c' };
    QTest::newRow("empty") << QByteArray() << QVector<uint> {};
    QTest::newRow("two, three and four bytes") << QByteArray("h\xC3\xA9llo \xE2\x82\xAC\xF0\x9D\x84\x9E")
                                               << QVector<uint> { 'h', 0xE9, 'l', 'l', 'o', ' ', 0x20AC, 0x1D11E };
    QTest::newRow("highest code point") << QByteArray("\xF4\x8F\xBF\xBF") << QVector<uint> { 0x10FFFF };
    QTest::newRow("embedded zero") << QByteArray("a\0b", 3) << QVector<uint> { 'a', 0, 'b' };
}

void TestQuvString::utf8()
{
    QFETCH(QByteArray, utf8);
    QFETCH(QVector<uint>, codePoints);

    std::wstring wide;
    QVERIFY(quv::string_to_wstring(utf8.toStdString(), wide));
    QCOMPARE(int(wide.size()), codePoints.size());
    for (int i = 0; i < codePoints.size(); ++i)
        QCOMPARE(uint(wide[size_t(i)]), codePoints.at(i));

    std::string back;
    QVERIFY(quv::wstring_to_string(wide, back));
    QCOMPARE(QByteArray::fromStdString(back), utf8);
}

void TestQuvString::utf8Errors()
{
    const char* invalid[]
        = { "\xC3\x28", "\xC3", "\xE2\x82", "\xFF", "\x80", "\xF4\x90\x80\x80", "ok\xF0\x9D\x84", "\xC0\x80" };
    for (const char* bytes : invalid) {
        std::wstring wide = L"kept";
        QVERIFY_EXCEPTION_THROWN(quv::string_to_wstring(bytes, wide), std::range_error);
        QCOMPARE(wide, std::wstring(L"kept"));
    }

    std::string narrow = "kept";
    std::wstring beyond(1, wchar_t(0x110000));
    QVERIFY_EXCEPTION_THROWN(quv::wstring_to_string(beyond, narrow), std::range_error);
    QCOMPARE(narrow, std::string("kept"));
}

void TestQuvString::runAverage()
{
    QUVRunAverage average(3);
    QCOMPARE(average.Average(), int64_t(0));
    QCOMPARE(average.LastValue(), int64_t(-1));

    average.Mark(1);
    QCOMPARE(average.Average(), int64_t(1));
    QCOMPARE(average.MarkAverage(2), int64_t(1)); // (1 + 2) / 2, truncated
    average.Mark(3);
    QCOMPARE(average.Average(), int64_t(2));
    // The fourth sample replaces the first: 4, 2, 3.
    QCOMPARE(average.MarkAverage(4), int64_t(3));
    QCOMPARE(average.LastValue(), int64_t(4));

    average.Reset();
    QCOMPARE(average.Average(), int64_t(0));
    QCOMPARE(average.LastValue(), int64_t(-1));

    average.Mark(10);
    average.Resize(2);
    QCOMPARE(average.Average(), int64_t(0));
    QCOMPARE(average.LastValue(), int64_t(-1));
    average.Mark(10);
    average.Mark(20);
    average.Mark(30);
    QCOMPARE(average.Average(), int64_t(25));
    QCOMPARE(average.LastValue(), int64_t(30));
    average.Resize(5);
    average.Mark(5);
    QCOMPARE(average.Average(), int64_t(5));
}

void TestQuvString::runAverageOfSizeZero()
{
    QUVRunAverage average(0);
    average.Mark(5);
    QCOMPARE(average.MarkAverage(7), int64_t(0));
    QCOMPARE(average.LastValue(), int64_t(-1));
    average.Resize(1);
    average.Mark(5);
    QCOMPARE(average.LastValue(), int64_t(5));
    average.Resize(0);
    average.Mark(5);
    QCOMPARE(average.Average(), int64_t(0));

    QUVRunTimeAverage negative(-4);
    QCOMPARE(negative.MarkDeltaAverage(), int64_t(0));
    QCOMPARE(negative.LastValue(), int64_t(-1));
}

void TestQuvString::runTimeAverage()
{
    QUVRunTimeAverage average(4);
    QCOMPARE(average.Average(), int64_t(0));
    QUVTime::Sleep(20);
    const int64_t first = average.MarkDeltaTime();
    QVERIFY(first >= 19000);
    QCOMPARE(average.LastValue(), first);
    QCOMPARE(average.Average(), first);

    QUVTime::Sleep(5);
    const uint64_t before = QUVTime::GetSystemMicroseconds();
    average.ResetTime();
    const int64_t second = average.MarkDeltaTime();
    QVERIFY(second >= 0 && uint64_t(second) <= QUVTime::GetSystemMicroseconds() - before);
    QCOMPARE(average.Average(), (first + second) / 2);

    average.Reset();
    QCOMPARE(average.LastValue(), int64_t(-1));
    QUVTime::Sleep(2);
    QVERIFY(average.MarkDeltaAverage() >= 1900);
    average.Resize(8);
    QCOMPARE(average.Average(), int64_t(0));
}

QUV_TEST_MAIN(TestQuvString)
#include "test_quvstring.moc"
