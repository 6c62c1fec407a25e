// Sends the scanning service its launch request, waiting for as long as it is stopped, and
// reports each failing step in a message box.
#pragma once

void RequestScannerLaunch();
