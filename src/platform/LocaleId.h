#pragma once

#include <QString>

// The user's default locale as the numeric identifier the language map file uses
// (1031 for de_DE, 2057 for en_GB, 1033 for en_US, ...). Read from LC_ALL, LC_MESSAGES,
// LANG in that order ("de_DE.UTF-8" -> 1031); 0 when unknown.
int userDefaultLocaleId();
int localeIdFromPosixName(const QString &posixName);
