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
    QTest::newRow("stoi hex with prefix") << "stoi" << QByteArray("0x1F") << 16 << 31ll << 4;
    QTest::newRow("stoi base 0 octal") << "stoi" << QByteArray("017") << 0 << 15ll << 3;
    QTest::newRow("stoi keeps the low 32 bits") << "stoi" << QByteArray("99999999999") << 10 << 1215752191ll << 11;
    QTest::newRow("stoi lone sign") << "stoi" << QByteArray("-") << 10 << 0ll << 0;
    QTest::newRow("stoi base 37") << "stoi" << QByteArray("12") << 37 << 0ll << 0;
    QTest::newRow("stol base 2") << "stol" << QByteArray("1012") << 2 << 5ll << 3;
    QTest::newRow("stoul base 36") << "stoul" << QByteArray("zz") << 36 << 1295ll << 2;
    QTest::newRow("stoul bad base") << "stoul" << QByteArray("12") << 1 << 0ll << 0;
    QTest::newRow("stol saturates") << "stol" << QByteArray("99999999999999999999") << 10 << qlonglong(LONG_MAX) << 20;
    QTest::newRow("stoul hex") << "stoul" << QByteArray("ffz") << 16 << 255ll << 2;
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
    QCOMPARE(quv::to_string(1.0 / 3), std::string("0.333333"));
    QCOMPARE(quv::to_string(2.5f), std::string("2.500000"));
}

void TestQuvString::replace_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QByteArray>("result");

    // Inserted text is never searched again; an empty from changes nothing.
    QTest::newRow("shrinking") << QByteArray("aaaa") << QByteArray("aa") << QByteArray("a") << QByteArray("aa");
    QTest::newRow("growing") << QByteArray("aa") << QByteArray("a") << QByteArray("aa") << QByteArray("aaaa");
    QTest::newRow("empty from") << QByteArray("abc") << QByteArray() << QByteArray("x") << QByteArray("abc");
    QTest::newRow("to empty") << QByteArray("a-b-c") << QByteArray("-") << QByteArray() << QByteArray("abc");
}

void TestQuvString::replace()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QByteArray, result);

    std::string str = text.toStdString();
    QCOMPARE(&quv::replace(str, from.toStdString(), to.toStdString()), &str);
    QCOMPARE(QByteArray::fromStdString(str), result);
}

void TestQuvString::splitOnChar_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("pieces");

    QTest::newRow("plain") << "a,b,c" << QStringList { "a", "b", "c" };
    QTest::newRow("empty piece") << "a,,b" << QStringList { "a", "", "b" };
    QTest::newRow("trailing delimiter") << "a,b," << QStringList { "a", "b", "" };
    QTest::newRow("leading delimiter") << ",a" << QStringList { "", "a" };
    QTest::newRow("empty") << "" << QStringList {};
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
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("delimiter");
    QTest::addColumn<QStringList>("pieces");

    QTest::newRow("plain") << QByteArray("a::b") << QByteArray("::") << QStringList { "a", "b" };
    QTest::newRow("trailing") << QByteArray("a::") << QByteArray("::") << QStringList { "a", "" };
    QTest::newRow("none") << QByteArray("abc") << QByteArray("::") << QStringList { "abc" };
    QTest::newRow("empty text") << QByteArray() << QByteArray("::") << QStringList { "" };
    QTest::newRow("overlapping candidates") << QByteArray("a:::b") << QByteArray("::") << QStringList { "a", ":b" };
    QTest::newRow("empty delimiter") << QByteArray("abc") << QByteArray() << QStringList { "abc" };
}

void TestQuvString::splitOnString()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, delimiter);
    QFETCH(QStringList, pieces);
    QCOMPARE(toQt(quv::split(text.toStdString(), delimiter.toStdString())), pieces);
}

void TestQuvString::strip_data()
{
    QTest::addColumn<QByteArray>("function");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("defaultChars");
    QTest::addColumn<QByteArray>("chars");
    QTest::addColumn<QByteArray>("result");

    const QByteArray none;
    QTest::newRow("strip default") << QByteArray("strip") << QByteArray("  x \t\n") << true << none << QByteArray("x");
    QTest::newRow("rstrip only spaces") << QByteArray("rstrip") << QByteArray("   ") << true << none << none;
    QTest::newRow("lstrip only spaces") << QByteArray("lstrip") << QByteArray("   ") << true << none << none;
    QTest::newRow("lstrip") << QByteArray("lstrip") << QByteArray(" x  ") << true << none << QByteArray("x  ");
    QTest::newRow("empty chars strip nothing")
        << QByteArray("strip") << QByteArray(" abc ") << false << none << QByteArray(" abc ");
    QTest::newRow("own chars") << QByteArray("strip") << QByteArray("--x-y--") << false << QByteArray("-")
                               << QByteArray("x-y");
}

void TestQuvString::strip()
{
    QFETCH(QByteArray, function);
    QFETCH(QByteArray, text);
    QFETCH(bool, defaultChars);
    QFETCH(QByteArray, chars);
    QFETCH(QByteArray, result);

    std::string str = text.toStdString();
    const std::string set = chars.toStdString();
    std::string* returned = nullptr;
    if (function == "strip")
        returned = defaultChars ? &quv::strip(str) : &quv::strip(str, set);
    else if (function == "lstrip")
        returned = defaultChars ? &quv::lstrip(str) : &quv::lstrip(str, set);
    else
        returned = defaultChars ? &quv::rstrip(str) : &quv::rstrip(str, set);
    QCOMPARE(returned, &str);
    QCOMPARE(QByteArray::fromStdString(str), result);
}

void TestQuvString::caseChange_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("lower");
    QTest::addColumn<QByteArray>("upper");

    // Bytes above 0x7F (UTF-8) pass unchanged.
    QTest::newRow("utf-8") << QByteArray("\xC3\x89tE\xC3\xA9") << QByteArray("\xC3\x89te\xC3\xA9")
                           << QByteArray("\xC3\x89TE\xC3\xA9");
    QTest::newRow("all high bytes") << QByteArray("\x80\xFF\xC0") << QByteArray("\x80\xFF\xC0")
                                    << QByteArray("\x80\xFF\xC0");
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
    QCOMPARE(quv::join({ "a", "", "b" }, "-"), std::string("a--b"));
    QCOMPARE(quv::join({ "a" }, "-"), std::string("a"));
    QCOMPARE(quv::join({}, "-"), std::string());
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
    QTest::newRow("n cuts") << QByteArray("hello") << 2ull << 8ull << QByteArray("he\0", 3) + QByteArray(5, x);
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
    QVERIFY(!quv::string_to_cstring("hello", nullptr, 8));
    QVERIFY(!quv::string_to_cstring("hello", bytes + 4, 0));
    QCOMPARE(bytes[4], char(0xAA));

    // The null-pointer guards of the bounded copy.
    QCOMPARE(static_cast<void*>(quv::safer_strncpy(nullptr, "x", 1, 8)), static_cast<void*>(nullptr));
    QCOMPARE(static_cast<void*>(quv::safer_strncpy(bytes, nullptr, 4, 8)), static_cast<void*>(bytes));
    QCOMPARE(bytes[0], '\0');
}

void TestQuvString::utf8_data()
{
    QTest::addColumn<QByteArray>("utf8");
    QTest::addColumn<QVector<uint>>("codePoints");

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
    QCOMPARE(average.MarkAverage(2), int64_t(1)); // (1 + 2) / 2, truncated
    average.Mark(3);
    // The fourth sample replaces the first: 4, 2, 3.
    QCOMPARE(average.MarkAverage(4), int64_t(3));
    QCOMPARE(average.LastValue(), int64_t(4));

    // Resize empties the ring.
    average.Resize(2);
    QCOMPARE(average.LastValue(), int64_t(-1));
    average.Mark(10);
    average.Mark(20);
    average.Mark(30);
    QCOMPARE(average.Average(), int64_t(25));

    // A ring of size 0 (or less) neither divides by zero nor writes outside it.
    average.Resize(0);
    average.Mark(5);
    QCOMPARE(average.MarkAverage(7), int64_t(0));
    QCOMPARE(average.LastValue(), int64_t(-1));
    QUVRunTimeAverage negative(-4);
    QCOMPARE(negative.MarkDeltaAverage(), int64_t(0));
}

void TestQuvString::runTimeAverage()
{
    QUVRunTimeAverage average(4);
    QUVTime::Sleep(20);
    const int64_t first = average.MarkDeltaTime();
    QVERIFY(first >= 19000);
    QCOMPARE(average.Average(), first);

    // ResetTime restarts the measurement.
    const uint64_t before = QUVTime::GetSystemMicroseconds();
    average.ResetTime();
    const int64_t second = average.MarkDeltaTime();
    QVERIFY(second >= 0 && uint64_t(second) <= QUVTime::GetSystemMicroseconds() - before);
    QCOMPARE(average.Average(), (first + second) / 2);
    average.Resize(2);
    QCOMPARE(average.LastValue(), int64_t(-1));
    QUVTime::Sleep(2);
    QVERIFY(average.MarkDeltaAverage() >= 1900);
}

QUV_TEST_MAIN(TestQuvString)
#include "test_quvstring.moc"
