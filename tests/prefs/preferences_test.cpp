#include "src/platform/registry.h"
#include "src/prefs/preferences.h"
#include "tests/prefs/prefstestutil.h"

#include <gtest/gtest.h>

#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace {

enum Kind { Bool, Integer, Text };

// A read of one key: its kind, its default and the expected result, all
// as texts ("1"/"0" for booleans).
struct ReadCase
{
    const char *name;
    QStringList stored;  // ini lines after the header, or hive value lines
    Kind kind;
    const char *key;
    QString defaultValue;
    QString expected;
};

QString ReadAsText(const TReadPreferences &prefs, const ReadCase &c)
{
    switch (c.kind) {
    case Bool: return prefs.ReadBool(c.key, c.defaultValue == "1") ? "1" : "0";
    case Integer: return QString::number(prefs.ReadInteger(c.key, c.defaultValue.toInt()));
    case Text: return prefs.ReadString(c.key, c.defaultValue);
    }
    return {};
}

class IniRead : public PrefsPlace, public testing::WithParamInterface<ReadCase>
{ };

TEST_P(IniRead, ReadsAsTheIniRulesSay)
{
    const ReadCase &c = GetParam();
    PutIni(QStringList {Header} + c.stored);
    TReadPreferences prefs(Section, pmPortable, where);
    ASSERT_TRUE(prefs.OpenError().isEmpty()) << prefs.OpenError().toStdString();
    EXPECT_EQ(ReadAsText(prefs, c), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniRead,
    testing::Values(
        ReadCase {"BoolFalseWord", {"DeleteMeta=false"}, Bool, "DeleteMeta", "0", "1"},
        ReadCase {"BoolEmpty", {"DeleteMeta="}, Bool, "DeleteMeta", "0", "1"},
        ReadCase {"BoolDoubleZero", {"DeleteMeta=00"}, Bool, "DeleteMeta", "0", "1"},
        ReadCase {"BoolZeroWithBlanks", {"DeleteMeta= 0 "}, Bool, "DeleteMeta", "1", "0"},
        ReadCase {"BoolMissingGivesDefaultFalse", {}, Bool, "DeleteMeta", "0", "0"},
        ReadCase {"BoolMissingGivesDefaultTrue", {}, Bool, "DeleteMeta", "1", "1"},
        ReadCase {"IntegerNotANumberIsZero", {"mainWidth=abc"}, Integer, "mainWidth", "696", "0"},
        ReadCase {"IntegerTrimmed", {"mainWidth=\t 42 "}, Integer, "mainWidth", "696", "42"},
        ReadCase {"IntegerNegative", {"maintop=-7"}, Integer, "maintop", "5", "-7"},
        ReadCase {"IntegerTooLargeIsZero", {"mainWidth=99999999999"}, Integer, "mainWidth", "696", "0"},
        ReadCase {"IntegerEmptyIsZero", {"mainWidth="}, Integer, "mainWidth", "696", "0"},
        ReadCase {"IntegerMissingGivesDefault", {}, Integer, "mainWidth", "-696", "-696"},
        ReadCase {"TextLeadingBlanksInName", {"  DossierFlux=/x"}, Text, "DossierFlux", "def", "def"},
        ReadCase {"TextValueNotTrimmed", {"DossierFlux= /x "}, Text, "DossierFlux", "def", " /x "},
        ReadCase {"TextNameCaseSensitive", {"dossierflux=/x"}, Text, "DossierFlux", "def", "def"},
        ReadCase {"TextHoldingEquals", {"DossierFlux=/a=b"}, Text, "DossierFlux", "def", "/a=b"},
        ReadCase {
            "TextFirstOfTwo", {"SortIndex=taille", "SortIndex=modify"}, Text, "SortIndex", "alpha", "taille"},
        ReadCase {"TextOtherSection", {"[Other]", "SortIndex=taille"}, Text, "SortIndex", "alpha", "alpha"},
        ReadCase {
            "TextAfterBlankLines", {"", "", "SortIndex=taille", ""}, Text, "SortIndex", "alpha", "taille"},
        ReadCase {
            "MarkerReadsEmpty", {QString::fromUtf8("eac3tofile=#@vide§#")}, Text, "eac3tofile", "x", ""},
        ReadCase {"MarkerDefaultReadsEmpty", {}, Text, "eac3tofile", QString::fromUtf8("#@vide§#"), ""},
        ReadCase {"EmptyValueReadsEmpty", {"eac3tofile="}, Text, "eac3tofile", "x", ""},
        ReadCase {"AccentedKey",
                  {QString::fromUtf8("Dernière Sauvegarde=x")},
                  Text,
                  "Dernière Sauvegarde",
                  "",
                  "x"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(PrefsPlace, IniSectionHeaderIsCaseSensitive)
{
    PutIni({"[\\software\\Morvek\\Tavrel]", "SortIndex=taille"});
    TReadPreferences prefs(Section, pmPortable, where);
    EXPECT_EQ(prefs.ReadString("SortIndex", "alpha"), "alpha");
}

TEST_F(PrefsPlace, IniKeyAboveTheFirstHeaderIsNeverFound)
{
    PutIni({"SortIndex=taille", Header});
    TReadPreferences prefs(Section, pmPortable, where);
    EXPECT_EQ(prefs.ReadString("SortIndex", "alpha"), "alpha");
}

class RegistryRead : public PrefsPlace, public testing::WithParamInterface<ReadCase>
{ };

TEST_P(RegistryRead, ReadsTypedValues)
{
    const ReadCase &c = GetParam();
    QByteArray text =
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Morvek\\Tavrel]\n";
    for (const QString &line : c.stored)
        text += line.toUtf8() + "\n";
    PutHive(text);
    TReadPreferences prefs(Section, pmNormal, where);
    EXPECT_EQ(ReadAsText(prefs, c), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegistryRead,
    testing::Values(
        ReadCase {"BoolAnyNonZeroIsTrue", {"\"DeleteMeta\"=dword:00000002"}, Bool, "DeleteMeta", "0", "1"},
        ReadCase {"BoolZero", {"\"DeleteMeta\"=dword:00000000"}, Bool, "DeleteMeta", "1", "0"},
        ReadCase {"BoolTextIsWrongType", {"\"DeleteMeta\"=\"0\""}, Bool, "DeleteMeta", "1", "1"},
        ReadCase {"IntegerSigned", {"\"maintop\"=dword:fffffff9"}, Integer, "maintop", "0", "-7"},
        ReadCase {"IntegerTextIsWrongType", {"\"mainWidth\"=\"42\""}, Integer, "mainWidth", "696", "696"},
        ReadCase {"IntegerBinaryIsWrongType",
                  {"\"mainWidth\"=hex:2a,00,00,00"},
                  Integer,
                  "mainWidth",
                  "696",
                  "696"},
        ReadCase {"IntegerMissing", {}, Integer, "mainWidth", "696", "696"},
        ReadCase {"TextNameIgnoresCase", {"\"dossierflux\"=\"/x/\""}, Text, "DossierFlux", "def", "/x/"},
        ReadCase {"TextExpandNotExpanded",
                  {"\"DossierFlux\"=hex(2):24,00,48,00,00,00"},
                  Text,
                  "DossierFlux",
                  "d",
                  "$H"},
        ReadCase {
            "TextDwordIsWrongType", {"\"SortIndex\"=dword:00000001"}, Text, "SortIndex", "alpha", "alpha"},
        ReadCase {"TextMultiIsWrongType",
                  {"\"SortIndex\"=hex(7):61,00,00,00,00,00"},
                  Text,
                  "SortIndex",
                  "alpha",
                  "alpha"},
        ReadCase {"MarkerReadsEmpty",
                  {QString::fromUtf8("\"eac3tofile\"=\"#@vide§#\"")},
                  Text,
                  "eac3tofile",
                  "x",
                  ""},
        ReadCase {"CutValueGivesDefault", {"\"SortIndex\"=\"tai"}, Text, "SortIndex", "alpha", "alpha"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(PrefsPlace, RegistryReaderOfAMissingKeyGivesDefaultsAndCreatesNothing)
{
    PutHive("[HKEY_CURRENT_USER\\Software\\Other]\n\"SortIndex\"=\"taille\"\n");
    const QByteArray before = FileBytes(where.HiveFile);
    {
        TReadPreferences prefs(Section, pmNormal, where);
        EXPECT_EQ(prefs.ReadString("SortIndex", "alpha"), "alpha");
        EXPECT_EQ(prefs.ReadInteger("mainWidth", 696), 696);
    }
    EXPECT_EQ(FileBytes(where.HiveFile), before);
}

TEST_F(PrefsPlace, EmptyTextIsStoredAsTheMarkerInBothStores)
{
    for (TPrefsMode mode : {pmNormal, pmPortable}) {
        TWritePreferences writer(Section, mode, where);
        writer.WriteString("eac3tofile", "");
        QString error;
        ASSERT_TRUE(writer.Close(&error)) << error.toStdString();
    }
    EXPECT_EQ(FileBytes(where.IniFile()), IniBytes({Header, QString::fromUtf8("eac3tofile=#@vide§#")}));
    TRegistry registry(where.HiveFile);
    ASSERT_TRUE(registry.OpenKeyReadOnly(Section));
    EXPECT_EQ(registry.ReadString("eac3tofile"), QString::fromUtf8("#@vide§#"));
    for (TPrefsMode mode : {pmNormal, pmPortable}) {
        TReadPreferences reader(Section, mode, where);
        EXPECT_EQ(reader.ReadString("eac3tofile", "default"), "") << int(mode);
    }
}

TEST_F(PrefsPlace, WrittenValuesReadBackInBothStores)
{
    for (TPrefsMode mode : {pmNormal, pmPortable}) {
        {
            TWritePreferences writer(Section, mode, where);
            writer.WriteBool("DeleteMeta", false);
            writer.WriteBool("DeleteFlux", true);
            writer.WriteInteger("maintop", -40);
            writer.WriteInteger("mainWidth", 2147483647);
            writer.WriteString("DossierFlux", QString::fromUtf8("/données/flux/"));
            ASSERT_TRUE(writer.Close());
        }
        TReadPreferences reader(Section, mode, where);
        EXPECT_FALSE(reader.ReadBool("DeleteMeta", true));
        EXPECT_TRUE(reader.ReadBool("DeleteFlux", false));
        EXPECT_EQ(reader.ReadInteger("maintop", 0), -40);
        EXPECT_EQ(reader.ReadInteger("mainWidth", 0), 2147483647);
        EXPECT_EQ(reader.ReadString("DossierFlux", ""), QString::fromUtf8("/données/flux/"));
    }
}

TEST_F(PrefsPlace, IniWriterKeepsForeignLinesAndWritesOnlyAtClose)
{
    const QStringList before {"; comment", Header, "SortIndex=alpha", "", "[Other]", "x=1"};
    PutIni(before);
    TWritePreferences writer(Section, pmPortable, where);
    writer.WriteString("SortIndex", "taille");
    writer.WriteInteger("mainWidth", 800);
    EXPECT_EQ(FileBytes(where.IniFile()), IniBytes(before)) << "nothing written before the pass ends";
    ASSERT_TRUE(writer.Close());
    EXPECT_EQ(FileBytes(where.IniFile()),
              IniBytes({"; comment", Header, "SortIndex=taille", "", "mainWidth=800", "[Other]", "x=1"}));
}

TEST_F(PrefsPlace, IniWriterRewritesTheWholeFileEvenWithoutChanges)
{
    // Read by its UTF-8 mark, written back in UTF-16LE with CR LF.
    PutFile(where.IniFile(), "\xEF\xBB\xBF" + Header.toUtf8() + "\nk=1\n");
    TWritePreferences writer(Section, pmPortable, where);
    ASSERT_TRUE(writer.Close());
    EXPECT_EQ(FileBytes(where.IniFile()), IniBytes({Header, "k=1"}));
}

TEST_F(PrefsPlace, NoneAndUnknownModesReadDefaultsAndWriteNothing)
{
    PutIni({Header, "SortIndex=taille"});
    PutHive("[HKEY_CURRENT_USER\\Software\\Morvek\\Tavrel]\n\"SortIndex\"=\"taille\"\n");
    const QByteArray ini = FileBytes(where.IniFile());
    const QByteArray hive = FileBytes(where.HiveFile);
    for (TPrefsMode mode : {pmNone, TPrefsMode(7)}) {
        {
            TReadPreferences reader(Section, mode, where);
            EXPECT_EQ(reader.ReadString("SortIndex", "alpha"), "alpha");
            EXPECT_EQ(reader.ReadString("x", EmptyMarker), "");
            EXPECT_EQ(reader.ReadInteger("mainWidth", 696), 696);
            EXPECT_TRUE(reader.ReadBool("DeleteMeta", true));
        }
        TWritePreferences writer(Section, mode, where);
        writer.WriteString("SortIndex", "modify");
        writer.WriteInteger("mainWidth", 1);
        writer.WriteBool("DeleteMeta", false);
        EXPECT_TRUE(writer.Close());
    }
    EXPECT_EQ(FileBytes(where.IniFile()), ini);
    EXPECT_EQ(FileBytes(where.HiveFile), hive);
}

TEST_F(PrefsPlace, RegistryWriterCreatesTheKeyPath)
{
    TWritePreferences writer(Section, pmNormal, where);
    writer.WriteInteger("mainWidth", 800);
    ASSERT_TRUE(writer.Close());
    TRegistry registry(where.HiveFile);
    ASSERT_TRUE(registry.OpenKeyReadOnly("\\Software\\Morvek"));
    EXPECT_TRUE(registry.HasSubKeys());
    ASSERT_TRUE(registry.OpenKeyReadOnly(Section));
    EXPECT_EQ(registry.ReadInteger("mainWidth"), 800);
}

TEST_F(PrefsPlace, IniReaderOfAMissingFileFailsWithTheSystemText)
{
    TReadPreferences prefs(Section, pmPortable, where);
    EXPECT_TRUE(prefs.OpenError().contains(QString::fromLocal8Bit(std::strerror(ENOENT))));
    EXPECT_EQ(prefs.ReadString("SortIndex", "alpha"), "alpha");
}

TEST_F(PrefsPlace, IniWriterOfAnUnreadableFileSavesNothing)
{
    ASSERT_TRUE(QDir().mkpath(where.IniFile()));
    TWritePreferences writer(Section, pmPortable, where);
    EXPECT_TRUE(writer.OpenError().contains(QString::fromLocal8Bit(std::strerror(EISDIR))));
    writer.WriteString("SortIndex", "taille");
    QString error;
    EXPECT_FALSE(writer.Close(&error));
    EXPECT_EQ(error, writer.OpenError());
    EXPECT_TRUE(QFileInfo(where.IniFile()).isDir());
}

}  // namespace
