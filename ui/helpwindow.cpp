#include "ui/helpwindow.h"

#include <QAction>
#include <QFileInfo>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "platform/helppage.h"
#include "ui/km302resources.h"

CHelpWindow::CHelpWindow(QWidget* owner)
    : QWidget(owner, Qt::Window)
{
    setWindowTitle(QStringLiteral("KM302 — pomoc"));
    setWindowIcon(ProgramIcon());
    setAttribute(Qt::WA_DeleteOnClose);
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("helpText"));
    m_browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    auto* close = new QAction(this);
    close->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);
    resize(720, 600);
}

bool CHelpWindow::Open(const QString& page, int topic)
{
    if (!QFileInfo(page).isFile() || !QFileInfo(page).isReadable())
        return false;
    m_browser->setSource(HelpPageUrl(QFileInfo(page).absoluteFilePath(), topic));
    if (m_browser->document()->isEmpty())
        return false;
    show();
    raise();
    activateWindow();
    return true;
}
