#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>

#include <functional>

#include "platform/dialog.h"
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

}  // namespace
