#pragma once

#include <QString>

// The directory that holds the settings, the FTP site list, the default feed
// and downloaded feeds, with a trailing "/": $QUILLO_HOME when set, else the
// executable's directory when we may write there, else ~/.local/share/quillo
// (created when missing). Worked out afresh on every call.
QString resolveProgramDirectory();

// Quillo's manual: the one installed under the data directory beside the
// program, else (in a build tree) the one in the source tree.
QString manualFilePath();
