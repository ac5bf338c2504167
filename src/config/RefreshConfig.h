#pragma once

class AppContext;

// The "Refresh Config" command: finds the configuration folder, reads tunebarn.ini and reports
// the outcome on the status line, in a message box when the file is missing, and in the audit.
void configmnu_Click(AppContext &ctx);
