#include "valuelist.h"

#include <QLocale>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <limits>
#include <stdexcept>

namespace {

QStringList linesOf(const TValueList &p)
{
    QStringList out;
    for (int i = 0; i < p.Count(); ++i)
        out << p.Strings(i);
    return out;
}

TValueList packetOf(const QStringList &lines)
{
    TValueList p;
    for (const QString &l : lines)
        p.Add(l);
    return p;
}

class ValueListTest : public ::testing::Test
{
protected:
    // The float text uses the locale's decimal separator; pin it.
    void SetUp() override { QLocale::setDefault(QLocale::c()); }
};

} // namespace

TEST_F(ValueListTest, NewPacketIsEmptyAndReadsNeutralValues)
{
    TValueList p;
    EXPECT_EQ(p.Count(), 0);
    EXPECT_EQ(p.Text(), QString());
    EXPECT_FALSE(p.Exists("Code"));
    EXPECT_EQ(p.Integers("x"), 0);
    EXPECT_EQ(p.Int64s("x"), 0);
    EXPECT_EQ(p.Reals("x"), 0.0);
    EXPECT_FALSE(p.Booleans("x"));
    EXPECT_EQ(p.Pointers("x"), nullptr);
    EXPECT_EQ(p.Rects("x"), TRect{});
    EXPECT_EQ(p.TotalInteger(), 0);
}

TEST_F(ValueListTest, ValuesWriteReplacesAppendsAndDeletesFirstLineOnly)
{
    TValueList p = packetOf({"Code=A", "x", "Code=B"});
    EXPECT_EQ(p.Values("code"), "A");
    p.SetValues("Code", "C");
    EXPECT_EQ(linesOf(p), QStringList({"Code=C", "x", "Code=B"}));
    p.SetValues("Code", "");
    EXPECT_EQ(linesOf(p), QStringList({"x", "Code=B"}));

    // The name is written as the caller spells it.
    TValueList q = packetOf({"code=x"});
    q.SetValues("Code", "y");
    EXPECT_EQ(linesOf(q), QStringList({"Code=y"}));

    TValueList r;
    r.SetValues("Name", "Module");
    r.SetValues("Name", "");
    r.SetValues("Other", "");
    EXPECT_EQ(r.Count(), 0);
}

TEST_F(ValueListTest, NamesAndLinesWithoutSeparator)
{
    TValueList p = packetOf({"x", " a=1", "E=", "R=Left=1,Top=2,Right=3,Bottom=4"});
    EXPECT_FALSE(p.Exists("x"));
    EXPECT_EQ(p.Values("x"), QString());
    EXPECT_EQ(p.Names(0), QString());
    EXPECT_FALSE(p.Exists("a")) << "spaces belong to the name";
    EXPECT_TRUE(p.Exists(" A"));
    EXPECT_TRUE(p.Exists("e")) << "an empty value still exists";
    EXPECT_EQ(p.Values("R"), "Left=1,Top=2,Right=3,Bottom=4");
}

TEST_F(ValueListTest, TextFormWritesMarkerAfterEveryLine)
{
    TValueList p = packetOf({"Code=SetToolBar", "Name=Main"});
    EXPECT_EQ(p.Text(), "Code=SetToolBar<tAv>Name=Main<tAv>");
    EXPECT_EQ(packetOf({""}).Text(), "<tAv>");
}

TEST_F(ValueListTest, TextFormParsing)
{
    struct Case
    {
        QString text;
        QStringList lines;
    } cases[] = {
        {"a<tAv>b<tAv>", {"a", "b"}},
        {"a<tAv>b", {"a", "b"}},
        {"a<tAv><tAv>b", {"a", "", "b"}},
        {"<tAv>", {""}},
        {"<tAv>a", {"", "a"}},
        {"", {}},
        {"a<TAV>b", {"a<TAV>b"}},
        {"a\r\nb<tAv>", {"a\r\nb"}},
        {"<tA<tAv>", {"<tA"}},
        {QString("ab") + QChar(0) + "c<tAv>d<tAv>", {"ab"}},
        {QString("a<tAv>") + QChar(0) + "b", {"a"}},
        // The first line is the empty run before a leading NUL.
        {QString(QChar(0)) + "a<tAv>b", {""}},
    };
    for (const Case &c : cases) {
        TValueList p = packetOf({"old"});
        p.SetText(c.text);
        EXPECT_EQ(linesOf(p), c.lines) << c.text.toStdString();
    }
}

TEST_F(ValueListTest, TextRoundTripKeepsLinesButSplitsMarkersAndCutsAtNul)
{
    TValueList p = packetOf({"Text=line1\r\nline2", "", "Empty="});
    TValueList q;
    q.SetText(p.Text());
    EXPECT_EQ(linesOf(q), linesOf(p));

    TValueList m = packetOf({"V=a<tAv>b"});
    q.SetText(m.Text());
    EXPECT_EQ(linesOf(q), QStringList({"V=a", "b"}));

    TValueList n = packetOf({QString("A=x") + QChar(0) + "y", "B=2"});
    q.SetText(n.Text());
    EXPECT_EQ(linesOf(q), QStringList({"A=x"}));

    // A line that starts with a NUL loses its text but stays a line.
    TValueList z = packetOf({QString(QChar(0)) + "x", "B=2"});
    q.SetText(z.Text());
    EXPECT_EQ(linesOf(q), QStringList({""}));
}

TEST_F(ValueListTest, PositionsOutsideTheListRaise)
{
    TValueList p = packetOf({"A=1"});
    EXPECT_THROW(p.Strings(1), std::out_of_range);
    EXPECT_THROW(p.Strings(-1), std::out_of_range);
    EXPECT_THROW(p.Names(1), std::out_of_range);
    EXPECT_THROW(p.Delete(1), std::out_of_range);
    EXPECT_EQ(p.Count(), 1);
}

TEST_F(ValueListTest, IntegerReading)
{
    TValueList p;
    const struct
    {
        const char *text;
        int32_t value;
    } cases[] = {
        {"", 0}, {"abc", 0}, {"1.5", 0}, {"12 ", 0}, {" 12", 12}, {"$1F", 31}, {"0x1f", 31},
        {"-7", -7}, {"+7", 7}, {"2147483647", 2147483647}, {"-2147483648", INT32_MIN},
        {"2147483648", 0}, {"-2147483649", 0}, {"99999999999", 0}, {"$FFFFFFFF", -1},
        {"$100000000", 0}, {"-", 0}, {"$", 0}, {"0x", 0}, {"1 2", 0}, {"\t1", 0},
    };
    for (const auto &c : cases) {
        p.SetText(QStringLiteral("I=") + QString::fromUtf8(c.text));
        EXPECT_EQ(p.Integers("I"), c.value) << "'" << c.text << "'";
    }
    p.SetText("I=99999999999");
    EXPECT_EQ(p.Int64s("I"), 99999999999LL);
    p.SetText("I=9223372036854775808");
    EXPECT_EQ(p.Int64s("I"), 0);
    p.SetText("I=-9223372036854775808");
    EXPECT_EQ(p.Int64s("I"), INT64_MIN);
}

TEST_F(ValueListTest, IntegerWritingRoundTrips)
{
    TValueList p;
    p.SetIntegers("LineNo", -1);
    EXPECT_EQ(linesOf(p), QStringList({"LineNo=-1"}));
    EXPECT_EQ(p.Integers("LineNo"), -1);
    p.SetInt64s("Big", INT64_MIN);
    EXPECT_EQ(p.Values("Big"), "-9223372036854775808");
    EXPECT_EQ(p.Int64s("Big"), INT64_MIN);
    int x = 0;
    p.SetPointers("P", &x);
    EXPECT_EQ(p.Pointers("P"), &x);
    p.SetText("P=junk");
    EXPECT_EQ(p.Pointers("P"), nullptr);
}

TEST_F(ValueListTest, FloatWritingUsesFifteenSignificantDigits)
{
    const struct
    {
        double value;
        const char *text;
    } cases[] = {
        {0.0, "0"}, {1.0, "1"}, {-2.5, "-2.5"}, {0.1 + 0.2, "0.3"}, {1e20, "1E20"},
        {1.5e-7, "1.5E-7"}, {0.00001, "0.00001"}, {0.0000099999, "9.9999E-6"}, {0.0001, "0.0001"}, {123456789012345.0, "123456789012345"},
        {1234567890123456.0, "1.23456789012346E15"}, {3.14159265358979312, "3.14159265358979"},
        {100.0, "100"}, {-1e-300, "-1E-300"}, {0.000123, "0.000123"},
    };
    for (const auto &c : cases) {
        TValueList p;
        p.SetReals("R", c.value);
        EXPECT_EQ(p.Values("R").toStdString(), c.text) << c.value;
    }
}

TEST_F(ValueListTest, FloatReading)
{
    const struct
    {
        const char *text;
        double value;
    } cases[] = {
        {"1.5", 1.5}, {" 1.5 ", 1.5}, {"-2", -2}, {"+2", 2}, {"1e3", 1000}, {"1E-2", 0.01},
        {"1.5E+2", 150}, {".5", 0.5}, {"5.", 5}, {"abc", 0}, {"", 0}, {"1,5", 0}, {"1.5.2", 0},
        {"1e", 0}, {"e3", 0}, {"1 e3", 0}, {"--1", 0}, {"0x10", 0},
        // Only spaces may surround the number.
        {"  2.5  ", 2.5}, {"\t2.5", 0}, {"2.5\r\n", 0}, {"2.5\n", 0},
    };
    for (const auto &c : cases) {
        TValueList p;
        p.SetText(QStringLiteral("R=") + QString::fromUtf8(c.text));
        EXPECT_DOUBLE_EQ(p.Reals("R"), c.value) << "'" << c.text << "'";
        EXPECT_DOUBLE_EQ(p.Doubles("R"), c.value) << "'" << c.text << "'";
    }
    TValueList p;
    p.SetText("R=1e999");
    EXPECT_TRUE(std::isinf(p.Reals("R")));
    p.SetReals("N", std::numeric_limits<double>::quiet_NaN());
    EXPECT_TRUE(std::isnan(p.Reals("N")));
}

TEST_F(ValueListTest, FloatTextFollowsTheLocaleSeparator)
{
    QLocale::setDefault(QLocale(QLocale::German));
    TValueList p;
    p.SetReals("R", 2.5);
    EXPECT_EQ(p.Values("R"), "2,5");
    EXPECT_DOUBLE_EQ(p.Reals("R"), 2.5);
    p.SetText("R=2.5");
    EXPECT_EQ(p.Reals("R"), 0.0);
}

TEST_F(ValueListTest, BooleansAreTrueOnlyForExactlyOne)
{
    TValueList p;
    for (const char *t : {"0", "true", "True", "01", "", " 1", "1 "}) {
        p.SetText(QStringLiteral("B=") + QString::fromUtf8(t));
        EXPECT_FALSE(p.Booleans("B")) << "'" << t << "'";
    }
    p.SetText("B=1");
    EXPECT_TRUE(p.Booleans("B"));
    p.SetBooleans("F", false);
    EXPECT_TRUE(p.Exists("F"));
    EXPECT_FALSE(p.Booleans("F"));
    EXPECT_EQ(p.Values("F"), "0");
}

TEST_F(ValueListTest, RectsThroughCommaText)
{
    TValueList p;
    p.SetRect("R", {1, 2, 3, 4});
    EXPECT_EQ(p.Values("R"), "Left=1,Top=2,Right=3,Bottom=4");
    EXPECT_EQ(p.Rects("R"), (TRect{1, 2, 3, 4}));
    p.SetValues("S", "Bottom=4,left=1");
    EXPECT_EQ(p.Rects("S"), (TRect{1, 0, 0, 4}));
    p.SetValues("T", "Left=1, Top=2");
    EXPECT_EQ(p.Rects("T"), (TRect{1, 0, 0, 0}));
    p.SetRect("N", {-5, -6, INT32_MAX, INT32_MIN});
    EXPECT_EQ(p.Rects("N"), (TRect{-5, -6, INT32_MAX, INT32_MIN}));
}

TEST_F(ValueListTest, CommaTextItemsAndQuotes)
{
    const struct
    {
        const char *text;
        QStringList lines;
    } cases[] = {
        {"a,b", {"a", "b"}},
        {"a, b", {"a", " b"}},
        {"a,", {"a", ""}},
        {",a", {"", "a"}},
        {"\"x,y\",z", {"x,y", "z"}},
        {"\"say \"\"hi\"\"\"", {"say \"hi\""}},
        {"\"q\"tail,z", {"q", "tail", "z"}},
        {"\"open", {"open"}},
        {"", {}},
    };
    for (const auto &c : cases) {
        TValueList p;
        p.Add("old");
        p.SetCommaText(QString::fromUtf8(c.text));
        EXPECT_EQ(linesOf(p), c.lines) << c.text;
    }
}

TEST_F(ValueListTest, TotalsReadByNameAndWrap)
{
    EXPECT_EQ(packetOf({"A=1", "B=2", "C=x", "D"}).TotalInteger(), 3);
    EXPECT_EQ(packetOf({"A=1", "a=5"}).TotalInteger(), 2);
    EXPECT_EQ(packetOf({"A=2147483647", "B=1"}).TotalInteger(), INT32_MIN);
    EXPECT_EQ(packetOf({"A=9223372036854775807", "B=1"}).TotalInt64(), INT64_MIN);
    EXPECT_EQ(packetOf({"A=4000000000", "B=1"}).TotalInt64(), 4000000001LL);
    EXPECT_DOUBLE_EQ(packetOf({"A=1.5", "B=2.25", "C=x"}).TotalReal(), 3.75);
    EXPECT_DOUBLE_EQ(packetOf({"A=1.5", "B=2.25"}).TotalDouble(), 3.75);
    EXPECT_EQ(packetOf({"=5", "A=1"}).TotalInteger(), 1);
}

TEST_F(ValueListTest, ByteBlocks)
{
    TValueList empty;
    void *data = reinterpret_cast<void *>(1);
    int32_t size = -1;
    empty.SaveToBuffer(data, size);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(size, 0);

    TValueList p = packetOf({"Msg=안녕", "B=2"});
    p.SaveToBuffer(data, size);
    ASSERT_NE(data, nullptr);
    const QByteArray expected = p.Text().toUtf8();
    ASSERT_EQ(size, expected.size());
    EXPECT_EQ(QByteArray(static_cast<const char *>(data), size), expected);
    TValueList q = packetOf({"old"});
    q.LoadFromBuffer(data, size);
    std::free(data);
    EXPECT_EQ(linesOf(q), linesOf(p));

    q.LoadFromBuffer("x", 0);
    EXPECT_EQ(q.Count(), 0);

    const char utf8bom[] = "\xEF\xBB\xBF" "A=\xC3\xA9<tAv>";
    q.LoadFromBuffer(utf8bom, int32_t(sizeof utf8bom - 1));
    EXPECT_EQ(linesOf(q), QStringList({QStringLiteral("A=\u00e9")}));

    const char le[] = {'\xFF', '\xFE', 'A', 0, '=', 0, '1', 0};
    q.LoadFromBuffer(le, sizeof le);
    EXPECT_EQ(linesOf(q), QStringList({"A=1"}));
    const char be[] = {'\xFE', '\xFF', 0, 'B', 0, '=', 0, '2'};
    q.LoadFromBuffer(be, sizeof be);
    EXPECT_EQ(linesOf(q), QStringList({"B=2"}));
}

TEST_F(ValueListTest, ByteBlockCutInsideACharacterKeepsWhatTheDecoderMakesOfIt)
{
    // Every 2-, 3- and 4-byte sequence cut after each of its bytes: the cut
    // end reads as the same bytes do inside the text, with a marker after them.
    for (const QByteArray &whole : {QByteArray("\xC3\xA9"), QByteArray("\xE2\x82\xAC"), QByteArray("\xF0\x9F\x98\x80")}) {
        for (qsizetype cut = 1; cut < whole.size(); ++cut) {
            const QByteArray end = "A=" + whole.left(cut);
            const QByteArray mid = end + "<tAv>";
            TValueList atEnd, inside;
            atEnd.LoadFromBuffer(end.constData(), int32_t(end.size()));
            inside.LoadFromBuffer(mid.constData(), int32_t(mid.size()));
            EXPECT_EQ(linesOf(atEnd), linesOf(inside)) << end.toHex().toStdString();
            EXPECT_TRUE(atEnd.Values("A").startsWith(QChar::ReplacementCharacter)) << end.toHex().toStdString();
        }
    }
    // The odd last byte of a UTF-16 block is half a character.
    const char le[] = {'\xFF', '\xFE', 'A', 0, '=', 0, 'B'};
    TValueList odd;
    odd.LoadFromBuffer(le, sizeof le);
    EXPECT_EQ(linesOf(odd), QStringList({QStringLiteral("A=") + QChar(QChar::ReplacementCharacter)}));
}
