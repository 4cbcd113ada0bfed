#pragma once
// IDdeExtraItems: items the server serves in its topic besides "Wynik",
// "Pomiar" and "Status", as the program switches them on (the weather
// station's "QNH" or "QFF", "Tendencja", "Charakterystyka"). The server asks
// at every transaction, so an item appears and goes with its setting; with
// no names listed the service is the three items alone.
//
// User-interface thread only.

#include <QString>
#include <QStringList>

class IDdeExtraItems {
public:
    virtual ~IDdeExtraItems() = default;
    // The names served now, in order.
    virtual QStringList DdeExtraItemNames() const = 0;
    // The text of one of those names, as listed.
    virtual QString DdeExtraItemText(const QString& name) const = 0;
};
