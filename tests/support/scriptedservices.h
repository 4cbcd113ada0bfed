#pragma once
// CScriptedServices: the platform services of the tests. It installs itself
// with SetServices when made and puts back the services installed before when
// destroyed (nest them in stack order). Nothing it does blocks or shows a
// window.
//
// It records every call, in order, and answers from queues the test fills, one
// entry per call. With its queue empty a call gets a default, and is recorded
// all the same so that the test can assert on it:
//   MessageBox      IDNO for MB_YESNO, otherwise IDOK
//   ChooseOpenFile, ChooseColor, ChooseFont   cancelled (false)
//   ShellOpen 42, LaunchProgram 33, ShowHelp true (success)
// ShowNotification is recorded and succeeds, after the notification hook
// (a test that sends it on to a real service) has run. GetLocalTime gives the time set last; 2000-01-01 00:00:00 (a Saturday)
// before any is set.
//
// Main (test) thread only.

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "platform/services.h"

struct ScriptedMessageBox {
    QString text;
    UINT type = 0;
    int answer = 0;
    bool scripted = false;   // the answer came from the queue, not the default
};

struct ScriptedNotification {
    QString summary;
    QString body;
};

struct ScriptedLaunch {
    QString program;
    QStringList arguments;
};

class CScriptedServices : public IServices {
public:
    CScriptedServices();
    ~CScriptedServices() override;
    CScriptedServices(const CScriptedServices&) = delete;
    CScriptedServices& operator=(const CScriptedServices&) = delete;

    // The script.
    void QueueMessageBoxAnswer(int answer);
    // The path as chosen; the extension offset is worked out from it.
    void QueueFileChoice(const QString& path, int filterIndex = 1);
    void QueueFileCancel();
    void QueueColor(COLORREF color);
    void QueueColorCancel();
    void QueueFont(const LOGFONT& font);
    void QueueFontCancel();
    void QueueShellResult(int result);
    void QueueLaunchResult(int result);
    void QueueHelpResult(bool shown);
    void SetLocalTime(const SYSTEMTIME& time);
    // Sets the date and time; the day of the week follows from the date.
    void SetLocalTime(int year, int month, int day, int hour, int minute, int second,
                      int milliseconds = 0);
    // Runs inside every MessageBox call before it answers, as a real box's
    // event loop would run timers and received bytes meanwhile.
    void SetMessageBoxHook(std::function<void(const QString& text, UINT type)> hook);
    // Runs inside every ShowNotification call.
    void SetNotificationHook(std::function<void(const QString& summary, const QString& body)> hook);

    // The record.
    const std::vector<ScriptedMessageBox>& MessageBoxes() const { return m_messageBoxes; }
    QStringList MessageBoxTexts() const;
    const std::vector<UINT>& Beeps() const { return m_beeps; }
    const std::vector<FileChooserRequest>& FileRequests() const { return m_fileRequests; }
    const std::vector<COLORREF>& ColorRequests() const { return m_colorRequests; }
    const std::vector<LOGFONT>& FontRequests() const { return m_fontRequests; }
    const QStringList& ShellTargets() const { return m_shellTargets; }
    const std::vector<ScriptedLaunch>& Launches() const { return m_launches; }
    const std::vector<int>& HelpTopics() const { return m_helpTopics; }
    const std::vector<ScriptedNotification>& Notifications() const { return m_notifications; }
    // Every call by its method name ("MessageBox", "ChooseColor", ...), in order.
    const QStringList& Calls() const { return m_calls; }
    // Queued answers that no call has taken yet.
    int UnusedAnswers() const;
    void ClearRecord();

    int MessageBox(const QString& text, UINT type) override;
    void MessageBeep(UINT type) override;
    bool ChooseOpenFile(const FileChooserRequest& request, FileChooserResult& result) override;
    bool ChooseColor(COLORREF& color) override;
    bool ChooseFont(LOGFONT& font) override;
    int ShellOpen(const QString& target) override;
    int LaunchProgram(const QString& program, const QStringList& arguments) override;
    bool ShowHelp(int topic) override;
    bool ShowNotification(const QString& summary, const QString& body) override;
    SYSTEMTIME GetLocalTime() override;

private:
    IServices* m_previous = nullptr;

    std::deque<int> m_messageBoxAnswers;
    std::deque<std::optional<FileChooserResult>> m_fileChoices;
    std::deque<std::optional<COLORREF>> m_colors;
    std::deque<std::optional<LOGFONT>> m_fonts;
    std::deque<int> m_shellResults;
    std::deque<int> m_launchResults;
    std::deque<bool> m_helpResults;
    SYSTEMTIME m_time;
    std::function<void(const QString&, UINT)> m_messageBoxHook;
    std::function<void(const QString&, const QString&)> m_notificationHook;

    std::vector<ScriptedMessageBox> m_messageBoxes;
    std::vector<UINT> m_beeps;
    std::vector<FileChooserRequest> m_fileRequests;
    std::vector<COLORREF> m_colorRequests;
    std::vector<LOGFONT> m_fontRequests;
    QStringList m_shellTargets;
    std::vector<ScriptedLaunch> m_launches;
    std::vector<int> m_helpTopics;
    std::vector<ScriptedNotification> m_notifications;
    QStringList m_calls;
};
