#pragma once
// CHyperlinkStatic: a static text of a dialog that acts as a web or mail link.
//
// Attached (Attach, from the owning dialog's OnInitDialog, before the control
// is used) it draws its text underlined, in the link colour before the first
// successful open, the visited colour after one, and the hover colour while
// the mouse is over it; the dialog's background shows through. It shows the
// hand cursor and a tooltip with its target, and is shrunk to the size of its
// text. A left click (press and release on the control) opens the target: the
// desktop's URL handler first, then the registered browser; if both fail it
// beeps and says why in a message box ("Unable to open hyperlink:" and the
// English text of the failure code).
//
// Hover: the first mouse move over the control sets the over-control state,
// repaints once and grabs the mouse, so that leaving is seen as a move outside;
// that move clears the state, releases the grab and repaints once more. A
// click, or hiding the control, ends the hover first, so that no grab is held
// while a message box or another window takes over.
//
// Without Attach the object has no window in this sense: SetLinkTarget only
// stores the target, MarkVisited only the flag, and OnClicked still opens the
// target and reports failures (the About box's picture link). Such an
// instance is never shown.
//
// The control lives as long as its dialog (its Qt parent). OpenTarget and the
// other statics need no instance. User-interface thread only.

#include <QLabel>
#include <QString>

#include "platform/wintypes.h"

class CHyperlinkStatic : public QLabel {
    Q_OBJECT
public:
    explicit CHyperlinkStatic(QWidget* parent = nullptr);
    ~CHyperlinkStatic() override;

    // Makes the label a link; once, later calls do nothing. An empty target
    // becomes the label's text; an empty text shows the target.
    void Attach();
    bool IsAttached() const { return m_bAttached; }

    void SetLinkTarget(const QString& target);
    const QString& LinkTarget() const { return m_strTarget; }
    void MarkVisited(bool visited);
    // The click: open the target, then mark it visited, or beep and report.
    void OnClicked();

    // The text colour for the current state: hover, else visited, else link.
    COLORREF CtlColor() const;
    bool IsOverControl() const { return m_bOverControl; }
    bool IsVisited() const { return m_bVisited; }
    // How many times the control has painted itself (for tests).
    int PaintCount() const { return m_nPaintCount; }

    // Opens `target` with the desktop's handler, else with the registered
    // browser (the first entry of $BROWSER, else x-www-browser, else
    // xdg-open) given the target as its last argument. Returns the last
    // result: above 32 is success, otherwise a ShellExecute-style code (the
    // handler's when no browser could be tried, else the launch's).
    static int OpenTarget(const QString& target);
    // The browser command line with its target placeholder removed: cut at the
    // opening quote of the first quoted "%1", else at the first bare %1, else
    // kept whole. The target then follows as one more argument.
    static QString CutBrowserCommand(const QString& commandLine);
    // The English explanation of a failure code.
    static QString FailureText(int code);
    // "Unable to open hyperlink:\n\n" and FailureText, in a message box.
    static void ReportOpenFailure(int code);
    // The rectangle of a control of rectangle `r` shrunk to text of size
    // cx × cy: vertically centred when `alignment` centres vertically, else
    // kept at the top; horizontally centred, right-aligned or kept at the left.
    static RECT FitRectToText(RECT r, int cx, int cy, Qt::Alignment alignment);

    const COLORREF m_crLink = RGB(0, 0, 238);
    const COLORREF m_crVisited = RGB(85, 26, 139);
    const COLORREF m_crHover;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void FitWindowToText();
    void LoadLinkCursor();
    void EndHover();

    bool m_bOverControl = false;
    bool m_bVisited = false;
    const bool m_bUnderline = true;
    const bool m_bFitToText = true;
    QString m_strTarget;
    bool m_bAttached = false;
    bool m_bLinkCursor = false;
    bool m_bPressed = false;
    int m_nPaintCount = 0;
};
