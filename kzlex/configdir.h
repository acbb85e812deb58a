#pragma once
// Where the settings folder lives.
#include <QString>

// The folder that holds the settings folder: APPDATA when set and not empty, else the
// per-user configuration folder.
QString GetAppConfigDir();
