// /UNINSTALL: removes what the installation listed in the program folder (install/uninstall_manifest.h).
#pragma once
#include "app/exit_codes.h"

// Reads the list beside the running program, asks once (not in a silent run), removes, marks the record.
ExitCode RunUninstall();
