#pragma once

class AppContext;

// The "Manual Upload" command: any MP3 file, with a typed title and description, sent at once.
void manupmnu_Click(AppContext &ctx);
