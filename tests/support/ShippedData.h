#pragma once

#include <QString>

// The shipped data folder as the window's tests read it: a temporary folder holding the
// files of dat/ (hard links where the file system allows, copies otherwise), with the
// configuration store opened over it and the built-in texts registered. Whatever the store
// writes (user.ini) stays in the temporary folder. The GUI tests' main() calls it; a test
// that released the store calls it again.
void useShippedData();

// The temporary folder, ending with '/'.
QString shippedDataDir();
