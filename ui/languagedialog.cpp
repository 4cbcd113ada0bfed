#include "ui/languagedialog.h"

#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>

#include "ui/km302resources.h"
#include "ui_languagedialog.h"

CLanguageDialog::CLanguageDialog(QWidget* parent)
    : CDialog(parent), m_ui(std::make_unique<Ui::CLanguageDialog>())
{
    InitKm302Resources();
    m_ui->setupUi(this);
    setWindowFlags((windowFlags() & ~Qt::WindowType_Mask) | Qt::Tool);
    m_english = m_ui->englishRadio;
    m_polish = m_ui->polishRadio;
    m_ui->pictureLabel->setPixmap(QPixmap(QStringLiteral(":/km302/language.png")));
    connect(m_ui->okButton, &QPushButton::clicked, this, [this] { OnOK(); });
}

CLanguageDialog::~CLanguageDialog() = default;

BOOL CLanguageDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    (m_nSelection == 1 ? m_english : m_polish)->setChecked(true);
    return TRUE;
}

void CLanguageDialog::OnOK()
{
    if (m_english->isChecked())
        m_nSelection = 1;
    else if (m_polish->isChecked())
        m_nSelection = 0;
    CDialog::OnOK();
}

int RunLanguageCommand(QString& language, QWidget* parent,
                       const std::function<int(CLanguageDialog&)>& run)
{
    // 1.
    CLanguageDialog dialog(parent);
    if (language == QLatin1String("pl"))
        dialog.m_nSelection = 0;
    else if (language == QLatin1String("en"))
        dialog.m_nSelection = 1;
    else
        dialog.m_nSelection = -1;
    // 2.
    const int result = run ? run(dialog) : dialog.DoModal();
    if (result == IDOK) {
        if (dialog.m_nSelection == 0)
            language = QStringLiteral("pl");
        else if (dialog.m_nSelection == 1)
            language = QStringLiteral("en");
    }
    return result;
}
