#pragma once
// CPortWaitDialog: "Proszę czekać" while a worker thread lists the serial
// ports into the port dialog's entries.
//
// The worker runs the port lister, turns each line of the list text into a
// port entry ("COM5:Port" becomes "COM5 (Port)") and hands it to the target's
// AddPort, then asks the dialog to close. "Anuluj" records a cancel request,
// which does not shorten the listing; Escape closes the dialog. However the
// dialog ends, DoModal returns only after the worker has finished (processing
// this dialog's posted events meanwhile), so the entries are always the
// complete list and are never touched by two threads at once.
//
// User-interface thread; the target must outlive DoModal.

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include <QString>

#include "platform/dialog.h"

class CPortDialog;

namespace Ui {
class CPortWaitDialog;
}

class CPortWaitDialog : public CDialog {
    Q_OBJECT
public:
    // Fills count and text; returns 1 on success (ListPorts in the program).
    using Lister = std::function<int(int& count, QString& text)>;

    explicit CPortWaitDialog(QWidget* parent = nullptr);
    ~CPortWaitDialog() override;

    int DoModal() override;
    BOOL OnInitDialog() override;

    int m_nCancel = 0;                       // the cancel request
    CPortDialog* m_pTarget = nullptr;        // receives the entries
    Lister m_lister;

private:
    void OnCancelButton();
    void WorkerMain();
    void OnDestroy();

    std::unique_ptr<Ui::CPortWaitDialog> m_ui;
    std::thread m_worker;
    std::atomic<bool> m_bWorkerDone{true};
};
