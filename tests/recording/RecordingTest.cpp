#include "recording/MpegFrame.h"
#include "recording/RecordingAnalysis.h"
#include "recording/RecordingVerdict.h"
#include "recording/SilenceRuns.h"
#include "support/RecordingMaker.h"
#include "support/TestApp.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <mpg123.h>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

const QString Tone = u"2 sine 440 vol 0.3"_s;
const QString Hush = u"4 sine 440 vol 0"_s;

RecordingFindings analysed(const QByteArray &bytes)
{
    const QTemporaryDir folder;
    const QString path = folder.filePath(u"show.mp3"_s);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    return RecordingAnalysis::analyse(path);
}

QStringList problemTexts(const RecordingFindings &findings, const RecordingLimits &limits,
                         std::optional<double> expected = std::nullopt)
{
    QStringList texts;
    for (const RecordingProblem &problem : RecordingVerdict::problems(findings, limits, expected))
        texts.append(problem.text);
    return texts;
}

// libmpg123's reading of the first frame of `stream`, in the terms of the frame parser.
using Fields = std::tuple<int, int, int, int, int, int, int>;
Fields readByLibmpg123(const QByteArray &stream)
{
    mpg123_init();
    const std::unique_ptr<mpg123_handle, void (*)(mpg123_handle *)> handle(
        mpg123_new(nullptr, nullptr), mpg123_delete);
    mpg123_param(handle.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_open_feed(handle.get());
    mpg123_feed(handle.get(), reinterpret_cast<const uchar *>(stream.constData()), stream.size());
    off_t offset = 0;
    uchar *audio = nullptr;
    size_t bytes = 0;
    mpg123_frameinfo2 info{};
    if (mpg123_decode_frame(handle.get(), &offset, &audio, &bytes) != MPG123_NEW_FORMAT ||
        mpg123_info2(handle.get(), &info) != MPG123_OK)
        return {};
    return {QList{1, 2, 25}[info.version],
            info.layer,
            info.bitrate,
            int(info.rate),
            info.mode == MPG123_M_MONO ? 1 : 2,
            info.framesize,
            mpg123_spf(handle.get())};
}

} // namespace

TEST(Recording, FrameHeadersAreReadAsLibmpg123ReadsThem)
{
    const auto header = [](int version, int layer, int bitrate, int rate, int padding, int mode) {
        return QByteArray{"\xff"} + char(0xE1 | version << 3 | layer << 1) +
               char(bitrate << 4 | rate << 2 | padding << 1) + char(mode << 6);
    };
    // Version bits 3, 2 and 0 are MPEG-1, 2 and 2.5; layer bits 3 to 1 are Layers I to III.
    for (const int version : {3, 2, 0})
        for (const int layer : {3, 2, 1})
            for (int bitrate = 1; bitrate < 15; ++bitrate)
                for (const int rate : {0, 1, 2})
                    for (const int padding : {0, 1})
                        for (const int mode : {0, 3}) {
                            const QByteArray first =
                                header(version, layer, bitrate, rate, padding, mode);
                            const std::optional<MpegFrame> f = MpegFrame::parse(first, 0);
                            ASSERT_TRUE(f && f->length > MpegFrame::HeaderBytes)
                                << first.toHex().toStdString();
                            const QByteArray data(f->length - MpegFrame::HeaderBytes, 0);
                            EXPECT_EQ(Fields(f->version, f->layer, f->bitrateKbps, f->sampleRate,
                                             f->channels, f->length, f->samples),
                                      readByLibmpg123((first + data).repeated(4)))
                                << first.toHex().toStdString();
                        }
    // The bits no stream has: version 1, layer 0, free format, bit rate 15, rate 3, emphasis 2.
    for (const char *bad : {"ffeb9000", "fff99000", "fffb0000", "fffbf000", "fffb9c00", "fffb9002",
                            "ffdb9000", "fefb9000"})
        EXPECT_FALSE(MpegFrame::parse(QByteArray::fromHex(bad), 0)) << bad;
    EXPECT_EQ(MpegFrame::parse(QByteArray::fromHex("ffe39000"), 0)->formatText(),
              u"MPEG-2.5 Layer III"_s);
    // Every frame counts, the last one too; one that noise follows may itself be noise.
    const QByteArray frame = QByteArray::fromHex("fffb9000") + QByteArray(413, 0);
    for (const auto &[bytes, frames] :
         {std::pair{frame.repeated(100), 100},
          std::pair{frame.repeated(50) + QByteArray(7, '\x01') + frame.repeated(50), 99}})
        EXPECT_DOUBLE_EQ(analysed(bytes).seconds, frames * 1152 / 44100.0);
    EXPECT_EQ(analysed(QByteArray("ID3\4\0\0\0\0\0\0", 10)).notMpeg, u"an ID3 tag and no audio"_s);
    EXPECT_EQ(analysed(QByteArray("\xff\xf1\x50\x80", 4)).notMpeg, u"an AAC stream (ADTS)"_s);
}

TEST(Recording, FilesAreReadForWhatTheyAreAndHowLongAndWhereSilent)
{
    SKIP_ON_WINDOWS("the recordings are made with sox and lame, which are Linux programs");
    RecordingLimits limits;
    limits.maxSilenceSeconds = 2;
    const QByteArray mp3 = RecordingMaker::mp3({Tone, Hush});
    const QByteArray pcm = RecordingMaker::wav({Tone});
    struct Row
    {
        const char *what;
        QByteArray bytes;
        QString description; // its start, when it ends in '*'
        QStringList problems;
        double seconds = 0;
    };
    const QList<Row> rows{
        {"a tone",
         RecordingMaker::mp3({Tone}, {u"-b"_s, u"320"_s}),
         u"MPEG-1 Layer III, 320 kbit/s, 44.1 kHz, stereo, 0:02, silent 0:00"_s,
         {},
         2},
        {"mono MPEG-2",
         RecordingMaker::mp3({Tone}, {u"-m"_s, u"m"_s, u"--resample"_s, u"22.05"_s}),
         u"MPEG-2 Layer III, 32 kbit/s, 22.05 kHz, mono, 0:02, silent 0:00"_s,
         {},
         2},
        {"tone then silence",
         mp3,
         u"MPEG-1 Layer III, 128 kbit/s, 44.1 kHz, stereo, 0:06, silent 0:04"_s,
         {u"is silent for 0:04 of 0:06 (6*"_s},
         6},
        {"all silence", RecordingMaker::mp3({Hush}), u"*"_s, {u"is silent from start to end"_s}, 4},
        {"VBR with Xing",
         RecordingMaker::mp3({Tone, Hush}, {u"-V2"_s, u"--add-id3v2"_s, u"--tt"_s, u"T"_s}),
         u"MPEG-1 Layer III, * VBR, 44.1 kHz, stereo, 0:06, silent 0:04"_s,
         {u"*"_s},
         6},
        {"VBR without Xing",
         RecordingMaker::mp3({Tone, Hush}, {u"-V2"_s, u"-t"_s}),
         u"MPEG-1 Layer III, * VBR, 44.1 kHz, stereo, 0:06, silent 0:04"_s,
         {u"*"_s},
         6},
        {"a WAV",
         pcm,
         u"is not MPEG audio: it holds a WAV file"_s,
         {u"is not MPEG audio: it holds a WAV file"_s}},
        {"zeros",
         QByteArray(100000, '\0'),
         u"is not MPEG audio: it holds only zero bytes"_s,
         {u"is not MPEG audio: it holds only zero bytes"_s}},
        {"one false frame in PCM",
         mp3.left(mp3.indexOf("\xff\xfb", 1) + 4) + pcm.mid(44),
         u"is not MPEG audio: *"_s,
         {u"is not MPEG audio: it holds no MPEG audio frames at its start"_s}},
        {"cut mid-frame",
         mp3.left(mp3.size() / 2 + 7),
         u"MPEG-1 Layer III, 128 kbit/s*"_s,
         {u"breaks off in the middle of the frame at byte *"_s}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        const RecordingFindings findings = analysed(row.bytes);
        const QString description = RecordingVerdict::description(findings, limits);
        const QStringList problems = problemTexts(findings, limits);
        const auto matches = [](const QString &actual, const QString &expected) {
            if (!expected.contains(u'*'))
                return actual == expected;
            const QStringList pieces = expected.split(u'*');
            return actual.startsWith(pieces.first()) && actual.endsWith(pieces.last());
        };
        EXPECT_TRUE(matches(description, row.description)) << description.toStdString();
        ASSERT_EQ(problems.size(), row.problems.size()) << problems.join(u'\n').toStdString();
        for (qsizetype i = 0; i < problems.size(); ++i)
            EXPECT_TRUE(matches(problems[i], row.problems[i])) << problems[i].toStdString();
        if (row.seconds > 0) {
            EXPECT_NEAR(findings.seconds, row.seconds, 0.1);
        }
    }
    // The encoder's Info frame is no audio: with it or without, the same length.
    EXPECT_DOUBLE_EQ(
        analysed(mp3).seconds,
        analysed(RecordingMaker::mp3({Tone, Hush}, {u"-b"_s, u"128"_s, u"-t"_s})).seconds);
}

TEST(Recording, SilentRunsAreFoundWithinTheSamplingStep)
{
    SKIP_ON_WINDOWS("the recordings are made with sox and lame, which are Linux programs");
    const RecordingFindings findings =
        analysed(RecordingMaker::mp3({Tone, Hush, Tone, u"3 sine 440 vol 0"_s, Tone}));
    const SilenceRuns silence = SilenceRuns::of(findings, -50, 2);
    ASSERT_EQ(silence.runs.size(), 2);
    EXPECT_NEAR(silence.runs[0].start, 2, 0.5);
    EXPECT_NEAR(silence.runs[0].seconds, 4, 0.5);
    EXPECT_NEAR(silence.runs[1].start, 8, 0.5);
    EXPECT_NEAR(silence.runs[1].seconds, 3, 0.5);
    EXPECT_FALSE(silence.wholly);
    // Quieter than the tone but louder than the threshold is sound; a pause up to the limit is
    // no silence.
    EXPECT_TRUE(SilenceRuns::of(findings, -60, 4).runs.isEmpty() ||
                SilenceRuns::of(findings, -60, 4).runs.size() == 1);
    EXPECT_EQ(SilenceRuns::of(findings, -50, 5).runs.size(), 0);
}

TEST(Recording, TheRulesJudgeLengthSilenceAndWhatIsSkipped)
{
    RecordingFindings findings;
    findings.format = u"MPEG-1 Layer III"_s;
    findings.kbps = 320;
    findings.sampleRate = 44100;
    findings.channels = 2;
    findings.seconds = 7198;
    findings.levelStep = 1;
    findings.levels = QList<float>(7198, -20.0f);
    RecordingLimits limits;
    EXPECT_EQ(RecordingVerdict::description(findings, limits),
              u"MPEG-1 Layer III, 320 kbit/s, 44.1 kHz, stereo, 1:59:58, silent 0:00"_s);

    struct Row
    {
        double seconds;
        std::optional<double> expected;
        int expectedMinutes;
        QStringList problems;
    };
    const QList<Row> rows{
        {240, 7200, 0, {u"is 4:00 long, shorter than 80% of the expected 2:00:00"_s}},
        {5760, 7200, 0, {}},
        {5759, 7200, 0, {u"is 1:35:59 long, shorter than 80% of the expected 2:00:00"_s}},
        {14400, 7200, 0, {}},
        {14401, 7200, 0, {u"is 4:00:01 long, more than twice the expected 2:00:00"_s}},
        {240, std::nullopt, 0, {}},
        {240, std::nullopt, 5, {}},
        {240, 7200, 4, {}},
        {180, std::nullopt, 4, {u"is 3:00 long, shorter than 80% of the expected 4:00"_s}},
    };
    for (const Row &row : rows) {
        findings.seconds = row.seconds;
        limits.expectedMinutes = row.expectedMinutes;
        EXPECT_EQ(problemTexts(findings, limits, row.expected), row.problems) << row.seconds;
    }

    findings.seconds = 600;
    findings.levels = QList<float>(600, -20.0f);
    for (const int from : {100, 300, 500})
        std::fill(findings.levels.begin() + from,
                  findings.levels.begin() + std::min(from + 180, 600), -70.0f);
    limits = {};
    EXPECT_EQ(problemTexts(findings, limits),
              QStringList{
                  u"is silent for 6:00 of 10:00 (60%): from 1:40 for 3:00, from 5:00 for 3:00"_s});
    limits.maxSilenceSeconds = 180;
    EXPECT_EQ(problemTexts(findings, limits), QStringList{}) << "runs of the limit are no silence";
    limits.maxSilenceSeconds = 120;
    limits.silenceThresholdDb = -80;
    EXPECT_EQ(problemTexts(findings, limits), QStringList{});
    // A warning names five runs and counts the rest; over half the windows undecoded is broken.
    findings.levels = QList<float>(600, -20.0f);
    for (int from = 0; from < 600; from += 60)
        std::fill_n(findings.levels.begin() + from, 40, -70.0f);
    limits = {.maxSilenceSeconds = 10};
    EXPECT_TRUE(problemTexts(findings, limits).value(0).endsWith(u"4:00 for 0:40, and 5 more"_s));
    findings.undecodable = 301;
    EXPECT_EQ(problemTexts(findings, limits),
              QStringList{u"does not decode: 301 of 600 sampled windows failed"_s});
}

TEST(Recording, EachProblemHasItsOwnSkipSetting)
{
    using Kind = RecordingProblem::Kind;
    struct Row
    {
        Kind kind;
        bool RecordingLimits::*flag;
        QString setting;
    };
    const QList<Row> rows{{Kind::Broken, &RecordingLimits::skipBroken, u"SkipBrokenRecordings"_s},
                          {Kind::Short, &RecordingLimits::skipShort, u"SkipShortRecordings"_s},
                          {Kind::Silent, &RecordingLimits::skipSilent, u"SkipSilentRecordings"_s}};
    for (const Row &row : rows) {
        RecordingLimits limits;
        EXPECT_EQ(RecordingVerdict::skipSetting({row.kind, {}}, limits), QString());
        limits.*row.flag = true;
        EXPECT_EQ(RecordingVerdict::skipSetting({row.kind, {}}, limits), row.setting);
        EXPECT_EQ(RecordingVerdict::skipSetting({Kind::Long, {}}, limits), QString());
    }
}

TEST(Recording, TheExpectedLengthIsTheMedianOfTheLastFourUploads)
{
    const QList<std::pair<QList<double>, std::optional<double>>> rows{
        {{}, std::nullopt},    {{60}, std::nullopt},        {{60, 120}, 90},
        {{60, 120, 100}, 100}, {{5, 60, 120, 90, 100}, 95},
    };
    for (const auto &[lengths, median] : rows)
        EXPECT_EQ(RecordingVerdict::expectedFromHistory(lengths), median) << lengths.size();
    for (const auto &[seconds, text] : QList<std::pair<double, QString>>{
             {0, u"0:00"_s}, {65, u"1:05"_s}, {3600, u"1:00:00"_s}, {7197.6, u"1:59:58"_s}})
        EXPECT_EQ(RecordingVerdict::clockText(seconds), text);
}
