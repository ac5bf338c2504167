#pragma once

#include "core/RecordingFindings.h"

#include <QFuture>
#include <QHash>
#include <QString>

#include <memory>

// The findings of each recording read, by path, so the check ahead and the upload do not read
// an unchanged file twice. A reading still running is kept as its future.
struct RecordingCache
{
    struct Entry
    {
        qint64 size = -1;
        QDateTime modified;
        QFuture<RecordingFindings> findings;
    };

    QHash<QString, Entry> entries;
    // Outlives nothing of the context: a reading that ends after the context is gone finds it
    // expired and calls back no one.
    std::shared_ptr<int> alive = std::make_shared<int>(0);
};
