#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "recording/textlog.h"
#include "tests/recording/logtestsupport.h"
#include "tests/support/scriptedservices.h"

namespace {

const QByteArray kHeaderHpa("Data i Godzina\tCi\x9Cnienie hPa\r\n");
const QByteArray kHeaderPa("Data i Godzina\tCi\x9Cnienie Pa\r\n");
const QString kQuestion109 = QStringLiteral(
    "Plik rejestracji pomiarów już istnieje.\r\nWybierz Tak aby dopisywać wyniki do poprzednich,\r\n"
    "wybierz Nie aby skasować poprzednią zawartość pliku.");

class TextLogTest : public ::testing::Test {
protected:
    void SetUp() override { services.SetLocalTime(2024, 3, 5, 14, 7, 9); }

    QByteArray Contents() const { return CScratchFolder::Read(path); }
    void Record(bool valid, double value, bool pascals, int separator = 0)
    {
        ASSERT_EQ(0, log.WriteRecord(valid, value, pascals, separator));
    }

    CScriptedServices services;
    CScratchFolder folder;
    QString path = folder.Path(QStringLiteral("pomiary.txt"));
    CTextLog log;
};

TEST_F(TextLogTest, NewFileWithCommentAndSerialThenALostConnection)
{
    ASSERT_EQ(LogOpenResult::Created, log.Open(path, true));
    ASSERT_EQ(0, log.WriteStartComment(false, QStringLiteral("Próba w hali ś"), true, 1234));
    Record(true, 1013.2, false);
    services.SetLocalTime(2024, 3, 5, 14, 7, 19);
    Record(false, 1013.2, false);

    EXPECT_EQ(QByteArray("Pr\xF3" "ba w hali \x9C\r\n"
                         "KM-302 nr 1234\r\n")
                  + kHeaderHpa
                  + "2024.03.05 14:07:09\t1013.2\r\n"
                    "2024.03.05 14:07:19\t???\r\n",
              Contents());
    EXPECT_TRUE(services.MessageBoxes().empty());
}

TEST_F(TextLogTest, HeaderOnlyAfterOpeningAndWhenTheUnitChanges)
{
    ASSERT_EQ(LogOpenResult::Created, log.Open(path, true));
    Record(false, 0.0, false);           // before the first frame
    Record(true, 1013.2, false);
    Record(false, 1013.2, false);        // communication lost: unit kept
    Record(true, 1013.4, false);
    Record(true, 101330.0, true);        // the instrument switched to pascals
    Record(false, 101330.0, true);
    Record(true, 101320.0, true);
    Record(true, 1013.1, false);

    const QByteArray stamp("2024.03.05 14:07:09\t");
    EXPECT_EQ(kHeaderHpa + stamp + "???\r\n" + stamp + "1013.2\r\n" + stamp + "???\r\n"
                  + stamp + "1013.4\r\n" + kHeaderPa + stamp + "101330.0\r\n" + stamp + "???\r\n"
                  + stamp + "101320.0\r\n" + kHeaderHpa + stamp + "1013.1\r\n",
              Contents());

    // Every opening starts with a header, even with the unit unchanged.
    log.Close();
    ASSERT_EQ(LogOpenResult::Appended, log.Open(path, false));
    Record(true, 1013.1, false);
    EXPECT_TRUE(Contents().endsWith(kHeaderHpa + stamp + "1013.1\r\n"));
}

TEST_F(TextLogTest, SeparatorCodesCommaSemicolonAndTabForAnyOther)
{
    const struct {
        int code;
        QByteArray expected;
    } cases[] = {
        {0, "Data i Godzina\tCi\x9Cnienie hPa\r\n2024.03.05 14:07:09\t1013.2\r\n"},
        {1, "Data i Godzina,Ci\x9Cnienie hPa\r\n2024.03.05 14:07:09,1013.2\r\n"},
        {2, "Data i Godzina;Ci\x9Cnienie hPa\r\n2024.03.05 14:07:09;1013.2\r\n"},
        {7, "Data i Godzina\tCi\x9Cnienie hPa\r\n2024.03.05 14:07:09\t1013.2\r\n"},
        {-1, "Data i Godzina\tCi\x9Cnienie hPa\r\n2024.03.05 14:07:09\t1013.2\r\n"},
    };
    for (const auto& c : cases) {
        const QString file = folder.Path(QStringLiteral("sep%1.csv").arg(c.code));
        CTextLog separate;
        ASSERT_EQ(LogOpenResult::Created, separate.Open(file, true));
        ASSERT_EQ(0, separate.WriteRecord(true, 1013.2, false, c.code));
        EXPECT_EQ(c.expected, CScratchFolder::Read(file)) << "separator code " << c.code;
    }
}

TEST_F(TextLogTest, ValuesRoundHalfwayAwayFromZeroWithADecimalPoint)
{
    // The user's locale may use a decimal comma; the file never does.
    EXPECT_EQ(QByteArray("2024.03.05 14:07:09\t0.3\r\n"), CTextLog::RecordLine(services.GetLocalTime(), true, 0.25, '\t'));
    EXPECT_EQ(QByteArray("2024.03.05 14:07:09;-12.3\r\n"), CTextLog::RecordLine(services.GetLocalTime(), true, -12.25, ';'));
    EXPECT_EQ(QByteArray("2024.03.05 14:07:09,99999.0\r\n"), CTextLog::RecordLine(services.GetLocalTime(), true, 99999.0, ','));
    const LogTime early(987, 1, 2, 3, 4, 5);
    EXPECT_EQ(QByteArray("0987.01.02 03:04:05\t???\r\n"), CTextLog::RecordLine(early, false, 5.0, '\t'));
}

TEST_F(TextLogTest, ExistingFileYesAppendsAfterABlankLine)
{
    CScratchFolder::Write(path, "stare\r\n");
    services.QueueMessageBoxAnswer(IDYES);
    ASSERT_EQ(LogOpenResult::AppendedByAnswer, log.Open(path, true));
    ASSERT_EQ(1u, services.MessageBoxes().size());
    EXPECT_EQ(kQuestion109, services.MessageBoxes()[0].text);
    EXPECT_EQ(MB_YESNO | MB_ICONQUESTION, services.MessageBoxes()[0].type);

    ASSERT_EQ(0, log.WriteStartComment(true, QStringLiteral("dalej"), false, 1234));
    Record(true, 1013.2, false);
    EXPECT_EQ(QByteArray("stare\r\n\r\ndalej\r\n") + kHeaderHpa + "2024.03.05 14:07:09\t1013.2\r\n",
              Contents());
}

TEST_F(TextLogTest, ExistingFileNoEmptiesItAndTheCommentHasNoBlankLine)
{
    CScratchFolder::Write(path, "stare dane\r\n");
    services.QueueMessageBoxAnswer(IDNO);
    ASSERT_EQ(LogOpenResult::Emptied, log.Open(path, true));
    EXPECT_EQ(QByteArray(), Contents());
    ASSERT_EQ(0, log.WriteStartComment(false, QStringLiteral("nowa seria"), true, 77));
    Record(true, 1000.0, false);
    EXPECT_EQ(QByteArray("nowa seria\r\nKM-302 nr 77\r\n") + kHeaderHpa + "2024.03.05 14:07:09\t1000.0\r\n",
              Contents());
}

TEST_F(TextLogTest, AnEmptyExistingFileStillAsks)
{
    CScratchFolder::Write(path, QByteArray());
    services.QueueMessageBoxAnswer(IDYES);
    EXPECT_EQ(LogOpenResult::AppendedByAnswer, log.Open(path, true));
    EXPECT_EQ(1u, services.MessageBoxes().size());
}

TEST_F(TextLogTest, StartupOpeningAppendsWithoutAsking)
{
    CScratchFolder::Write(path, "stare\r\n");
    ASSERT_EQ(LogOpenResult::Appended, log.Open(path, false));
    Record(true, 1013.2, false);
    EXPECT_TRUE(services.MessageBoxes().empty());
    EXPECT_EQ(QByteArray("stare\r\n") + kHeaderHpa + "2024.03.05 14:07:09\t1013.2\r\n", Contents());
}

TEST_F(TextLogTest, AQuestionEndedWithoutAnAnswerNeverEmptiesTheFile)
{
    // A box closed because the program stops returns IDCANCEL.
    CScratchFolder::Write(path, "stare\r\n");
    services.QueueMessageBoxAnswer(IDCANCEL);
    EXPECT_EQ(LogOpenResult::Appended, log.Open(path, true));
    EXPECT_EQ(QByteArray("stare\r\n"), Contents());
}

TEST_F(TextLogTest, CommentBlockCases)
{
    ASSERT_EQ(LogOpenResult::Created, log.Open(path, true));
    // Nothing chosen on a new file: no bytes at all.
    ASSERT_EQ(0, log.WriteStartComment(false, QString(), false, 1234));
    EXPECT_EQ(QByteArray(), Contents());
    // Before any accepted frame the serial number is unknown.
    ASSERT_EQ(0, log.WriteStartComment(false, QString(), true, 0));
    // A comment of several lines keeps them, each ended by CR LF.
    ASSERT_EQ(0, log.WriteStartComment(false, QStringLiteral("linia 1\r\nlinia 2\nlinia 3"), true, -5));
    EXPECT_EQ(QByteArray("KM-302 nr ???\r\nlinia 1\r\nlinia 2\r\nlinia 3\r\nKM-302 nr ???\r\n"), Contents());
    // A character Windows-1250 lacks becomes "?".
    ASSERT_EQ(0, log.WriteStartComment(true, QStringLiteral("€ ✓"), false, 0));
    EXPECT_TRUE(Contents().endsWith("\r\n\x80 ?\r\n"));
}

TEST_F(TextLogTest, PathsThatCannotBeOpened)
{
    EXPECT_EQ(LogOpenResult::Failed, log.Open(QString(), true));
    EXPECT_EQ(LogOpenResult::Failed, log.Open(folder.Path(QStringLiteral("brak/pomiary.txt")), true));
    EXPECT_EQ(LogOpenResult::Failed, log.Open(folder.Path(QString()), true));   // a folder
    ASSERT_EQ(0, ::mkfifo(QFile::encodeName(folder.Path(QStringLiteral("fifo"))).constData(), 0600));
    EXPECT_EQ(LogOpenResult::Failed, log.Open(folder.Path(QStringLiteral("fifo")), false));
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(0, log.WriteRecord(true, 1.0, false, 0));
    EXPECT_TRUE(services.MessageBoxes().empty());
}

TEST_F(TextLogTest, AFileLockedByAnotherProgramIsNotOpenedNorEmptied)
{
    CScratchFolder::Write(path, "cudze\r\n");
    CForeignLock other(path);
    ASSERT_TRUE(other.IsHeld());
    EXPECT_EQ(LogOpenResult::Failed, log.Open(path, true));
    EXPECT_TRUE(services.MessageBoxes().empty());
    EXPECT_EQ(QByteArray("cudze\r\n"), Contents());
}

TEST_F(TextLogTest, WhileOpenOthersMayReadButNotWrite)
{
    ASSERT_EQ(LogOpenResult::Created, log.Open(path, true));
    Record(true, 1013.2, false);
    EXPECT_EQ(kHeaderHpa + "2024.03.05 14:07:09\t1013.2\r\n", Contents());
    CForeignLock other(path);
    EXPECT_FALSE(other.IsHeld());
    CTextLog second;
    EXPECT_EQ(LogOpenResult::Failed, second.Open(path, false));
    // Closing releases the file.
    log.Close();
    EXPECT_EQ(LogOpenResult::Appended, second.Open(path, false));
}

TEST_F(TextLogTest, AReadOnlyFileIsNotOpened)
{
    CScratchFolder::Write(path, "tylko do odczytu\r\n");
    ASSERT_EQ(0, ::chmod(QFile::encodeName(path).constData(), 0444));
    if (!RunningAsRoot()) {
        EXPECT_EQ(LogOpenResult::Failed, log.Open(path, true));
        return;
    }
    // Permissions do not stop root: try as an ordinary user in a child. A
    // file the same user may write shows that the folder itself is reachable.
    const QString writable = folder.Path(QStringLiteral("zapisywalny.txt"));
    CScratchFolder::Write(writable, QByteArray());
    ASSERT_EQ(0, ::chmod(QFile::encodeName(writable).constData(), 0666));
    ASSERT_EQ(0, ::chmod(QFile::encodeName(folder.Path(QString())).constData(), 0755));
    const int result = RunInChild([&] {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            return 10;
        CTextLog user;
        if (user.Open(writable, false) != LogOpenResult::Appended)
            return 11;
        user.Close();
        return user.Open(path, false) == LogOpenResult::Failed ? 0 : 12;
    });
    EXPECT_EQ(0, result);
}

TEST_F(TextLogTest, ARecordCutShortByTheDiskLeavesNoPartOfItAndTheNextOneKeepsItsHeader)
{
    ASSERT_EQ(LogOpenResult::Created, log.Open(path, true));
    Record(true, 1013.2, false);
    const QByteArray before = Contents();
    log.Close();

    const int result = RunInChild([&] {
        CTextLog child;
        if (child.Open(path, false) != LogOpenResult::Appended)
            return 10;
        // Room for a few bytes of the next header and record, not all of them.
        if (!LimitFileSize(static_cast<rlim_t>(before.size()) + 10))
            return 11;
        if (child.WriteRecord(true, 1013.3, false, 0) != EFBIG || !child.IsOpen())
            return 12;
        if (!LimitFileSize(RLIM_INFINITY))
            return 13;
        // The next tick: the header that did not get through goes first.
        return child.WriteRecord(true, 1013.4, false, 0) == 0 ? 0 : 14;
    });
    ASSERT_EQ(0, result);
    EXPECT_EQ(before + kHeaderHpa + "2024.03.05 14:07:09\t1013.4\r\n", Contents());
}

} // namespace
