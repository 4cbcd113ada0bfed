#include "ui/portdialog.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "device/portenumeration.h"
#include "device/portmap.h"
#include "platform/messageids.h"
#include "platform/services.h"
#include "platform/stringtable.h"
#include "ui_portdialog.h"

namespace {

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

// The number an entry stands for ("COM5", "COM1 (Port)"), 0 when none.
int NumberOfEntry(const QString& entry)
{
    return entry.size() < 4 ? 0 : LeadingNumber(QStringView(entry).mid(3));
}

// "COM1 (Port komunikacyjny)" → "Port komunikacyjny"; empty without one.
QString DescriptionOfEntry(const QString& entry, int n)
{
    const qsizetype start = QStringLiteral("COM%1 (").arg(n).size();
    if (entry.size() <= start || !entry.endsWith(QLatin1Char(')')))
        return {};
    return entry.mid(start, entry.size() - start - 1);
}

} // namespace

CPortDialog::CPortDialog(QWidget* parent)
    : CDialog(parent), m_lister(&ListPorts), m_ui(std::make_unique<Ui::CPortDialog>())
{
    m_ui->setupUi(this);
    m_status = m_ui->statusLabel;
    m_combo = m_ui->portCombo;
    m_device = m_ui->deviceLabel;
    m_pathEdit = m_ui->pathEdit;
    connect(m_combo, &QComboBox::currentIndexChanged, this, [this] { ShowSelectedDevice(); });
    connect(m_ui->addPathButton, &QPushButton::clicked, this, [this] { OnAddPath(); });
    // Enter in the field adds the path; it must not press OK as well.
    m_pathEdit->installEventFilter(this);
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
        m_combo->setItemData(m_combo->count() - 1, CPortMap::Instance().PathFor(NumberOfEntry(entry)), Qt::ToolTipRole);
        if (m_nPortNr != 0 && IsEntryOfPort(entry, m_nPortNr))
            selected = m_combo->count() - 1;
    }
    // 4. Without a matching entry nothing is selected.
    m_combo->setCurrentIndex(selected);
    ShowSelectedDevice();
    return TRUE;
}

void CPortDialog::ShowSelectedDevice()
{
    const QString entry = m_combo->currentText();
    const int n = NumberOfEntry(entry);
    if (m_combo->currentIndex() < 0 || n <= 0) {
        m_device->clear();
        return;
    }
    QString text = QStringLiteral("Urządzenie: ") + CPortMap::Instance().PathFor(n);
    const QString description = DescriptionOfEntry(entry, n);
    if (!description.isEmpty())
        text += QStringLiteral("\nOpis: ") + description;
    m_device->setText(text);
}

void CPortDialog::OnAddPath()
{
    const QString path = m_pathEdit->text().trimmed();
    if (!path.startsWith(QLatin1Char('/'))) {
        Services().MessageBox(QStringLiteral("Podaj pełną ścieżkę urządzenia, np. /dev/ttyUSB0 lub /tmp/km302-port."), MB_OK);
        return;
    }
    const int n = CPortMap::Instance().NumberForPath(path);
    if (n <= 0) {
        Services().MessageBox(QStringLiteral("Brak wolnego numeru portu (COM33–COM256)."), MB_OK);
        return;
    }
    // The entry of that number, or a new one in ascending order.
    int at = 0;
    for (; at < m_combo->count(); ++at) {
        const QString entry = m_combo->itemText(at);
        if (IsEntryOfPort(entry, n) || NumberOfEntry(entry) > n)
            break;
    }
    if (at == m_combo->count() || !IsEntryOfPort(m_combo->itemText(at), n)) {
        const QString entry = QStringLiteral("COM%1").arg(n);
        m_combo->insertItem(at, entry);
        std::lock_guard lock(m_portsLock);
        m_ports.insert(std::min<qsizetype>(at, m_ports.size()), entry);
    }
    m_combo->setItemData(at, CPortMap::Instance().PathFor(n), Qt::ToolTipRole);
    m_combo->setCurrentIndex(at);
    ShowSelectedDevice();
    m_pathEdit->clear();
}

bool CPortDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pathEdit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            OnAddPath();
            return true;
        }
    }
    return CDialog::eventFilter(watched, event);
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
    const int number = NumberOfEntry(text);
    if (number <= 0) {
        Services().MessageBox(LoadString(IDS_NO_PORT_CHOSEN), MB_OK);
        return;
    }
    m_nPortNr = number;
    CDialog::OnOK();
}
