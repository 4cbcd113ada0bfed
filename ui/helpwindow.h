#pragma once
// CHelpWindow: the program's own read-only help window, for a desktop on
// which nothing shows HTML. A QTextBrowser shows the local help page at a
// topic's anchor; links inside the page move within it, links out of it go to
// the desktop's handler. Modeless, owned by the main window (a window of its
// own that its modal loop does not block), closed with it; Escape closes it.
//
// User-interface thread only.

#include <QWidget>

class QTextBrowser;

class CHelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit CHelpWindow(QWidget* owner);

    // Shows `page` (a local HTML file) at the anchor "topic<topic>". False
    // when the page cannot be read.
    bool Open(const QString& page, int topic);

    QTextBrowser* Browser() const { return m_browser; }

private:
    QTextBrowser* m_browser = nullptr;
};
