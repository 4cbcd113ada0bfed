#pragma once
// CAboutDialog "O programie": the program's icon, name and version, the
// maker's address (res/maker.inc), a mail link and a picture that opens the
// maker's web page.
//
// Nothing goes in or out: the opener runs DoModal and ignores the result.
// A click on the picture opens the web page through a window-less
// CHyperlinkStatic; when that fails it beeps and explains, and the box stays
// open. User-interface thread; made on the stack of the command that runs it.

#include <memory>

#include "platform/dialog.h"

class CHyperlinkStatic;
class QLabel;

namespace Ui {
class CAboutDialog;
}

class CAboutDialog : public CDialog {
    Q_OBJECT
public:
    explicit CAboutDialog(QWidget* parent = nullptr);
    ~CAboutDialog() override;

    BOOL OnInitDialog() override;
    // The picture was clicked.
    void OnPicture();

    CHyperlinkStatic* m_mailLink = nullptr;
    QLabel* m_picture = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::CAboutDialog> m_ui;
    bool m_bPicturePressed = false;
};
