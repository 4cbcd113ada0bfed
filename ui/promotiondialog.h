#pragma once
// CPromotionDialog: "<maker> - promocja KDS", the maker's other software KDS
// advertised in a rich-text view (res/promotion.html) with a link to its web
// page and "Zamknij".
//
// The document is shown as stored and read-only: every mouse button event and
// context-menu request aimed at the view is swallowed and the focus moved to
// the dialog, so the text cannot be clicked into, selected or edited; the
// wheel and the scroll bars still scroll it.
//
// Nothing goes in or out. Opened from "Pomoc" → "Program KDS" and once at
// start-up unless switched off. User-interface thread; made on the stack of
// the code that runs it.

#include <memory>

#include "platform/dialog.h"

class CHyperlinkStatic;
class QTextBrowser;

namespace Ui {
class CPromotionDialog;
}

class CPromotionDialog : public CDialog {
    Q_OBJECT
public:
    explicit CPromotionDialog(QWidget* parent = nullptr);
    ~CPromotionDialog() override;

    BOOL OnInitDialog() override;

    QTextBrowser* m_richText = nullptr;
    CHyperlinkStatic* m_webLink = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::CPromotionDialog> m_ui;
};
