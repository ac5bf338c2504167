#pragma once

#include <QString>

struct ShowTableRecord;
struct UploadOptions;

// Where a monitor expecting pings is reached. The address is its secret, so it is only ever
// shown by its scheme and host.
namespace PingAddress {

// "https://hc-ping.com/****"; "****" alone for one that is not an address.
QString masked(const QString &url);
// The show's own PingURL, else the one of [General]; empty for none.
QString forShow(const UploadOptions &options, const ShowTableRecord &table, int show);
// An address that is not https lets anyone on the way read it; empty when it is.
QString problem(const QString &where, const QString &url);

} // namespace PingAddress
