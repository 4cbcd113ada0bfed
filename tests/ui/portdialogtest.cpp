#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <chrono>
#include <thread>

#include "device/portmap.h"
#include "tests/support/scriptedservices.h"
#include "tests/ui/dialogdriver.h"
#include "ui/portdialog.h"
#include "ui/portwaitdialog.h"

namespace {

CPortWaitDialog::Lister ListOf(const QString& text)
{
    return [text](int& count, QString& out) {
        out = text;
        count = int(text.count(QLatin1Char('\n')));
        return 1;
    };
}

// Runs `action` once `dialog` shows (the wait dialog runs its own loop first).
void WhenShown(QWidget& dialog, std::function<void()> action)
{
    auto* poll = new QTimer(&dialog);
    QObject::connect(poll, &QTimer::timeout, &dialog, [poll, &dialog, action] {
        if (!dialog.isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        action();
    });
    poll->start(1);
}

// Runs the port dialog's steps without its modal loop: list, initialise.
class PortDialogTest : public ::testing::Test {
protected:
    void Open(int portInUse, const QString& listText)
    {
        dialog.m_nPortNr = portInUse;
        dialog.m_lister = ListOf(listText);
        dialog.ListPortsIntoEntries();
        dialog.OnInitDialog();
    }
    CScriptedServices services;
    CPortDialog dialog;
};

TEST_F(PortDialogTest, EntriesShowDescriptionsInParentheses)
{
    Open(0, QStringLiteral("COM1:Port komunikacyjny\nCOM5\n"));
    ASSERT_EQ(2, dialog.m_combo->count());
    EXPECT_EQ(QStringLiteral("COM1 (Port komunikacyjny)"), dialog.m_combo->itemText(0));
    EXPECT_EQ(QStringLiteral("COM5"), dialog.m_combo->itemText(1));
    EXPECT_EQ(QStringLiteral("Aktualnie żaden port nie jest używany"), dialog.m_status->text());
    EXPECT_EQ(-1, dialog.m_combo->currentIndex());
}

TEST_F(PortDialogTest, ThePortInUseIsSelectedNotOneWithALongerNumber)
{
    Open(1, QStringLiteral("COM10\nCOM1:Port komunikacyjny\nCOM11\n"));
    EXPECT_EQ(QStringLiteral("Aktualnie używany port: COM1"), dialog.m_status->text());
    EXPECT_EQ(QStringLiteral("COM1 (Port komunikacyjny)"), dialog.m_combo->currentText());
}

TEST_F(PortDialogTest, APortInUseThatIsNotListedSelectsNothing)
{
    Open(7, QStringLiteral("COM70\nCOM1\n"));
    EXPECT_EQ(QStringLiteral("Aktualnie używany port: COM7"), dialog.m_status->text());
    EXPECT_EQ(-1, dialog.m_combo->currentIndex());
}

TEST_F(PortDialogTest, OkTakesTheNumberOfTheChosenEntry)
{
    Open(1, QStringLiteral("COM1\nCOM12 (x)\n"));
    dialog.m_combo->setCurrentIndex(1);
    dialog.OnOK();
    EXPECT_EQ(12, dialog.m_nPortNr);
    EXPECT_TRUE(services.MessageBoxes().empty());
}

TEST_F(PortDialogTest, OkWithoutAChoiceSaysSoAndStaysOpen)
{
    Open(0, QString());
    EXPECT_EQ(0, dialog.m_combo->count());
    dialog.OnOK();
    dialog.m_combo->setEditable(true);
    dialog.m_combo->setEditText(QStringLiteral("  COMx"));
    dialog.OnOK();
    ASSERT_EQ(2u, services.MessageBoxes().size());
    EXPECT_EQ(QStringLiteral("Nie wybrano żadnego portu."), services.MessageBoxes()[0].text);
    EXPECT_EQ(MB_OK, services.MessageBoxes()[0].type);
    EXPECT_EQ(0, dialog.m_nPortNr);
}

TEST_F(PortDialogTest, ModalRunEndsWithOkOrCancel)
{
    dialog.m_nPortNr = 0;
    dialog.m_lister = ListOf(QStringLiteral("COM3\nCOM4\n"));
    WhenShown(dialog, [this] {
        dialog.m_combo->setCurrentIndex(1);
        dialog.OnOK();
    });
    EXPECT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ(4, dialog.m_nPortNr);

    CPortDialog second;
    second.m_lister = ListOf(QStringLiteral("COM3\n"));
    WhenShown(second, [&second] {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(&second, &escape);
    });
    EXPECT_EQ(IDCANCEL, second.DoModal());
    EXPECT_EQ(0, second.m_nPortNr);
}

// Any device path can be given in the dialog: it gets a number of its own
// (from COM33 up, kept in the port map that the settings save) and is chosen.
TEST_F(PortDialogTest, AGivenDevicePathGetsAFreeNumberIsShownAndChosen)
{
    const auto savedPorts = CPortMap::Instance().Entries();
    const QString adapter = QStringLiteral("/dev/serial/by-id/usb-FTDI_A1-if00-port0");
    CPortMap::Instance().SetEntries({{33, adapter}, {35, QStringLiteral("/dev/x35")}});
    dialog.m_lister = ListOf(QStringLiteral("COM1\nCOM33:FT232R USB UART\nCOM35\n"));
    std::vector<QString> shown;
    bool openAfterEnter = false;
    WhenShown(dialog, [&] {
        dialog.m_combo->setCurrentIndex(1);
        shown.push_back(dialog.m_device->text());
        dialog.m_combo->setCurrentIndex(0);
        shown.push_back(dialog.m_device->text());
        dialog.m_pathEdit->setText(QStringLiteral("sim-link"));
        ClickButton(dialog, "addPathButton");
        // Enter in the field adds the path and leaves the dialog open.
        dialog.m_pathEdit->setText(QStringLiteral(" /tmp/km302-port "));
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(dialog.m_pathEdit, &enter);
        openAfterEnter = dialog.isVisible();
        shown.push_back(dialog.m_device->text());
        // The same path again: the same entry.
        dialog.m_pathEdit->setText(QStringLiteral("/tmp/km302-port"));
        ClickButton(dialog, "addPathButton");
        dialog.OnOK();
    });
    EXPECT_EQ(IDOK, dialog.DoModal());
    EXPECT_TRUE(openAfterEnter);
    EXPECT_EQ(34, dialog.m_nPortNr);
    EXPECT_EQ((std::vector<QString>{QStringLiteral("Urządzenie: ") + adapter + QStringLiteral("\nOpis: FT232R USB UART"),
                                    QStringLiteral("Urządzenie: /dev/ttyS0"),
                                    QStringLiteral("Urządzenie: /tmp/km302-port")}),
              shown);
    QStringList entries;
    for (int i = 0; i < dialog.m_combo->count(); ++i)
        entries << dialog.m_combo->itemText(i);
    EXPECT_EQ((QStringList{"COM1", "COM33 (FT232R USB UART)", "COM34", "COM35"}), entries);
    EXPECT_EQ(QStringLiteral("/tmp/km302-port"), CPortMap::Instance().Entries()[34]);
    // A relative path is refused with a word of why.
    ASSERT_EQ(1u, services.MessageBoxes().size());
    EXPECT_TRUE(services.MessageBoxes()[0].text.contains(QStringLiteral("/dev/ttyUSB0")));
    CPortMap::Instance().SetEntries(savedPorts);
}

TEST(PortWaitDialog, EscapeClosesItButTheListIsStillComplete)
{
    CPortDialog target;
    std::atomic<bool> release{false};
    CPortWaitDialog wait;
    wait.m_pTarget = &target;
    wait.m_lister = [&release](int& count, QString& text) {
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        text = QStringLiteral("COM1\nCOM2:B\n\nCOM3\n");
        count = 3;
        return 1;
    };
    QTimer::singleShot(0, &wait, [&] {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(&wait, &escape);
        // The worker finishes only after the dialog has been told to close.
        release = true;
    });
    EXPECT_EQ(IDCANCEL, wait.DoModal());
    EXPECT_EQ(1, wait.m_nCancel);
    EXPECT_EQ((QStringList{QStringLiteral("COM1"), QStringLiteral("COM2 (B)"), QStringLiteral("COM3")}), target.m_ports);
}

TEST(PortWaitDialog, AFailedListingGivesNoEntries)
{
    CPortDialog target;
    CPortWaitDialog wait;
    wait.m_pTarget = &target;
    wait.m_lister = [](int&, QString& text) {
        text = QStringLiteral("COM9\n");
        return 0;
    };
    wait.DoModal();
    EXPECT_TRUE(target.m_ports.isEmpty());
}

} // namespace
