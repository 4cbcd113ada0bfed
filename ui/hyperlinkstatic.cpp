#include "ui/hyperlinkstatic.h"

#include <QLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>

#include "platform/colorconvert.h"
#include "platform/services.h"

namespace {

constexpr int kFirstSuccess = 33;

// The browser's command line, as the desktop registers it; empty with none.
QString RegisteredBrowserCommand()
{
    // $BROWSER lists commands separated by colons and marks the target with
    // %s; the first command is the user's browser.
    const QString fromEnvironment =
        qEnvironmentVariable("BROWSER").section(QLatin1Char(':'), 0, 0).trimmed();
    if (!fromEnvironment.isEmpty())
        return QString(fromEnvironment).replace(QLatin1String("%s"), QLatin1String("%1"));
    for (const char* name : {"x-www-browser", "xdg-open"}) {
        const QString path = QStandardPaths::findExecutable(QLatin1String(name));
        if (!path.isEmpty())
            return QLatin1Char('"') + path + QLatin1Char('"');
    }
    return QString();
}

// The layout, nested in `layout` or `layout` itself, that places `widget`.
QLayout* LayoutHolding(QLayout* layout, const QWidget* widget)
{
    if (!layout)
        return nullptr;
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (item->widget() == widget)
            return layout;
        if (QLayout* inner = LayoutHolding(item->layout(), widget))
            return inner;
    }
    return nullptr;
}

// The placement FitRectToText gives, as a layout alignment.
Qt::Alignment FitAlignment(Qt::Alignment alignment)
{
    const Qt::Alignment vertical = alignment & Qt::AlignVCenter ? Qt::AlignVCenter : Qt::AlignTop;
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (alignment & Qt::AlignHCenter)
        horizontal = Qt::AlignHCenter;
    else if (alignment & Qt::AlignRight)
        horizontal = Qt::AlignRight;
    return vertical | horizontal;
}

}  // namespace

CHyperlinkStatic::CHyperlinkStatic(QWidget* parent)
    : QLabel(parent), m_crHover(ColorRefFromQColor(palette().color(QPalette::Highlight)))
{
}

CHyperlinkStatic::~CHyperlinkStatic() = default;

void CHyperlinkStatic::Attach()
{
    if (m_bAttached)
        return;
    m_bAttached = true;
    // 1. Moves over the control are reported without a button held.
    setMouseTracking(true);
    setTextFormat(Qt::PlainText);

    // 2. The text and the target stand in for each other.
    if (m_strTarget.isEmpty())
        m_strTarget = text();
    if (text().isEmpty())
        setText(m_strTarget);

    // 3. The link font: the control's own, underlined.
    QFont linkFont = font();
    linkFont.setUnderline(m_bUnderline);
    setFont(linkFont);

    // 4.-5.
    FitWindowToText();
    LoadLinkCursor();
    setToolTip(m_strTarget);
}

void CHyperlinkStatic::SetLinkTarget(const QString& target)
{
    m_strTarget = target;
    if (!m_bAttached)
        return;
    FitWindowToText();
    setToolTip(m_strTarget);
}

void CHyperlinkStatic::MarkVisited(bool visited)
{
    m_bVisited = visited;
    if (m_bAttached)
        update();
}

void CHyperlinkStatic::OnClicked()
{
    EndHover();
    const int result = OpenTarget(m_strTarget);
    MarkVisited(result > 32);
    if (result <= 32) {
        Services().MessageBeep(MB_ICONEXCLAMATION);
        ReportOpenFailure(result);
    }
}

COLORREF CHyperlinkStatic::CtlColor() const
{
    if (m_bOverControl)
        return m_crHover;
    return m_bVisited ? m_crVisited : m_crLink;
}

int CHyperlinkStatic::OpenTarget(const QString& target)
{
    // 1. The desktop's handler.
    const int shellResult = Services().ShellOpen(target);
    if (shellResult > 32)
        return shellResult;

    // 2.-3. The registered browser. Nothing is worth starting for an empty
    // target: the browser would only show its start page.
    const QString command = RegisteredBrowserCommand();
    if (command.isEmpty() || target.isEmpty())
        return shellResult;

    // 4.-5. The target in place of the placeholder, as an argument of its own
    // so that no character of it is read as part of the command. A command
    // that was nothing but the placeholder would start the target itself.
    QStringList arguments = QProcess::splitCommand(CutBrowserCommand(command));
    if (arguments.isEmpty())
        return shellResult;
    const QString program = arguments.takeFirst();
    arguments.append(target);
    return Services().LaunchProgram(program, arguments);
}

QString CHyperlinkStatic::CutBrowserCommand(const QString& commandLine)
{
    qsizetype cut = commandLine.indexOf(QLatin1String("\"%1\""));
    if (cut < 0)
        cut = commandLine.indexOf(QLatin1String("%1"));
    return cut < 0 ? commandLine : commandLine.left(cut);
}

QString CHyperlinkStatic::FailureText(int code)
{
    switch (code) {
    case 0: return QStringLiteral("The operating system is out\nof memory or resources.");
    case 2: return QStringLiteral("The specified file was not found.");
    case 3: return QStringLiteral("The specified path was not found.");
    case 5: return QStringLiteral("The operating system denied\naccess to the specified file.");
    case 8: return QStringLiteral("There was not enough memory to complete the operation.");
    case 11: return QStringLiteral("The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
    case 26: return QStringLiteral("A sharing violation occurred. ");
    case 27: return QStringLiteral("The filename association is\nincomplete or invalid.");
    case 28: return QStringLiteral("The DDE transaction could not\nbe completed because the request timed out.");
    case 29: return QStringLiteral("The DDE transaction failed.");
    case 30:
        return QStringLiteral("The DDE transaction could not\nbe completed because other DDE "
                              "transactions\nwere being processed.");
    case 31: return QStringLiteral("There is no application associated\nwith the given filename extension.");
    case 32: return QStringLiteral("The specified dynamic-link library was not found.");
    default: return QStringLiteral("Unknown Error (%1) occurred.").arg(code);
    }
}

void CHyperlinkStatic::ReportOpenFailure(int code)
{
    Services().MessageBox(QStringLiteral("Unable to open hyperlink:\n\n") + FailureText(code),
                          MB_OK | MB_ICONEXCLAMATION);
}

RECT CHyperlinkStatic::FitRectToText(RECT r, int cx, int cy, Qt::Alignment alignment)
{
    if (alignment & Qt::AlignVCenter) {
        const int inset = (r.bottom - r.top - cy) / 2;
        r.top += inset;
        r.bottom -= inset;
    } else {
        r.bottom = r.top + cy;
    }
    if (alignment & Qt::AlignHCenter) {
        const int inset = (r.right - r.left - cx) / 2;
        r.left += inset;
        r.right -= inset;
    } else if (alignment & Qt::AlignRight) {
        r.left = r.right - cx;
    } else {
        r.right = r.left + cx;
    }
    return r;
}

void CHyperlinkStatic::paintEvent(QPaintEvent*)
{
    ++m_nPaintCount;
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(QColorFromColorRef(CtlColor()));
    painter.drawText(contentsRect(), int(alignment()), text());
}

void CHyperlinkStatic::mouseMoveEvent(QMouseEvent* event)
{
    QLabel::mouseMoveEvent(event);
    if (!m_bAttached)
        return;
    const bool inside = rect().contains(event->position().toPoint());
    if (m_bOverControl) {
        if (!inside)
            EndHover();
    } else if (inside) {
        m_bOverControl = true;
        repaint();
        grabMouse();
    }
}

void CHyperlinkStatic::mousePressEvent(QMouseEvent* event)
{
    QLabel::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        m_bPressed = m_bAttached && rect().contains(event->position().toPoint());
}

void CHyperlinkStatic::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    const bool click = m_bPressed && rect().contains(event->position().toPoint());
    m_bPressed = false;
    if (click)
        OnClicked();
}

void CHyperlinkStatic::hideEvent(QHideEvent* event)
{
    EndHover();
    QLabel::hideEvent(event);
}

void CHyperlinkStatic::FitWindowToText()
{
    if (!m_bAttached || !m_bFitToText)
        return;
    const QFontMetrics metrics(font());
    const int cx = metrics.horizontalAdvance(text());
    const int cy = metrics.height();
    // In a dialog laid out by a layout the layout places the control: it
    // gets the text's size and the placement that the alignment asks for.
    if (QLayout* layout = parentWidget() ? LayoutHolding(parentWidget()->layout(), this) : nullptr) {
        setFixedSize(cx, cy);
        layout->setAlignment(this, FitAlignment(alignment()));
        return;
    }
    const QRect g = geometry();
    const RECT fitted = FitRectToText(RECT{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()},
                                      cx, cy, alignment());
    setGeometry(fitted.left, fitted.top, fitted.right - fitted.left, fitted.bottom - fitted.top);
}

void CHyperlinkStatic::LoadLinkCursor()
{
    if (m_bLinkCursor)
        return;
    setCursor(Qt::PointingHandCursor);
    m_bLinkCursor = true;
}

void CHyperlinkStatic::EndHover()
{
    if (!m_bOverControl)
        return;
    m_bOverControl = false;
    if (mouseGrabber() == this)
        releaseMouse();
    repaint();
}
