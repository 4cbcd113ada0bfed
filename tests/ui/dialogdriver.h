#pragma once
// Helpers of the dialog tests: run a dialog's real modal loop with a scripted
// user, and send mouse events straight to a widget.

#include <QCoreApplication>
#include <QGuiApplication>
#include <QProcess>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <functional>

#include "platform/dialog.h"

// What RunModalWith returns when the user's actions left the dialog open.
constexpr int kStillOpen = -1;

// Runs `dialog` with DoModal; `user` runs as soon as its loop has started.
// A dialog that `user` did not end is ended with kStillOpen, so that no test
// can hang on it.
inline int RunModalWith(CDialog& dialog, const std::function<void()>& user)
{
    QTimer::singleShot(0, &dialog, [&dialog, user] {
        user();
        if (dialog.isVisible())
            dialog.EndDialog(kStillOpen);
    });
    return dialog.DoModal();
}

// A property of a window as the window system holds it (xprop's line), or
// empty where there is no X server (offscreen).
inline QString WindowProperty(const QWidget& window, const char* name)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return {};
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window.winId()), QLatin1String(name)});
    xprop.waitForFinished();
    return QString::fromLocal8Bit(xprop.readAllStandardOutput()).trimmed();
}

// Clicks the push button named `name` in `dialog`.
inline void ClickButton(QWidget& dialog, const char* name)
{
    auto* button = dialog.findChild<QPushButton*>(QLatin1String(name));
    Q_ASSERT(button);
    button->click();
}

inline void SendMouse(QWidget* widget, QEvent::Type type, QPoint pos,
                      Qt::MouseButton button = Qt::NoButton, Qt::MouseButtons held = Qt::NoButton)
{
    QMouseEvent event(type, QPointF(pos), widget->mapToGlobal(QPointF(pos)), button, held,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

inline void MoveMouse(QWidget* widget, QPoint pos)
{
    SendMouse(widget, QEvent::MouseMove, pos);
}

inline void LeftClick(QWidget* widget, QPoint pos)
{
    SendMouse(widget, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
    SendMouse(widget, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
}

inline void LeftClick(QWidget* widget)
{
    LeftClick(widget, widget->rect().center());
}
