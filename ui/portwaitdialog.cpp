#include "ui/portwaitdialog.h"

#include <QCoreApplication>
#include <QPixmap>
#include <chrono>
#include <system_error>

#include "device/portenumeration.h"
#include "ui/km302resources.h"
#include "ui/portdialog.h"
#include "ui_portwaitdialog.h"

CPortWaitDialog::CPortWaitDialog(QWidget* parent)
    : CDialog(parent), m_lister(&ListPorts), m_ui(std::make_unique<Ui::CPortWaitDialog>())
{
    m_ui->setupUi(this);
    // No caption and no close box: only Escape and the worker end it.
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    InitKm302Resources();
    m_ui->picture->setPixmap(QPixmap(QStringLiteral(":/km302/wait.png")));
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &CPortWaitDialog::OnCancelButton);
}

CPortWaitDialog::~CPortWaitDialog()
{
    if (m_worker.joinable())
        OnDestroy();
}

int CPortWaitDialog::DoModal()
{
    const int result = CDialog::DoModal();
    OnDestroy();
    return result;
}

BOOL CPortWaitDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_nCancel = 0;
    m_bWorkerDone = false;
    try {
        m_worker = std::thread(&CPortWaitDialog::WorkerMain, this);
    } catch (const std::system_error&) {
        // Without a thread the list is built here; the dialog then never shows.
        WorkerMain();
    }
    return TRUE;
}

void CPortWaitDialog::OnCancelButton()
{
    m_nCancel = 1;
}

void CPortWaitDialog::WorkerMain()
{
    // 1. The list text.
    int count = 0;
    QString work;
    if (!m_lister || !m_lister(count, work))
        work.clear();

    // 2. One entry per line.
    for (;;) {
        const qsizetype d = work.indexOf(QLatin1Char('\n'));
        if (d < 0)
            break;
        if (d > 0 && m_pTarget)
            m_pTarget->AddPort(PortEntryFromLine(work.left(d)));
        work.remove(0, d + 1);
    }

    // 3. Ask the dialog to close (WM_CLOSE: it ends as cancelled).
    m_bWorkerDone = true;
    QMetaObject::invokeMethod(this, [this] { EndDialog(IDCANCEL); }, Qt::QueuedConnection);
}

void CPortWaitDialog::OnDestroy()
{
    // 1.-3. Wait for the worker, processing this dialog's own posted events.
    m_nCancel = 1;
    while (!m_bWorkerDone) {
        QCoreApplication::sendPostedEvents(this);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (m_worker.joinable())
        m_worker.join();
    // The worker's close request may still be queued; it must not reach a
    // later run of this dialog.
    QCoreApplication::removePostedEvents(this, QEvent::MetaCall);
}
