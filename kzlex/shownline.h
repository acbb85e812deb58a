#pragma once
// Lines as the lists, the log and the console show them.
#include <QString>

// The line as a list or log shows it: every control character but the tab (U+0000 to U+001F,
// U+007F to U+009F) is a blank, so the line stays one line with nothing for a terminal to obey.
QString ShownLine(const QString& line);
