#pragma once

#include <QDialog>

class AppContext;

// frmAbout: version, configuration file, and the Audits, Config and Debug buttons.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    explicit AboutDialog(AppContext &ctx, QWidget *parent = nullptr);

private:
    AppContext &m_ctx;
};
