#include "tests/support/scriptedservices.h"

#include <QDate>

#include "platform/filefilter.h"

namespace {

template <typename T>
std::optional<T> TakeFront(std::deque<T>& queue)
{
    if (queue.empty())
        return std::nullopt;
    T value = std::move(queue.front());
    queue.pop_front();
    return value;
}

// The next scripted choice: true with `chosen` set, false for a queued
// cancel or an empty queue.
template <typename T>
bool TakeChoice(std::deque<std::optional<T>>& queue, T& chosen)
{
    if (queue.empty())
        return false;
    const bool made = queue.front().has_value();
    if (made)
        chosen = *queue.front();
    queue.pop_front();
    return made;
}

}  // namespace

CScriptedServices::CScriptedServices()
{
    SetLocalTime(2000, 1, 1, 0, 0, 0);
    m_previous = SetServices(this);
}

CScriptedServices::~CScriptedServices()
{
    SetServices(m_previous);
}

void CScriptedServices::QueueMessageBoxAnswer(int answer)
{
    m_messageBoxAnswers.push_back(answer);
}

void CScriptedServices::QueueFileChoice(const QString& path, int filterIndex)
{
    FileChooserResult result;
    result.path = path;
    result.filterIndex = filterIndex;
    result.extensionOffset = ExtensionOffset(path);
    m_fileChoices.emplace_back(result);
}

void CScriptedServices::QueueFileCancel()
{
    m_fileChoices.emplace_back(std::nullopt);
}

void CScriptedServices::QueueColor(COLORREF color)
{
    m_colors.emplace_back(color);
}

void CScriptedServices::QueueColorCancel()
{
    m_colors.emplace_back(std::nullopt);
}

void CScriptedServices::QueueFont(const LOGFONT& font)
{
    m_fonts.emplace_back(font);
}

void CScriptedServices::QueueFontCancel()
{
    m_fonts.emplace_back(std::nullopt);
}

void CScriptedServices::QueueShellResult(int result)
{
    m_shellResults.push_back(result);
}

void CScriptedServices::QueueLaunchResult(int result)
{
    m_launchResults.push_back(result);
}

void CScriptedServices::QueueHelpResult(bool shown)
{
    m_helpResults.push_back(shown);
}

void CScriptedServices::SetLocalTime(const SYSTEMTIME& time)
{
    m_time = time;
}

void CScriptedServices::SetLocalTime(int year, int month, int day, int hour, int minute,
                                     int second, int milliseconds)
{
    SYSTEMTIME time;
    time.wYear = static_cast<WORD>(year);
    time.wMonth = static_cast<WORD>(month);
    time.wDayOfWeek = static_cast<WORD>(QDate(year, month, day).dayOfWeek() % 7);
    time.wDay = static_cast<WORD>(day);
    time.wHour = static_cast<WORD>(hour);
    time.wMinute = static_cast<WORD>(minute);
    time.wSecond = static_cast<WORD>(second);
    time.wMilliseconds = static_cast<WORD>(milliseconds);
    m_time = time;
}

void CScriptedServices::SetMessageBoxHook(std::function<void(const QString&, UINT)> hook)
{
    m_messageBoxHook = std::move(hook);
}

QStringList CScriptedServices::MessageBoxTexts() const
{
    QStringList texts;
    for (const ScriptedMessageBox& box : m_messageBoxes)
        texts.append(box.text);
    return texts;
}

int CScriptedServices::UnusedAnswers() const
{
    return static_cast<int>(m_messageBoxAnswers.size() + m_fileChoices.size() + m_colors.size()
                            + m_fonts.size() + m_shellResults.size() + m_launchResults.size()
                            + m_helpResults.size());
}

void CScriptedServices::ClearRecord()
{
    m_messageBoxes.clear();
    m_beeps.clear();
    m_fileRequests.clear();
    m_colorRequests.clear();
    m_fontRequests.clear();
    m_shellTargets.clear();
    m_launches.clear();
    m_helpTopics.clear();
    m_notifications.clear();
    m_calls.clear();
}

int CScriptedServices::MessageBox(const QString& text, UINT type)
{
    m_calls.append(QStringLiteral("MessageBox"));
    // The answer is taken before the hook runs: queued answers go to the
    // boxes in the order they open, even when the hook opens another.
    const std::optional<int> queued = TakeFront(m_messageBoxAnswers);
    const int answer = queued ? *queued : (type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
    m_messageBoxes.push_back(ScriptedMessageBox{text, type, answer, queued.has_value()});
    if (m_messageBoxHook)
        m_messageBoxHook(text, type);
    return answer;
}

void CScriptedServices::MessageBeep(UINT type)
{
    m_calls.append(QStringLiteral("MessageBeep"));
    m_beeps.push_back(type);
}

bool CScriptedServices::ChooseOpenFile(const FileChooserRequest& request, FileChooserResult& result)
{
    m_calls.append(QStringLiteral("ChooseOpenFile"));
    m_fileRequests.push_back(request);
    return TakeChoice(m_fileChoices, result);
}

bool CScriptedServices::ChooseColor(COLORREF& color)
{
    m_calls.append(QStringLiteral("ChooseColor"));
    m_colorRequests.push_back(color);
    return TakeChoice(m_colors, color);
}

bool CScriptedServices::ChooseFont(LOGFONT& font)
{
    m_calls.append(QStringLiteral("ChooseFont"));
    m_fontRequests.push_back(font);
    return TakeChoice(m_fonts, font);
}

int CScriptedServices::ShellOpen(const QString& target)
{
    m_calls.append(QStringLiteral("ShellOpen"));
    m_shellTargets.append(target);
    return TakeFront(m_shellResults).value_or(42);
}

int CScriptedServices::LaunchProgram(const QString& program, const QStringList& arguments)
{
    m_calls.append(QStringLiteral("LaunchProgram"));
    m_launches.push_back(ScriptedLaunch{program, arguments});
    return TakeFront(m_launchResults).value_or(33);
}

bool CScriptedServices::ShowHelp(int topic)
{
    m_calls.append(QStringLiteral("ShowHelp"));
    m_helpTopics.push_back(topic);
    return TakeFront(m_helpResults).value_or(true);
}

void CScriptedServices::SetNotificationHook(std::function<void(const QString&, const QString&)> hook)
{
    m_notificationHook = std::move(hook);
}

bool CScriptedServices::ShowNotification(const QString& summary, const QString& body)
{
    m_calls.append(QStringLiteral("ShowNotification"));
    m_notifications.push_back({summary, body});
    if (m_notificationHook)
        m_notificationHook(summary, body);
    return true;
}

SYSTEMTIME CScriptedServices::GetLocalTime()
{
    m_calls.append(QStringLiteral("GetLocalTime"));
    return m_time;
}
