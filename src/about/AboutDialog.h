#pragma once

#include <QDialog>

class AppContext;
class QFont;
class QLabel;
class QPushButton;

// frmAbout: version, configuration file, and the Audits, Config and Debug buttons. Every opening
// builds it afresh from `ctx`, so it always shows the current configuration path.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(AppContext &ctx, QWidget *parent = nullptr);

    // Client area of the design, in pixels for this screen.
    QSize designClientSize() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void buildLabels();
    void buildButtons();
    QLabel *addLabel(const QString &name, const QString &text, const QRect &geometry,
                     const QFont &font);
    QPushButton *addButton(const QString &name, const QString &text, const QRect &geometry);

    AppContext &m_ctx;
};
