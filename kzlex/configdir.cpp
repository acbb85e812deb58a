#include "kzlex/configdir.h"

#include <QStandardPaths>

QString GetAppConfigDir() {
    const QString appData = qEnvironmentVariable("APPDATA");
    if (!appData.isEmpty())
        return appData;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}
