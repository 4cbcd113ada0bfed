#pragma once
// CDialog: the dialog base of the program's windows, over QDialog, with the
// window framework's life cycle.
//
// - A dialog box (window type Qt::Dialog, with a frame) is given, before
//   OnInitDialog, the fixed size of its layout and a title bar with only a
//   close button; its title is exactly its window title.
// - OnInitDialog() runs once, before the dialog first shows (from DoModal, or
//   from show() for a dialog that is not run modally). The base version calls
//   UpdateData(FALSE) and returns TRUE. Its result keeps the framework's
//   meaning (FALSE: the dialog placed the focus itself) and is not needed here.
// - DoModal() runs the dialog in its own event loop until EndDialog and returns
//   the code given to EndDialog: IDOK or IDCANCEL for the program's dialogs. A
//   dialog hidden without EndDialog returns IDCANCEL. EndDialog may be called
//   from OnInitDialog; the dialog then never shows.
// - Enter on the default button, accept() and a button box's OK call OnOK();
//   Escape, reject() and the close box call OnCancel(). The defaults end the
//   dialog with IDOK (after UpdateData(TRUE)) and IDCANCEL. A dialog whose
//   OnCancel does not end it stays open when its close box is pressed.
//
// CancelAllModal() ends every modal loop that DoModal or RunModal runs, the
// innermost first, with IDCANCEL (through EndDialog, not OnCancel: nothing may
// refuse). Until the last of those loops has returned, any further DoModal or
// RunModal returns IDCANCEL at once without showing anything, so that the code
// behind a cancelled dialog cannot open a new one. A loop whose dialog had
// already ended keeps its own result. Used when the program is asked to stop
// (SIGTERM) while dialogs are open. WasCancelledByStop() tells the code behind
// a dialog that its IDCANCEL came from there, not from the user.
//
// Dialogs are made on the stack of the command that runs them; the object must
// outlive its DoModal. User-interface thread only.

#include <QDialog>

#include "platform/wintypes.h"

class CDialog : public QDialog {
    Q_OBJECT
public:
    explicit CDialog(QWidget* parent = nullptr);
    ~CDialog() override;

    virtual int DoModal();
    void EndDialog(int result);
    // true when the last DoModal was ended or refused by CancelAllModal.
    bool WasCancelledByStop() const { return m_cancelledByStop; }

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    // Moves data between the controls and the members; true = from the
    // controls. The base class has nothing to move.
    virtual void DoDataExchange(bool bSaveAndValidate);
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    void setVisible(bool visible) override;

    // Runs any QDialog (a message box, a chooser) as one of the program's
    // modal loops, so that CancelAllModal reaches it. Returns exec()'s result;
    // `cancelled` (if given) tells whether CancelAllModal ended or refused it.
    static int RunModal(QDialog& dialog, bool* cancelled = nullptr);
    static void CancelAllModal();
    // How many modal loops of DoModal and RunModal are running.
    static int ModalDepth();

public slots:
    void accept() override;
    void reject() override;

private:
    void RunInitOnce();
    void MakeFixedBox();

    bool m_initialized = false;
    bool m_ended = false;
    bool m_inModal = false;
    bool m_cancelledByStop = false;
    int m_result = IDCANCEL;
};
