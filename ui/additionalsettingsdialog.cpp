#include "ui/additionalsettingsdialog.h"

#include <QCheckBox>
#include <QPushButton>

#include "ui_additionalsettingsdialog.h"

CAdditionalSettingsDialog::CAdditionalSettingsDialog(QWidget* parent)
    : CDialog(parent), m_ui(std::make_unique<Ui::CAdditionalSettingsDialog>())
{
    m_ui->setupUi(this);
    m_check = m_ui->noPromotionCheck;
    connect(m_ui->okButton, &QPushButton::clicked, this, [this] { OnOK(); });
    connect(m_ui->cancelButton, &QPushButton::clicked, this, [this] { OnCancel(); });
}

CAdditionalSettingsDialog::~CAdditionalSettingsDialog() = default;

BOOL CAdditionalSettingsDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_check->setChecked(m_bBoxState);
    return TRUE;
}

void CAdditionalSettingsDialog::OnOK()
{
    m_bBoxState = m_check->isChecked();
    CDialog::OnOK();
}

int RunAdditionalSettingsCommand(int& showAdv, QWidget* parent,
                                 const std::function<int(CAdditionalSettingsDialog&)>& run)
{
    // 1. The box says "do not show": the opposite of the switch.
    CAdditionalSettingsDialog dialog(parent);
    dialog.m_bBoxState = showAdv == 0;
    // 2.
    const int result = run ? run(dialog) : dialog.DoModal();
    if (result == IDOK)
        showAdv = dialog.m_bBoxState ? 0 : 1;
    return result;
}
