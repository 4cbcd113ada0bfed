#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <ostream>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

#include "settings/settingsfile.h"
#include "platform/rawutf8.h"
#include "tests/kit/unprivileged.h"

void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

using Entry = std::tuple<QString, QString, QString>;   // section, key, raw value

// Every pair of a store, in slot and list order, with its section's name.
std::vector<Entry> Contents(const CSettingsFile& store)
{
    std::vector<Entry> entries;
    for (int slot = 0; slot <= store.m_lastSection && slot < int(store.m_keyLists.size()); ++slot) {
        if (!store.m_keyLists[slot])
            continue;
        const QString name = slot < store.m_sectionNames.size() ? store.m_sectionNames[slot] : QString();
        for (qsizetype i = 0; i < store.m_keyLists[slot]->size(); ++i)
            entries.emplace_back(name, store.m_keyLists[slot]->at(i), store.m_valueLists[slot]->at(i));
    }
    return entries;
}

class SettingsFileTest : public ::testing::Test {
protected:
    QString Path(const QString& name) const { return m_dir.filePath(name); }

    void WriteBytes(const QString& name, const QByteArray& bytes) const
    {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(bytes.size(), file.write(bytes));
    }

    QByteArray ReadBytes(const QString& name) const
    {
        QFile file(Path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QStringList Files() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    QTemporaryDir m_dir;
};

// ---- Reads -----------------------------------------------------------------

TEST_F(SettingsFileTest, EmptyStoreGivesEveryDefaultAndSavesNothing)
{
    CSettingsFile store(4);
    store.m_path = Path("KM302.ini");
    EXPECT_EQ(QString("Arial"), store.GetString("PRESSURE", "FONT_NAME_PRESSURE", "Arial"));
    EXPECT_EQ(60, store.GetInt("PRESSURE", "FONT_HEIGHT_PRESSURE", 60));
    EXPECT_EQ(-7, store.GetInt("PRESSURE", "X", -7));
    EXPECT_EQ(16770250u, store.GetUnsigned("PRESSURE", "BACKGROUND_PRESSURE", 16770250u));
    EXPECT_EQ(0xFFFFFFFFu, store.GetUnsigned("PRESSURE", "X", 0xFFFFFFFFu));
    EXPECT_EQ(QString("a;b"), store.GetString("PRESSURE", "X", "a;b"));   // defaults are not cut

    EXPECT_EQ(QString(), store.Save(true));
    EXPECT_TRUE(Files().isEmpty());
}

TEST_F(SettingsFileTest, LookupsIgnoreLetterCaseBeyondAscii)
{
    CSettingsFile store(4);
    store.SetString("Ciśnienie", "Łódź", "1");
    EXPECT_EQ(QString("1"), store.GetString("CIŚNIENIE", "łÓDŹ", "-"));
    EXPECT_EQ(QString("-"), store.GetString("Cisnienie", "Łódź", "-"));
}

TEST_F(SettingsFileTest, LaterOfTwoEqualKeysIsReadAndReplaced)
{
    WriteBytes("s.ini", "[A]\r\nk=1\r\nK=2\r\n");
    CSettingsFile store(4);
    ASSERT_TRUE(store.Load(Path("s.ini")));
    EXPECT_EQ(QString("2"), store.GetString("A", "k", ""));
    store.SetString("A", "k", "3");
    EXPECT_EQ((std::vector<Entry>{{"A", "k", "1"}, {"A", "K", "3"}}), Contents(store));
}

TEST_F(SettingsFileTest, RemarkIsCutAtTheLastSemicolonOnly)
{
    CSettingsFile store(4);
    store.SetString("P", "FONT", "Arial;the display font");
    store.SetString("P", "HEIGHT", "60 ; pixels");
    store.SetString("P", "TWO", "a;b;c");
    store.SetString("P", "ONLY", ";remark");
    EXPECT_EQ(QString("Arial"), store.GetString("P", "FONT", ""));
    EXPECT_EQ(QString("60"), store.GetString("P", "HEIGHT", ""));
    EXPECT_EQ(60, store.GetInt("P", "HEIGHT", 0));
    EXPECT_EQ(QString("a;b"), store.GetString("P", "TWO", ""));
    EXPECT_EQ(QString(""), store.GetString("P", "ONLY", "default"));
}

TEST_F(SettingsFileTest, GetIntReadsAsAtoiAndClampsOverflow)
{
    CSettingsFile store(4);
    const std::vector<std::pair<QString, int>> cases = {
        {"Arial", 0}, {"", 0}, {" \t-42xyz", -42}, {"+7", 7}, {"- 5", 0}, {"0x1F", 0},
        {"2147483647", INT_MAX}, {"2147483648", INT_MAX}, {"99999999999999999999", INT_MAX},
        {"-2147483648", INT_MIN}, {"-99999999999999999999", INT_MIN}, {"٣", 0},
    };
    for (const auto& [text, expected] : cases) {
        store.SetString("S", "K", text);
        EXPECT_EQ(expected, store.GetInt("S", "K", 123)) << text.toStdString();
    }
}

TEST_F(SettingsFileTest, GetUnsignedGivesTheBitsOfNegativeValuesAndReadsBackItsWrites)
{
    CSettingsFile store(4);
    const std::vector<std::pair<QString, std::uint32_t>> cases = {
        {"-1", 4294967295u}, {"16770250 ; colour", 16770250u}, {"blue", 0u},
        {"4294967295", 4294967295u}, {"3000000000", 3000000000u},
        {"99999999999999", 4294967295u}, {"-99999999999999", 0x80000000u},
    };
    for (const auto& [text, expected] : cases) {
        store.SetString("S", "K", text);
        EXPECT_EQ(expected, store.GetUnsigned("S", "K", 5u)) << text.toStdString();
    }
    store.SetUnsigned("S", "U", 0x80FF00FFu);
    store.SetInt("S", "I", -5);
    EXPECT_EQ(QString("2164195583"), store.GetString("S", "U", ""));
    EXPECT_EQ(0x80FF00FFu, store.GetUnsigned("S", "U", 0));
    EXPECT_EQ(QString("-5"), store.GetString("S", "I", ""));
}

// ---- Sets ------------------------------------------------------------------

TEST_F(SettingsFileTest, ValueDifferingOnlyInCaseIsStoredWithoutMarkingTheStore)
{
    WriteBytes("s.ini", "[PRESSURE]\nFONT_NAME_PRESSURE=Łódź Sans\n");
    CSettingsFile store(4);
    ASSERT_TRUE(store.Load(Path("s.ini")));
    EXPECT_FALSE(store.m_modified);
    store.SetString("pressure", "font_name_pressure", "ŁÓDŹ SANS");
    EXPECT_EQ(QString("ŁÓDŹ SANS"), store.GetString("PRESSURE", "FONT_NAME_PRESSURE", ""));
    EXPECT_FALSE(store.m_modified);
    EXPECT_EQ(QString(), store.Save(true));
    EXPECT_EQ(QStringList{"s.ini"}, Files());

    store.SetString("PRESSURE", "FONT_NAME_PRESSURE", "Arial");
    EXPECT_TRUE(store.m_modified);
}

TEST_F(SettingsFileTest, CaseSensitiveStoreCountsCaseAsChange)
{
    WriteBytes("s.ini", "[A]\nk=x\n");
    CSettingsFile store(4);
    store.m_ignoreCase = false;
    ASSERT_TRUE(store.Load(Path("s.ini")));
    store.SetString("A", "k", "X");
    EXPECT_TRUE(store.m_modified);
    store.SetString("a", "K", "y");
    EXPECT_EQ(2, store.m_lastSection);
    EXPECT_EQ(QString("X"), store.GetString("A", "k", ""));

    // Switching the comparison on and off again answers by the new rule.
    store.m_ignoreCase = true;
    EXPECT_EQ(QString("X"), store.GetString("a", "K", ""));
    store.m_ignoreCase = false;
    EXPECT_EQ(QString("y"), store.GetString("a", "K", ""));
    EXPECT_EQ(QString("-"), store.GetString("a", "k", "-"));
}

TEST_F(SettingsFileTest, SlotArraysGrowByStepAndKeepEverySection)
{
    CSettingsFile store(4);
    EXPECT_EQ(0u, store.m_keyLists.size());
    store.SetString("S1", "a", "1");
    EXPECT_EQ(4u, store.m_keyLists.size());
    EXPECT_EQ(4u, store.m_valueLists.size());
    store.SetString("S2", "b", "2");
    store.SetString("S3", "c", "3");
    EXPECT_EQ(4u, store.m_keyLists.size());
    store.SetString("S4", "d", "4");
    EXPECT_EQ(8u, store.m_keyLists.size());
    EXPECT_EQ(8u, store.m_valueLists.size());
    store.SetString("S1", "e", "5");
    EXPECT_EQ(4, store.m_lastSection);
    EXPECT_EQ((std::vector<Entry>{{"S1", "a", "1"}, {"S1", "e", "5"}, {"S2", "b", "2"}, {"S3", "c", "3"},
                                  {"S4", "d", "4"}}),
              Contents(store));

    CSettingsFile single(1);
    single.SetString("S1", "a", "1");
    single.SetString("S2", "b", "2");
    EXPECT_EQ(3u, single.m_keyLists.size());
    EXPECT_EQ((std::vector<Entry>{{"S1", "a", "1"}, {"S2", "b", "2"}}), Contents(single));
}

// ---- Saving ----------------------------------------------------------------

TEST_F(SettingsFileTest, SavedFileHasSectionLinesPairsAndCrLfOnly)
{
    CSettingsFile store(4);
    store.m_path = Path("s.ini");
    store.SetString("A", "k1", "v1");
    store.SetString("A", "k2", "v2");
    store.SetString("A", "k3", "ü=;x");
    store.SetString("B", "k", "1");
    store.SetString("B", "", "free text");
    EXPECT_EQ(QString(), store.Save(false));
    EXPECT_EQ(QByteArray("[A]\r\nk1=v1\r\nk2=v2\r\nk3=\xC3\xBC=;x\r\n[B]\r\nk=1\r\nfree text\r\n"), ReadBytes("s.ini"));
    EXPECT_TRUE(store.m_modified);
}

TEST_F(SettingsFileTest, UnchangedStoreIsNotRewrittenButADroppedRemarkIs)
{
    const QByteArray original("[GENERAL]\nPORT_NR=3 ;COM3\nTOPMOST=0\n");
    WriteBytes("s.ini", original);
    CSettingsFile store(4);
    ASSERT_TRUE(store.Load(Path("s.ini")));
    store.SetString("general", "topmost", "0");
    EXPECT_EQ(QString(), store.Save(true));
    EXPECT_EQ(original, ReadBytes("s.ini"));

    store.SetInt("GENERAL", "PORT_NR", store.GetInt("GENERAL", "PORT_NR", 0));
    EXPECT_EQ(Path("s.ini.001"), store.Save(true));
    EXPECT_EQ(QByteArray("[GENERAL]\r\nPORT_NR=3\r\nTOPMOST=0\r\n"), ReadBytes("s.ini"));
    EXPECT_EQ(original, ReadBytes("s.ini.001"));
}

TEST_F(SettingsFileTest, LineBreakInAValueCannotInjectKeysOrSections)
{
    CSettingsFile store(4);
    store.m_path = Path("s.ini");
    store.SetString("LOG", "FILE_NAME", "/tmp/a\n[GENERAL]\nPORT_NR=9");
    store.SetString("GENERAL", "PORT_NR", "3");
    store.Save(false);
    CSettingsFile loaded(4);
    ASSERT_TRUE(loaded.Load(Path("s.ini")));
    EXPECT_EQ((std::vector<Entry>{{"LOG", "FILE_NAME", "/tmp/a [GENERAL] PORT_NR=9"}, {"GENERAL", "PORT_NR", "3"}}),
              Contents(loaded));
}

TEST_F(SettingsFileTest, DestructorSavesOnlyWhenAskedAndThenClears)
{
    WriteBytes("s.ini", "[A]\r\nk=old\r\n");
    {
        CSettingsFile store(4);
        store.Load(Path("s.ini"));
        store.SetString("A", "k", "quiet");
    }
    EXPECT_EQ(QByteArray("[A]\r\nk=old\r\n"), ReadBytes("s.ini"));
    {
        CSettingsFile store(4);
        store.Load(Path("s.ini"));
        store.m_saveOnDestroy = true;
        store.m_backupOnSave = true;
        store.SetString("A", "k", "new");
    }
    EXPECT_EQ(QByteArray("[A]\r\nk=new\r\n"), ReadBytes("s.ini"));
    EXPECT_EQ(QByteArray("[A]\r\nk=old\r\n"), ReadBytes("s.ini.001"));
}

TEST_F(SettingsFileTest, ClearEmptiesTheStoreButKeepsTheBackupName)
{
    CSettingsFile store(4);
    store.m_path = Path("s.ini");
    store.SetString("A", "k", "v");
    EXPECT_EQ(Path("s.ini.001"), store.Save(true));
    store.Clear();
    EXPECT_EQ(QString("-"), store.GetString("A", "k", "-"));
    EXPECT_TRUE(store.m_keyLists.empty());
    EXPECT_EQ(QString(), store.m_path);
    EXPECT_FALSE(store.m_modified);
    EXPECT_EQ(Path("s.ini.001"), store.m_backupPath);
}

// ---- Numbered backups ------------------------------------------------------

TEST_F(SettingsFileTest, BackupTakesTheNumberAfterTheHighest)
{
    WriteBytes("S.ext", "[X]\r\nk=old\r\n");
    WriteBytes("S.ext.001", "one");
    WriteBytes("S.ext.007", "seven");
    WriteBytes("T.ext.050", "other settings");
    CSettingsFile store(4);
    store.Load(Path("S.ext"));
    store.SetString("X", "k", "new");
    EXPECT_EQ(Path("S.ext.008"), store.Save(true));
    EXPECT_EQ(QByteArray("[X]\r\nk=old\r\n"), ReadBytes("S.ext.008"));
    EXPECT_EQ(QByteArray("[X]\r\nk=new\r\n"), ReadBytes("S.ext"));
    EXPECT_EQ(QByteArray("one"), ReadBytes("S.ext.001"));
    EXPECT_EQ(QByteArray("seven"), ReadBytes("S.ext.007"));
}

TEST_F(SettingsFileTest, BackupNameIsKeptAndTheCopyReplacesTheFile)
{
    CSettingsFile store(4);
    store.m_path = Path("S.ext");
    store.SetString("X", "k", "1");
    EXPECT_EQ(Path("S.ext.001"), store.Save(true));   // nothing to copy yet: ignored
    EXPECT_EQ(QStringList{"S.ext"}, Files());
    EXPECT_EQ(Path("S.ext.001"), store.Save(true));
    store.SetString("X", "k", "2");
    EXPECT_EQ(Path("S.ext.001"), store.Save(true));
    EXPECT_EQ(QByteArray("[X]\r\nk=1\r\n"), ReadBytes("S.ext.001"));
    EXPECT_EQ(QByteArray("[X]\r\nk=2\r\n"), ReadBytes("S.ext"));
}

TEST_F(SettingsFileTest, DotsInFolderNamesDoNotCount)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("conf.d"));
    WriteBytes("conf.999", "neighbour");
    WriteBytes("conf.d/settings", "[X]\r\nk=old\r\n");
    WriteBytes("conf.d/settings.002", "two");
    WriteBytes("conf.d/settings123", "not a backup");
    CSettingsFile store(4);
    store.Load(Path("conf.d/settings"));
    store.SetString("X", "k", "new");
    EXPECT_EQ(Path("conf.d/settings.003"), store.Save(true));
    EXPECT_EQ(QByteArray("[X]\r\nk=old\r\n"), ReadBytes("conf.d/settings.003"));
}

TEST_F(SettingsFileTest, BackupsPastNineHundredNinetyNineReuseTheLast)
{
    WriteBytes("S.ext", "[X]\r\nk=old\r\n");
    WriteBytes("S.ext.999", "999");
    WriteBytes("S.ext.1000", "1000");
    CSettingsFile store(4);
    store.Load(Path("S.ext"));
    store.SetString("X", "k", "new");
    EXPECT_EQ(Path("S.ext.1000"), store.Save(true));
    EXPECT_EQ(QByteArray("[X]\r\nk=old\r\n"), ReadBytes("S.ext.1000"));
    EXPECT_EQ(QByteArray("999"), ReadBytes("S.ext.999"));
}

// ---- Reading files ---------------------------------------------------------

TEST_F(SettingsFileTest, FileWrittenBySaveReadsBackTheSame)
{
    CSettingsFile store(2);
    store.m_path = Path("s.ini");
    store.SetString("", "before", "any section");
    store.SetString("PRESSURE", "FONT_NAME_PRESSURE", "Arial ;remark=x; more");
    store.SetString("PRESSURE", "", "free text");
    store.SetString("LOG", "FILE_NAME", "C:\\logs\\a=b.csv");
    store.SetString("LOG", "EMPTY", "");
    store.SetString("GENERAL", "LANGUAGE", "pl");
    store.Save(false);

    CSettingsFile loaded(2);
    ASSERT_TRUE(loaded.Load(Path("s.ini")));
    EXPECT_EQ(Contents(store), Contents(loaded));
    EXPECT_EQ(store.m_sectionNames, loaded.m_sectionNames);
    EXPECT_FALSE(loaded.m_modified);
    EXPECT_EQ(Path("s.ini"), loaded.m_path);
}

TEST_F(SettingsFileTest, RandomStoresSurviveSaveAndLoad)
{
    const QString nameChars = QStringLiteral("abcXYZ_09 .;ąŁśŹ€😀");
    const QString valueChars = nameChars + QStringLiteral("=;[] \t\r") + QChar(0);
    std::mt19937 random(302);
    auto text = [&](const QString& chars, int minLength, int maxLength) {
        QString s;
        const int length = std::uniform_int_distribution<int>(minLength, maxLength)(random);
        while (s.size() < length) {
            const int i = std::uniform_int_distribution<int>(0, int(chars.size()) - 1)(random);
            if (chars[i].isHighSurrogate())
                s += chars.mid(i, 2);
            else if (!chars[i].isLowSurrogate())
                s += chars[i];
        }
        return s;
    };

    // Blanks and tabs around names and values are not read back.
    auto inner = [](QString s) {
        while (!s.isEmpty() && (s.front() == u' ' || s.front() == u'\t'))
            s.remove(0, 1);
        while (!s.isEmpty() && (s.back() == u' ' || s.back() == u'\t'))
            s.chop(1);
        return s.isEmpty() ? QStringLiteral("_") : s;
    };

    for (int round = 0; round < 200; ++round) {
        CSettingsFile store(1 + round % 5);
        store.m_path = Path("r.ini");
        const int pairs = std::uniform_int_distribution<int>(1, 30)(random);
        for (int i = 0; i < pairs; ++i) {
            const QString section = random() % 8 == 0 ? QString() : inner(text(nameChars + "[]=", 1, 3));
            store.SetString(section, inner(text(nameChars, 1, 6)), inner(text(valueChars, 0, 12)));
        }
        store.Save(false);
        CSettingsFile loaded(3);
        ASSERT_TRUE(loaded.Load(Path("r.ini")));
        ASSERT_EQ(Contents(store), Contents(loaded)) << "round " << round;
    }
}

TEST_F(SettingsFileTest, LoadTakesLfBomBlankLinesAndLinesBeforeTheFirstSection)
{
    WriteBytes("s.ini", "\xEF\xBB\xBFtop=1\n\n   \r\n[A]\nk=v=w;x\r\nfree text\n  [B]  \r\nk=2");
    CSettingsFile store(4);
    ASSERT_TRUE(store.Load(Path("s.ini")));
    EXPECT_FALSE(store.m_modified);
    EXPECT_EQ((std::vector<Entry>{{"", "top", "1"}, {"A", "k", "v=w;x"}, {"A", "", "free text"}, {"B", "k", "2"}}),
              Contents(store));
    EXPECT_EQ(QString("1"), store.GetString("", "top", ""));
    EXPECT_EQ(QString("v=w"), store.GetString("A", "k", ""));

    store.SetString("A", "k", "changed");   // a rewrite keeps the pair outside any section
    store.Save(false);
    EXPECT_TRUE(ReadBytes("s.ini").startsWith("top=1\r\n[A]\r\n"));
}

TEST_F(SettingsFileTest, BlanksAroundNamesKeysAndValuesAreTrimmedAndNoKeyIsDuplicated)
{
    WriteBytes("s.ini", "[ GENERAL\t]\r\n PORT_NR = 40\r\n\tTOPMOST\t=1\t\r\n[PORTS]\r\nCOM41=/dev/ttyUSB0 ; remark\r\n");
    CSettingsFile store(4);
    ASSERT_TRUE(store.Load(Path("s.ini")));
    EXPECT_EQ(40, store.GetInt("GENERAL", "PORT_NR", 0));
    EXPECT_EQ(QString("1"), store.GetString("GENERAL", "TOPMOST", ""));
    EXPECT_EQ(QString("/dev/ttyUSB0"), store.GetString("PORTS", "COM41", ""));
    store.SetInt("GENERAL", "PORT_NR", 41);
    store.SetString("PORTS", "COM41", "/dev/ttyUSB0");
    store.Save(false);
    EXPECT_EQ(QByteArray("[GENERAL]\r\nPORT_NR=41\r\nTOPMOST=1\r\n[PORTS]\r\nCOM41=/dev/ttyUSB0\r\n"), ReadBytes("s.ini"));
}

TEST_F(SettingsFileTest, RepeatedSectionContinuesItsFirstSlot)
{
    WriteBytes("s.ini", "[A]\nk=1\n[B]\nj=2\n[a]\nk=3\nm=4\n");
    CSettingsFile store(4);
    ASSERT_TRUE(store.Load(Path("s.ini")));
    EXPECT_EQ(2, store.m_lastSection);
    EXPECT_EQ(QString("3"), store.GetString("A", "k", ""));
    EXPECT_EQ(QString("4"), store.GetString("A", "m", ""));
    EXPECT_EQ(QString("2"), store.GetString("B", "j", ""));
}

TEST_F(SettingsFileTest, ThousandsOfSectionsKeepFirstSectionAndLastKeyRules)
{
    QByteArray file;
    for (int n = 0; n < 20000; ++n)
        file += "[S" + QByteArray::number(n) + "]\nk=" + QByteArray::number(n) + "\nK=last\n";
    WriteBytes("big.ini", file + "[s7]\nx=again\n[Ś]\nk=ś\n");
    CSettingsFile store(4);
    ASSERT_TRUE(store.Load(Path("big.ini")));
    EXPECT_EQ(20001, store.m_lastSection);
    EXPECT_EQ(QString("again"), store.GetString("S7", "X", ""));
    EXPECT_EQ(QString("ś"), store.GetString("ś", "K", ""));
    store.SetString("S19999", "k", "new");
    EXPECT_EQ(Entry("S19999", "K", "new"), Contents(store)[2 * 19999 + 2]);   // after S7's x
}

TEST_F(SettingsFileTest, VeryLongLineDoesNotHideTheKeysAfterIt)
{
    WriteBytes("s.ini", "[A]\nx=" + QByteArray(4 << 20, 'y') + "\nk=1\n[B]\nm=2\n");
    CSettingsFile store(4);
    ASSERT_TRUE(store.Load(Path("s.ini")));
    EXPECT_EQ(4 << 20, store.GetString("A", "x", "").size());
    EXPECT_EQ(1, store.GetInt("A", "k", 0));
    EXPECT_EQ(2, store.GetInt("B", "m", 0));
}

TEST_F(SettingsFileTest, BytesThatAreNotUtf8ComeBackByteForByteThroughARewrite)
{
    static const char garbage[] = "[A]\nk=1\n\x00\xFF\xFE[\x80\nbad\x00key=\xC3\x28\n"
                                  "FILE_NAME=/home/u/ci\x9cnienie.txt\n[B\xB3]\nm=2\n";
    const QByteArray original(garbage, sizeof garbage - 1);
    WriteBytes("s.ini", original);
    CSettingsFile store(4);
    ASSERT_TRUE(store.Load(Path("s.ini")));
    EXPECT_EQ(QByteArray("/home/u/ci\x9cnienie.txt"), CRawUtf8::Encode(store.GetString("A", "FILE_NAME", "")));
    store.SetString("A", "FILE_NAME", store.GetString("A", "FILE_NAME", ""));
    store.SetString("B\u0142", "n", "ł");   // what the program sets is UTF-8
    store.Save(false);

    QByteArray expected = original;
    expected.replace("\n", "\r\n");
    EXPECT_EQ(expected + "[B\xC5\x82]\r\nn=\xC5\x82\r\n", ReadBytes("s.ini"));
    CSettingsFile loaded(4);
    ASSERT_TRUE(loaded.Load(Path("s.ini")));
    EXPECT_EQ(1, loaded.GetInt("A", "k", 0));
    EXPECT_EQ(QByteArray("\xC3("), CRawUtf8::Encode(loaded.GetString("A", QString("bad") + QChar(0) + "key", "")));
    EXPECT_EQ(2, loaded.GetInt(CRawUtf8::Decode("B\xB3"), "m", 0));
}

TEST_F(SettingsFileTest, RandomBytesNeverHideTheKeysAfterThem)
{
    std::mt19937 random(1250);
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes(std::uniform_int_distribution<int>(0, 2000)(random), Qt::Uninitialized);
        for (char& c : bytes)
            c = char(random() % 8 == 0 ? "[]=;\r\n"[random() % 6] : random());
        WriteBytes("g.ini", bytes + "\n[Z]\nkey=ok\n");
        CSettingsFile store(1 + round % 4);
        ASSERT_TRUE(store.Load(Path("g.ini")));
        ASSERT_EQ(QString("ok"), store.GetString("Z", "key", "")) << "round " << round;
    }
}

TEST_F(SettingsFileTest, MissingFileGivesAnEmptyStoreThatSaveCreates)
{
    CSettingsFile store(4);
    EXPECT_FALSE(store.Load(Path("new.ini")));
    EXPECT_EQ(Path("new.ini"), store.m_path);
    EXPECT_EQ(100, store.GetInt("GENERAL", "WINDOW_TOP", 100));
    store.SetInt("GENERAL", "WINDOW_TOP", 100);
    store.Save(false);
    EXPECT_EQ(QByteArray("[GENERAL]\r\nWINDOW_TOP=100\r\n"), ReadBytes("new.ini"));
}

// ---- Failed saves ----------------------------------------------------------

TEST_F(SettingsFileTest, SaveUnderARegularFileFailsAndTouchesNothing)
{
    WriteBytes("plain", "not a folder");
    CSettingsFile store(4);
    store.m_path = Path("plain/KM302.ini");
    store.SetString("A", "k", "v");
    EXPECT_EQ(QString(), store.Save(true));
    EXPECT_EQ(QByteArray("not a folder"), ReadBytes("plain"));
    EXPECT_TRUE(store.m_modified);
}

// Runs store.Save(true) in a child process that may write files of at most
// `limit` bytes, as on a nearly full disk; gives 0 when the save reported
// failure, 1 when it reported success.
int SaveWithFileSizeLimit(CSettingsFile& store, rlim_t limit)
{
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit fileSize{limit, limit};
        if (setrlimit(RLIMIT_FSIZE, &fileSize) != 0)
            _exit(2);
        _exit(store.Save(true).isEmpty() ? 0 : 1);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

TEST_F(SettingsFileTest, FullDiskDuringSaveLeavesTheOldFileWhole)
{
    const QByteArray original("[GENERAL]\r\nPORT_NR=3\r\n");
    WriteBytes("KM302.ini", original);
    CSettingsFile store(4);
    ASSERT_TRUE(store.Load(Path("KM302.ini")));
    store.SetString("LOG", "FILE_NAME", QString(8192, 'x'));

    // The old file fits in its backup, the new contents do not fit.
    EXPECT_EQ(0, SaveWithFileSizeLimit(store, 1024));
    EXPECT_EQ(original, ReadBytes("KM302.ini"));
    EXPECT_EQ(original, ReadBytes("KM302.ini.001"));
    EXPECT_EQ((QStringList{"KM302.ini", "KM302.ini.001"}), Files());

    EXPECT_EQ(Path("KM302.ini.002"), store.Save(true));   // without the limit it succeeds
    EXPECT_GT(ReadBytes("KM302.ini").size(), 8192);
}

TEST_F(SettingsFileTest, FullDiskDuringBackupKeepsTheOldBackupWhole)
{
    const QByteArray original("[GENERAL]\r\nPORT_NR=3\r\n");
    WriteBytes("KM302.ini", original);
    CSettingsFile store(4);
    ASSERT_TRUE(store.Load(Path("KM302.ini")));
    store.SetString("LOG", "FILE_NAME", QString(8192, 'x'));
    ASSERT_EQ(Path("KM302.ini.001"), store.Save(true));
    const QByteArray large = ReadBytes("KM302.ini");

    store.SetString("LOG", "FILE_NAME", QString(8192, 'y'));
    EXPECT_EQ(0, SaveWithFileSizeLimit(store, 1024));
    EXPECT_EQ(original, ReadBytes("KM302.ini.001"));
    EXPECT_EQ(large, ReadBytes("KM302.ini"));
    EXPECT_EQ((QStringList{"KM302.ini", "KM302.ini.001"}), Files());
}

TEST_F(SettingsFileTest, UnwritableFolderLeavesTheOldFileWhole)
{
    // As an ordinary user: root writes into read-only folders.
    const QByteArray original("[A]\r\nk=old\r\n");
    ASSERT_TRUE(GiveToUnprivileged(m_dir.path().toStdString()));
    const int status = RunUnprivileged([&] {
        QFile file(Path("ro/KM302.ini"));
        if (!QDir(m_dir.path()).mkdir("ro") || !file.open(QIODevice::WriteOnly) || file.write(original) != original.size())
            return 10;
        file.close();
        if (!QFile(Path("ro")).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner))
            return 11;
        CSettingsFile store(4);
        store.Load(Path("ro/KM302.ini"));
        store.SetString("A", "k", "new");
        if (!store.Save(true).isEmpty())
            return 1;
        const QStringList left = QDir(Path("ro")).entryList(QDir::Files | QDir::Hidden);
        return ReadBytes("ro/KM302.ini") == original && left == QStringList{"KM302.ini"} ? 0 : 2;
    });
    EXPECT_EQ(0, status);
    EXPECT_EQ(original, ReadBytes("ro/KM302.ini"));
}

} // namespace
