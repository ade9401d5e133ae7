#pragma once

#include <QIcon>
#include <QString>

namespace vantorel::console {

// A string of the station's string table as a Qt string.
QString StringResource(unsigned id);

// The station's icon.
QIcon StationIcon();

}  // namespace vantorel::console
