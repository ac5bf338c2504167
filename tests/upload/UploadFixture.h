#pragma once

#include "support/LoopbackReceiver.h"
#include "support/QtPrinters.h"
#include "support/TestApp.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <gtest/gtest.h>

#include <string>

// A program context with the real curl in its folder, the audit folder in place and a loopback
// receiver as the upload address.
class UploadFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(receiver.listen());
        ASSERT_TRUE(QFile::link(QStringLiteral("/usr/bin/curl"), curl()));
        ASSERT_TRUE(QDir().mkpath(app.auditFolder()));
        app.ctx.CFG.UploadURL = receiver.url();
    }

    QString curl() const { return app.programFolder() + QStringLiteral("/curl"); }
    QString responseFile() const { return app.auditFolder() + QStringLiteral("upload.txt"); }
    // A file below the temporary home, folders created as needed.
    QString writeFile(const QString &relativePath, const QByteArray &bytes) const
    {
        return app.writeFile(app.home() + u'/' + relativePath, bytes);
    }

    // The command line shown and logged for an upload of these values.
    QString displayLine(const QString &recording, const QString &title, const QString &description,
                        const QString &picturePart = QString()) const
    {
        QString line = curl() + QStringLiteral(" -o \"") + responseFile() +
                       QStringLiteral("\" -w \"%{http_code}\" -k -X POST -F \"mp3=@") + recording +
                       QStringLiteral("\" --form-string \"name=") + title +
                       QStringLiteral("\" --form-string \"description=") + description + u'"';
        if (!picturePart.isEmpty())
            line += QStringLiteral(" -F \"picture=@") + picturePart + u'"';
        return line + u' ' + app.ctx.CFG.UploadURL;
    }

    const LoopbackReceiver::Request &onlyRequest() const
    {
        static const LoopbackReceiver::Request none;
        EXPECT_EQ(receiver.requests().size(), 1);
        return receiver.requests().isEmpty() ? none : receiver.requests().first();
    }

    TestApp app;
    LoopbackReceiver receiver;
};

inline std::string text(const QByteArray &bytes)
{
    return bytes.toStdString();
}

inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

inline QByteArray partNames(const LoopbackReceiver::Request &request)
{
    QByteArrayList names;
    for (const LoopbackReceiver::Part &part : request.parts)
        names.append(part.name);
    return names.join(',');
}

// Every byte value, and lines that look like the start of a multipart delimiter.
inline QByteArray awkwardBytes()
{
    QByteArray bytes;
    for (int value = 0; value < 256; ++value)
        bytes.append(char(value));
    return bytes + "\r\n--not-the-boundary\r\n--\r\nID3";
}

// The creation time as the audit shows it, empty where the file system records none.
inline QString createdText(const QString &path)
{
    const QDateTime born = QFileInfo(path).birthTime();
    return born.isValid() ? born.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) : QString();
}

// A port on 127.0.0.1 on which nothing listens.
inline quint16 closedPort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress(QHostAddress::LocalHost)))
        return 0;
    const quint16 port = server.serverPort();
    server.close();
    return port;
}
