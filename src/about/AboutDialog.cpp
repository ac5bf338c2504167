#include "about/AboutDialog.h"

#include "about/AboutCommands.h"
#include "core/AppContext.h"
#include "platform/DesignFont.h"
#include "platform/GuiResources.h"
#include "platform/Twips.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>

namespace {

const QString CreditLine = QStringLiteral("By the Tunebarn Uploader developers");

} // namespace

AboutDialog::AboutDialog(AppContext &ctx, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About ") + AppContext::applicationTitle());
    setFont(DesignFont::windowDefault());
    setFixedSize(designClientSize());
    buildLabels();
    buildButtons();
}

QSize AboutDialog::designClientSize() const
{
    const Twips twips = Twips::forWidget(this);
    return QSize(twips.toPixels(7005), twips.toPixels(3090));
}

QLabel *AboutDialog::addLabel(const QString &name, const QString &text, const QRect &geometry,
                              const QFont &font)
{
    auto *label = new QLabel(text, this);
    label->setObjectName(name);
    label->setFont(font);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

void AboutDialog::buildLabels()
{
    const Twips twips = Twips::forWidget(this);
    loadGuiResources();
    QLabel *image =
        addLabel(QStringLiteral("Image1"), QString(), twips.rect(120, 240, 1020, 1020), font());
    image->setPixmap(QPixmap(QStringLiteral(":/icons/tunebarn-68.png")));

    QLabel *title = addLabel(QStringLiteral("lblTitle"), AppContext::applicationTitle(),
                             twips.rect(1680, 240, 3885, 480), DesignFont::msSansSerif(12, true));
    QPalette black = title->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    title->setPalette(black);

    addLabel(QStringLiteral("lblVersion"), QStringLiteral("Version ") + AppContext::versionText(),
             twips.rect(1680, 780, 3885, 225), DesignFont::msSansSerif(9.75));
    addLabel(QStringLiteral("Label3"), CreditLine, twips.rect(1680, 1200, 3885, 345),
             DesignFont::msSansSerif(9.75));
    addLabel(QStringLiteral("Label2"), QStringLiteral("Configuration File:"),
             twips.rect(120, 1560, 3885, 285), DesignFont::msSansSerif(9.75, true));
    QLabel *path = addLabel(QStringLiteral("Label1"), m_ctx.CFG.configFile(),
                            twips.rect(120, 1920, 6765, 465), DesignFont::msSansSerif(9.75));
    path->setWordWrap(true);
}

QPushButton *AboutDialog::addButton(const QString &name, const QString &text, const QRect &geometry)
{
    auto *button = new QPushButton(text, this);
    button->setObjectName(name);
    button->setGeometry(geometry);
    return button;
}

void AboutDialog::buildButtons()
{
    const Twips twips = Twips::forWidget(this);
    QPushButton *ok =
        addButton(QStringLiteral("cmdOK"), QStringLiteral("OK"), twips.rect(5640, 2640, 1260, 345));
    QPushButton *audits = addButton(QStringLiteral("Command1"), QStringLiteral("Audits"),
                                    twips.rect(4200, 2640, 1260, 345));
    QPushButton *config = addButton(QStringLiteral("Command2"), QStringLiteral("Config"),
                                    twips.rect(2760, 2640, 1260, 345));
    QPushButton *debug = addButton(QStringLiteral("Command3"), QStringLiteral("Debug"),
                                   twips.rect(1440, 2640, 1260, 345));

    // Enter presses OK through the default button; Esc and the close box reject, which also closes.
    ok->setDefault(true);
    ok->setFocus();
    setTabOrder(ok, audits);
    setTabOrder(audits, config);
    setTabOrder(config, debug);

    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(audits, &QPushButton::clicked, this, [this] { Command1_Click(m_ctx); });
    connect(config, &QPushButton::clicked, this, [this] { Command2_Click(m_ctx); });
    connect(debug, &QPushButton::clicked, this, [this] { Command3_Click(m_ctx); });
}

void AboutDialog::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    const Twips twips = Twips::forWidget(this);
    QPainter painter(this);
    // Line1: a grey line over a white one reads as a groove above the buttons. The end points
    // are exclusive, as the window system draws lines.
    const int onePixel = twips.toPixels(15);
    painter.fillRect(
        QRect(twips.toPixels(90), twips.toPixels(2445), twips.toPixels(6840 - 90), onePixel),
        QColor(128, 128, 128));
    painter.fillRect(
        QRect(twips.toPixels(105), twips.toPixels(2460), twips.toPixels(5400 - 105), 2 * onePixel),
        QColor(255, 255, 255));
}
