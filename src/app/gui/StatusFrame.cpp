#include "app/gui/StatusFrame.h"

#include "app/gui/UploadStatus.h"
#include "platform/DesignFont.h"
#include "platform/Twips.h"

#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QStyle>
#include <QStyleOptionButton>

namespace {

const QColor FailureRed(192, 0, 0);

// The check box's own measure of its text and box, in the font it has now.
int neededWidth(const QCheckBox &box)
{
    QStyleOptionButton option;
    option.initFrom(&box);
    option.text = box.text();
    const QSize text = box.fontMetrics().size(Qt::TextShowMnemonic, box.text());
    return box.style()->sizeFromContents(QStyle::CT_CheckBox, &option, text, &box).width();
}

} // namespace

StatusFrame::StatusFrame(QWidget *parent) : QGroupBox(QStringLiteral("Status"), parent)
{
    setObjectName(QStringLiteral("Frame1"));
    setFont(DesignFont::msSansSerif(9.75, true));
    setGeometry(Twips::forWidget(this).rect(120, 0, 5295, 1455));
    buildControls();

    auto *schedule = new QAction(QStringLiteral("Schedule"), this);
    schedule->setObjectName(QStringLiteral("schedulemnu"));
    connect(schedule, &QAction::triggered, this, &StatusFrame::scheduleRequested);
    addAction(schedule);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    // The menu bar keeps its three items, so the way to the schedule is told here.
    setToolTip(QStringLiteral("Right-click for the Schedule: each show's next upload, its last "
                              "result and its problems"));
}

void StatusFrame::buildControls()
{
    const Twips twips = Twips::forWidget(this);
    m_label2 = new QLabel(this);
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_label2->setFont(DesignFont::msSansSerif(9.75));
    m_label2->setGeometry(twips.rect(240, 480, 4815, 375));
    m_label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // In the strip the design leaves free between the title line and the status line.
    m_progressBar = new QProgressBar(this);
    m_progressBar->setObjectName(QStringLiteral("uploadProgress"));
    m_progressBar->setGeometry(twips.rect(240, 900, 4815, 90));
    m_progressBar->setTextVisible(false);
    m_progressBar->hide();

    m_label1 = new QLabel(QStringLiteral("Idle"), this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setFont(DesignFont::msSansSerif(9.75, true));
    m_label1->setGeometry(twips.rect(240, 1080, 3255, 375));
    m_label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_warningMark = new QLabel(this);
    m_warningMark->setObjectName(QStringLiteral("warningMark"));
    m_warningMark->hide();

    m_check1 = new QCheckBox(QStringLiteral("Disable Upload:"), this);
    m_check1->setObjectName(QStringLiteral("Check1"));
    m_check1->setFont(DesignFont::windowDefault());
    m_check1->setLayoutDirection(Qt::RightToLeft);
    // The toolkit's default gap between box and text is wider than the design's and would
    // push the end of "Disable Upload:" out of the control.
    m_check1->setStyleSheet(QStringLiteral("QCheckBox { spacing: 4px; }"));
    m_check1->installEventFilter(this);
    fitDisableUploadBox();
}

// Where the stand-in font is missing, the text needs more than the design's width; the box
// stays at the design's right edge and the control grows to the left.
void StatusFrame::fitDisableUploadBox()
{
    const Twips twips = Twips::forWidget(this);
    QRect box = twips.rect(3720, 1080, 1455, 315);
    box.setLeft(std::min(box.left(), box.right() + 1 - neededWidth(*m_check1)));
    m_check1->setGeometry(box);

    // The mark keeps to the gap between the status line and the check box, a pixel from its text.
    QRect mark = twips.rect(3525, 1095, 180, 180);
    mark.moveRight(std::min(mark.right(), box.left() - 2));
    m_warningMark->setGeometry(mark);
    m_warningMark->setPixmap(
        style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(mark.size()));
}

bool StatusFrame::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_check1 && event->type() == QEvent::FontChange)
        fitDisableUploadBox();
    return QGroupBox::eventFilter(watched, event);
}

void StatusFrame::setStatusText(const QString &text)
{
    m_label1->setText(text);
}

void StatusFrame::setTitleText(const QString &text)
{
    const QString shown =
        m_label2->fontMetrics().elidedText(text, Qt::ElideRight, m_label2->width());
    m_label2->setText(shown);
    m_label2->setToolTip(shown == text ? QString() : text);
}

void StatusFrame::showUploadStatus(const UploadStatus &status)
{
    QPalette palette;
    if (status.statusShowsFailure())
        palette.setColor(QPalette::WindowText, FailureRed);
    m_label1->setPalette(palette);
    m_label1->setToolTip(status.statusToolTip());
    m_progressBar->setValue(status.percent());
    m_progressBar->setVisible(status.running());
}

void StatusFrame::setConfigWarnings(const QStringList &warnings)
{
    m_warningMark->setToolTip(warnings.join(u'\n'));
    m_warningMark->setVisible(!warnings.isEmpty());
}

bool StatusFrame::uploadsDisabled() const
{
    return m_check1->isChecked();
}
