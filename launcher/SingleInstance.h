// One launcher per logon: the first copy holds a named mutex until it ends.
#pragma once

// False when another copy already holds the mutex; this copy must then end silently.
bool ClaimSingleInstance();
