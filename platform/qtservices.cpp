#include "platform/qtservices.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QGroupBox>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "platform/colorconvert.h"
#include "platform/consoleservices.h"
#include "platform/dialog.h"
#include "platform/filefilter.h"
#include "platform/fontconvert.h"
#include "platform/helppage.h"
#include "platform/reportline.h"

namespace {

constexpr int kShellOk = 42;
constexpr int kShellNoAssociation = 31;
constexpr int kFileNotFound = 2;
constexpr int kLaunchOk = 33;

QWidget* OwnerWindow()
{
    return QApplication::activeWindow();
}

// Runs a heap dialog owned by the active window; the owner may be destroyed
// while the dialog runs, taking the dialog with it. True when it was accepted.
template <typename Dialog>
bool RunOwned(QPointer<Dialog>& dialog)
{
    bool cancelled = false;
    const int result = CDialog::RunModal(*dialog, &cancelled);
    return dialog && !cancelled && result == QDialog::Accepted;
}

QMessageBox::Icon IconFor(UINT type)
{
    switch (type & MB_ICONMASK) {
    case MB_ICONSTOP: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONEXCLAMATION: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

QString FindProgram(const QString& program)
{
    if (program.contains(QLatin1Char('/'))) {
        const QFileInfo info(program);
        return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
    }
    for (const QString& dir : {QCoreApplication::applicationDirPath(), QDir::currentPath()}) {
        const QFileInfo info(QDir(dir).filePath(program));
        if (info.isFile() && info.isExecutable())
            return info.absoluteFilePath();
    }
    return QStandardPaths::findExecutable(program);
}

// What the user is told goes to the standard error too (the journal of a
// desktop session), one line a box: a box nobody sees (no display, a locked
// screen) still leaves its trace.
void LogMessage(const QString& text, UINT type)
{
    WriteReportLine(text, PriorityOfMessageBox(type));
}

// The style of `family` with this weight and slant: the slant exact, the
// weight nearest; among equals the shortest name ("Book" before "Condensed").
QString StyleOfFamily(const QString& family, int weight, bool italic)
{
    QString best;
    int bestDistance = INT_MAX;
    for (const QString& style : QFontDatabase::styles(family)) {
        if (QFontDatabase::italic(family, style) != italic)
            continue;
        const int distance = std::abs(QFontDatabase::weight(family, style) - weight);
        if (distance < bestDistance || (distance == bestDistance && style.size() < best.size())) {
            best = style;
            bestDistance = distance;
        }
    }
    return best;
}

// Whether the chooser's answer is the font it was shown with.
bool SameChoice(const QFont& chosen, const QFont& shown)
{
    return chosen.family() == shown.family() && chosen.weight() == shown.weight()
           && chosen.italic() == shown.italic() && qFuzzyCompare(chosen.pointSizeF(), shown.pointSizeF());
}

}  // namespace

int CQtServices::MessageBox(const QString& text, UINT type)
{
    LogMessage(text, type);
    QPointer<QMessageBox> box = new QMessageBox(OwnerWindow());
    box->setWindowTitle(QStringLiteral("KM302"));
    box->setTextFormat(Qt::PlainText);
    box->setText(QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    box->setIcon(IconFor(type));
    QPushButton* yes = nullptr;
    QPushButton* cancel = nullptr;
    switch (type & MB_TYPEMASK) {
    case MB_YESNO:
        // Action roles: with no reject or no role among the buttons, Escape
        // and the close box do nothing. "Nie" may empty a log file; it must
        // be clicked, never fallen into.
        yes = box->addButton(QStringLiteral("Tak"), QMessageBox::ActionRole);
        box->addButton(QStringLiteral("Nie"), QMessageBox::ActionRole);
        box->setDefaultButton(yes);
        break;
    case MB_OKCANCEL:
        box->setDefaultButton(box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole));
        cancel = box->addButton(QStringLiteral("Anuluj"), QMessageBox::RejectRole);
        break;
    default:
        box->setDefaultButton(box->addButton(QStringLiteral("OK"), QMessageBox::AcceptRole));
        break;
    }
    bool cancelled = false;
    CDialog::RunModal(*box, &cancelled);
    int answer = IDCANCEL;
    if (box && !cancelled) {
        const QAbstractButton* clicked = box->clickedButton();
        switch (type & MB_TYPEMASK) {
        case MB_YESNO:
            answer = clicked == yes ? IDYES : clicked ? IDNO : IDCANCEL;
            break;
        case MB_OKCANCEL:
            answer = clicked && clicked != cancel ? IDOK : IDCANCEL;
            break;
        default:
            answer = IDOK;
            break;
        }
    }
    delete box;
    return answer;
}

void CQtServices::MessageBeep(UINT)
{
    QApplication::beep();
}

bool CQtServices::ChooseOpenFile(const FileChooserRequest& request, FileChooserResult& result)
{
    QPointer<QFileDialog> dialog = new QFileDialog(OwnerWindow(), request.title);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::AnyFile);
    const QStringList filters = QtNameFiltersFromWindows(request.filter);
    if (!filters.isEmpty()) {
        dialog->setNameFilters(filters);
        dialog->selectNameFilter(FilterAtIndex(filters, request.filterIndex));
    }
    bool chosen = RunOwned(dialog) && !dialog->selectedFiles().isEmpty();
    if (chosen) {
        result.path = dialog->selectedFiles().first();
        result.filterIndex = FilterIndexOf(filters, dialog->selectedNameFilter());
        result.extensionOffset = ExtensionOffset(result.path);
    }
    delete dialog;
    return chosen;
}

bool CQtServices::ChooseColor(COLORREF& color)
{
    QPointer<QColorDialog> dialog = new QColorDialog(QColorFromColorRef(color), OwnerWindow());
    dialog->setWindowTitle(QStringLiteral("Kolor"));
    const bool chosen = RunOwned(dialog);
    if (chosen)
        color = ColorRefFromQColor(dialog->selectedColor());
    delete dialog;
    return chosen;
}

bool CQtServices::ChooseFont(LOGFONT& font)
{
    QFont initial = QFontInPoints(QFontFromLogFont(font));
    // The chooser lists real families only: an alias such as "Arial" (which
    // fontconfig resolves to Liberation Sans) would show as some other family,
    // and OK without a change would change the font.
    const QString resolved = QFontInfo(initial).family();
    initial.setFamily(resolved);
    // The chooser selects a style by its name and falls back to the family's
    // first one ("Bold" in DejaVu Sans, whose normal style is "Book"): name
    // the family's own style of this weight and slant.
    const QString style = StyleOfFamily(resolved, initial.weight(), initial.italic());
    if (!style.isEmpty())
        initial.setStyleName(style);
    QPointer<QFontDialog> dialog = new QFontDialog(initial, OwnerWindow());
    dialog->setWindowTitle(QStringLiteral("Czcionka"));
    // Only what the display shows and the settings keep is offered: family,
    // style and size. Underline and strike-out (the "Effects" group, the only
    // one with check boxes) would be lost.
    dialog->setOption(QFontDialog::DontUseNativeDialog);
    for (QGroupBox* group : dialog->findChildren<QGroupBox*>()) {
        if (!group->findChildren<QCheckBox*>().isEmpty())
            group->hide();
    }
    const QFont shown = dialog->currentFont();
    const bool chosen = RunOwned(dialog);
    // OK without a change keeps the description as it was: its weight 0, a
    // cell height, a face that is not installed.
    if (chosen && !SameChoice(dialog->selectedFont(), shown)) {
        const QFont selected = dialog->selectedFont();
        LOGFONT result = LogFontFromQFont(selected);
        if (selected.family() == resolved)
            result.SetFaceName(font.FaceName());   // the family kept: keep its name
        font = result;
    }
    delete dialog;
    return chosen;
}

int CQtServices::ShellOpen(const QString& target)
{
    if (target.trimmed().isEmpty())
        return kFileNotFound;
    const QUrl url = QUrl::fromUserInput(target, QDir::currentPath(), QUrl::AssumeLocalFile);
    return url.isValid() && QDesktopServices::openUrl(url) ? kShellOk : kShellNoAssociation;
}

int CQtServices::LaunchProgram(const QString& program, const QStringList& arguments)
{
    const QString path = FindProgram(program);
    if (path.isEmpty())
        return kFileNotFound;
    return QProcess::startDetached(path, arguments) ? kLaunchOk : kFileNotFound;
}

bool CQtServices::ShowHelp(int topic)
{
    const QString page = HelpPagePath();
    if (page.isEmpty())
        return false;
    // With nothing that shows HTML the handler may still report success, having
    // given the page to a text editor: the caller then shows it itself.
    if (!HtmlViewerAvailable(QProcessEnvironment::systemEnvironment()))
        return false;
    return QDesktopServices::openUrl(HelpPageUrl(page, topic));
}

bool CQtServices::ShowNotification(const QString& summary, const QString& body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    notify << QStringLiteral("KM302") << 0u << QString() << summary << body << QStringList()
           << QVariantMap() << -1;
    // The desktop may take its time, or have no notification service at all:
    // the window never waits for it.
    notify.setAutoStartService(true);
    return bus.send(notify);
}

SYSTEMTIME CQtServices::GetLocalTime()
{
    return LocalTimeNow();
}
