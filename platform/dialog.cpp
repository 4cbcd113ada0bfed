#include "platform/dialog.h"

#include <QLayout>
#include <QPointer>

#include <vector>

namespace {

struct ModalLoop {
    QPointer<QDialog> dialog;
    CDialog* owner = nullptr;    // set when the loop is a CDialog's DoModal
    bool cancelling = false;     // CancelAllModal has reached this loop
    bool forced = false;         // ... and ended it
};

// The running modal loops, outermost first. Nested loops return in the
// reverse order of their start, so an index stays valid for a loop's life.
std::vector<ModalLoop>& Loops()
{
    static std::vector<ModalLoop> loops;
    return loops;
}

bool CancellationInProgress()
{
    for (const ModalLoop& loop : Loops()) {
        if (loop.cancelling)
            return true;
    }
    return false;
}

}  // namespace

CDialog::CDialog(QWidget* parent) : QDialog(parent)
{
}

CDialog::~CDialog() = default;

int CDialog::DoModal()
{
    if (m_inModal)
        return IDCANCEL;
    m_cancelledByStop = CancellationInProgress();
    if (m_cancelledByStop)
        return IDCANCEL;
    m_inModal = true;
    m_ended = false;
    m_result = IDCANCEL;
    auto& loops = Loops();
    const std::size_t index = loops.size();
    loops.push_back(ModalLoop{this, this});
    RunInitOnce();
    if (!m_ended && !loops[index].forced) {
        const int execResult = exec();
        if (!m_ended)
            m_result = execResult == 0 ? IDCANCEL : execResult;
    }
    m_cancelledByStop = loops[index].forced;
    loops.pop_back();
    m_inModal = false;
    return m_result;
}

void CDialog::EndDialog(int result)
{
    m_ended = true;
    m_result = result;
    QDialog::done(result);
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

void CDialog::DoDataExchange(bool)
{
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    DoDataExchange(bSaveAndValidate != 0);
    return TRUE;
}

void CDialog::setVisible(bool visible)
{
    if (visible && !isVisible() && !m_initialized) {
        m_ended = false;
        RunInitOnce();
        if (m_ended)
            return;
    }
    QDialog::setVisible(visible);
}

void CDialog::accept()
{
    OnOK();
}

void CDialog::reject()
{
    OnCancel();
}

void CDialog::RunInitOnce()
{
    if (m_initialized)
        return;
    m_initialized = true;
    MakeFixedBox();
    OnInitDialog();
}

void CDialog::MakeFixedBox()
{
    // A dialog box has the size its layout gives it and only a close button:
    // window managers offer minimise and maximise to whatever does not say so.
    if (windowType() != Qt::Dialog || windowFlags().testFlag(Qt::FramelessWindowHint))
        return;
    if (layout())
        layout()->setSizeConstraint(QLayout::SetFixedSize);
    setWindowFlags((windowFlags() & ~(Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint))
                   | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
}

int CDialog::RunModal(QDialog& dialog, bool* cancelled)
{
    if (cancelled)
        *cancelled = false;
    if (CancellationInProgress()) {
        if (cancelled)
            *cancelled = true;
        return QDialog::Rejected;
    }
    auto& loops = Loops();
    const std::size_t index = loops.size();
    loops.push_back(ModalLoop{&dialog, nullptr});
    const int result = dialog.exec();
    if (cancelled)
        *cancelled = loops[index].forced;
    loops.pop_back();
    return result;
}

void CDialog::CancelAllModal()
{
    auto& loops = Loops();
    // Marked first, so that whatever ending a dialog runs cannot open another.
    for (ModalLoop& loop : loops)
        loop.cancelling = true;
    for (std::size_t i = loops.size(); i-- > 0;) {
        ModalLoop& loop = loops[i];
        if (!loop.dialog)
            continue;
        if (loop.owner) {
            if (loop.owner->m_ended)
                continue;
            loop.forced = true;
            loop.owner->EndDialog(IDCANCEL);
        } else if (loop.dialog->isVisible()) {
            loop.forced = true;
            loop.dialog->done(QDialog::Rejected);
        }
    }
}

int CDialog::ModalDepth()
{
    return static_cast<int>(Loops().size());
}
