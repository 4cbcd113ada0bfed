#pragma once
// CMqttDialog "Publikowanie MQTT": where the live values go on the network.
// The broker's host (empty: publishing is off), port, user and password, TLS
// with an optional file of authorities, the topic prefix, Home Assistant
// discovery with its prefix, and the bound of the store-and-forward spool.
//
// "Sprawdź połączenie" tries the settings as they stand in the dialog with a
// connection of its own and says in a line under the fields what happened
// (connected; refused: bad user or password; certificate not trusted; host
// not found; no answer). The try runs on the event loop: the dialog stays
// usable, and a new try or closing the dialog ends the one before. The
// password is shown as dots and never appears in the line.
//
// The caller fills m_settings and runs DoModal; OK takes the fields into
// m_settings (a port out of range, or a bound below 1 MB, is kept in range).
// RunMqttCommand is the whole command. User-interface thread; made on the
// stack.

#include <QString>

#include <functional>
#include <memory>

#include "platform/dialog.h"
#include "publish/mqttsettings.h"

class CMqttClient;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

class CMqttDialog : public CDialog {
    Q_OBJECT
public:
    explicit CMqttDialog(QWidget* parent = nullptr);
    ~CMqttDialog() override;

    BOOL OnInitDialog() override;
    void OnOK() override;

    // Starts a try with the fields as they stand; its outcome shows in ResultText().
    void OnTestConnection();
    QString ResultText() const;

    MqttSettings m_settings;

    QLineEdit* m_host = nullptr;
    QSpinBox* m_port = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QCheckBox* m_tls = nullptr;
    QLineEdit* m_caFile = nullptr;
    QLineEdit* m_topic = nullptr;
    QCheckBox* m_discovery = nullptr;
    QLineEdit* m_discoveryPrefix = nullptr;
    QSpinBox* m_spoolMb = nullptr;
    QPushButton* m_testButton = nullptr;

signals:
    // A try ended with this text (connected or why not).
    void TestFinished(bool connected, const QString& text);

private:
    MqttSettings FromFields() const;
    void OnBrowseCaFile();
    void EnableFields();

    QLabel* m_result = nullptr;
    std::unique_ptr<CMqttClient> m_probe;      // the try under way
    std::unique_ptr<CMqttClient> m_answered;   // the try that has answered, until it is closed
};

// The command "Publikowanie MQTT": with IDOK the dialog's settings replace
// `settings`. `run` runs the dialog (DoModal when empty; tests script it).
// Returns the dialog's result.
int RunMqttCommand(MqttSettings& settings, QWidget* parent = nullptr,
                   const std::function<int(CMqttDialog&)>& run = {});
