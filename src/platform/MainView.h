#pragma once

#include <QString>
#include <QStringList>

// How far a running upload has got, as curl's progress meter tells it.
struct UploadProgress
{
    int percent = 0;
    QString sent; // as curl writes sizes: "1234", "512k", "3.2M"
    QString rate; // the average upload speed, in the same form, per second

    QString text() const
    {
        return QStringLiteral("%1% sent (%2) at %3/s").arg(percent).arg(sent, rate);
    }
};

// What the core shows the operator. The main window implements it; headless runs and tests
// implement it without widgets. The texts of the first four are the program's own; the rest
// are told beside them and may be left unshown.
class MainView
{
public:
    virtual ~MainView() = default;
    virtual void setStatusText(const QString &text) = 0;  // Label1
    virtual void setTitleText(const QString &text) = 0;   // Label2
    virtual void setCommandText(const QString &text) = 0; // Text2
    virtual void setCaption(const QString &text) = 0;
    virtual bool uploadsDisabled() const = 0; // Check1

    // Why the last upload failed (`what` names the show), or nothing when it was taken.
    virtual void setLastFailure(const QString &what, const QString &reason)
    {
        Q_UNUSED(what)
        Q_UNUSED(reason)
    }
    // A try of an upload failed and another follows (`failed`), or a retry was taken: `text`
    // says which, in plain words.
    virtual void reportRetry(const QString &what, const QString &text, bool failed)
    {
        Q_UNUSED(what)
        Q_UNUSED(text)
        Q_UNUSED(failed)
    }
    // Something about a show's upload the operator should see while it can still be mended:
    // a recording still written, last week's, or missing before its minute.
    virtual void reportWarning(const QString &what, const QString &text)
    {
        Q_UNUSED(what)
        Q_UNUSED(text)
    }
    virtual void setProgress(const UploadProgress &progress) { Q_UNUSED(progress) }
    // The problems --check finds in the configuration just loaded; empty when there are none.
    virtual void setConfigWarnings(const QStringList &warnings) { Q_UNUSED(warnings) }
    // When the next show goes out, as "Sun 13/12/2026 09:00 show 1", or empty text.
    virtual void setNextUpload(const QString &text) { Q_UNUSED(text) }
    // An audit line could not be written to disk.
    virtual void reportAuditFailure(const QString &text) { Q_UNUSED(text) }
};

class NullView : public MainView
{
public:
    void setStatusText(const QString &) override {}
    void setTitleText(const QString &) override {}
    void setCommandText(const QString &) override {}
    void setCaption(const QString &) override {}
    bool uploadsDisabled() const override { return false; }
};
