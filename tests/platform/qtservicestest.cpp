#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>

#include <functional>

#include "platform/dialog.h"
#include "platform/helppage.h"
#include "platform/qtservices.h"
#include "platform/qttranslations.h"
#include "platform/stringtable.h"

namespace {

// Acts on the first visible dialog of type D once its modal loop spins; ends
// every loop after a generous time so that a fault fails instead of hanging.
template <typename D>
class CDialogUser {
public:
    explicit CDialogUser(std::function<void(D*)> action)
    {
        QTimer::singleShot(0, qApp, [this, action] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* dialog = qobject_cast<D*>(widget); dialog && dialog->isVisible()) {
                    m_found = true;
                    action(dialog);
                    return;
                }
            }
        });
        QObject::connect(&m_watchdog, &QTimer::timeout, [this] {
            m_watchdogFired = true;
            CDialog::CancelAllModal();
        });
        m_watchdog.start(5000);
    }
    bool Found() const { return m_found; }
    bool WatchdogFired() const { return m_watchdogFired; }

private:
    QTimer m_watchdog;
    bool m_found = false;
    bool m_watchdogFired = false;
};

TEST(QtServices, FileChooserTakesANewFileAndReportsTheSelectedFilter)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("pomiary"));
    QStringList shownFilters;
    QString initialFilter;
    CDialogUser<QFileDialog> user([&](QFileDialog* dialog) {
        shownFilters = dialog->nameFilters();
        initialFilter = dialog->selectedNameFilter();
        dialog->selectNameFilter(shownFilters.value(0));
        dialog->selectFile(path);
        QMetaObject::invokeMethod(dialog, "accept");   // the Open button
    });
    FileChooserRequest request;
    request.title = LoadString(131);
    request.filter = LoadString(130);
    request.defaultExtension = QStringLiteral("csv");
    request.filterIndex = 2;
    FileChooserResult result;
    CQtServices services;
    ASSERT_TRUE(services.ChooseOpenFile(request, result));
    EXPECT_TRUE(user.Found());
    EXPECT_EQ(shownFilters, QStringList({"Plik tekstowy (*.txt)", "Lista CSV (*.csv)"}));
    EXPECT_EQ(initialFilter, QStringLiteral("Lista CSV (*.csv)"));
    EXPECT_EQ(result.path, path);   // no extension added here
    EXPECT_EQ(result.filterIndex, 1);
    EXPECT_EQ(result.extensionOffset, 0);
    EXPECT_FALSE(user.WatchdogFired());
}

TEST(QtServices, ChoosersEndedFromOutsideChooseNothing)
{
    CDialogUser<QFileDialog> user([](QFileDialog*) { CDialog::CancelAllModal(); });
    FileChooserRequest request;
    request.filter = LoadString(132);
    FileChooserResult result;
    result.path = QStringLiteral("unchanged");
    CQtServices services;
    EXPECT_FALSE(services.ChooseOpenFile(request, result));
    EXPECT_TRUE(user.Found());
    EXPECT_EQ(result.path, QStringLiteral("unchanged"));
}

// Qt's own texts of the choosers follow the interface, which is Polish: what
// Qt's Polish catalogue says, not a guess of ours.
TEST(QtServices, ChoosersSpeakTheLanguageOfTheInterface)
{
    const QString english = QStringLiteral("&Basic colors");
    QTranslator catalogue;
    ASSERT_TRUE(catalogue.load(QStringLiteral("qtbase_pl"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        << "Qt's Polish translations are not installed (qt6-translations-l10n)";
    const QString polish = catalogue.translate("QColorDialog", "&Basic colors");
    ASSERT_FALSE(polish.isEmpty());
    ASSERT_NE(english, polish);

    ASSERT_TRUE(InstallQtTranslations());
    QStringList labels;
    CDialogUser<QColorDialog> user([&](QColorDialog* dialog) {
        for (const QLabel* label : dialog->findChildren<QLabel*>())
            labels << label->text();
        dialog->reject();
    });
    COLORREF color = RGB(1, 2, 3);
    CQtServices services;
    EXPECT_FALSE(services.ChooseColor(color));
    EXPECT_TRUE(labels.contains(polish)) << labels.join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(labels.contains(english));
}

TEST(QtServices, ColorChooserStartsAtTheColourAndReturnsTheChosenOne)
{
    QColor initial;
    CDialogUser<QColorDialog> user([&](QColorDialog* dialog) {
        initial = dialog->currentColor();
        dialog->setCurrentColor(QColor(0x10, 0x20, 0x30));
        dialog->accept();
    });
    COLORREF color = RGB(0xC0, 0x80, 0x40);
    CQtServices services;
    ASSERT_TRUE(services.ChooseColor(color));
    EXPECT_EQ(initial, QColor(0xC0, 0x80, 0x40));
    EXPECT_EQ(color, RGB(0x10, 0x20, 0x30));
}

TEST(QtServices, FontChooserShowsTheFontItIsGivenOffersNoEffectsAndCancelLeavesIt)
{
    QFont shown;
    QStringList effects;
    CDialogUser<QFontDialog> user([&](QFontDialog* dialog) {
        shown = dialog->currentFont();
        // Underline and strike-out would not be kept.
        for (const QCheckBox* box : dialog->findChildren<QCheckBox*>()) {
            if (box->isVisible())
                effects << box->text();
        }
        dialog->reject();
    });
    LOGFONT font;
    font.lfHeight = -24;
    font.lfWeight = 700;
    font.SetFaceName("Arial");
    const LOGFONT before = font;
    CQtServices services;
    EXPECT_FALSE(services.ChooseFont(font));
    EXPECT_TRUE(user.Found());
    EXPECT_EQ(font, before);
    EXPECT_TRUE(effects.isEmpty()) << effects.join(QLatin1Char(' ')).toStdString();
    // "Arial" is an alias here; the chooser shows the family it stands for.
    EXPECT_EQ(shown.family(), QFontInfo(QFont(QStringLiteral("Arial"))).family());
    EXPECT_EQ(shown.weight(), QFont::Bold);
    EXPECT_GT(shown.pointSizeF(), 0);
}

TEST(QtServices, FontChooserReturnsPixelsAndKeepsTheFaceNameOfAKeptFamily)
{
    CDialogUser<QFontDialog> user([&](QFontDialog* dialog) {
        QFont chosen(dialog->currentFont().family());
        chosen.setPointSizeF(dialog->currentFont().pointSizeF() * 2);
        chosen.setBold(true);
        dialog->setCurrentFont(chosen);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    LOGFONT font;
    font.lfHeight = -24;
    font.SetFaceName("Arial");
    CQtServices services;
    ASSERT_TRUE(services.ChooseFont(font));
    EXPECT_EQ(font.FaceName(), "Arial");
    EXPECT_EQ(font.lfHeight, -48);
    EXPECT_EQ(font.lfWeight, 700);
    EXPECT_EQ(font.lfItalic, 0);
}

// The font the settings name may not be installed: the chooser shows the
// family that stands in for it, in the same weight and slant, and OK without
// a change gives the description back as it was.
TEST(QtServices, FontChooserOkWithoutAChangeKeepsTheFont)
{
    struct Case {
        LONG height, weight;
        BYTE italic;
        const char* face;
    };
    for (const Case c : {Case{-24, 0, 0, "KM302 Brak Takiej"}, Case{-24, 400, 1, "KM302 Brak Takiej"},
                         Case{30, 700, 0, "KM302 Brak Takiej"}, Case{-40, 0, 0, "Arial"}}) {
        SCOPED_TRACE(std::to_string(c.height) + " " + std::to_string(c.weight) + " " + c.face);
        LOGFONT font;
        font.lfHeight = c.height;
        font.lfWeight = c.weight;
        font.lfItalic = c.italic;
        font.lfCharSet = EASTEUROPE_CHARSET;
        font.SetFaceName(c.face);
        const LOGFONT before = font;
        QFont shown;
        CDialogUser<QFontDialog> user([&](QFontDialog* dialog) {
            shown = dialog->currentFont();
            QMetaObject::invokeMethod(dialog, "accept");
        });
        CQtServices services;
        ASSERT_TRUE(services.ChooseFont(font));
        EXPECT_EQ(font, before);
        EXPECT_EQ(shown.weight(), c.weight == 0 ? QFont::Normal : QFont::Weight(c.weight));
        EXPECT_EQ(shown.italic(), c.italic != 0);
    }
}

void WriteFile(const QString& path, const QByteArray& text, bool executable = false)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();
    if (executable)
        file.setPermissions(file.permissions() | QFile::ExeOwner);
}

TEST(HelpPage, AViewerOfHtmlIsOneThatIsInstalledAndNeedsNoTerminal)
{
    QTemporaryDir dir;
    const QString bin = dir.filePath(QStringLiteral("bin"));
    WriteFile(bin + QStringLiteral("/viewer"), "#!/bin/sh\n", true);
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), bin);
    env.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
    env.insert(QStringLiteral("XDG_DATA_DIRS"), dir.filePath(QStringLiteral("share")));
    EXPECT_FALSE(HtmlViewerAvailable(env));

    // A terminal editor that takes HTML as text, an entry whose program is
    // gone: neither shows it.
    const QString apps = dir.filePath(QStringLiteral("share/applications/"));
    WriteFile(apps + QStringLiteral("vim.desktop"), "[Desktop Entry]\nMimeType=text/plain;text/html;\nExec=viewer %F\nTerminal=true\n");
    WriteFile(apps + QStringLiteral("gone.desktop"), "[Desktop Entry]\nMimeType=text/html;\nExec=firefox %u\n");
    EXPECT_FALSE(HtmlViewerAvailable(env));

    WriteFile(dir.filePath(QStringLiteral("home/.local/share/applications/kde/browser.desktop")),
              "[Desktop Entry]\nExec=\"viewer\" %u\nMimeType=application/xhtml+xml;text/html;\n");
    EXPECT_TRUE(HtmlViewerAvailable(env));
}

// Where nothing shows HTML, the page is not handed to the desktop's handler
// (here a stand-in for file URLs that takes everything, as xdg-open hands
// HTML to a text editor and reports success): the caller learns that it is
// not shown. With a browser it is handed over, at the topic.
class CScopedVariable {
public:
    CScopedVariable(const char* name, const QByteArray& value)
        : m_name(name), m_old(qgetenv(name)), m_wasSet(qEnvironmentVariableIsSet(name))
    {
        qputenv(name, value);
    }
    ~CScopedVariable() { m_wasSet ? qputenv(m_name, m_old) : qunsetenv(m_name); }

private:
    const char* m_name;
    QByteArray m_old;
    bool m_wasSet;
};

class CUrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void Open(const QUrl& url) { opened << url; }
};

TEST(HelpPage, OnlyWithAViewerIsThePageHandedToTheDesktop)
{
    QTemporaryDir dir;
    WriteFile(dir.filePath(QStringLiteral("bin/viewer")), "#!/bin/sh\n", true);
    const CScopedVariable path("PATH", dir.filePath(QStringLiteral("bin")).toLocal8Bit());
    const CScopedVariable browser("BROWSER", {});
    // The test's own data folders hold no application entries.
    const CScopedVariable dataHome("XDG_DATA_HOME", dir.filePath(QStringLiteral("home")).toLocal8Bit());
    const CScopedVariable dataDirs("XDG_DATA_DIRS", dir.filePath(QStringLiteral("share")).toLocal8Bit());
    CUrlRecorder handler;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &handler, "Open");
    CQtServices services;
    const bool withoutViewer = services.ShowHelp(100);
    const qsizetype askedWithoutViewer = handler.opened.size();
    qputenv("BROWSER", "viewer %s");
    const bool withViewer = services.ShowHelp(100);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    EXPECT_FALSE(withoutViewer);
    EXPECT_EQ(0, askedWithoutViewer);
    EXPECT_TRUE(withViewer);
    ASSERT_EQ(1, handler.opened.size());
    EXPECT_EQ(QUrl::fromLocalFile(HelpPagePath()).path(), handler.opened[0].path());
    EXPECT_EQ(QStringLiteral("topic100"), handler.opened[0].fragment());
}

}  // namespace

#include "qtservicestest.moc"
