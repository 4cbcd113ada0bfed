#pragma once
// CDdeAdaptor: the D-Bus interface pl.km302.KM302.Dde of the DDE server, on the
// object /pl/km302/KM302 of the name pl.km302.KM302 while the server is
// registered.
//
//   Topics() -> as                    the one topic, e.g. "Ciśnienie#1234"
//   Connect(s topic) -> b             whether the topic is this server's
//   Request(s topic, s item) -> s     the item's text; a topic or item that
//                                     is not served gets the error
//                                     pl.km302.KM302.Error.NotServed
//   AdviseStart(s topic, s item) -> b a hot link for the calling client; on
//                                     success an Advise signal with the
//                                     current text follows the reply
//   AdviseStop(s topic, s item) -> b  whether the caller had that link
//   signal Advise(s topic, s item, s text)
//                                     at every refresh, once for each item
//                                     that has at least one link
//   signal Alert(s kind, b active, s text)
//                                     a weather-station alert started
//                                     (active) or ended: kind "fall",
//                                     "rise", "low", "high" or "silence",
//                                     text one Polish sentence
//   properties Topic, Wynik, Pomiar, Status (read-only strings), with
//                                     PropertiesChanged when a text changes
// Topic and item names compare without regard to case.
//
// Every call is handed to the transport that owns this adaptor (its parent);
// same thread as the transport.

#include <QDBusAbstractAdaptor>
#include <QString>
#include <QStringList>

class CDdeBusTransport;

class CDdeAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "pl.km302.KM302.Dde")
    Q_CLASSINFO("D-Bus Introspection",
                "  <interface name=\"pl.km302.KM302.Dde\">\n"
                "    <method name=\"Topics\">\n"
                "      <arg name=\"topics\" type=\"as\" direction=\"out\"/>\n"
                "    </method>\n"
                "    <method name=\"Connect\">\n"
                "      <arg name=\"topic\" type=\"s\" direction=\"in\"/>\n"
                "      <arg name=\"accepted\" type=\"b\" direction=\"out\"/>\n"
                "    </method>\n"
                "    <method name=\"Request\">\n"
                "      <arg name=\"topic\" type=\"s\" direction=\"in\"/>\n"
                "      <arg name=\"item\" type=\"s\" direction=\"in\"/>\n"
                "      <arg name=\"text\" type=\"s\" direction=\"out\"/>\n"
                "    </method>\n"
                "    <method name=\"AdviseStart\">\n"
                "      <arg name=\"topic\" type=\"s\" direction=\"in\"/>\n"
                "      <arg name=\"item\" type=\"s\" direction=\"in\"/>\n"
                "      <arg name=\"linked\" type=\"b\" direction=\"out\"/>\n"
                "    </method>\n"
                "    <method name=\"AdviseStop\">\n"
                "      <arg name=\"topic\" type=\"s\" direction=\"in\"/>\n"
                "      <arg name=\"item\" type=\"s\" direction=\"in\"/>\n"
                "      <arg name=\"unlinked\" type=\"b\" direction=\"out\"/>\n"
                "    </method>\n"
                "    <signal name=\"Advise\">\n"
                "      <arg name=\"topic\" type=\"s\"/>\n"
                "      <arg name=\"item\" type=\"s\"/>\n"
                "      <arg name=\"text\" type=\"s\"/>\n"
                "    </signal>\n"
                "    <signal name=\"Alert\">\n"
                "      <arg name=\"kind\" type=\"s\"/>\n"
                "      <arg name=\"active\" type=\"b\"/>\n"
                "      <arg name=\"text\" type=\"s\"/>\n"
                "    </signal>\n"
                "    <property name=\"Topic\" type=\"s\" access=\"read\"/>\n"
                "    <property name=\"Wynik\" type=\"s\" access=\"read\"/>\n"
                "    <property name=\"Pomiar\" type=\"s\" access=\"read\"/>\n"
                "    <property name=\"Status\" type=\"s\" access=\"read\"/>\n"
                "  </interface>\n")
    Q_PROPERTY(QString Topic READ Topic)
    Q_PROPERTY(QString Wynik READ Wynik)
    Q_PROPERTY(QString Pomiar READ Pomiar)
    Q_PROPERTY(QString Status READ Status)
public:
    explicit CDdeAdaptor(CDdeBusTransport& transport);

    // The properties that carry item texts, named as the items are.
    static QStringList ItemProperties();

    QString Topic() const;
    QString Wynik() const;
    QString Pomiar() const;
    QString Status() const;

public slots:
    QStringList Topics();
    bool Connect(const QString& topic);
    QString Request(const QString& topic, const QString& item);
    bool AdviseStart(const QString& topic, const QString& item);
    bool AdviseStop(const QString& topic, const QString& item);

signals:
    void Advise(const QString& topic, const QString& item, const QString& text);
    void Alert(const QString& kind, bool active, const QString& text);

private:
    CDdeBusTransport& m_transport;
};
