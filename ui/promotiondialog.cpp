#include "ui/promotiondialog.h"

#include <QEvent>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>

#include "ui/hyperlinkstatic.h"
#include "ui/km302resources.h"
#include "ui/makertexts.h"
#include "ui_promotiondialog.h"

CPromotionDialog::CPromotionDialog(QWidget* parent)
    : CDialog(parent), m_ui(std::make_unique<Ui::CPromotionDialog>())
{
    InitKm302Resources();
    m_ui->setupUi(this);
    m_richText = m_ui->richText;
    m_webLink = m_ui->webLink;
    setWindowTitle(MakerCompany() + QStringLiteral(" - promocja KDS"));
    // Relative picture names in the document resolve beside it.
    m_richText->setSource(QUrl(QStringLiteral("qrc:/km302/promotion.html")));
    m_richText->viewport()->installEventFilter(this);
    connect(m_ui->closeButton, &QPushButton::clicked, this, [this] { OnOK(); });
}

CPromotionDialog::~CPromotionDialog() = default;

BOOL CPromotionDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_webLink->Attach();
    m_webLink->SetLinkTarget(MakerKdsPage());
    return TRUE;
}

bool CPromotionDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_richText->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::ContextMenu:
            setFocus();
            return true;
        default:
            break;
        }
    }
    return CDialog::eventFilter(watched, event);
}
