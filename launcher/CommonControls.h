// Loads the common-control classes the process may use, before anything else runs.
#pragma once

void PrepareCommonControls();
