// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "ComponentFactory.h"

#include <smtp/ComponentRegistry.h>
#include <smtp/ComponentServer.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QObject>

namespace {
bool fail(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}
} // namespace

ComponentFactory::ComponentFactory(QStringList searchDirs)
    : m_searchDirs(std::move(searchDirs))
{
    addKnownLibrary(QStringLiteral(SMTP_PROGID), QStringLiteral("libsmtp.so.1"));
}

QStringList ComponentFactory::defaultSearchDirs()
{
    QStringList dirs;
    if (QCoreApplication::instance())
        dirs.append(QCoreApplication::applicationDirPath());
    dirs.append(QStringLiteral(OFFERWATCH_LIBDIR));
    return dirs;
}

void ComponentFactory::addKnownLibrary(const QString& progId, const QString& fileName)
{
    m_knownLibraries.insert(progId, fileName);
}

QObject* ComponentFactory::create(const QString& progId, QObject* parent, QString* error) const
{
    QString registeredError;
    const QString registered = ComponentRegistry::libraryFor(progId);
    if (!registered.isEmpty()) {
        if (QObject* object = createFrom(registered, progId, parent, &registeredError))
            return object;
    }

    // Not registered, or registered to a library that no longer loads.
    const QString fileName = m_knownLibraries.value(progId);
    if (fileName.isEmpty()) {
        fail(error,
             registeredError.isEmpty()
                 ? QStringLiteral("Component %1 is not registered and no library is known to serve it").arg(progId)
                 : registeredError);
        return nullptr;
    }
    QStringList tried;
    QString lastError;
    for (const QString& dir : m_searchDirs) {
        const QString path = QDir(dir).filePath(fileName);
        tried.append(path);
        if (!QFileInfo::exists(path))
            continue;
        if (!registerLibrary(path, &lastError))
            continue;
        if (QObject* object = createFrom(path, progId, parent, &lastError))
            return object;
    }
    if (!lastError.isEmpty())
        fail(error, lastError);
    else
        fail(error, QStringLiteral("Component %1 is not registered and its library was not found (looked for %2)")
                        .arg(progId, tried.join(QStringLiteral(", "))));
    return nullptr;
}

bool ComponentFactory::registerLibrary(const QString& libraryPath, QString* error) const
{
    QLibrary library(libraryPath);
    if (!library.load())
        return fail(error, QStringLiteral("Cannot load %1: %2").arg(libraryPath, library.errorString()));
    const auto registerServer = reinterpret_cast<DllRegisterServerFunction>(library.resolve("DllRegisterServer"));
    if (!registerServer)
        return fail(error, QStringLiteral("%1 is not a component library (no DllRegisterServer)").arg(libraryPath));
    // An unwritable registry only costs the next start this search again.
    if (const int result = registerServer(); result != COMPONENT_OK)
        qWarning("%s could not register itself in %s (code %d)", qPrintable(libraryPath),
                 qPrintable(ComponentRegistry::filePath()), result);
    return true;
}

QObject* ComponentFactory::createFrom(const QString& libraryPath, const QString& progId, QObject* parent,
                                      QString* error) const
{
    // Never unloaded: the instances and their meta-objects live in the library.
    QLibrary library(libraryPath);
    if (!library.load()) {
        fail(error, QStringLiteral("Cannot load %1 for %2: %3").arg(libraryPath, progId, library.errorString()));
        return nullptr;
    }
    const auto getClassObject = reinterpret_cast<DllGetClassObjectFunction>(library.resolve("DllGetClassObject"));
    if (!getClassObject) {
        fail(error, QStringLiteral("%1 is not a component library (no DllGetClassObject)").arg(libraryPath));
        return nullptr;
    }
    const QByteArray id = progId.toUtf8();
    const ComponentClassObject* classObject = nullptr;
    const int result = getClassObject(id.constData(), &classObject);
    if (result != COMPONENT_OK || !classObject) {
        fail(error, QStringLiteral("%1 does not serve %2 (code %3)").arg(libraryPath, progId).arg(result));
        return nullptr;
    }
    if (classObject->abiVersion != COMPONENT_ABI_VERSION || !classObject->createInstance) {
        fail(error, QStringLiteral("%1 speaks component interface version %2, this program version %3")
                        .arg(libraryPath)
                        .arg(classObject->abiVersion)
                        .arg(COMPONENT_ABI_VERSION));
        return nullptr;
    }
    QObject* object = classObject->createInstance(parent);
    if (!object)
        fail(error, QStringLiteral("%1 could not create %2 (it must be created on the application's thread)")
                        .arg(libraryPath, progId));
    return object;
}
