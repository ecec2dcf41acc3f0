// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitor/HistoryFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <cstdio>

namespace {
const QString Format = QStringLiteral("offerwatch-history");
const QSet<QString> Fields{QStringLiteral("format"), QStringLiteral("version"), QStringLiteral("source"),
                           QStringLiteral("url"),    QStringLiteral("saved"),   QStringLiteral("lists"),
                           QStringLiteral("keys")};

// Each of the eight slots of a JSON array through take; false when the array is not that.
template <typename Take> bool readSlots(const QJsonValue& value, Take take)
{
    const QJsonArray array = value.toArray();
    if (!value.isArray() || array.size() != ChangeDetector::HistorySize)
        return false;
    for (int i = 0; i < ChangeDetector::HistorySize; ++i)
        if (!take(i, array.at(i)))
            return false;
    return true;
}

bool parse(const QByteArray& bytes, const QString& source, const QString& url, SeenHistory* history,
           QString* problem)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    const QJsonObject object = document.object();
    if (error.error != QJsonParseError::NoError || !document.isObject() || object.value(QStringLiteral("format")) != Format) {
        *problem = QStringLiteral("it is not a history file of this program");
        return false;
    }
    if (object.value(QStringLiteral("version")) != HistoryFile::FormatVersion) {
        *problem = QStringLiteral("it is of another version");
        return false;
    }
    if (object.value(QStringLiteral("source")) != source || object.value(QStringLiteral("url")) != url) {
        *problem = QStringLiteral("it belongs to another address");
        return false;
    }
    const QStringList keys = object.keys();
    const auto unknown = std::find_if(keys.cbegin(), keys.cend(), [](const QString& k) { return !Fields.contains(k); });
    if (unknown != keys.cend()) {
        *problem = QStringLiteral("it has an unknown field \"%1\"").arg(*unknown);
        return false;
    }
    SeenHistory read;
    read.saved = QDateTime::fromString(object.value(QStringLiteral("saved")).toString(), Qt::ISODate);
    const bool listsRead = readSlots(object.value(QStringLiteral("lists")), [&read](int i, const QJsonValue& v) {
        read.lists[size_t(i)] = v.toString();
        return v.isString();
    });
    const bool keysRead = readSlots(object.value(QStringLiteral("keys")), [&read](int i, const QJsonValue& v) {
        const QJsonArray array = v.toArray();
        for (const QJsonValue& key : array)
            read.keys[size_t(i)].insert(key.toString());
        return v.isArray() && std::all_of(array.begin(), array.end(), [](const QJsonValue& k) { return k.isString(); });
    });
    if (!read.saved.isValid() || !listsRead || !keysRead) {
        *problem = QStringLiteral("it is damaged");
        return false;
    }
    *history = read;
    return true;
}
} // namespace

int SeenHistory::filledLists() const
{
    int filled = 0;
    for (size_t i = 0; i < lists.size(); ++i)
        if (lists[i] != QLatin1String(" ") || !keys[i].isEmpty())
            ++filled;
    return filled;
}

QString HistoryFile::defaultFolder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    // XDG base directories must be absolute: a relative XDG_STATE_HOME is ignored.
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::home().filePath(QStringLiteral(".local/state"));
    return QDir(base).filePath(QStringLiteral("Offerwatch"));
}

HistoryFile::HistoryFile(const QString& folder, const QString& sourceName, const QUrl& url)
    : m_source(sourceName)
    , m_url(url.toString())
{
    // The host makes the folder readable to a person; the hash keeps addresses apart.
    QString host = url.host().left(64);
    for (QChar& c : host)
        if (!c.isLetterOrNumber() && c != u'.' && c != u'-')
            c = u'_';
    const QByteArray hash = QCryptographicHash::hash(m_url.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    m_path = QDir(folder).filePath(
        QStringLiteral("%1-%2-%3.json").arg(sourceName, host.isEmpty() ? QStringLiteral("none") : host,
                                            QString::fromLatin1(hash)));
}

HistoryFile::Outcome HistoryFile::read(SeenHistory* history, QString* problem) const
{
    const QFileInfo info(m_path);
    if (!info.exists() && !info.isSymLink())
        return Outcome::Missing;
    // A FIFO or a device in its place would block a read or never end.
    if (!info.isFile()) {
        *problem = QStringLiteral("it is not a regular file");
        return Outcome::Unusable;
    }
    if (info.size() > MaxBytes) {
        *problem = QStringLiteral("it is larger than any history");
        return Outcome::Unusable;
    }
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        *problem = file.errorString();
        return Outcome::Unusable;
    }
    return parse(file.read(MaxBytes + 1), m_source, m_url, history, problem) ? Outcome::Read : Outcome::Unusable;
}

QString HistoryFile::setAside() const
{
    const QString kept = m_path + QStringLiteral(".damaged");
    // One damaged file is kept, the newest: a file damaged at every start cannot pile up.
    if (QFileInfo(kept).isDir())
        QDir().rmdir(kept);
    else
        QFile::remove(kept);
    if (std::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(kept).constData()) != 0)
        return {};
    return kept;
}

bool HistoryFile::write(const SeenHistory& history, QString* error) const
{
    QJsonArray lists;
    QJsonArray keys;
    for (size_t i = 0; i < history.lists.size(); ++i) {
        lists.append(history.lists[i]);
        QStringList sorted(history.keys[i].cbegin(), history.keys[i].cend());
        sorted.sort();
        keys.append(QJsonArray::fromStringList(sorted));
    }
    const QJsonObject object{{QStringLiteral("format"), Format},
                             {QStringLiteral("version"), FormatVersion},
                             {QStringLiteral("source"), m_source},
                             {QStringLiteral("url"), m_url},
                             {QStringLiteral("saved"), history.saved.toUTC().toString(Qt::ISODateWithMs)},
                             {QStringLiteral("lists"), lists},
                             {QStringLiteral("keys"), keys}};
    const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    if (bytes.size() > MaxBytes) {
        *error = QStringLiteral("the history is larger than %1 MiB").arg(MaxBytes / (1024 * 1024));
        return false;
    }
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath())) {
        *error = QStringLiteral("its folder cannot be made");
        return false;
    }
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}
