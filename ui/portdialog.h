#pragma once
// CPortDialog "Porty": the user picks the serial port of the instrument.
//
// The caller sets m_nPortNr to the port in use (0 for none) and runs DoModal.
// Before the dialog shows, the wait dialog lists the ports into m_ports; the
// drop-down box then offers them ("COM5", "COM1 (description)"), the status
// line names the port in use, and its entry is selected. OK takes the number
// from the chosen entry into m_nPortNr (always above 0) and ends with IDOK;
// without a usable choice it says "Nie wybrano żadnego portu." and stays open.
//
// Under the list a label shows the selected entry's device path (what its
// number maps to, CPortMap) and description. "Ścieżka urządzenia:" with
// "Dodaj" (or Enter in the field) takes any device path, such as a socat or
// simulator link: it gets a number through the port map (the lowest free from
// COM33 up, kept in [PORTS] at exit), and its entry is added and selected.
//
// User-interface thread; made on the stack of the command that runs it.

#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>

#include "platform/dialog.h"
#include "ui/portwaitdialog.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace Ui {
class CPortDialog;
}

class CPortDialog : public CDialog {
    Q_OBJECT
public:
    explicit CPortDialog(QWidget* parent = nullptr);
    ~CPortDialog() override;

    // Lists the ports (the wait dialog), then runs this dialog.
    int DoModal() override;
    BOOL OnInitDialog() override;
    void OnOK() override;

    // Appends one entry; called by the wait dialog's worker.
    void AddPort(const QString& entry);
    // "Dodaj": maps the path in the field to a port number and selects it.
    void OnAddPath();
    // Empties the entries and fills them through the wait dialog.
    void ListPortsIntoEntries();

    int m_nPortNr = 0;
    QLabel* m_status = nullptr;
    QComboBox* m_combo = nullptr;
    QLabel* m_device = nullptr;         // path and description of the selection
    QLineEdit* m_pathEdit = nullptr;
    QStringList m_ports;
    CPortWaitDialog::Lister m_lister;    // ListPorts unless a test sets another

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowSelectedDevice();

    std::unique_ptr<Ui::CPortDialog> m_ui;
    std::mutex m_portsLock;
};
