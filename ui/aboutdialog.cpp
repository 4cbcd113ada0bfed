#include "ui/aboutdialog.h"

#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>

#include "ui/hyperlinkstatic.h"
#include "ui/km302resources.h"
#include "ui/makertexts.h"
#include "ui_aboutdialog.h"

CAboutDialog::CAboutDialog(QWidget* parent)
    : CDialog(parent), m_ui(std::make_unique<Ui::CAboutDialog>())
{
    InitKm302Resources();
    m_ui->setupUi(this);
    m_mailLink = m_ui->mailLink;
    m_picture = m_ui->pictureLabel;
    m_ui->iconLabel->setPixmap(QPixmap(QStringLiteral(":/km302/km302-32.png")));
    m_ui->authorLabel->setText(MakerAuthor());
    m_ui->addressLabel->setText(MakerAddressBlock());
    m_mailLink->setText(QStringLiteral("email: ") + MakerMail());
    m_picture->setPixmap(QPixmap(QStringLiteral(":/km302/about.png")));
    m_picture->setCursor(Qt::PointingHandCursor);
    m_picture->installEventFilter(this);
    connect(m_ui->okButton, &QPushButton::clicked, this, [this] { OnOK(); });
}

CAboutDialog::~CAboutDialog() = default;

BOOL CAboutDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_mailLink->Attach();
    m_mailLink->SetLinkTarget(QStringLiteral("mailto:") + MakerMail());
    return TRUE;
}

void CAboutDialog::OnPicture()
{
    CHyperlinkStatic link;
    link.SetLinkTarget(MakerWebPage());
    link.OnClicked();
}

bool CAboutDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_picture)
        return CDialog::eventFilter(watched, event);
    // A click is a press and a release of the left button on the picture.
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            const bool inside = m_picture->rect().contains(mouse->position().toPoint());
            const bool click = event->type() == QEvent::MouseButtonRelease && m_bPicturePressed && inside;
            m_bPicturePressed = event->type() == QEvent::MouseButtonPress && inside;
            if (click)
                OnPicture();
        }
    }
    return CDialog::eventFilter(watched, event);
}
