#pragma once

#include <QGroupBox>
#include <QStringList>

class QCheckBox;
class QLabel;
class QProgressBar;
class UploadStatus;

// Frame1 "Status": the status line, the title line and the check box of the design, and beside
// them, in space the design leaves free, a warning mark and a thin progress bar. Its context
// menu offers the schedule, since the menu bar keeps to its three items.
class StatusFrame : public QGroupBox
{
    Q_OBJECT

public:
    explicit StatusFrame(QWidget *parent = nullptr);

    void setStatusText(const QString &text);
    void setTitleText(const QString &text);
    void showUploadStatus(const UploadStatus &status);
    void setConfigWarnings(const QStringList &warnings);
    bool uploadsDisabled() const;
    QCheckBox *disableUploadBox() const { return m_check1; }

signals:
    void scheduleRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void fitDisableUploadBox();

    QLabel *m_label1 = nullptr;
    QLabel *m_label2 = nullptr;
    QCheckBox *m_check1 = nullptr;
    QLabel *m_warningMark = nullptr;
    QProgressBar *m_progressBar = nullptr;
};
