#include "ui/fontsdialog.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include "platform/fontconvert.h"
#include "platform/services.h"
#include "ui/pressuredisplay.h"
#include "ui_fontsdialog.h"

CFontsDialog::CFontsDialog(QWidget* parent)
    : CDialog(parent), m_ui(std::make_unique<Ui::CFontsDialog>())
{
    m_ui->setupUi(this);
    m_preview = m_ui->previewLabel;
    m_preview->setCursor(Qt::PointingHandCursor);
    m_preview->installEventFilter(this);
    connect(m_ui->okButton, &QPushButton::clicked, this, [this] { OnOK(); });
    connect(m_ui->cancelButton, &QPushButton::clicked, this, [this] { OnCancel(); });
}

CFontsDialog::~CFontsDialog() = default;

BOOL CFontsDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    ShowDisplayFont();
    return TRUE;
}

void CFontsDialog::OnPreview()
{
    if (!m_pDisplay)
        return;
    // 1. The description the chooser starts from is the font the display
    // uses; it is taken from the font only when the two differ, as the
    // conversion back is not exact.
    if (m_pDisplay->HasValueFont() &&
        QFontFromLogFont(m_pDisplay->m_lfValueFont) != *m_pDisplay->ValueFont())
        m_pDisplay->m_lfValueFont = LogFontFromQFont(*m_pDisplay->ValueFont());
    // 2.-3. The display takes the choice and repaints.
    LOGFONT chosen = m_pDisplay->m_lfValueFont;
    if (Services().ChooseFont(chosen))
        m_pDisplay->SetDisplayFont(chosen);
    // 4.
    ShowDisplayFont();
    m_preview->repaint();
}

void CFontsDialog::ShowDisplayFont()
{
    if (m_pDisplay && m_pDisplay->HasValueFont())
        m_preview->setFont(*m_pDisplay->ValueFont());
}

bool CFontsDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_preview)
        return CDialog::eventFilter(watched, event);
    // A click is a press and a release of the left button on the preview.
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            const bool inside = m_preview->rect().contains(mouse->position().toPoint());
            const bool click = event->type() == QEvent::MouseButtonRelease && m_bPreviewPressed && inside;
            m_bPreviewPressed = event->type() == QEvent::MouseButtonPress && inside;
            if (click)
                OnPreview();
        }
    }
    return CDialog::eventFilter(watched, event);
}

int RunFontsCommand(CPressureDisplay& display, const std::function<int(CFontsDialog&)>& run)
{
    // 1.
    const LOGFONT saved = display.m_lfValueFont;
    // 2.
    CFontsDialog dialog(display.window());
    dialog.m_pDisplay = &display;
    const int result = run ? run(dialog) : dialog.DoModal();
    // 3.
    if (result != IDOK)
        display.SetDisplayFont(saved);
    return result;
}
