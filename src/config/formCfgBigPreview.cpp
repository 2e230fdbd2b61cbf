#include "config/formCfgBigPreview.h"

#include "ui_formCfgBigPreview.h"

#include <QMouseEvent>

TfrmCfgBigPreview::TfrmCfgBigPreview(TCfgDialogContext& dialog, QWidget& preview)
    : TCfgPage(dialog), ui_(std::make_unique<Ui::TfrmCfgBigPreview>())
{
    ui_->setupUi(this);
    ui_->imgTitle->setPixmap(QPixmap(":/dialog/title.png"));
    ui_->imgBar->setPixmap(QPixmap(":/dialog/bar.png"));
    ui_->layBox->insertWidget(1, &preview);
    preview.setAccessibleName("Big Preview");
    ui_->imgTitle->installEventFilter(this);
    ui_->lblAboutText->installEventFilter(this);
    ui_->lblAboutText->setCursor(Qt::PointingHandCursor);
    connect(ui_->lblWebPage, &QLabel::linkActivated, this, [this] { dialog_.ShowHelp(0); });
}

TfrmCfgBigPreview::~TfrmCfgBigPreview() = default;

bool TfrmCfgBigPreview::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        dialog_.ShowHelp(watched == ui_->imgTitle ? hcOverview : hcAboutText);
        return true;
    }
    return TCfgPage::eventFilter(watched, event);
}
