#include "src/platform/registry.h"
#include "src/platform/pathdelim.h"
#include "src/platform/shell.h"
#include "src/prefs/inifile.h"
#include "src/prefs/settings.h"
#include "tests/prefs/prefstestutil.h"
#include "tests/support/unprivileged.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFileInfo>
#include <QPoint>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

const QSize Screen(1920, 1080);
// The 696 x 556 window centred on it, worked out by hand.
const QPoint CentredOnScreen(612, 262);

QByteArray HiveWith(const QStringList &valueLines)
{
    QByteArray text =
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Morvek\\Tavrel]\n";
    for (const QString &line : valueLines)
        text += line.toUtf8() + "\n";
    return text;
}

QString Quoted(const QString &text)
{
    return '"' + text + '"';
}

// The settings a first run gets with its window at `topLeft`.
TSettings Defaults(QPoint topLeft)
{
    TSettings s;
    s.PrefsMode = pmNone;
    s.DossierOuvrir = VideosFolder();
    s.DossierAVCHD = DocumentsFolder();
    s.Dossiermeta = DocumentsFolder() + "/";
    s.DossierFlux = DocumentsFolder() + "/";
    s.DossierImages = IncludeTrailingPathDelimiter(VideosFolder()) + "Tavrel/";
    s.maintop = topLeft.y();
    s.mainleft = topLeft.x();
    return s;
}

void ExpectSame(const TSettings &a, const TSettings &b)
{
    EXPECT_EQ(int(a.PrefsMode), int(b.PrefsMode));
    EXPECT_EQ(a.PortablePath, b.PortablePath);
    EXPECT_EQ(a.DossierOuvrir, b.DossierOuvrir);
    EXPECT_EQ(a.DossierAVCHD, b.DossierAVCHD);
    EXPECT_EQ(a.mainWidth, b.mainWidth);
    EXPECT_EQ(a.mainHeight, b.mainHeight);
    EXPECT_EQ(a.maintop, b.maintop);
    EXPECT_EQ(a.mainleft, b.mainleft);
    EXPECT_EQ(a.SortIndex, b.SortIndex);
    EXPECT_EQ(a.DeleteMeta, b.DeleteMeta);
    EXPECT_EQ(a.DeleteFlux, b.DeleteFlux);
    EXPECT_EQ(a.eac3tofile, b.eac3tofile);
    EXPECT_EQ(a.Dossiermeta, b.Dossiermeta);
    EXPECT_EQ(a.tsMuxerFile, b.tsMuxerFile);
    EXPECT_EQ(a.DossierFlux, b.DossierFlux);
    EXPECT_EQ(a.ImgBurnFile, b.ImgBurnFile);
    EXPECT_EQ(a.Destination, b.Destination);
    EXPECT_EQ(a.DossierImages, b.DossierImages);
    EXPECT_EQ(a.Verifier, b.Verifier);
    EXPECT_EQ(a.TailleDisque, b.TailleDisque);
}

// Settings unlike any default, with an empty text among them.
TSettings Sample(const TPrefsLocation &where, TPrefsMode mode)
{
    TSettings s;
    s.PrefsMode = mode;
    s.PortablePath = where.ExeFolder();
    s.DossierOuvrir = QString::fromUtf8("/data/vidéos");
    s.DossierAVCHD = "/data/avchd";
    s.mainWidth = 800;
    s.mainHeight = 600;
    s.maintop = -10;
    s.mainleft = 20;
    s.SortIndex = "taille";
    s.DeleteMeta = false;
    s.DeleteFlux = true;
    s.eac3tofile = "";
    s.Dossiermeta = "/data/meta/";
    s.tsMuxerFile = "/opt/tools/tsmuxer";
    s.DossierFlux = "/data/flux/";
    s.ImgBurnFile = "/opt/tools/imgburn";
    s.Destination = "/dev/sr1";
    s.DossierImages = "/data/images/";
    s.Verifier = false;
    s.TailleDisque = kDualLayerDvdSize;
    return s;
}

TSettings Loaded(const TPrefsLocation &where, QSize screen = Screen)
{
    TSettings s;
    QString error;
    EXPECT_TRUE(LoadSettings(s, screen, &error, where)) << error.toStdString();
    return s;
}

class SettingsTest : public PrefsPlace
{ };

// A screen and where the window's top left corner must be on it.
struct ScreenCase
{
    QSize screen;
    QPoint topLeft;
};

class FirstRun : public PrefsPlace, public testing::WithParamInterface<ScreenCase>
{ };

TEST_P(FirstRun, EveryFieldHasItsDefaultAndTheWindowIsCentred)
{
    const TSettings s = Loaded(where, GetParam().screen);
    ExpectSame(s, Defaults(GetParam().topLeft));
    EXPECT_EQ(s.mainWidth, 696);
    EXPECT_EQ(s.mainHeight, 556);
    EXPECT_EQ(s.SortIndex, "alpha");
    EXPECT_TRUE(s.DeleteMeta);
    EXPECT_TRUE(s.DeleteFlux);
    EXPECT_EQ(s.Destination, "") << "the first burner found";
    EXPECT_TRUE(s.Verifier);
    EXPECT_EQ(s.TailleDisque, 4'600'000'000);
    EXPECT_FALSE(QFileInfo::exists(where.IniFile()));
    EXPECT_FALSE(QFileInfo::exists(where.HiveFile));
}

// Half the free room on each side, odd room rounded toward zero: down
// when there is room to spare (801 x 601: 52.5 and 22.5), up when the
// screen is smaller than the window (501 x 501: -97.5 and -27.5).
INSTANTIATE_TEST_SUITE_P(Screens, FirstRun,
                         testing::Values(ScreenCase {Screen, CentredOnScreen},
                                         ScreenCase {QSize(801, 601), QPoint(52, 22)},
                                         ScreenCase {QSize(501, 501), QPoint(-97, -27)},
                                         ScreenCase {QSize(0, 0), QPoint(-348, -278)}),
                         [](const auto &info) {
                             return std::to_string(info.param.screen.width()) + "x"
                                    + std::to_string(info.param.screen.height());
                         });

struct ModeCase
{
    const char *name;
    bool ini;
    QString exename;  // "" for no Exename value; "%exe%" is the running executable
    bool exenameAsDword;
    TPrefsMode expected;
};

class ModeDecision : public PrefsPlace, public testing::WithParamInterface<ModeCase>
{ };

TEST_P(ModeDecision, ComesFromTheIniFileOrTheExecutablePathInTheHive)
{
    const ModeCase &c = GetParam();
    QString exename = c.exename;
    exename.replace("%exe%", where.ExeName);
    exename.replace("%EXE%", where.ExeName.toUpper());
    QStringList values {"\"SortIndex\"=\"modify\""};
    if (c.exenameAsDword)
        values << "\"Exename\"=dword:00000001";
    else if (!exename.isEmpty())
        values << "\"Exename\"=" + Quoted(exename);
    PutHive(HiveWith(values));
    if (c.ini)
        PutIni({Header, "SortIndex=taille"});
    const TSettings s = Loaded(where);
    EXPECT_EQ(int(s.PrefsMode), int(c.expected));
    const char *sort = c.expected == pmPortable ? "taille" : c.expected == pmNormal ? "modify" : "alpha";
    EXPECT_EQ(s.SortIndex, sort) << "values come from the chosen store only";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModeDecision,
    testing::Values(ModeCase {"SameExecutable", false, "%exe%", false, pmNormal},
                    ModeCase {"SameExecutableOtherCase", false, "%EXE%", false, pmNormal},
                    ModeCase {"CopyAtAnotherPath", false, "/opt/other/bin/tavrel", false, pmNone},
                    ModeCase {"NoExename", false, "", false, pmNone},
                    ModeCase {"ExenameOfWrongType", false, "", true, pmNone},
                    ModeCase {"IniWinsOverTheHive", true, "%exe%", false, pmPortable},
                    ModeCase {"IniAlone", true, "/opt/other/bin/tavrel", false, pmPortable}),
    [](const auto &info) { return std::string(info.param.name); });

struct StoredCase
{
    const char *name;
    const char *key;
    QString stored;
    QString TSettings::*field;
    QString expected;
};

class StoredFolders : public PrefsPlace,
                      public testing::WithParamInterface<std::tuple<TPrefsMode, StoredCase>>
{ };

TEST_P(StoredFolders, LoadAsStoredWithTheTrailingDelimiterWhereNeeded)
{
    const auto &[mode, c] = GetParam();
    if (mode == pmPortable) {
        PutIni({Header, QString(c.key) + "=" + c.stored});
    } else {
        PutHive(HiveWith({"\"Exename\"=" + Quoted(where.ExeName), Quoted(c.key) + "=" + Quoted(c.stored)}));
    }
    const TSettings s = Loaded(where);
    ASSERT_EQ(int(s.PrefsMode), int(mode));
    EXPECT_EQ(s.*c.field, c.expected);
}

const QString Marker = QString::fromUtf8("#@vide§#");

INSTANTIATE_TEST_SUITE_P(
    Cases, StoredFolders,
    testing::Combine(
        testing::Values(pmNormal, pmPortable),
        testing::Values(
            StoredCase {"MetaGetsDelimiter", "Dossiermeta", "/data/meta", &TSettings::Dossiermeta,
                        "/data/meta/"},
            StoredCase {"MetaKeepsDelimiter", "Dossiermeta", "/data/meta/", &TSettings::Dossiermeta,
                        "/data/meta/"},
            StoredCase {"EmptyFluxBecomesRoot", "DossierFlux", Marker, &TSettings::DossierFlux, "/"},
            StoredCase {"FluxGetsDelimiter", "DossierFlux", "/data/flux", &TSettings::DossierFlux,
                        "/data/flux/"},
            StoredCase {"AvchdStaysWithout", "DossierAVCHD", "/data/avchd", &TSettings::DossierAVCHD,
                        "/data/avchd"},
            StoredCase {"EmptyToolPath", "eac3tofile", Marker, &TSettings::eac3tofile, ""},
            StoredCase {"EmptyOpenFolder", "DossierOuvrir", Marker, &TSettings::DossierOuvrir, ""},
            StoredCase {"ImagesGetDelimiter", "DossierImages", "/data/iso", &TSettings::DossierImages,
                        "/data/iso/"},
            StoredCase {"DriveAddress", "Destination", "/dev/sr1", &TSettings::Destination, "/dev/sr1"})),
    [](const auto &info) {
        return std::string(std::get<0>(info.param) == pmNormal ? "Registry" : "Ini")
               + std::get<1>(info.param).name;
    });

struct DiscSizeCase
{
    const char *name;
    QString stored;  // null: no value stored
    int64_t expected;
};

class StoredDiscSize : public PrefsPlace, public testing::WithParamInterface<DiscSizeCase>
{ };

// The size is a decimal text: a dual-layer DVD holds more than 32 bits.
// What is not a positive number of bytes gives the default.
TEST_P(StoredDiscSize, LoadsAPositiveByteCountOrTheDefault)
{
    const DiscSizeCase &c = GetParam();
    QStringList lines {Header};
    if (!c.stored.isNull())
        lines << "TailleDisque=" + c.stored;
    PutIni(lines);
    EXPECT_EQ(Loaded(where).TailleDisque, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, StoredDiscSize,
                         testing::Values(DiscSizeCase {"DualLayer", "8400000000", kDualLayerDvdSize},
                                         DiscSizeCase {"Dvd", "4600000000", kDvdSize},
                                         DiscSizeCase {"Absent", QString(), kDvdSize},
                                         DiscSizeCase {"NotANumber", "8,5 Go", kDvdSize},
                                         DiscSizeCase {"Zero", "0", kDvdSize},
                                         DiscSizeCase {"Negative", "-1", kDvdSize},
                                         DiscSizeCase {"Empty", Marker, kDvdSize}),
                         [](const auto &info) { return std::string(info.param.name); });

struct RebaseCase
{
    const char *name;
    QString portablePath;  // "%new%" is the executable's folder now
    QString stored;
    QString expected;
};

class PortableRebase : public PrefsPlace, public testing::WithParamInterface<RebaseCase>
{ };

TEST_P(PortableRebase, PathsFollowTheMovedCopy)
{
    const RebaseCase &c = GetParam();
    QStringList lines {Header, "eac3tofile=" + c.stored, "DossierFlux=" + c.stored};
    if (!c.portablePath.isNull())
        lines << "Portable Path=" + c.portablePath;
    PutIni(lines);
    QString expected = c.expected;
    expected.replace("%new%", where.ExeFolder());
    const TSettings s = Loaded(where);
    EXPECT_EQ(s.eac3tofile, expected);
    EXPECT_EQ(s.DossierFlux, IncludeTrailingPathDelimiter(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PortableRebase,
    testing::Values(
        RebaseCase {"UnderTheOldFolderIgnoringCase", "/media/E/Outils/", "/MEDIA/e/outils/flux/",
                    "%new%flux/"},
        RebaseCase {"ElsewhereUnchanged", "/media/E/Outils/", "/opt/eac3to/eac3to", "/opt/eac3to/eac3to"},
        RebaseCase {"EmptyPortablePath", Marker, "/media/E/Outils/flux/", "/media/E/Outils/flux/"},
        RebaseCase {"NoPortablePath", QString(), "/media/E/Outils/flux/", "/media/E/Outils/flux/"},
        RebaseCase {"ShorterThanTheOldFolder", "/media/E/Outils/", "/media/E/", "/media/E/"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(RebasePath, NeedsThreeNonEmptyTexts)
{
    EXPECT_EQ(RebasePath("/a/b", "/A/", "/c/"), "/c/b");
    EXPECT_EQ(RebasePath("/a/b", "", "/c/"), "/a/b");
    EXPECT_EQ(RebasePath("/a/b", "/a/", ""), "/a/b");
    EXPECT_EQ(RebasePath("", "/a/", "/c/"), "");
}

TEST_F(SettingsTest, RebaseAppliesToThePathFields)
{
    PutIni({Header, "Portable Path=/old/", "DossierOuvrir=/old/a", "DossierAVCHD=/old/b", "eac3tofile=/old/c",
            "Dossiermeta=/old/d", "tsMuxerFile=/old/e", "DossierFlux=/old/f", "ImgBurnFile=/old/g",
            "SortIndex=/old/h", "DossierImages=/old/i/"});
    const TSettings s = Loaded(where);
    const QString n = where.ExeFolder();
    EXPECT_EQ(s.DossierOuvrir, n + "a");
    EXPECT_EQ(s.DossierAVCHD, n + "b");
    EXPECT_EQ(s.eac3tofile, n + "c");
    EXPECT_EQ(s.Dossiermeta, n + "d/");
    EXPECT_EQ(s.tsMuxerFile, n + "e");
    EXPECT_EQ(s.DossierFlux, n + "f/");
    EXPECT_EQ(s.ImgBurnFile, n + "g");
    EXPECT_EQ(s.DossierImages, n + "i/");
    EXPECT_EQ(s.SortIndex, "/old/h") << "not a path field";
    EXPECT_EQ(s.PortablePath, "/old/") << "the stored value is kept";
}

TEST_F(SettingsTest, RegistrySettingsAreNotRebased)
{
    PutHive(HiveWith({"\"Exename\"=" + Quoted(where.ExeName), "\"Portable Path\"=\"/old/\"",
                      "\"eac3tofile\"=\"/old/c\""}));
    EXPECT_EQ(Loaded(where).eac3tofile, "/old/c");
}

// The file of a first portable save, built here line by line.
TEST_F(SettingsTest, FirstPortableSaveWritesExactlyTheseBytes)
{
    const TSettings s = Sample(where, pmPortable);
    const QDateTime before = QDateTime::currentDateTime();
    QString error;
    ASSERT_TRUE(SaveSettings(s, &error, where)) << error.toStdString();
    const QDateTime after = QDateTime::currentDateTime();

    const QByteArray bytes = FileBytes(where.IniFile());
    ASSERT_TRUE(bytes.startsWith("\xFF\xFE"));
    const QString text =
        QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData() + 2), (bytes.size() - 2) / 2);
    const QStringList lines = text.split("\r\n");
    ASSERT_GT(lines.size(), 2);
    const QRegularExpression stampLine(
        QString::fromUtf8("^Dernière Sauvegarde=(\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d)$"));
    const QRegularExpressionMatch match = stampLine.match(lines[2]);
    ASSERT_TRUE(match.hasMatch()) << lines[2].toStdString();
    const QString stamp = match.captured(1);
    const QDateTime saved = QDateTime::fromString(stamp, "dd/MM/yyyy hh:mm:ss");
    EXPECT_GE(saved.toSecsSinceEpoch(), before.toSecsSinceEpoch());
    EXPECT_LE(saved.toSecsSinceEpoch(), after.toSecsSinceEpoch());

    const QStringList expected {
        "[\\Software\\Morvek\\Tavrel]",
        "version=Tavrel 1.0.3 fr de Morvek",
        QString::fromUtf8("Dernière Sauvegarde=") + stamp,
        "Exename=" + where.ExeName,
        "maintop=-10",
        "mainleft=20",
        "mainWidth=800",
        "mainHeight=600",
        "SortIndex=taille",
        QString::fromUtf8("DossierOuvrir=/data/vidéos"),
        "DossierAVCHD=/data/avchd",
        QString::fromUtf8("eac3tofile=#@vide§#"),
        "Dossiermeta=/data/meta/",
        "tsMuxerFile=/opt/tools/tsmuxer",
        "DeleteMeta=0",
        "DeleteFlux=1",
        "DossierFlux=/data/flux/",
        "ImgBurnFile=/opt/tools/imgburn",
        "Portable Path=" + where.ExeFolder(),
        "Destination=/dev/sr1",
        "DossierImages=/data/images/",
        "Verifier=0",
        "TailleDisque=8400000000",
    };
    EXPECT_EQ(bytes, IniBytes(expected));
}

TEST_F(SettingsTest, SaveThenLoadGivesTheSameSettingsInBothStores)
{
    for (TPrefsMode mode : {pmNormal, pmPortable}) {
        const TSettings s = Sample(where, mode);
        QString error;
        ASSERT_TRUE(SaveSettings(s, &error, where)) << error.toStdString();
        ExpectSame(Loaded(where), s);
    }
}

TEST_F(SettingsTest, LaterSaveUpdatesLinesInPlaceAndKeepsForeignOnes)
{
    PutIni({"; notes", Header, "SortIndex=alpha", "Custom=1", "mainWidth=1", "", "[Other]", "x=y"});
    ASSERT_TRUE(SaveSettings(Sample(where, pmPortable), nullptr, where));
    const QStringList lines = DecodeIniText(FileBytes(where.IniFile()));
    ASSERT_GE(lines.size(), 8);
    EXPECT_EQ(lines[0], "; notes");
    EXPECT_EQ(lines[1], Header);
    EXPECT_EQ(lines[2], "SortIndex=taille");
    EXPECT_EQ(lines[3], "Custom=1");
    EXPECT_EQ(lines[4], "mainWidth=800");
    EXPECT_EQ(lines[5], "");
    EXPECT_EQ(lines[6], "version=Tavrel 1.0.3 fr de Morvek") << "new keys go at the end of the section";
    EXPECT_EQ(lines.mid(lines.size() - 2), QStringList({"[Other]", "x=y"}));
}

TEST_F(SettingsTest, RegistrySaveRecordsTheExecutableSoTheNextLoadUsesIt)
{
    ASSERT_TRUE(SaveSettings(Sample(where, pmNormal), nullptr, where));
    TRegistry registry(where.HiveFile);
    ASSERT_TRUE(registry.OpenKeyReadOnly(Section));
    EXPECT_EQ(registry.ReadString("Exename"), where.ExeName);
    EXPECT_EQ(registry.ReadString("version"), SettingsVersion);
    EXPECT_TRUE(registry.ReadString(QString::fromUtf8("Dernière Sauvegarde")));
    EXPECT_EQ(registry.ReadInteger("DeleteMeta"), 0);
    EXPECT_EQ(int(Loaded(where).PrefsMode), int(pmNormal));
    // The same hive seen by a copy at another path is not used.
    TPrefsLocation copy = where;
    copy.ExeName = dir.filePath("elsewhere/tavrel");
    EXPECT_EQ(int(Loaded(copy).PrefsMode), int(pmNone));
}

TEST_F(SettingsTest, NoneModeSaveCreatesNothing)
{
    ASSERT_TRUE(SaveSettings(Sample(where, pmNone), nullptr, where));
    EXPECT_FALSE(QFileInfo::exists(where.IniFile()));
    EXPECT_FALSE(QFileInfo::exists(where.HiveFile));
}

TEST_F(SettingsTest, DeleteRegistrySettingsRemovesTheKeyAndAnEmptyParent)
{
    PutHive(
        "[HKEY_CURRENT_USER\\Software\\Morvek\\Tavrel]\n\"x\"=\"1\"\n[HKEY_CURRENT_USER\\Software\\Keep]\n");
    DeleteRegistrySettings(where);
    TRegistry registry(where.HiveFile);
    EXPECT_FALSE(registry.OpenKeyReadOnly("\\Software\\Morvek"));
    EXPECT_TRUE(registry.OpenKeyReadOnly("\\Software\\Keep"));
}

TEST_F(SettingsTest, DeleteRegistrySettingsKeepsAParentWithOtherSubkeys)
{
    PutHive("[HKEY_CURRENT_USER\\Software\\Morvek\\Tavrel]\n[HKEY_CURRENT_USER\\Software\\Morvek\\Other]\n");
    DeleteRegistrySettings(where);
    TRegistry registry(where.HiveFile);
    EXPECT_FALSE(registry.OpenKeyReadOnly(Section));
    EXPECT_TRUE(registry.OpenKeyReadOnly("\\Software\\Morvek\\Other"));
}

TEST_F(SettingsTest, DeleteRegistrySettingsWithoutTheKeyChangesNothing)
{
    DeleteRegistrySettings(where);
    EXPECT_FALSE(QFileInfo::exists(where.HiveFile));
}

TEST_F(SettingsTest, DeleteIniSettingsRemovesAReadOnlyFile)
{
    PutIni({Header});
    ASSERT_EQ(chmod(QFile::encodeName(where.IniFile()).constData(), 0444), 0);
    DeleteIniSettings(where);
    EXPECT_FALSE(QFileInfo::exists(where.IniFile()));
    DeleteIniSettings(where);  // nothing left: ignored
}

TEST_F(SettingsTest, UnreadableIniStopsTheLoadWithTheSystemText)
{
    ASSERT_TRUE(QDir().mkpath(where.IniFile()));
    TSettings s;
    s.SortIndex = "untouched";
    QString error;
    EXPECT_FALSE(LoadSettings(s, Screen, &error, where));
    EXPECT_TRUE(error.contains(QString::fromLocal8Bit(std::strerror(EISDIR)))) << error.toStdString();
    EXPECT_EQ(s.SortIndex, "untouched");
}

class UnwritableSave : public PrefsPlace, public testing::WithParamInterface<TPrefsMode>
{ };

TEST_P(UnwritableSave, FailsWithTheSystemTextAndKeepsTheOldFile)
{
    const TPrefsMode mode = GetParam();
    ASSERT_TRUE(SaveSettings(Sample(where, mode), nullptr, where));
    const QString file = mode == pmPortable ? where.IniFile() : where.HiveFile;
    const QByteArray before = FileBytes(file);
    const QByteArray folder = QFile::encodeName(QFileInfo(file).absolutePath());
    ASSERT_EQ(chmod(QFile::encodeName(file).constData(), 0666), 0);
    ASSERT_EQ(chmod(folder.constData(), 0555), 0);
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    TSettings changed = Sample(where, mode);
    changed.SortIndex = "modify";
    const int result = RunUnprivileged([&] {
        QString error;
        return !SaveSettings(changed, &error, where) && error.startsWith(file + ": ")
               && error.endsWith(QString::fromLocal8Bit(std::strerror(EACCES)));
    });
    chmod(folder.constData(), 0755);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(FileBytes(file), before);
}

INSTANTIATE_TEST_SUITE_P(Stores, UnwritableSave, testing::Values(pmNormal, pmPortable), [](const auto &info) {
    return std::string(info.param == pmNormal ? "Registry" : "Ini");
});

// Bad files never crash the load and give defaults.
TEST_F(SettingsTest, IniOfRandomBytesGivesDefaults)
{
    QRandomGenerator random(20261210);
    for (int round = 0; round < 50; ++round) {
        QByteArray bytes(int(random.bounded(1, 4096)), Qt::Uninitialized);
        for (char &b : bytes)
            b = char(random.bounded(256));
        // Keep our section header out of the noise.
        bytes.replace('[', '(');
        PutFile(where.IniFile(), bytes);
        TSettings s = Loaded(where);
        EXPECT_EQ(int(s.PrefsMode), int(pmPortable));
        s.PrefsMode = pmNone;
        ExpectSame(s, Defaults(CentredOnScreen));
    }
}

TEST_F(SettingsTest, OddByteCountAfterTheMarkKeepsTheWholeLines)
{
    PutFile(where.IniFile(), IniBytes({Header, "SortIndex=taille", "mainWidth=800"}) + "\x33");
    const TSettings s = Loaded(where);
    EXPECT_EQ(s.SortIndex, "taille");
    EXPECT_EQ(s.mainWidth, 800);
    PutFile(where.IniFile(), IniBytes({Header, "SortIndex=taille"}).chopped(1));
    EXPECT_EQ(Loaded(where).SortIndex, "taille") << "a cut CR LF still ends the line";
}

TEST_F(SettingsTest, TenMegabyteLineIsReadLikeAnyOther)
{
    const QString longValue = "/" + QString(10 * 1024 * 1024, 'x');
    PutIni({Header, "DossierAVCHD=" + longValue, QString(10 * 1024 * 1024, ' '), "SortIndex=taille"});
    const TSettings s = Loaded(where);
    EXPECT_EQ(s.DossierAVCHD, longValue);
    EXPECT_EQ(s.SortIndex, "taille");
    EXPECT_EQ(s.mainWidth, 696);
}

TEST_F(SettingsTest, HiveCutInTheMiddleOfALineGivesDefaultsFromThere)
{
    const QByteArray full = HiveWith(
        {"\"Exename\"=" + Quoted(where.ExeName), "\"SortIndex\"=\"taille\"", "\"mainWidth\"=dword:00000320"});
    PutHive(full.left(full.indexOf("dword:") + 9));
    const TSettings s = Loaded(where);
    EXPECT_EQ(int(s.PrefsMode), int(pmNormal));
    EXPECT_EQ(s.SortIndex, "taille");
    EXPECT_EQ(s.mainWidth, 696);
    PutHive(full.left(full.indexOf("taille") + 3));
    EXPECT_EQ(Loaded(where).SortIndex, "alpha");
}

TEST_F(SettingsTest, HiveValuesOfTheWrongTypeGiveDefaults)
{
    PutHive(HiveWith({"\"Exename\"=" + Quoted(where.ExeName), "\"mainWidth\"=\"800\"", "\"DeleteMeta\"=\"0\"",
                      "\"SortIndex\"=dword:00000001", "\"eac3tofile\"=hex:41,00,00,00"}));
    const TSettings s = Loaded(where);
    EXPECT_EQ(s.mainWidth, 696);
    EXPECT_TRUE(s.DeleteMeta);
    EXPECT_EQ(s.SortIndex, "alpha");
    EXPECT_EQ(s.eac3tofile, "");
}

// The warnings of the settings category while it lives.
class PrefsWarnings
{
public:
    PrefsWarnings() { FPrevious = qInstallMessageHandler(Catch); }
    ~PrefsWarnings()
    {
        qInstallMessageHandler(FPrevious);
        Caught.clear();
    }
    static inline QStringList Caught;

private:
    static void Catch(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        if (type == QtWarningMsg && QByteArray(context.category) == "tavrel.prefs")
            Caught.append(text);
    }
    QtMessageHandler FPrevious;
};

// A hive that cannot be read gives the defaults, as a first run does, and
// a warning says which file was passed over.
TEST_F(SettingsTest, UnreadableHiveGivesDefaultsAndAWarningNamingIt)
{
    ASSERT_TRUE(QDir().mkpath(where.HiveFile));
    PrefsWarnings warnings;
    ExpectSame(Loaded(where), Defaults(CentredOnScreen));
    ASSERT_EQ(PrefsWarnings::Caught.size(), 1);
    EXPECT_TRUE(PrefsWarnings::Caught[0].contains(where.HiveFile)) << PrefsWarnings::Caught[0].toStdString();
}

// An ini file left in place would be chosen again at the next start: when
// it cannot be removed, a warning says so.
TEST_F(SettingsTest, IniThatCannotBeRemovedIsReported)
{
    PutIni({Header});
    const QByteArray folder = QFile::encodeName(where.ExeFolder());
    ASSERT_EQ(chmod(folder.constData(), 0555), 0);
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    const int result = RunUnprivileged([&] {
        PrefsWarnings warnings;
        DeleteIniSettings(where);
        return PrefsWarnings::Caught.size() == 1 && PrefsWarnings::Caught[0].contains(where.IniFile());
    });
    chmod(folder.constData(), 0755);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(QFileInfo::exists(where.IniFile()));
}

}  // namespace
