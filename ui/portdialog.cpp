#include "ui/portdialog.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "device/portenumeration.h"
#include "platform/services.h"
#include "platform/stringtable.h"
#include "ui_portdialog.h"

namespace {

constexpr UINT IDS_PORT_IN_USE = 102;
constexpr UINT IDS_NO_PORT_IN_USE = 103;
constexpr UINT IDS_NO_PORT_CHOSEN = 104;

// atoi: leading blanks, an optional sign, the digits that follow; 0 without any.
int LeadingNumber(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        negative = text[i++] == QLatin1Char('-');
    long long value = 0;
    while (i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9')) {
        value = std::min<long long>(value * 10 + (text[i].unicode() - '0'), 1LL << 31);
        ++i;
    }
    value = negative ? -value : value;
    return int(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// The entry of port n: "COM<n>" with no further digit after it.
bool IsEntryOfPort(const QString& entry, int n)
{
    const QString prefix = QStringLiteral("COM%1").arg(n);
    if (!entry.startsWith(prefix))
        return false;
    return entry.size() == prefix.size() || !entry.at(prefix.size()).isDigit();
}

} // namespace

CPortDialog::CPortDialog(QWidget* parent)
    : CDialog(parent), m_lister(&ListPorts), m_ui(std::make_unique<Ui::CPortDialog>())
{
    m_ui->setupUi(this);
    m_status = m_ui->statusLabel;
    m_combo = m_ui->portCombo;
    connect(m_ui->okButton, &QPushButton::clicked, this, [this] { OnOK(); });
    connect(m_ui->cancelButton, &QPushButton::clicked, this, [this] { OnCancel(); });
}

CPortDialog::~CPortDialog() = default;

int CPortDialog::DoModal()
{
    // The ports are listed before the dialog shows, every time it opens.
    ListPortsIntoEntries();
    return CDialog::DoModal();
}

void CPortDialog::ListPortsIntoEntries()
{
    m_ports.clear();
    CPortWaitDialog wait;
    wait.m_pTarget = this;
    wait.m_lister = m_lister;
    wait.DoModal();
}

void CPortDialog::AddPort(const QString& entry)
{
    std::lock_guard lock(m_portsLock);
    m_ports.append(entry);
}

BOOL CPortDialog::OnInitDialog()
{
    CDialog::OnInitDialog();

    // 1. Which port is in use.
    if (m_nPortNr != 0)
        m_status->setText(LoadString(IDS_PORT_IN_USE).replace(QStringLiteral("%d"), QString::number(m_nPortNr)));
    else
        m_status->setText(LoadString(IDS_NO_PORT_IN_USE));

    // 2.-3. The entries in their order, the one of the port in use selected.
    m_combo->clear();
    std::lock_guard lock(m_portsLock);
    int selected = -1;
    for (const QString& entry : std::as_const(m_ports)) {
        m_combo->addItem(entry);
        if (m_nPortNr != 0 && IsEntryOfPort(entry, m_nPortNr))
            selected = m_combo->count() - 1;
    }
    // 4. Without a matching entry nothing is selected.
    m_combo->setCurrentIndex(selected);
    return TRUE;
}

void CPortDialog::OnOK()
{
    // 1. The chosen text without leading blanks.
    QString text = m_combo->currentText();
    qsizetype start = 0;
    while (start < text.size() && text.at(start).isSpace())
        ++start;
    text.remove(0, start);

    // 2.-3. "COM" and a positive number.
    const int number = text.size() < 4 ? 0 : LeadingNumber(QStringView(text).mid(3));
    if (number <= 0) {
        Services().MessageBox(LoadString(IDS_NO_PORT_CHOSEN), MB_OK);
        return;
    }
    m_nPortNr = number;
    CDialog::OnOK();
}
