#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// What reading a recording found, kept for as long as the file stays the same.
struct RecordingFindings
{
    // The file as it was read; another size or time means another recording.
    qint64 size = -1;
    QDateTime modified;

    QString unreadable;  // why it could not be read; empty when it could
    QString notMpeg;     // what it is instead, when it is not MPEG audio
    qint64 cutAt = -1;   // where the frame that the file breaks off in begins
    int undecodable = 0; // sampled windows whose frames did not decode

    QString format; // "MPEG-1 Layer III"
    int kbps = 0;   // the average for a variable bit rate
    bool variableBitrate = false;
    int sampleRate = 0;
    int channels = 0;
    double seconds = 0;

    // The level in dBFS of a short window every `levelStep` seconds from the start; the level of
    // a window that did not decode is NaN.
    double levelStep = 0;
    QList<float> levels;

    bool isSameFile(qint64 otherSize, const QDateTime &otherModified) const
    {
        return size == otherSize && modified == otherModified;
    }
};
