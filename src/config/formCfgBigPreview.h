#pragma once
// The "Big Preview" page: the word mark, the about text, the large live preview of the
// edited wave and a link to the user guide. Clicking the word mark or the text opens the
// guide at their topics.

#include "config/CfgPage.h"

#include <memory>

namespace Ui {
class TfrmCfgBigPreview;
}

class TfrmCfgBigPreview : public TCfgPage {
public:
    // preview: the dialog's large preview box, shown on this page.
    TfrmCfgBigPreview(TCfgDialogContext& dialog, QWidget& preview);
    ~TfrmCfgBigPreview() override;

    void LoadPage() override {}
    int HelpContext() const override { return hcOverview; }

    Ui::TfrmCfgBigPreview& Controls() { return *ui_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::TfrmCfgBigPreview> ui_;
};
