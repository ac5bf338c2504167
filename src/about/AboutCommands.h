#pragma once

class AppContext;

// The About window's service buttons. They only read `ctx` and write nothing to the audit.
void Command1_Click(AppContext &ctx); // "Audits": the audit folder in the file manager
void Command2_Click(AppContext &ctx); // "Config": tunebarn.ini in a text editor, when it exists
void Command3_Click(AppContext &ctx); // "Debug": the date variables with today's values
