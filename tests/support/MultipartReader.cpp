#include "support/MultipartReader.h"

#include <optional>

namespace {

constexpr qsizetype PartHeaderLimit = 16 * 1024;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Finds one `; key=value` parameter after a header's first token. A quoted value runs to the next
// quote, with no backslash escapes: curl's form encoding never escapes a quote that way, and the
// backslashes of a Windows path have to come through as they are.
std::optional<QByteArray> parameter(QByteArrayView value, QByteArrayView wanted)
{
    qsizetype pos = value.indexOf(';');
    while (pos >= 0) {
        const qsizetype keyStart = pos + 1;
        qsizetype keyEnd = keyStart;
        while (keyEnd < value.size() && value[keyEnd] != '=' && value[keyEnd] != ';')
            ++keyEnd;
        const QByteArrayView key = value.sliced(keyStart, keyEnd - keyStart).trimmed();
        if (keyEnd == value.size())
            return std::nullopt;
        if (value[keyEnd] == ';') {
            pos = keyEnd;
            continue;
        }
        qsizetype start = keyEnd + 1;
        while (start < value.size() && isBlank(value[start]))
            ++start;
        QByteArrayView text;
        if (start < value.size() && value[start] == '"') {
            const qsizetype close = value.indexOf('"', start + 1);
            const qsizetype stop = close < 0 ? value.size() : close;
            text = value.sliced(start + 1, stop - start - 1);
            pos = close < 0 ? -1 : value.indexOf(';', close);
        } else {
            const qsizetype semicolon = value.indexOf(';', start);
            const qsizetype stop = semicolon < 0 ? value.size() : semicolon;
            text = value.sliced(start, stop - start).trimmed();
            pos = semicolon;
        }
        if (key.compare(wanted, Qt::CaseInsensitive) == 0)
            return text.toByteArray();
    }
    return std::nullopt;
}

} // namespace

// The first delimiter has no line break in front of it; one is supplied so that every delimiter
// looks alike to the search.
MultipartReader::MultipartReader(const QByteArray &boundary, qint64 keepBelow)
    : m_delimiter("\r\n--" + boundary), m_keepBelow(keepBelow), m_pending("\r\n")
{
}

QByteArray MultipartReader::boundaryOf(const QByteArray &contentType)
{
    if (!contentType.trimmed().toLower().startsWith("multipart/form-data"))
        return {};
    return parameter(contentType, "boundary").value_or(QByteArray());
}

void MultipartReader::feed(QByteArrayView data)
{
    if (m_state == State::Epilogue)
        return;
    m_pending.append(data);
    while (step()) {
    }
}

void MultipartReader::finish()
{
    if (m_state == State::Data) {
        addData(m_pending);
        endPart();
    }
    if (m_state != State::Epilogue)
        fail();
}

bool MultipartReader::step()
{
    switch (m_state) {
    case State::Preamble:
        return skipPreamble();
    case State::AfterDelimiter:
        return readDelimiterEnd();
    case State::Headers:
        return readHeaders();
    case State::Data:
        return readData();
    case State::Epilogue:
        m_pending.clear();
        return false;
    }
    return false;
}

bool MultipartReader::skipPreamble()
{
    const qsizetype at = m_pending.indexOf(m_delimiter);
    if (at < 0) {
        m_pending.remove(0, settledBytes());
        return false;
    }
    m_pending.remove(0, at + m_delimiter.size());
    m_state = State::AfterDelimiter;
    return true;
}

bool MultipartReader::readDelimiterEnd()
{
    if (m_pending.size() < 2)
        return false;
    if (m_pending.startsWith("--")) {
        m_state = State::Epilogue;
        return true;
    }
    // Transport padding may stand between a delimiter and its line break.
    qsizetype blanks = 0;
    while (blanks < m_pending.size() && isBlank(m_pending[blanks]))
        ++blanks;
    m_pending.remove(0, blanks);
    if (m_pending.size() < 2)
        return false;
    if (!m_pending.startsWith("\r\n")) {
        fail();
        return false;
    }
    m_pending.remove(0, 2);
    m_state = State::Headers;
    return true;
}

bool MultipartReader::readHeaders()
{
    if (m_pending.startsWith("\r\n")) {
        m_pending.remove(0, 2);
        beginPart({});
        return true;
    }
    const qsizetype end = m_pending.indexOf("\r\n\r\n");
    if (end < 0) {
        if (m_pending.size() > PartHeaderLimit)
            fail();
        return false;
    }
    beginPart(QByteArrayView(m_pending).first(end));
    m_pending.remove(0, end + 4);
    return true;
}

bool MultipartReader::readData()
{
    const qsizetype at = m_pending.indexOf(m_delimiter);
    if (at < 0) {
        const qsizetype settled = settledBytes();
        addData(QByteArrayView(m_pending).first(settled));
        m_pending.remove(0, settled);
        return false;
    }
    addData(QByteArrayView(m_pending).first(at));
    m_pending.remove(0, at + m_delimiter.size());
    endPart();
    m_state = State::AfterDelimiter;
    return true;
}

// Bytes at the end of the pending data could be the start of a delimiter split across two reads.
qsizetype MultipartReader::settledBytes() const
{
    return qMax<qsizetype>(0, m_pending.size() - (m_delimiter.size() - 1));
}

void MultipartReader::beginPart(QByteArrayView headerBlock)
{
    m_part = Part{};
    m_hash.reset();
    m_state = State::Data;
    qsizetype lineStart = 0;
    while (lineStart <= headerBlock.size()) {
        qsizetype lineEnd = headerBlock.indexOf("\r\n", lineStart);
        if (lineEnd < 0)
            lineEnd = headerBlock.size();
        readPartHeader(headerBlock.sliced(lineStart, lineEnd - lineStart));
        lineStart = lineEnd + 2;
    }
}

void MultipartReader::readPartHeader(QByteArrayView line)
{
    const qsizetype colon = line.indexOf(':');
    if (colon <= 0)
        return;
    const QByteArrayView name = line.first(colon).trimmed();
    const QByteArrayView value = line.sliced(colon + 1).trimmed();
    if (name.compare("Content-Type", Qt::CaseInsensitive) == 0) {
        m_part.contentType = value.toByteArray();
        return;
    }
    if (name.compare("Content-Disposition", Qt::CaseInsensitive) != 0)
        return;
    m_part.name = parameter(value, "name").value_or(QByteArray());
    const std::optional<QByteArray> filename = parameter(value, "filename");
    m_part.hasFilename = filename.has_value();
    m_part.filename = filename.value_or(QByteArray());
}

void MultipartReader::addData(QByteArrayView data)
{
    m_hash.addData(data);
    m_part.size += data.size();
    if (!m_part.bytesKept)
        return;
    if (m_part.size >= m_keepBelow) {
        m_part.bytes.clear();
        m_part.bytesKept = false;
        return;
    }
    m_part.bytes.append(data);
}

void MultipartReader::endPart()
{
    m_part.sha256 = m_hash.result().toHex();
    m_parts.append(std::move(m_part));
    m_part = Part{};
}

void MultipartReader::fail()
{
    m_malformed = true;
    m_state = State::Epilogue;
    m_pending.clear();
}
