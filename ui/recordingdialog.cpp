#include "ui/recordingdialog.h"

#include <QEvent>
#include <QTime>

#include <algorithm>

#include "platform/messageids.h"
#include "platform/services.h"
#include "platform/stringtable.h"
#include "recording/recordinginterval.h"
#include "ui_recordingdialog.h"

namespace {

// The edit control of Windows separates lines with CR LF, QPlainTextEdit with LF.
QString ToControlText(const QString& text)
{
    QString shown = text;
    return shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString FromControlText(const QString& text)
{
    QString taken = text;
    return taken.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
}

} // namespace

CRecordingDialog::CRecordingDialog(QWidget* parent)
    : CDialog(parent), m_ui(std::make_unique<Ui::CRecordingDialog>())
{
    m_ui->setupUi(this);
    m_ui->intervalEdit->setTimeRange(QTime(0, 0, 0), QTime(23, 59, 59));

    connect(m_ui->textLogCheck, &QAbstractButton::clicked, this, [this] { OnTextLogClicked(); });
    connect(m_ui->binaryLogCheck, &QAbstractButton::clicked, this, [this] { OnBinaryLogClicked(); });
    connect(m_ui->commentCheck, &QAbstractButton::clicked, this, [this] { OnCommentClicked(); });
    connect(m_ui->tabRadio, &QAbstractButton::clicked, this, [this] { m_nSepFormat = 0; });
    connect(m_ui->commaRadio, &QAbstractButton::clicked, this, [this] { m_nSepFormat = 1; });
    connect(m_ui->semicolonRadio, &QAbstractButton::clicked, this, [this] { m_nSepFormat = 2; });
    connect(m_ui->textBrowseButton, &QAbstractButton::clicked, this, [this] { OnChooseTextFile(); });
    connect(m_ui->binaryBrowseButton, &QAbstractButton::clicked, this, [this] { OnChooseBinaryFile(); });
    connect(m_ui->okButton, &QAbstractButton::clicked, this, [this] { OnOK(); });
    connect(m_ui->cancelButton, &QAbstractButton::clicked, this, [this] { OnCancel(); });

    // The picker has interpreted what was typed by the time it says editing
    // finished (on losing the focus); the path boxes are read on focus loss.
    connect(m_ui->intervalEdit, &QAbstractSpinBox::editingFinished, this, [this] { OnKillFocusInterval(); });
    m_ui->textPathEdit->installEventFilter(this);
    m_ui->binaryPathEdit->installEventFilter(this);
}

CRecordingDialog::~CRecordingDialog() = default;

void CRecordingDialog::Load(const RecordingSettings& settings, const QString& comment)
{
    m_bCheckComment = settings.checkComment;
    m_bCheckCommentSn = settings.checkCommentSn;
    m_strComment = comment;
    m_nSepFormat = settings.sepFormat;
    m_nInterval = settings.interval;
    m_strFileName = settings.fileName;
    m_strFileNameBin = settings.fileNameBin;
    m_bFileLog = settings.fileLog;
    m_bFileLogBin = settings.fileLogBin;
}

RecordingSettings CRecordingDialog::Settings() const
{
    RecordingSettings settings;
    settings.fileLog = m_bFileLog;
    settings.fileLogBin = m_bFileLogBin;
    settings.fileName = m_strFileName;
    settings.fileNameBin = m_strFileNameBin;
    settings.sepFormat = m_nSepFormat;
    settings.interval = m_nInterval;
    settings.checkComment = m_bCheckComment;
    settings.checkCommentSn = m_bCheckCommentSn;
    return settings;
}

BOOL CRecordingDialog::OnInitDialog()
{
    CDialog::OnInitDialog();

    // 1.-4. Switches, and the controls that depend on them.
    m_ui->textLogCheck->setChecked(m_bFileLog != 0);
    if (!m_bFileLog)
        EnableTextGroup(false);
    m_ui->binaryLogCheck->setChecked(m_bFileLogBin != 0);
    if (!m_bFileLogBin)
        EnableBinaryGroup(false);
    m_ui->commentCheck->setChecked(m_bCheckComment != 0);
    if (!m_bCheckComment) {
        m_ui->serialNumberCheck->setEnabled(false);
        m_ui->commentEdit->setEnabled(false);
    }
    m_ui->serialNumberCheck->setChecked(m_bCheckCommentSn != 0);

    // 5. The comment.
    m_ui->commentEdit->setPlainText(ToControlText(m_strComment));

    // 6. The interval as a time of day; a stored value out of range is
    // brought into it, so that the picker shows what the member holds.
    m_nInterval = ClampRecordingInterval(m_nInterval);
    m_ui->intervalEdit->setTime(QTime(m_nInterval / 3600, m_nInterval / 60 % 60, m_nInterval % 60));

    // 7. The separator; an unknown code checks no button.
    QAbstractButton* const radios[] = {m_ui->tabRadio, m_ui->commaRadio, m_ui->semicolonRadio};
    for (int code = 0; code < 3; ++code) {
        radios[code]->setAutoExclusive(false);
        radios[code]->setChecked(code == m_nSepFormat);
        radios[code]->setAutoExclusive(true);
    }

    // 8. The paths.
    m_ui->textPathEdit->setText(m_strFileName);
    m_ui->binaryPathEdit->setText(m_strFileNameBin);
    return TRUE;
}

void CRecordingDialog::OnOK()
{
    m_strComment = FromControlText(m_ui->commentEdit->toPlainText());
    m_bCheckCommentSn = m_ui->serialNumberCheck->isChecked() ? 1 : 0;
    // Enter in a box accepts without the box losing the focus.
    OnKillFocusTextPath();
    OnKillFocusBinaryPath();
    OnKillFocusInterval();
    CDialog::OnOK();
}

bool CRecordingDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        if (watched == m_ui->textPathEdit)
            OnKillFocusTextPath();
        else if (watched == m_ui->binaryPathEdit)
            OnKillFocusBinaryPath();
    }
    return CDialog::eventFilter(watched, event);
}

void CRecordingDialog::OnTextLogClicked()
{
    m_bFileLog = m_ui->textLogCheck->isChecked() ? 1 : 0;
    EnableTextGroup(m_bFileLog != 0);
    // The comment box and its serial-number check follow the comment check box.
    if (m_bFileLog)
        OnCommentClicked();
}

void CRecordingDialog::OnBinaryLogClicked()
{
    m_bFileLogBin = m_ui->binaryLogCheck->isChecked() ? 1 : 0;
    EnableBinaryGroup(m_bFileLogBin != 0);
}

void CRecordingDialog::OnCommentClicked()
{
    m_bCheckComment = m_ui->commentCheck->isChecked() ? 1 : 0;
    m_ui->serialNumberCheck->setEnabled(m_bCheckComment != 0);
    m_ui->commentEdit->setEnabled(m_bCheckComment != 0);
}

void CRecordingDialog::OnKillFocusTextPath()
{
    m_strFileName = m_ui->textPathEdit->text();
}

void CRecordingDialog::OnKillFocusBinaryPath()
{
    m_strFileNameBin = m_ui->binaryPathEdit->text();
}

void CRecordingDialog::OnKillFocusInterval()
{
    const QTime time = m_ui->intervalEdit->time();
    m_nInterval = time.isValid() ? time.hour() * 3600 + time.minute() * 60 + time.second() : 0;
    if (m_nInterval == 0) {
        m_ui->intervalEdit->setTime(QTime(0, 0, 1));
        m_nInterval = 1;
    }
}

void CRecordingDialog::OnChooseTextFile()
{
    FileChooserRequest request;
    request.title = LoadString(IDS_TEXT_CHOOSER_TITLE);
    request.filter = LoadString(IDS_TEXT_FILTER);
    request.defaultExtension = QStringLiteral("csv");
    request.filterIndex = 1;
    request.overwritePrompt = true;
    FileChooserResult result;
    if (!Services().ChooseOpenFile(request, result))
        return;
    QString path = result.path;
    if (result.extensionOffset == 0) {
        if (result.filterIndex == 1)
            path += QStringLiteral(".txt");
        else if (result.filterIndex == 2)
            path += QStringLiteral(".csv");
    }
    m_strFileName = path;
    m_ui->textPathEdit->setText(path);
}

void CRecordingDialog::OnChooseBinaryFile()
{
    FileChooserRequest request;
    request.title = LoadString(IDS_BINARY_CHOOSER_TITLE);
    request.filter = LoadString(IDS_BINARY_FILTER);
    request.defaultExtension = QStringLiteral("vrd");
    request.filterIndex = 1;
    request.overwritePrompt = true;
    FileChooserResult result;
    if (!Services().ChooseOpenFile(request, result))
        return;
    QString path = result.path;
    if (result.extensionOffset == 0 && result.filterIndex == 1)
        path += QStringLiteral(".vrd");
    m_strFileNameBin = path;
    m_ui->binaryPathEdit->setText(path);
}

void CRecordingDialog::EnableTextGroup(bool enable)
{
    QWidget* const group[] = {m_ui->textBrowseButton, m_ui->tabRadio,       m_ui->commaRadio,
                              m_ui->semicolonRadio,   m_ui->textPathEdit,   m_ui->textFileLabel,
                              m_ui->separatorLabel,   m_ui->commentCheck};
    for (QWidget* control : group)
        control->setEnabled(enable);
    // Switching on leaves these two to the comment check box.
    if (!enable) {
        m_ui->serialNumberCheck->setEnabled(false);
        m_ui->commentEdit->setEnabled(false);
    }
}

void CRecordingDialog::EnableBinaryGroup(bool enable)
{
    m_ui->binaryBrowseButton->setEnabled(enable);
    m_ui->binaryPathEdit->setEnabled(enable);
    m_ui->binaryFileLabel->setEnabled(enable);
}
