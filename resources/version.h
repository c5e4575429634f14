// The program's version, shared by the version record and the code that shows it.
#pragma once

#define TESSALY_VERSION_MAJOR 0
#define TESSALY_VERSION_MINOR 1
#define TESSALY_VERSION_PATCH 0
#define TESSALY_VERSION_BUILD 0
#define TESSALY_VERSION_TEXT "0.1.0.0"
