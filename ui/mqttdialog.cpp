#include "ui/mqttdialog.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "publish/mqttclient.h"

namespace {

constexpr int kMaxSpoolMb = 100000;

} // namespace

CMqttDialog::CMqttDialog(QWidget* parent) : CDialog(parent)
{
    setWindowTitle(QStringLiteral("Publikowanie MQTT"));
    auto* form = new QFormLayout;
    m_host = new QLineEdit(this);
    m_host->setPlaceholderText(QStringLiteral("puste: bez publikowania"));
    form->addRow(QStringLiteral("&Serwer:"), m_host);
    m_port = new QSpinBox(this);
    m_port->setRange(1, 65535);
    form->addRow(QStringLiteral("&Port:"), m_port);
    m_user = new QLineEdit(this);
    form->addRow(QStringLiteral("&Użytkownik:"), m_user);
    m_password = new QLineEdit(this);
    m_password->setEchoMode(QLineEdit::Password);
    form->addRow(QStringLiteral("&Hasło:"), m_password);
    m_tls = new QCheckBox(QStringLiteral("Szyfrowanie &TLS (sprawdza certyfikat serwera)"), this);
    form->addRow(QString(), m_tls);
    m_caFile = new QLineEdit(this);
    m_caFile->setPlaceholderText(QStringLiteral("puste: urzędy certyfikacji systemu"));
    auto* browse = new QPushButton(QStringLiteral("..."), this);
    auto* caRow = new QHBoxLayout;
    caRow->addWidget(m_caFile);
    caRow->addWidget(browse);
    form->addRow(QStringLiteral("Plik &CA:"), caRow);
    m_topic = new QLineEdit(this);
    form->addRow(QStringLiteral("Prefiks &tematów:"), m_topic);
    m_discovery = new QCheckBox(QStringLiteral("&Wykrywanie w Home Assistant"), this);
    form->addRow(QString(), m_discovery);
    m_discoveryPrefix = new QLineEdit(this);
    form->addRow(QStringLiteral("Prefiks &wykrywania:"), m_discoveryPrefix);
    m_spoolMb = new QSpinBox(this);
    m_spoolMb->setRange(1, kMaxSpoolMb);
    m_spoolMb->setSuffix(QStringLiteral(" MB"));
    form->addRow(QStringLiteral("&Bufor zaległych zapisów:"), m_spoolMb);

    m_testButton = new QPushButton(QStringLiteral("Sprawdź &połączenie"), this);
    m_result = new QLabel(this);
    m_result->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Anuluj"), QDialogButtonBox::RejectRole);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    auto* testRow = new QHBoxLayout;
    testRow->addWidget(m_testButton);
    testRow->addWidget(m_result, 1);
    layout->addLayout(testRow);
    layout->addWidget(buttons);

    connect(browse, &QPushButton::clicked, this, [this] { OnBrowseCaFile(); });
    connect(m_testButton, &QPushButton::clicked, this, [this] { OnTestConnection(); });
    connect(m_tls, &QCheckBox::toggled, this, [this] { EnableFields(); });
    connect(m_discovery, &QCheckBox::toggled, this, [this] { EnableFields(); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { OnOK(); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { OnCancel(); });
}

CMqttDialog::~CMqttDialog() = default;

BOOL CMqttDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_host->setText(m_settings.strHost);
    m_port->setValue(m_settings.nPort);
    m_user->setText(m_settings.strUser);
    m_password->setText(m_settings.strPassword);
    m_tls->setChecked(m_settings.bTls != 0);
    m_caFile->setText(m_settings.strCaFile);
    m_topic->setText(m_settings.strTopic);
    m_discovery->setChecked(m_settings.bDiscovery != 0);
    m_discoveryPrefix->setText(m_settings.strDiscoveryPrefix);
    m_spoolMb->setValue(m_settings.nSpoolMb > 0 ? m_settings.nSpoolMb : MqttSettings::kDefaultSpoolMb);
    EnableFields();
    return TRUE;
}

void CMqttDialog::OnOK()
{
    m_probe.reset();
    m_settings = FromFields();
    CDialog::OnOK();
}

MqttSettings CMqttDialog::FromFields() const
{
    MqttSettings s = m_settings;
    s.strHost = m_host->text().trimmed();
    s.nPort = m_port->value();
    s.strUser = m_user->text();
    s.strPassword = m_password->text();
    s.bTls = m_tls->isChecked() ? 1 : 0;
    s.strCaFile = m_caFile->text().trimmed();
    // An empty prefix would put the topics at the broker's root.
    s.strTopic = m_topic->text().trimmed().isEmpty() ? MqttSettings().strTopic : m_topic->text().trimmed();
    s.bDiscovery = m_discovery->isChecked() ? 1 : 0;
    s.strDiscoveryPrefix = m_discoveryPrefix->text().trimmed().isEmpty() ? MqttSettings().strDiscoveryPrefix
                                                                          : m_discoveryPrefix->text().trimmed();
    s.nSpoolMb = m_spoolMb->value();
    return s;
}

void CMqttDialog::OnTestConnection()
{
    const MqttSettings settings = FromFields();
    m_probe.reset();
    if (!settings.Enabled()) {
        m_result->setText(QStringLiteral("Podaj adres serwera."));
        emit TestFinished(false, m_result->text());
        return;
    }
    m_result->setText(QStringLiteral("Łączenie…"));
    m_probe = std::make_unique<CMqttClient>();
    // The first answer decides; the probe is not tried again.
    connect(m_probe.get(), &CMqttClient::StatusChanged, this, [this](bool connected, const QString& text) {
        m_result->setText(text);
        // Said goodbye to once this signal has returned (or with the dialog).
        if (m_probe) {
            m_probe->disconnect(this);
            m_answered = std::move(m_probe);
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (m_answered)
                        m_answered->Stop();
                    m_answered.reset();
                },
                Qt::QueuedConnection);
        }
        emit TestFinished(connected, text);
    });
    m_probe->Start(settings, QStringLiteral("km302-proba-%1").arg(QCoreApplication::applicationPid()), QString());
}

QString CMqttDialog::ResultText() const
{
    return m_result->text();
}

void CMqttDialog::OnBrowseCaFile()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Plik urzędów certyfikacji"),
                                                      m_caFile->text(),
                                                      QStringLiteral("Certyfikaty (*.pem *.crt);;Wszystkie pliki (*)"));
    if (!path.isEmpty())
        m_caFile->setText(path);
}

void CMqttDialog::EnableFields()
{
    m_caFile->setEnabled(m_tls->isChecked());
    m_discoveryPrefix->setEnabled(m_discovery->isChecked());
}

int RunMqttCommand(MqttSettings& settings, QWidget* parent, const std::function<int(CMqttDialog&)>& run)
{
    CMqttDialog dialog(parent);
    dialog.m_settings = settings;
    const int result = run ? run(dialog) : dialog.DoModal();
    if (result == IDOK)
        settings = dialog.m_settings;
    return result;
}
