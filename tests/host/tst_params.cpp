#include "params.h"

#include <gtest/gtest.h>

TEST(ParamsTest, SplitsAtEverySlashKeepingEmptySegments)
{
    const TParams p(QStringLiteral("kb://kitebench/open/Glow0001/Blink.js"));
    EXPECT_EQ(p.Count(), 6);
    EXPECT_EQ(p.GetString(0), QStringLiteral("kb:"));
    EXPECT_EQ(p.GetString(1), QString());
    EXPECT_EQ(p.GetString(2), QStringLiteral("kitebench"));
    EXPECT_EQ(p.GetString(4), QStringLiteral("Glow0001"));
    EXPECT_EQ(p.GetString(5), QStringLiteral("Blink.js"));
    // Past the end, and negative, read as empty.
    EXPECT_EQ(p.GetString(6), QString());
    EXPECT_EQ(p.GetString(600), QString());
    EXPECT_EQ(p.GetString(-1), QString());

    const TParams edges(QStringLiteral("/a//b/"));
    EXPECT_EQ(edges.Count(), 5);
    EXPECT_EQ(edges.Text(), QStringLiteral("/a//b/"));
    EXPECT_EQ(TParams(QString()).Count(), 0);
    EXPECT_EQ(TParams(QStringLiteral("whole text")).GetString(0), QStringLiteral("whole text"));
}

TEST(ParamsTest, DecodesAsUtf8BeforeSplitting)
{
    const TParams p(QStringLiteral("kb://x/y/My%20Module/a%2Fb%2fc.js"));
    EXPECT_EQ(p.GetString(4), QStringLiteral("My Module"));
    EXPECT_EQ(p.GetString(5), QStringLiteral("a"));
    EXPECT_EQ(p.GetString(6), QStringLiteral("b"));
    EXPECT_EQ(p.GetString(7), QStringLiteral("c.js"));

    // Korean file names arrive as escaped UTF-8 bytes.
    const TParams korean(QStringLiteral("kb://x/y/Empty/%EC%98%88%EC%A0%9C.js"));
    EXPECT_EQ(korean.GetString(5), QStringLiteral("예제.js"));

    // "+" is not a space, quotes are plain characters, and a stray "%" stays.
    const TParams odd(QStringLiteral("kb://x/y/\"a/b\"/100%+1"));
    EXPECT_EQ(odd.GetString(4), QStringLiteral("\"a"));
    EXPECT_EQ(odd.GetString(5), QStringLiteral("b\""));
    EXPECT_EQ(odd.GetString(6), QStringLiteral("100%+1"));
}

TEST(ParamsTest, SettingTextSplitsWithoutDecoding)
{
    TParams p;
    p.SetText(QStringLiteral("a%2Fb/c"));
    EXPECT_EQ(p.Count(), 2);
    EXPECT_EQ(p.GetString(0), QStringLiteral("a%2Fb"));
    p.SetText(QString());
    EXPECT_EQ(p.Count(), 0);
}
