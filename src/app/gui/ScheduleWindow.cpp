#include "app/gui/ScheduleWindow.h"

#include "audit/UploadHistory.h"
#include "core/AppContext.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/IniFile.h"
#include "recording/RecordingReader.h"
#include "recording/RecordingVerdict.h"
#include "schedule/RecordingReport.h"
#include "schedule/ScheduleCheck.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QStringList Columns{
    QStringLiteral("Show"),        QStringLiteral("Day"),         QStringLiteral("Time"),
    QStringLiteral("Next upload"), QStringLiteral("Last result"), QStringLiteral("Recording"),
    QStringLiteral("Picture"),     QStringLiteral("Title"),       QStringLiteral("Problems")};

// The last try of each show in the upload history, as "taken 06/12/2026 21:00:03" or
// "failed ...: why".
QHash<int, QString> lastResults(const AppContext &ctx)
{
    const QDateTime now = ctx.platform.clock.now();
    QHash<int, QString> results;
    for (const UploadAttempt &attempt :
         UploadHistory::read(ctx.CFG, now.addDays(-UploadHistory::RetentionDays)))
        results.insert(
            attempt.show,
            attempt.outcome + u' ' +
                attempt.finished.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) +
                (attempt.reason.isEmpty() ? QString() : QStringLiteral(": ") + attempt.reason));
    return results;
}

QStringList problemsOf(const ScheduleReport &report, int show)
{
    QStringList texts;
    for (const CheckProblem &problem : report.problems) {
        if (problem.show == show)
            texts.append(problem.text);
    }
    return texts;
}

QStringList rowOf(const ScheduleReport &report, const ShowCheck &show, const QString &lastResult)
{
    return {QString::number(show.number),
            show.dayRule,
            show.time,
            show.nextUploadText(),
            lastResult.isEmpty() ? QStringLiteral("-") : lastResult,
            show.recordingText(),
            show.pictureText(),
            show.title,
            problemsOf(report, show.number).join(u'\n')};
}

} // namespace

ScheduleWindow::ScheduleWindow(AppContext &ctx, QWidget *parent)
    : QWidget(parent, Qt::Window), m_ctx(ctx)
{
    setObjectName(QStringLiteral("ScheduleWindow"));
    setWindowTitle(QStringLiteral("Schedule - ") + AppContext::applicationTitle());
    m_file = new QLabel(this);
    m_file->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_shows = new QTableWidget(0, Columns.size(), this);
    m_shows->setObjectName(QStringLiteral("shows"));
    m_shows->setHorizontalHeaderLabels(Columns);
    m_shows->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_shows->verticalHeader()->hide();
    m_shows->horizontalHeader()->setStretchLastSection(true);
    m_fileProblems = new QLabel(this);
    m_fileProblems->setObjectName(QStringLiteral("fileProblems"));
    m_fileProblems->setWordWrap(true);
    auto *refreshButton = new QPushButton(QStringLiteral("Refresh"), this);
    refreshButton->setObjectName(QStringLiteral("refresh"));
    connect(refreshButton, &QPushButton::clicked, this, &ScheduleWindow::refresh);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(refreshButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_file);
    layout->addWidget(m_shows);
    layout->addWidget(m_fileProblems);
    layout->addLayout(buttons);
}

void ScheduleWindow::fitToScreen()
{
    const QRect available = screen()->availableGeometry();
    const int frameWidth = 2 * m_shows->frameWidth();
    const QMargins margins = layout()->contentsMargins();
    const int tableWidth = m_shows->horizontalHeader()->length() + frameWidth +
                           m_shows->verticalScrollBar()->sizeHint().width();
    const int tableHeight = m_shows->horizontalHeader()->height() +
                            m_shows->verticalHeader()->length() + frameWidth +
                            m_shows->horizontalScrollBar()->sizeHint().height();
    const QSize wanted(tableWidth + margins.left() + margins.right(),
                       sizeHint().height() - m_shows->sizeHint().height() + tableHeight);
    // Room is left for the frame the window manager draws around it.
    const QSize room = available.size() * 9 / 10;
    resize(wanted.boundedTo(room).expandedTo(minimumSizeHint()));
    move(available.center() - rect().center());
}

void ScheduleWindow::refresh()
{
    showRecordings(true);
}

void ScheduleWindow::showRecordings(bool followReadings)
{
    const QString path = m_ctx.CFG.configFile();
    if (!fileExists(path)) {
        showUnreadable(QStringLiteral("The configuration file does not exist: ") + path);
        return;
    }
    FileError error;
    const std::optional<IniFile> ini = IniFile::load(path, &error);
    if (!ini) {
        showUnreadable(QStringLiteral("Cannot read %1: %2").arg(path, error.text));
        return;
    }
    ScheduleReport report = ScheduleCheck::analyse(*ini, path, m_ctx.platform.clock.now(),
                                                   m_ctx.Schedule, m_ctx.platform.environment);
    // Recordings not read yet are read meanwhile, and the window shows them once they are;
    // that showing starts no further reading, so a recording still written is not chased.
    const QPointer<ScheduleWindow> window(this);
    const auto whenRead = [window] {
        if (window)
            window->showRecordings(false);
    };
    RecordingReport::add(
        report, m_ctx,
        [&](const QString &recording) {
            return RecordingReader::findings(
                m_ctx, recording, followReadings ? std::function<void()>(whenRead) : nullptr);
        },
        RecordingVerdict::RunsInWarning);
    showReport(report);
}

void ScheduleWindow::showReport(const ScheduleReport &report)
{
    m_file->setText(QStringLiteral("Configuration: ") + report.configFile +
                    QStringLiteral("\nUpload address: ") +
                    (report.uploadUrl.isEmpty() ? QStringLiteral("(empty)") : report.uploadUrl));
    m_shows->setRowCount(int(report.shows.size()));
    const QHash<int, QString> results = lastResults(m_ctx);
    for (int row = 0; row < report.shows.size(); ++row) {
        const ShowCheck &show = report.shows[row];
        const QStringList cells = rowOf(report, show, results.value(show.number));
        for (int column = 0; column < cells.size(); ++column) {
            auto *cell = new QTableWidgetItem(cells[column]);
            // The problems often run past the window's edge.
            cell->setToolTip(cells[column]);
            m_shows->setItem(row, column, cell);
        }
    }
    m_shows->resizeColumnsToContents();
    m_shows->resizeRowsToContents();
    const QStringList fileProblems = problemsOf(report, 0);
    m_fileProblems->setText(fileProblems.join(u'\n'));
    m_fileProblems->setVisible(!fileProblems.isEmpty());
}

void ScheduleWindow::showUnreadable(const QString &text)
{
    m_file->setText(text);
    m_shows->setRowCount(0);
    m_fileProblems->hide();
}
