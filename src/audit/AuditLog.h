#pragma once

#include <QString>

class AppContext;

// The daily audit files "TunebarnddMMyyAdt.txt" in the program's folder. Lines are collected by
// AppendLog and appended here at the flush points.

// Writes the held lines to today's file. A line leaves the buffer only once it is written
// whole; a failure is logged and the rest is written by the next flush.
void WriteLog(AppContext &ctx);
// Makes sure `folder` + "TunebarnUploader" exists and is private to the user, logging its creation.
void CheckAuditFolderExists(AppContext &ctx, const QString &folder);
QString dailyAuditFile(const AppContext &ctx);
