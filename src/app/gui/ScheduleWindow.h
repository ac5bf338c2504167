#pragma once

#include <QWidget>

class AppContext;
class QLabel;
class QTableWidget;
struct ScheduleReport;

// Each configured show with its next upload, its last result, whether its recording and picture
// are there, and what will keep it from going out: --check's report, read afresh from
// tunebarn.ini on every refresh. It writes nothing to the audit trail.
class ScheduleWindow : public QWidget
{
    Q_OBJECT

public:
    explicit ScheduleWindow(AppContext &ctx, QWidget *parent = nullptr);

    void refresh();
    // As large as its table wants, within the screen it is on; the table scrolls for the rest.
    void fitToScreen();

private:
    void showRecordings(bool followReadings);
    void showReport(const ScheduleReport &report);
    void showUnreadable(const QString &text);

    AppContext &m_ctx;
    QLabel *m_file = nullptr;
    QTableWidget *m_shows = nullptr;
    QLabel *m_fileProblems = nullptr;
};
