#include "src/platform/hive.h"
#include "src/platform/registry.h"
#include "tests/support/unprivileged.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray Utf16Le(const QString &text)
{
    QByteArray bytes;
    for (const QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

const QByteArray SampleHive = QByteArray("Windows Registry Editor Version 5.00\n"
                                         "\n"
                                         "[HKEY_CURRENT_USER\\Software\\Morvek\\Tavrel]\n"
                                         "\"Exename\"=\"/opt/tavrel/bin/tavrel\"\n"
                                         "\"mainWidth\"=dword:000002b8\n"
                                         "\"Quoted\"=\"a \\\"b\\\" c:\\\\d\"\n"
                                         "@=\"default value\"\n"
                                         "\"Expand\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,00,00\n"
                                         "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
                                         "\"Blob\"=hex:01,02,\\\n"
                                         "  03,04\n"
                                         "\"Accents\"=\"Vid\xC3\xA9os \xE2\x80\xA8 fin\"\n"
                                         "\n"
                                         "[HKEY_LOCAL_MACHINE\\Software\\Other]\n"
                                         "\"Ignored\"=\"yes\"\n");

TEST(Hive, ParsesEveryValueForm)
{
    THive hive = THive::Parse(SampleHive);
    const THiveKey *key = hive.Find("\\Software\\Morvek\\Tavrel");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->FindValue("Exename")->Text(), QString("/opt/tavrel/bin/tavrel"));
    EXPECT_EQ(key->FindValue("MAINWIDTH")->Dword(), 696u) << "value names ignore letter case";
    EXPECT_EQ(key->FindValue("Quoted")->Text(), QString("a \"b\" c:\\d"));
    EXPECT_EQ(key->FindValue("")->Text(), QString("default value"));
    EXPECT_EQ(key->FindValue("Expand")->type, uint32_t(REG_EXPAND_SZ));
    EXPECT_EQ(key->FindValue("Expand")->Text(), QString("%HOME%")) << "never expanded";
    EXPECT_EQ(key->FindValue("Multi")->type, 7u);
    EXPECT_FALSE(key->FindValue("Multi")->Text()) << "only REG_SZ and REG_EXPAND_SZ are texts";
    EXPECT_EQ(key->FindValue("Blob")->data, QByteArray("\x01\x02\x03\x04"));
    EXPECT_EQ(key->FindValue("Accents")->Text(), QString::fromUtf8("Vidéos \u2028 fin"));
    EXPECT_EQ(hive.Find("\\software\\MORVEK"), hive.Find("Software\\Morvek\\")) << "key names ignore case";
    EXPECT_EQ(hive.Find("\\Software\\Other"), nullptr) << "other roots are not ours";
}

TEST(Hive, SerialisesToTheExportFormat)
{
    THive hive;
    THiveKey *key = hive.Create("\\Software\\Morvek\\Tavrel");
    key->SetValue("Exename", TRegValue::FromText("C:\\x \"y\""));
    key->SetValue("maintop", TRegValue::FromDword(uint32_t(-5)));
    key->SetValue("Two lines", TRegValue::FromText("a\nb"));
    key->SetValue("Expand", TRegValue::FromText("%A%", REG_EXPAND_SZ));
    EXPECT_EQ(hive.Serialise(), QByteArray("Windows Registry Editor Version 5.00\n"
                                           "\n"
                                           "[HKEY_CURRENT_USER\\Software]\n"
                                           "\n"
                                           "[HKEY_CURRENT_USER\\Software\\Morvek]\n"
                                           "\n"
                                           "[HKEY_CURRENT_USER\\Software\\Morvek\\Tavrel]\n"
                                           "\"Exename\"=\"C:\\\\x \\\"y\\\"\"\n"
                                           "\"maintop\"=dword:fffffffb\n"
                                           "\"Two lines\"=hex(1):61,00,0a,00,62,00,00,00\n"
                                           "\"Expand\"=hex(2):25,00,41,00,25,00,00,00\n"
                                           "\n"));
}

TEST(Hive, SaveThenParseGivesTheSameValues)
{
    const THive first = THive::Parse(SampleHive);
    const THive second = THive::Parse(first.Serialise());
    EXPECT_EQ(second.Serialise(), first.Serialise());
    const THiveKey *key = second.Find("\\Software\\Morvek\\Tavrel");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->values.size(), 8u);
    EXPECT_EQ(key->FindValue("Multi")->data,
              first.Find("\\Software\\Morvek\\Tavrel")->FindValue("Multi")->data);
}

TEST(Hive, ReadsUtf16ExportsWithByteOrderMark)
{
    const QString text = QString::fromUtf8("Windows Registry Editor Version 5.00\r\n\r\n"
                                           "[HKEY_CURRENT_USER\\Software\\Morvek\\Tavrel]\r\n"
                                           "\"DossierFlux\"=\"/données/flux/\"\r\n");
    const THive hive = THive::Parse("\xFF\xFE" + Utf16Le(text));
    const THiveKey *key = hive.Find("\\Software\\Morvek\\Tavrel");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->FindValue("DossierFlux")->Text(), QString::fromUtf8("/données/flux/"));
}

// A file cut anywhere (a crash of another writer, a full disk) never gives
// a wrong value: each value is either absent or exactly as written.
TEST(Hive, FileCutAnywhereGivesNoWrongValue)
{
    THive full;
    THiveKey *key = full.Create("\\Software\\Morvek\\Tavrel");
    key->SetValue("mainWidth", TRegValue::FromDword(0x12345678));
    key->SetValue("DossierFlux", TRegValue::FromText("/data/flux/"));
    key->SetValue("mainHeight", TRegValue::FromDword(556));
    key->SetValue("Escaped", TRegValue::FromText("x\\\"y"));
    const QByteArray bytes = full.Serialise();
    for (qsizetype cut = 0; cut <= bytes.size(); ++cut) {
        const THive part = THive::Parse(bytes.left(cut));
        const THiveKey *partKey = part.Find("\\Software\\Morvek\\Tavrel");
        if (!partKey)
            continue;
        for (const auto &[name, value] : partKey->values) {
            const TRegValue *original = key->FindValue(name);
            ASSERT_NE(original, nullptr) << "cut at " << cut << ": " << name.toStdString();
            EXPECT_EQ(value.type, original->type) << "cut at " << cut;
            EXPECT_EQ(value.data, original->data) << "cut at " << cut << ": " << name.toStdString();
        }
    }
}

struct BadLineCase
{
    const char *line;
};

class HiveBadLine : public testing::TestWithParam<BadLineCase>
{ };

TEST_P(HiveBadLine, IsSkippedAndTheRestIsRead)
{
    const QByteArray bytes =
        QByteArray("[HKEY_CURRENT_USER\\K]\n") + GetParam().line + "\n\"After\"=dword:00000001\n";
    const THive hive = THive::Parse(bytes);
    const THiveKey *key = hive.Find("K");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->values.size(), 1u);
    EXPECT_EQ(key->FindValue("After")->Dword(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, HiveBadLine,
    testing::Values(BadLineCase {"\"Open\"=\"no end"}, BadLineCase {"\"Open=\"x\""},
                    BadLineCase {"\"Short\"=dword:2b8"}, BadLineCase {"\"Long\"=dword:0000000001"},
                    BadLineCase {"\"NotHex\"=dword:0000002g"}, BadLineCase {"\"Sign\"=dword:-0000002"},
                    BadLineCase {"\"Half\"=hex(2):41,0"}, BadLineCase {"\"Trail\"=hex:41,"},
                    BadLineCase {"\"Kind\"=hex(zz):41"}, BadLineCase {"\"Kind2\"=hex(2:41"},
                    BadLineCase {"\"Word\"=qword:1"}, BadLineCase {"\"Junk\"=\"x\" y"},
                    BadLineCase {"\"NoEquals\" \"x\""}, BadLineCase {"\"Deleted\"=-"},
                    BadLineCase {"garbage"}));

class RegistryTest : public testing::Test
{
protected:
    QTemporaryDir FDir;
    QString FHiveFile = FDir.filePath("config/Tavrel/registry.reg");
};

TEST_F(RegistryTest, ReadOnlyOpenOfAMissingKeyCreatesNothing)
{
    TRegistry registry(FHiveFile);
    EXPECT_FALSE(registry.OpenKeyReadOnly("\\Software\\Morvek\\Tavrel"));
    EXPECT_FALSE(registry.ValueExists("Exename"));
    EXPECT_FALSE(registry.ReadString("Exename"));
    EXPECT_FALSE(registry.WriteString("Exename", "x")) << "no key open";
    EXPECT_TRUE(registry.Flush());
    EXPECT_FALSE(QFileInfo::exists(FHiveFile));
}

TEST_F(RegistryTest, OpenKeyCreatesParentsAndValuesPersist)
{
    {
        TRegistry registry(FHiveFile);
        ASSERT_TRUE(registry.OpenKey("\\Software\\Morvek\\Tavrel"));
        EXPECT_TRUE(registry.WriteString("DossierFlux", "/data/flux/"));
        EXPECT_TRUE(registry.WriteInteger("maintop", -12));
        EXPECT_TRUE(registry.WriteExpandString("Expand", "$HOME/x"));
        QString error;
        ASSERT_TRUE(registry.Flush(&error)) << error.toStdString();
    }
    TRegistry registry(FHiveFile);
    ASSERT_TRUE(registry.OpenKeyReadOnly("\\Software"));
    EXPECT_TRUE(registry.HasSubKeys());
    ASSERT_TRUE(registry.OpenKeyReadOnly("\\Software\\Morvek\\Tavrel"));
    EXPECT_FALSE(registry.HasSubKeys());
    EXPECT_TRUE(registry.ValueExists("dossierflux"));
    EXPECT_EQ(registry.ReadString("DossierFlux"), QString("/data/flux/"));
    EXPECT_EQ(registry.ReadInteger("maintop"), -12);
    EXPECT_EQ(registry.ReadString("Expand"), QString("$HOME/x"));
}

TEST_F(RegistryTest, ValuesOfTheWrongTypeReadAsNothing)
{
    TRegistry registry(FHiveFile);
    ASSERT_TRUE(registry.OpenKey("K"));
    registry.WriteString("text", "42");
    registry.WriteInteger("number", 42);
    EXPECT_FALSE(registry.ReadInteger("text"));
    EXPECT_FALSE(registry.ReadString("number"));
    EXPECT_TRUE(registry.ValueExists("text"));
}

TEST_F(RegistryTest, DeleteKeyRemovesTheSubtree)
{
    TRegistry registry(FHiveFile);
    ASSERT_TRUE(registry.OpenKey("\\Software\\Morvek\\Tavrel\\Deeper"));
    registry.WriteInteger("x", 1);
    ASSERT_TRUE(registry.OpenKey("\\Software\\Morvek\\Other"));
    ASSERT_TRUE(registry.OpenKeyReadOnly("\\Software\\Morvek"));
    EXPECT_TRUE(registry.DeleteKey("tavrel"));
    EXPECT_FALSE(registry.DeleteKey("Tavrel")) << "already gone";
    EXPECT_TRUE(registry.HasSubKeys()) << "Other is left";
    EXPECT_TRUE(registry.DeleteKey("Other"));
    EXPECT_FALSE(registry.HasSubKeys());
    EXPECT_FALSE(registry.OpenKeyReadOnly("\\Software\\Morvek\\Tavrel\\Deeper"));
}

TEST_F(RegistryTest, UnreadableHiveIsNeverOverwritten)
{
    // A folder where the hive file should be: it exists but cannot be read.
    ASSERT_TRUE(QDir().mkpath(FHiveFile));
    TRegistry registry(FHiveFile);
    EXPECT_FALSE(registry.OpenKeyReadOnly("\\Software"));
    ASSERT_TRUE(registry.OpenKey("\\Software\\Morvek\\Tavrel"));
    registry.WriteInteger("x", 1);
    QString error;
    EXPECT_FALSE(registry.Flush(&error));
    EXPECT_TRUE(error.contains(QString::fromLocal8Bit(std::strerror(EISDIR)))) << error.toStdString();
    EXPECT_TRUE(QFileInfo(FHiveFile).isDir());
}

TEST_F(RegistryTest, UnwritableFolderFailsAndKeepsTheOldHive)
{
    {
        TRegistry registry(FHiveFile);
        registry.OpenKey("K");
        registry.WriteInteger("old", 1);
        ASSERT_TRUE(registry.Flush());
    }
    const QByteArray before = ReadBytes(FHiveFile);
    const QByteArray folder = QFile::encodeName(QFileInfo(FHiveFile).absolutePath());
    ASSERT_EQ(chmod(QFile::encodeName(FHiveFile).constData(), 0666), 0);
    ASSERT_EQ(chmod(folder.constData(), 0555), 0);
    ASSERT_EQ(chmod(QFile::encodeName(FDir.path()).constData(), 0755), 0);
    const int result = RunUnprivileged([&] {
        TRegistry registry(FHiveFile);
        registry.OpenKey("K");
        registry.WriteInteger("new", 2);
        QString error;
        return !registry.Flush(&error) && error.contains(QString::fromLocal8Bit(std::strerror(EACCES)));
    });
    chmod(folder.constData(), 0755);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ReadBytes(FHiveFile), before);
}

TEST_F(RegistryTest, HiveWithUtf16MarkLoadsFromFile)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(FHiveFile).absolutePath()));
    WriteBytes(FHiveFile, "\xFF\xFE" + Utf16Le("[HKEY_CURRENT_USER\\K]\r\n\"n\"=dword:00000007\r\n"));
    TRegistry registry(FHiveFile);
    ASSERT_TRUE(registry.OpenKeyReadOnly("K"));
    EXPECT_EQ(registry.ReadInteger("n"), 7);
}

}  // namespace
