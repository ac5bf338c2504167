#pragma once

class AppContext;

// Sets CFG.ConfigPath from the playout system's "CFG Folder" setting, falling back to the
// program's own data folder.
void GetConfigPath(AppContext &ctx);
