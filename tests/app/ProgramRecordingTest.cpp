#include "support/ProgramRun.h"
#include "support/Receiver.h"
#include "support/RecordingMaker.h"
#include "support/TestApp.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QDate Monday(2026, 12, 7);

QByteArray section(ProgramRun &run, int number, const QByteArray &recording, const char *title,
                   const char *time, const QByteArray &own = {})
{
    run.write(u"shows/show%1.mp3"_s.arg(number), recording);
    return "[Show" + QByteArray::number(number) +
           "]\nFilename=" + run.path(u"shows/show%1.mp3"_s.arg(number)).toUtf8() +
           "\nTitle=" + title + "\nUploadDay=Mon\nUploadTime=" + time + '\n' + own;
}

} // namespace

TEST(Program, OnlyATrueRecordingGoesOut)
{
    Receiver receiver;
    ProgramRun run;
    const QString tone = u"2 sine 440 vol 0.3"_s;
    const QString hush = u"4 sine 440 vol 0"_s;
    // Show 3 went out four times at two hours; its recording today is four seconds.
    QByteArray history;
    for (const int week : {4, 3, 2, 1})
        history +=
            "{\"due\":\"" +
            QDateTime(Monday.addDays(-7 * week), QTime(21, 2))
                .toString(Qt::ISODate)
                .left(16)
                .toUtf8() +
            "\",\"show\":3,\"outcome\":\"taken\",\"finished\":\"" +
            QDateTime(Monday.addDays(-7 * week), QTime(21, 3)).toString(Qt::ISODate).toUtf8() +
            "\",\"recordingSeconds\":7200}\n";
    run.write(u"local/TunebarnUploader/uploads.jsonl"_s, history);
    run.writeConfig("[General]\nUploadURL=" + receiver.url().toUtf8() +
                    "\nMaxSilenceSeconds=2\nSkipSilentRecordings=1\n" +
                    section(run, 1, RecordingMaker::mp3({tone, hush}), "Dead air", "21:00") +
                    section(run, 2, RecordingMaker::wav({tone}), "Wav", "21:01") +
                    section(run, 3, RecordingMaker::mp3({tone, tone}), "Short", "21:02",
                            "SkipShortRecordings=1\n") +
                    section(run, 4, RecordingMaker::mp3({hush}), "Silent", "21:03"));
    const auto recording = [&](int show) { return run.path(u"shows/show%1.mp3"_s.arg(show)); };
    const QString deadAir =
        u"show 1 due at 21:00: recording '"_s + recording(1) + u"' is silent for 0:04 of 0:06"_s;
    run.setClock(QDateTime(Monday, QTime(20, 56, 50)), 40);
    QProcess &headless = run.start({u"--headless"_s});
    ASSERT_TRUE(run.waitFor([&] {
        return !run.auditTexts().filter(u"Timer1_Timer| WARNING: "_s + deadAir).isEmpty();
    }));
    // Mended by a recording of another length: the replaced one has the same time stamp here.
    run.write(u"shows/show1.mp3"_s, RecordingMaker::mp3({tone, tone, tone, tone}));
    ASSERT_TRUE(run.waitFor([&] {
        return !run.auditTexts().filter(u"Timer1_Timer| Mended before "_s + deadAir).isEmpty();
    }));
    ASSERT_TRUE(run.waitForAudit(
        u"UploadShow| Upload skipped: show 4 'Silent', SkipSilentRecordings is set"_s));
    EXPECT_EQ(ProgramRun::stop(headless, SIGTERM), 0);

    // Told in the first minute, as soon as the reading is done.
    EXPECT_TRUE(run.auditLines().filter(u"WARNING: "_s + deadAir).value(0).startsWith(u"20:57"_s));
    const QStringList texts = run.auditTexts();
    const QString shortText = u"is 0:04 long, shorter than 80% of the expected 2:00:00"_s;
    // Told ahead in the order the readings end.
    QStringList ahead = texts.filter(u"Timer1_Timer| WARNING: show"_s);
    ahead.sort();
    ASSERT_EQ(ahead.size(), 4) << ahead.join(u'\n').toStdString();
    EXPECT_TRUE(ahead[0].startsWith(u"Timer1_Timer| WARNING: "_s + deadAir + u" (6"_s));
    EXPECT_EQ(ahead.mid(1),
              QStringList({u"Timer1_Timer| WARNING: show 2 due at 21:01: recording '"_s +
                               recording(2) + u"' is not MPEG audio: it holds a WAV file"_s,
                           u"Timer1_Timer| WARNING: show 3 due at 21:02: recording '"_s +
                               recording(3) + u"' "_s + shortText,
                           u"Timer1_Timer| WARNING: show 4 due at 21:03: recording '"_s +
                               recording(4) + u"' is silent from start to end"_s}));
    EXPECT_TRUE(texts.contains(
        u"UploadShow| Recording: MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, stereo, 0:08, silent 0:00"_s));
    EXPECT_TRUE(texts.contains(
        u"UploadShow| WARNING: show 2 'Wav': the recording is not MPEG audio: it holds a WAV file"_s));
    EXPECT_TRUE(
        texts.contains(u"UploadShow| WARNING: show 3 'Short': the recording "_s + shortText));
    EXPECT_TRUE(texts.contains(
        u"UploadShow| Upload skipped: show 3 'Short', SkipShortRecordings is set"_s));
    QByteArrayList sent;
    for (const Receiver::Request &request : receiver.requests())
        sent.append(request.part("name"));
    EXPECT_EQ(sent, QByteArrayList({"Dead air", "Wav"}));

    const QByteArray written =
        fileBytes(run.path(u"local/TunebarnUploader/uploads.jsonl"_s)).mid(history.size());
    EXPECT_TRUE(written.contains("\"outcome\":\"skipped\",\"reason\":\"the recording " +
                                 shortText.toUtf8() + "\",\"recordingSeconds\":4"))
        << written.constData();
    EXPECT_TRUE(written.contains("\"recordingSeconds\":8")) << written.constData();

    // --check names the lengths and the problems, and all silent runs.
    QByteArray report;
    EXPECT_EQ(run.run({u"--check"_s}, &report), 1);
    EXPECT_TRUE(report.contains("0:04 SHORT")) << report.constData();
    EXPECT_TRUE(
        report.contains(("show 3: recording '" + recording(3) + u"' "_s + shortText).toUtf8()));
    EXPECT_TRUE(report.contains("0:04 silent 0:04 SILENT"));
}
