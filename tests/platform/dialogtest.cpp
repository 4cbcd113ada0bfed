#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <functional>
#include <vector>

#include "platform/dialog.h"
#include "platform/qtservices.h"

namespace {

class CProbeDialog : public CDialog {
public:
    std::function<void(CProbeDialog&)> onInit;   // runs at the end of OnInitDialog
    bool refuseCancel = false;
    int initCount = 0;
    int showCount = 0;
    int okCount = 0;
    int cancelCount = 0;
    bool visibleDuringInit = true;
    std::vector<bool> exchanges;

    BOOL OnInitDialog() override
    {
        ++initCount;
        visibleDuringInit = isVisible();
        CDialog::OnInitDialog();
        if (onInit)
            onInit(*this);
        return TRUE;
    }
    void OnOK() override
    {
        ++okCount;
        CDialog::OnOK();
    }
    void OnCancel() override
    {
        ++cancelCount;
        if (!refuseCancel)
            CDialog::OnCancel();
    }
    void DoDataExchange(bool bSaveAndValidate) override { exchanges.push_back(bSaveAndValidate); }

protected:
    void showEvent(QShowEvent* event) override
    {
        ++showCount;
        CDialog::showEvent(event);
    }
};

// Runs `action` once the modal loop that is about to start spins.
void Later(std::function<void()> action)
{
    QTimer::singleShot(0, qApp, std::move(action));
}

// Fails the test instead of hanging it: after a generous time it ends every
// visible dialog, again and again, until the modal loops have unwound.
class CModalWatchdog {
public:
    CModalWatchdog()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_fired = true;
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* dialog = qobject_cast<QDialog*>(widget); dialog && dialog->isVisible())
                    dialog->done(QDialog::Rejected);
            }
        });
        m_timer.start(5000);
    }
    bool Fired() const { return m_fired; }

private:
    QTimer m_timer;
    bool m_fired = false;
};

QMessageBox* VisibleMessageBox()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
            return box;
    }
    return nullptr;
}

QAbstractButton* ButtonWithText(QMessageBox* box, const QString& text)
{
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

QStringList ButtonTexts(QMessageBox* box)
{
    QStringList texts;
    for (QAbstractButton* button : box->buttons())
        texts.append(button->text());
    texts.sort();
    return texts;
}

TEST(Dialog, OnInitDialogRunsOnceBeforeTheDialogFirstShows)
{
    CProbeDialog dialog;
    dialog.show();
    dialog.hide();
    dialog.show();
    EXPECT_EQ(dialog.initCount, 1);
    EXPECT_FALSE(dialog.visibleDuringInit);
    EXPECT_EQ(dialog.exchanges, std::vector<bool>({false}));
    dialog.hide();
}

TEST(Dialog, DoModalReturnsIdOkAfterTakingTheDataFromTheControls)
{
    CModalWatchdog watchdog;
    CProbeDialog dialog;
    dialog.onInit = [](CProbeDialog& d) { Later([&d] { d.accept(); }); };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.okCount, 1);
    EXPECT_EQ(dialog.exchanges, std::vector<bool>({false, true}));
    EXPECT_EQ(CDialog::ModalDepth(), 0);
    EXPECT_FALSE(watchdog.Fired());
}

TEST(Dialog, EndDialogFromOnInitDialogEndsWithoutShowing)
{
    CProbeDialog dialog;
    dialog.onInit = [](CProbeDialog& d) { d.EndDialog(IDOK); };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.showCount, 0);
}

TEST(Dialog, EscapeAndTheCloseBoxRunOnCancel)
{
    CModalWatchdog watchdog;
    CProbeDialog escaped;
    escaped.onInit = [](CProbeDialog& d) { Later([&d] { QTest::keyClick(&d, Qt::Key_Escape); }); };
    EXPECT_EQ(escaped.DoModal(), IDCANCEL);
    EXPECT_EQ(escaped.cancelCount, 1);

    CProbeDialog closed;
    closed.onInit = [](CProbeDialog& d) { Later([&d] { d.close(); }); };
    EXPECT_EQ(closed.DoModal(), IDCANCEL);
    EXPECT_EQ(closed.cancelCount, 1);
    EXPECT_EQ(closed.okCount, 0);
    EXPECT_FALSE(watchdog.Fired());
}

TEST(Dialog, AnOnCancelThatDoesNotEndKeepsTheDialogOpen)
{
    CProbeDialog dialog;
    dialog.refuseCancel = true;
    dialog.show();
    dialog.close();
    EXPECT_TRUE(dialog.isVisible());
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.cancelCount, 2);
    dialog.EndDialog(IDOK);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(CancelAllModal, EndsNestedDialogsAndAMessageBoxAndRefusesNewOnes)
{
    CModalWatchdog watchdog;
    CQtServices services;
    CProbeDialog outer;
    CProbeDialog inner;
    CProbeDialog openedWhileUnwinding;
    int innerResult = 0;
    int boxResult = 0;
    int lateResult = 0;
    int depthAtCancel = 0;
    outer.onInit = [&](CProbeDialog&) {
        Later([&] {
            innerResult = inner.DoModal();
            // What a command does after its dialog returns: it must not block.
            lateResult = openedWhileUnwinding.DoModal();
        });
    };
    inner.onInit = [&](CProbeDialog&) {
        Later([&] {
            Later([&] {
                depthAtCancel = CDialog::ModalDepth();
                CDialog::CancelAllModal();
            });
            boxResult = services.MessageBox(QStringLiteral("Pytanie"), MB_YESNO | MB_ICONQUESTION);
        });
    };
    EXPECT_EQ(outer.DoModal(), IDCANCEL);
    EXPECT_EQ(depthAtCancel, 3);
    EXPECT_EQ(boxResult, IDCANCEL);
    EXPECT_EQ(innerResult, IDCANCEL);
    EXPECT_EQ(lateResult, IDCANCEL);
    EXPECT_EQ(openedWhileUnwinding.initCount, 0);
    // Forced, not asked: OnCancel could have refused.
    EXPECT_EQ(outer.cancelCount + inner.cancelCount, 0);
    EXPECT_EQ(CDialog::ModalDepth(), 0);
    EXPECT_FALSE(watchdog.Fired());

    // Once everything has unwound, dialogs run again.
    CProbeDialog after;
    after.onInit = [](CProbeDialog& d) { Later([&d] { d.accept(); }); };
    EXPECT_EQ(after.DoModal(), IDOK);
    EXPECT_FALSE(watchdog.Fired());
}

TEST(CancelAllModal, ADialogThatHadAlreadyEndedKeepsItsResult)
{
    // The stop request of the main window: "Zamknij" first, then every
    // dialog above it is cancelled.
    CModalWatchdog watchdog;
    CProbeDialog main;
    CProbeDialog inner;
    int innerResult = 0;
    main.onInit = [&](CProbeDialog&) { Later([&] { innerResult = inner.DoModal(); }); };
    inner.onInit = [&](CProbeDialog&) {
        Later([&] {
            main.OnOK();
            CDialog::CancelAllModal();
        });
    };
    EXPECT_EQ(main.DoModal(), IDOK);
    EXPECT_EQ(innerResult, IDCANCEL);
    EXPECT_FALSE(watchdog.Fired());
}

TEST(CancelAllModal, WithoutModalLoopsDoesNothingLasting)
{
    CDialog::CancelAllModal();
    CProbeDialog dialog;
    dialog.onInit = [](CProbeDialog& d) { d.EndDialog(IDOK); };
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.initCount, 1);
}

class QtMessageBoxTest : public ::testing::Test {
protected:
    // Shows the box, lets `user` act on it from inside its loop, returns the answer.
    int Run(const QString& text, UINT type, std::function<void(QMessageBox*)> user)
    {
        Later([this, user] {
            QMessageBox* box = VisibleMessageBox();
            ASSERT_NE(box, nullptr);
            m_title = box->windowTitle();
            m_text = box->text();
            m_icon = box->icon();
            m_buttons = ButtonTexts(box);
            user(box);
        });
        return m_services.MessageBox(text, type);
    }

    CModalWatchdog m_watchdog;
    CQtServices m_services;
    QString m_title;
    QString m_text;
    QMessageBox::Icon m_icon = QMessageBox::NoIcon;
    QStringList m_buttons;
};

TEST_F(QtMessageBoxTest, YesNoBoxCannotBeEscapedOrClosedWithoutAnAnswer)
{
    bool visibleAfterEscapeAndClose = false;
    const int answer = Run(QStringLiteral("Plik istnieje.\r\nWybierz Tak"),
                           MB_YESNO | MB_ICONQUESTION, [&](QMessageBox* box) {
                               QTest::keyClick(box, Qt::Key_Escape);
                               box->close();
                               visibleAfterEscapeAndClose = box->isVisible();
                               ButtonWithText(box, QStringLiteral("Nie"))->click();
                           });
    EXPECT_TRUE(visibleAfterEscapeAndClose);
    EXPECT_EQ(answer, IDNO);
    EXPECT_EQ(m_title, QStringLiteral("KM302"));
    EXPECT_EQ(m_text, QStringLiteral("Plik istnieje.\nWybierz Tak"));
    EXPECT_EQ(m_icon, QMessageBox::Question);
    EXPECT_EQ(m_buttons, QStringList({"Nie", "Tak"}));
    EXPECT_FALSE(m_watchdog.Fired());
}

TEST_F(QtMessageBoxTest, YesIsYes)
{
    const int answer = Run(QStringLiteral("?"), MB_YESNO, [](QMessageBox* box) {
        ButtonWithText(box, QStringLiteral("Tak"))->click();
    });
    EXPECT_EQ(answer, IDYES);
    EXPECT_EQ(m_icon, QMessageBox::NoIcon);
}

TEST_F(QtMessageBoxTest, OkCancelBoxEscapesToCancel)
{
    const int answer = Run(QStringLiteral("?"), MB_OKCANCEL | MB_ICONEXCLAMATION,
                           [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    EXPECT_EQ(answer, IDCANCEL);
    EXPECT_EQ(m_icon, QMessageBox::Warning);
    EXPECT_EQ(m_buttons, QStringList({"Anuluj", "OK"}));
}

TEST_F(QtMessageBoxTest, OkBoxAnswersOkAlsoToEscape)
{
    const int answer = Run(QStringLiteral("Błąd inicjalizacji DDE!"), MB_ICONSTOP,
                           [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(m_icon, QMessageBox::Critical);
    EXPECT_EQ(m_buttons, QStringList({"OK"}));
    EXPECT_EQ(m_text, QStringLiteral("Błąd inicjalizacji DDE!"));
}

}  // namespace
