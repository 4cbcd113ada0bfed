#include "ui/colorsdialog.h"

#include <QPushButton>

#include "platform/services.h"
#include "ui/colorswatch.h"
#include "ui/pressuredisplay.h"
#include "ui_colorsdialog.h"

CColorsDialog::CColorsDialog(QWidget* parent)
    : CDialog(parent), m_ui(std::make_unique<Ui::CColorsDialog>())
{
    m_ui->setupUi(this);
    m_textSwatch = m_ui->textSwatch;
    m_backgroundSwatch = m_ui->backgroundSwatch;
    connect(m_backgroundSwatch, &CColorSwatch::clicked, this, [this] { OnBackground(); });
    connect(m_textSwatch, &CColorSwatch::clicked, this, [this] { OnText(); });
    connect(m_ui->okButton, &QPushButton::clicked, this, [this] { OnOK(); });
    connect(m_ui->cancelButton, &QPushButton::clicked, this, [this] { OnCancel(); });
}

CColorsDialog::~CColorsDialog() = default;

BOOL CColorsDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (m_pDisplay) {
        m_backgroundSwatch->m_crColor = m_pDisplay->m_crBackground;
        m_textSwatch->m_crColor = m_pDisplay->m_crText;
    }
    return TRUE;
}

void CColorsDialog::OnBackground()
{
    if (m_pDisplay)
        ChooseColorOf(m_pDisplay->m_crBackground, *m_backgroundSwatch);
}

void CColorsDialog::OnText()
{
    if (m_pDisplay)
        ChooseColorOf(m_pDisplay->m_crText, *m_textSwatch);
}

void CColorsDialog::ChooseColorOf(COLORREF& displayColor, CColorSwatch& swatch)
{
    COLORREF chosen = displayColor;
    if (Services().ChooseColor(chosen))
        displayColor = chosen;
    m_pDisplay->repaint();
    swatch.m_crColor = displayColor;
    repaint();
}

int RunColorsCommand(CPressureDisplay& display, const std::function<int(CColorsDialog&)>& run)
{
    // 1.
    const COLORREF background = display.m_crBackground;
    const COLORREF text = display.m_crText;
    // 2.
    CColorsDialog dialog(display.window());
    dialog.m_pDisplay = &display;
    const int result = run ? run(dialog) : dialog.DoModal();
    // 3.
    if (result != IDOK) {
        display.m_crBackground = background;
        display.m_crText = text;
        display.repaint();
    }
    return result;
}
