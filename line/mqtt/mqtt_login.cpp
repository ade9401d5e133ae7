#include "line/mqtt/mqtt_login.h"

#include <QSettings>

#include "base/bounded_file.h"

namespace vantorel::line {

MqttLogin LoadMqttLogin(const std::filesystem::path& settingsFile, size_t maxBytes,
                        std::vector<std::string>& notes) {
    MqttLogin login;
    std::string why;
    switch (CheckBoundedRegularFile(settingsFile.string(), maxBytes, why)) {
        case FileCheck::Missing:
            return login;
        case FileCheck::Unusable:
            notes.push_back("The settings file " + settingsFile.string() + " is " + why +
                            ": no broker login read from it.");
            return login;
        case FileCheck::Usable:
            break;
    }
    const QSettings settings(QString::fromStdString(settingsFile.string()), QSettings::IniFormat);
    login.user = settings.value(QStringLiteral("mqtt/user")).toString().toStdString();
    login.password = settings.value(QStringLiteral("mqtt/password")).toString().toStdString();
    login.caFile = settings.value(QStringLiteral("mqtt/ca-file")).toString().toStdString();
    if (login.user.empty() && !login.password.empty()) {
        notes.push_back("The settings file " + settingsFile.string() +
                        " gives [mqtt] a password but no user: no login is sent.");
        login.password.clear();
    }
    return login;
}

}  // namespace vantorel::line
