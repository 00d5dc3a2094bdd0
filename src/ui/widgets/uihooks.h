// Connects the core's user-facing failure reports to message boxes.
#pragma once

void InstallUIHooks();
