#pragma once

class QString;

// Writes one plain line to the program's log (standard error), exactly as given.
void qsLog(const QString &line);
