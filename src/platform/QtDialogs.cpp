#include "platform/QtDialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {

// Texts written for Windows break lines with a lone carriage return.
QString withLineBreaks(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
}

} // namespace

void QtDialogs::showMessage(const QString &text, const QString &title, Icon icon)
{
    QMessageBox box(icon == Icon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon, title,
                    withLineBreaks(text), QMessageBox::Ok);
    box.exec();
}

QString QtDialogs::askText(const QString &prompt, const QString &title)
{
    return QInputDialog::getText(nullptr, title, withLineBreaks(prompt));
}

QString QtDialogs::chooseFileToOpen(const QString &filterName, const QString &patterns)
{
    return QFileDialog::getOpenFileName(nullptr, QString(), QString(),
                                        filterName + QStringLiteral(" (") + patterns + u')');
}
