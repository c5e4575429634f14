// The program's version record in one place: the version resource of Tessaly.exe, the code that
// shows the version, the installer (which reads these lines) and the user guide take it from here.
#pragma once

#define TESSALY_VERSION_MAJOR 0
#define TESSALY_VERSION_MINOR 1
#define TESSALY_VERSION_PATCH 0
#define TESSALY_VERSION_BUILD 0
#define TESSALY_VERSION_TEXT "0.1.0.0"
#define TESSALY_PUBLISHER "Quillmoor"
#define TESSALY_COPYRIGHT "Copyright (C) 2026 Quillmoor"
