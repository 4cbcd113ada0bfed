#include <gtest/gtest.h>

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

#include "platform/dialog.h"
#include "platform/qtservices.h"
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

TEST(QtServices, FontChooserShowsTheFontItIsGivenAndCancelLeavesIt)
{
    QFont shown;
    CDialogUser<QFontDialog> user([&](QFontDialog* dialog) {
        shown = dialog->currentFont();
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
