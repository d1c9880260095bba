#pragma once
// Where a publication goes: the path of the published file on an FTP server
// or in a local directory, the list of known FTP locations ("ftpsites.txt" in
// the program directory), and the message that asks for missing FTP details.
// Plain functions over values; the site list is read and written whole on
// each call, never cached.

#include <QString>
#include <QStringList>

// The hostAndPath putFileByFtp stores a publication under: the location, "/"
// and the file name, with no second "/" after a location that ends in one. A
// location without "/" names the server alone, so the file goes to the login
// directory.
QString ftpRemotePath(const QString& ftpLocation, const QString& fileName);

// The local directory, a path separator and the file name (no doubled
// separator after a directory that ends in one).
QString localPublicationPath(const QString& directory, const QString& fileName);

// programDir + "ftpsites.txt", one location per line (UTF-8); lines end in CR,
// LF or CR LF when read. A missing file is an empty list.
QString ftpSitesPath(const QString& programDir);
QStringList readFtpSites(const QString& programDir);
// Writes the whole list, each line ended by CR LF. Throws std::runtime_error
// "Cannot create file <path>" on failure, leaving the old list in place.
void writeFtpSites(const QString& programDir, const QStringList& lines);
// Writes sites followed by site (as given: empty and repeated locations are
// kept), then appends site to sites. When the write fails it throws as
// writeFtpSites does and sites stays as it was.
void appendFtpSite(const QString& programDir, QStringList& sites, const QString& site);

// What the FTP location box held when the FTP target was chosen.
enum class FtpSiteChoice {
    Chosen,     // a location is in the box
    NoneKnown,  // the box is empty and so is its list
    NoneChosen, // the box is empty, its list is not
};

// The message that asks for what FTP publishing still needs, one line per
// "\n": "Please add an FTP Site." or "Please select an FTP Site." when no
// location is chosen, then "Then:" and the fields to fill in when a login
// field is empty, and always "Then:" and "Press the Publish Button." last.
QString ftpDetailsMessage(FtpSiteChoice choice, bool userIdEmpty, bool passwordEmpty);
