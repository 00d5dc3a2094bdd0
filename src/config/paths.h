// Where the program reads its read-only assets and where it writes per-user files. The
// getters only compute paths; whoever writes a file creates its folder.
#pragma once

#include <QString>

// Read-only assets (skins/, splash, icons): $SCOUTLY_DATA_DIR; else the installed
// <exe dir>/../share/scoutly-lite; else the source tree's assets/ for runs from a build tree.
QString ProgramDataDir();
// $SCOUTLY_HOME, else $XDG_CONFIG_HOME/scoutly-lite (~/.config/scoutly-lite).
QString UserConfigDir();
// $SCOUTLY_HOME, else $XDG_DATA_HOME/scoutly-lite (~/.local/share/scoutly-lite).
QString UserDataDir();
// --home DIR: the same as starting with SCOUTLY_HOME=DIR. An empty Dir goes back to the XDG
// folders.
void SetScoutlyHome(const QString& Dir);
// Makes Dir and any missing folder above it, each made with owner-only rights (0700). A
// folder that exists already keeps its rights: it may be shared (a --home of /tmp). False
// when Dir is not a folder afterwards.
bool MakeUserFolder(const QString& Dir);
