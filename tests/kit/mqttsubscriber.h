#pragma once
// CMqttSubscriber: Debian's mosquitto_sub run by a test against a broker on
// 127.0.0.1, writing each message as a "topic payload" line into a file, in
// the order the messages arrive; stopped with the object.

#include <QByteArray>
#include <QString>

#include <string>
#include <utility>
#include <vector>

#include "tests/kit/childprocess.h"

class CMqttSubscriber {
public:
    // `options` follow the broker's address: the topics (-t), a session id
    // (-i, -c), a QoS (-q). True once the process is started.
    bool Start(const QString& path, int nPort, const std::vector<std::string>& options);
    // Every message so far, in arrival order.
    std::vector<std::pair<QString, QByteArray>> Messages() const;
    // The payloads on one topic, in arrival order.
    std::vector<QByteArray> On(const QString& topic) const;

private:
    QString m_path;
    CChildProcess m_process;
};
