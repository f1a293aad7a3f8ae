#pragma once

#include <QString>

// The folder of the installed program's own data files, found from where the
// program itself is, so the installed tree may be moved as a whole.
QString MainBundleResourcePath();
