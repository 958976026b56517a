#include "platform/settings_store.h"

#include <QByteArray>
#include <QDir>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <cstdlib>

namespace zelvor {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

std::string ConfigHome() {
    // The XDG rules ignore a relative XDG_CONFIG_HOME.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return xdg;
    const char* home = std::getenv("HOME");
    const std::string base = (home && home[0]) ? std::string(home) : QDir::homePath().toStdString();
    return base + "/.config";
}

SettingsStore SettingsStore::ForApplication(const std::string& organisation, const std::string& application) {
    return SettingsStore(ConfigHome() + "/" + organisation + "/" + application + ".conf");
}

SettingsStore SettingsStore::ForProfileFile(const std::string& fileName) {
    return SettingsStore(ConfigHome() + "/" + fileName);
}

bool SettingsStore::GroupExists(const std::string& group) const {
    QSettings settings(Q(filePath_), QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) return false;
    if (!group.empty()) settings.beginGroup(Q(group));
    return !settings.allKeys().isEmpty();
}

std::optional<std::string> SettingsStore::ReadString(const std::string& key) const {
    QSettings settings(Q(filePath_), QSettings::IniFormat);
    const QVariant value = settings.value(Q(key));
    if (settings.status() != QSettings::NoError || !value.isValid()) return std::nullopt;
    // A hand-edited value with bare commas reads back as a list; take it as the text it was.
    if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(',').toStdString();
    if (!value.canConvert<QString>()) return std::nullopt;
    return value.toString().toStdString();
}

std::optional<std::int64_t> SettingsStore::ReadInt(const std::string& key) const {
    QSettings settings(Q(filePath_), QSettings::IniFormat);
    const QVariant value = settings.value(Q(key));
    if (settings.status() != QSettings::NoError || !value.isValid()) return std::nullopt;
    bool ok = false;
    const qlonglong number = value.toString().trimmed().toLongLong(&ok);
    if (!ok) return std::nullopt;
    return number;
}

std::optional<std::vector<std::uint8_t>> SettingsStore::ReadBinary(const std::string& key) const {
    QSettings settings(Q(filePath_), QSettings::IniFormat);
    const QVariant value = settings.value(Q(key));
    if (settings.status() != QSettings::NoError || value.typeId() != QMetaType::QByteArray) return std::nullopt;
    const QByteArray bytes = value.toByteArray();
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

namespace {

bool Write(const std::string& path, const std::string& key, const QVariant& value) {
    QSettings settings(Q(path), QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) return false;
    settings.setValue(Q(key), value);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

}  // namespace

bool SettingsStore::WriteString(const std::string& key, const std::string& value) {
    return Write(filePath_, key, Q(value));
}

bool SettingsStore::WriteInt(const std::string& key, std::int64_t value) {
    return Write(filePath_, key, QVariant::fromValue<qlonglong>(value));
}

bool SettingsStore::WriteBinary(const std::string& key, const std::vector<std::uint8_t>& value) {
    const QByteArray bytes(reinterpret_cast<const char*>(value.data()), static_cast<qsizetype>(value.size()));
    return Write(filePath_, key, bytes);
}

bool SettingsStore::RemoveValue(const std::string& key) {
    QSettings settings(Q(filePath_), QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) return false;
    if (!settings.contains(Q(key))) return true;
    settings.remove(Q(key));
    settings.sync();
    return settings.status() == QSettings::NoError;
}

SettingsStore::RemoveResult SettingsStore::RemoveGroup(const std::string& group) {
    QSettings settings(Q(filePath_), QSettings::IniFormat);
    if (settings.status() != QSettings::NoError) return RemoveResult::OpenError;
    if (!group.empty()) settings.beginGroup(Q(group));
    const bool exists = !settings.allKeys().isEmpty();
    if (!group.empty()) settings.endGroup();
    if (!exists) return RemoveResult::NotFound;
    if (group.empty())
        settings.clear();
    else
        settings.remove(Q(group));
    settings.sync();
    return settings.status() == QSettings::NoError ? RemoveResult::Removed : RemoveResult::OpenError;
}

}  // namespace zelvor
