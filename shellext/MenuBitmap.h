// Resource id of the emblem shown beside the scan item.
#pragma once

#define IDB_SCAN_EMBLEM 145
