#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QCryptographicHash>
#include <QList>

#include <limits>

// Splits a multipart/form-data body into its parts while the bytes arrive, so that a body of
// any size passes through in memory bounded by what is kept of each part.
class MultipartReader
{
public:
    struct Part
    {
        QByteArray name;
        // As written between the quotes: curl sends a `"` in a file name as %22.
        QByteArray filename;
        bool hasFilename = false;
        QByteArray contentType;
        // Empty when the part grew past what is kept; size and sha256 are always there.
        QByteArray bytes;
        bool bytesKept = true;
        qint64 size = 0;
        QByteArray sha256; // lower-case hex
    };

    // A part that reaches `keepBelow` bytes drops its bytes and keeps only its size and digest.
    explicit MultipartReader(const QByteArray &boundary,
                             qint64 keepBelow = std::numeric_limits<qint64>::max());

    void feed(QByteArrayView data);
    // Ends the body: a part still open is closed with what it got.
    void finish();
    // True once the closing delimiter has been seen.
    bool isComplete() const { return m_state == State::Epilogue && !m_malformed; }
    const QList<Part> &parts() const { return m_parts; }

    // The boundary parameter of a multipart/form-data Content-Type, or empty.
    static QByteArray boundaryOf(const QByteArray &contentType);

private:
    enum class State
    {
        Preamble,
        AfterDelimiter,
        Headers,
        Data,
        Epilogue
    };

    bool step();
    bool skipPreamble();
    bool readDelimiterEnd();
    bool readHeaders();
    bool readData();
    qsizetype settledBytes() const;
    void beginPart(QByteArrayView headerBlock);
    void readPartHeader(QByteArrayView line);
    void addData(QByteArrayView data);
    void endPart();
    void fail();

    QByteArray m_delimiter;
    qint64 m_keepBelow;
    QByteArray m_pending;
    State m_state = State::Preamble;
    bool m_malformed = false;
    QList<Part> m_parts;
    Part m_part;
    QCryptographicHash m_hash{QCryptographicHash::Sha256};
};
