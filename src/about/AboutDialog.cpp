#include "about/AboutDialog.h"

#include "app/core/AppContext.h"

AboutDialog::AboutDialog(AppContext &ctx, QWidget *parent) : QDialog(parent), m_ctx(ctx)
{
    setWindowTitle(QStringLiteral("About ") + AppContext::applicationTitle());
}
