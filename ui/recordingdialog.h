#pragma once
// CRecordingDialog "Rejestracja do pliku": the recording interval, the text
// log (switch, file, column separator, comment written when recording
// starts) and the binary log (switch, file).
//
// The command that runs it fills the nine members (Load), runs DoModal and,
// after IDOK, takes them back (Settings and the comment text); the dialog itself opens no file and validates
// nothing (an empty path with its switch on fails when the file is opened).
// The members change while the dialog runs:
//   - the switches and the separator code as their controls are clicked;
//   - the interval and the paths when their boxes lose the input focus, and
//     again on OK (so that Enter in a box does not lose what was typed); an
//     interval of 00:00:00 becomes 00:00:01;
//   - the comment text and the serial-number switch on OK;
//   - the paths when a file is chosen with "...".
// Controls whose log is switched off are disabled, and the comment box and
// the serial-number check box follow the comment check box.
//
// The comment text holds its lines separated by CR LF, as the log writes them.
// User-interface thread; made on the stack of the command that runs it.

#include <QString>

#include <memory>

#include "platform/dialog.h"
#include "recording/recordingsettings.h"

namespace Ui {
class CRecordingDialog;
}

class CRecordingDialog : public CDialog {
    Q_OBJECT
public:
    explicit CRecordingDialog(QWidget* parent = nullptr);
    ~CRecordingDialog() override;

    // The members from the recording settings and the comment text, and back.
    void Load(const RecordingSettings& settings, const QString& comment);
    RecordingSettings Settings() const;

    BOOL OnInitDialog() override;
    void OnOK() override;

    int m_bCheckComment = 0;       // check box "Dodaj komentarz ..."
    int m_bCheckCommentSn = 0;     // check box "Dodaj numer seryjny ..."
    QString m_strComment;          // the comment box
    int m_nSepFormat = 0;          // 0 tab, 1 comma, 2 semicolon; another code checks no button
    int m_nInterval = 1;           // seconds, 1 to 86399 (others are brought into range)
    QString m_strFileName;         // text log path
    QString m_strFileNameBin;      // binary log path
    int m_bFileLog = 0;            // check box "Rejestruj wyniki pomiarów"
    int m_bFileLogBin = 0;         // check box "Rejestruj do pliku binarnego ..."

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnTextLogClicked();
    void OnBinaryLogClicked();
    void OnCommentClicked();
    void OnKillFocusTextPath();
    void OnKillFocusBinaryPath();
    void OnKillFocusInterval();
    void OnChooseTextFile();
    void OnChooseBinaryFile();
    void EnableTextGroup(bool enable);
    void EnableBinaryGroup(bool enable);

    std::unique_ptr<Ui::CRecordingDialog> m_ui;
};
