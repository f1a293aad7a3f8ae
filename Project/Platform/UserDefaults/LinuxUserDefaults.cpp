#include "LinuxUserDefaults.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <cmath>
#include <system_error>

namespace platform {
namespace {

QJsonValue ToJson(const PropertyList& value) {
    switch (value.GetKind()) {
        case PropertyList::Kind::Dictionary: {
            QJsonObject object;
            for (const auto& [key, entry] : *value.AsDictionary()) {
                object.insert(QString::fromStdString(key), ToJson(entry));
            }
            return object;
        }
        case PropertyList::Kind::Array: {
            QJsonArray array;
            for (const PropertyList& entry : *value.AsArray()) {
                array.append(ToJson(entry));
            }
            return array;
        }
        case PropertyList::Kind::String:
            return QString::fromStdString(*value.AsString());
        case PropertyList::Kind::Integer:
            return static_cast<qint64>(*value.AsInteger());
        case PropertyList::Kind::Real:
            return *value.AsReal();
        case PropertyList::Kind::Boolean:
            return *value.AsBoolean();
    }
    return {};
}

PropertyList FromJson(const QJsonValue& value) {
    if (value.isObject()) {
        PropertyList::Dictionary dictionary;
        const QJsonObject object = value.toObject();
        for (auto entry = object.begin(); entry != object.end(); ++entry) {
            dictionary.emplace(entry.key().toStdString(), FromJson(entry.value()));
        }
        return dictionary;
    }
    if (value.isArray()) {
        PropertyList::Array array;
        for (const QJsonValue& entry : value.toArray()) {
            array.push_back(FromJson(entry));
        }
        return array;
    }
    if (value.isBool()) {
        return PropertyList::MakeBoolean(value.toBool());
    }
    if (value.isDouble()) {
        const double number = value.toDouble();
        if (number == std::floor(number) && std::abs(number) < 9.0e15) {
            return PropertyList::MakeInteger(static_cast<std::int64_t>(number));
        }
        return PropertyList::MakeReal(number);
    }
    return PropertyList(value.toString().toStdString());
}

}  // namespace

LinuxUserDefaults::LinuxUserDefaults()
    : fFolder(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                  .toStdString()) {}

std::filesystem::path LinuxUserDefaults::PathOf(const std::string& domain) const {
    return fFolder / (domain + ".json");
}

std::optional<PropertyList::Dictionary> LinuxUserDefaults::Read(const std::string& domain) {
    QFile file(QString::fromStdString(PathOf(domain).string()));
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isObject()) {
        return std::nullopt;
    }
    return *FromJson(document.object()).AsDictionary();
}

bool LinuxUserDefaults::Write(const std::string& domain,
                              const std::optional<PropertyList::Dictionary>& contents) {
    const std::filesystem::path path = PathOf(domain);
    if (!contents) {
        std::error_code error;
        std::filesystem::remove(path, error);
        return !error;
    }
    if (!QDir().mkpath(QString::fromStdString(fFolder.string()))) {
        return false;
    }
    QSaveFile file(QString::fromStdString(path.string()));
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(QJsonDocument(ToJson(PropertyList(*contents)).toObject()).toJson());
    return file.commit();
}

}  // namespace platform
