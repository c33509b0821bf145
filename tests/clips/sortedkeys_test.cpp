// The sorted keys of the clip list: locale-aware, letter case ignored,
// equal texts refused, bisection.
#include "src/clips/sortedkeys.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

QStringList Texts(const TSortedKeys &keys)
{
    QStringList texts;
    for (int i = 0; i < keys.Count(); ++i)
        texts.append(keys[i]);
    return texts;
}

class SortedKeysTest : public ::testing::TestWithParam<QLocale>
{ };

TEST_P(SortedKeysTest, AddsInOrderIgnoringCase)
{
    TSortedKeys keys(GetParam());
    for (const char *text : {"delta", "Bravo", "alpha", "charlie", "ALPHA2"})
        keys.Add(QString::fromLatin1(text));
    EXPECT_EQ(Texts(keys), (QStringList {"alpha", "ALPHA2", "Bravo", "charlie", "delta"}));
}

TEST_P(SortedKeysTest, RefusesATextEqualApartFromCaseAndGivesItsIndex)
{
    TSortedKeys keys(GetParam());
    keys.Add("b/clip.m2ts");
    keys.Add("a/clip.m2ts");
    bool added = true;
    EXPECT_EQ(keys.Add("B/CLIP.M2TS", &added), 1);
    EXPECT_FALSE(added);
    EXPECT_EQ(keys.Count(), 2);
    EXPECT_EQ(keys[1], "b/clip.m2ts");  // the first form stays
    EXPECT_EQ(keys.Add("c/clip.m2ts", &added), 2);
    EXPECT_TRUE(added);
}

TEST_P(SortedKeysTest, TellsApartTextsTheCollationAloneWouldMerge)
{
    TSortedKeys keys(GetParam());
    const QString composed = QString::fromUtf8("\xC3\xA9t\xC3\xA9.m2ts");  // été, precomposed
    const QString decomposed = QString::fromUtf8("e\xCC\x81te\xCC\x81.m2ts");  // été, with combining accents
    bool added = false;
    keys.Add(composed);
    keys.Add(decomposed, &added);
    EXPECT_TRUE(added);
    keys.Add(QString::fromUtf8("a\x01z"));
    keys.Add("az", &added);
    EXPECT_TRUE(added);
    EXPECT_EQ(keys.Count(), 4);
}

TEST_P(SortedKeysTest, FindsByBisection)
{
    TSortedKeys keys(GetParam());
    for (const char *text : {"b", "d", "f"})
        keys.Add(QString::fromLatin1(text));
    int index = -1;
    EXPECT_TRUE(keys.Find("D", index));
    EXPECT_EQ(index, 1);
    EXPECT_FALSE(keys.Find("e", index));
    EXPECT_EQ(index, 2);
    EXPECT_FALSE(keys.Find("a", index));
    EXPECT_EQ(index, 0);
    EXPECT_FALSE(keys.Find("z", index));
    EXPECT_EQ(index, 3);
    keys.Delete(1);
    EXPECT_EQ(Texts(keys), (QStringList {"b", "f"}));
}

TEST_P(SortedKeysTest, AssignKeepsTheLastOfEqualTextsAtItsPlace)
{
    TSortedKeys keys(GetParam());
    keys.Add("old");
    const QStringList texts {"charlie", "Alpha", "bravo", "ALPHA", "delta"};
    const std::vector<int> kept = keys.Assign(texts);
    EXPECT_EQ(kept, (std::vector<int> {3, 2, 0, 4}));
    EXPECT_EQ(Texts(keys), (QStringList {"ALPHA", "bravo", "charlie", "delta"}));
}

INSTANTIATE_TEST_SUITE_P(Locales, SortedKeysTest,
                         ::testing::Values(QLocale::c(), QLocale(QLocale::French, QLocale::France),
                                           QLocale(QLocale::English, QLocale::UnitedStates)));

TEST(SortedKeys, FrenchCollationPutsAccentedLettersWithTheirBaseLetter)
{
    TSortedKeys keys(QLocale(QLocale::French, QLocale::France));
    for (const char *text : {"f", "\xC3\xA9t\xC3\xA9", "d"})
        keys.Add(QString::fromUtf8(text));
    EXPECT_EQ(Texts(keys), (QStringList {"d", QString::fromUtf8("\xC3\xA9t\xC3\xA9"), "f"}));
}

}  // namespace
