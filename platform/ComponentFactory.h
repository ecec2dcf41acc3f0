// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

class QObject;

// Creates in-process components by ProgID, as the smtp library offers them.
//
// The ProgID is looked up in the per-user component registry. When it is not
// registered there (or its library is gone), the factory looks for the
// library that serves it next to the running program (the build tree) and then
// in the program's private library folder (<libdir>/offerwatch), registers that library through its DllRegisterServer and creates the
// instance through its class object. Loaded libraries stay loaded: instances
// run their code. Every failure is a readable message, never a crash.
class ComponentFactory final {
public:
    // searchDirs: where to look for unregistered libraries; the default is the
    // program's own folder, then the private library folder it was installed with.
    explicit ComponentFactory(QStringList searchDirs = defaultSearchDirs());

    static QStringList defaultSearchDirs();

    // Which library file name serves a ProgID that is not registered yet
    // ("DazoDarozeREdorovu.Smtp" -> "libsmtp.so.1" is known from the start).
    void addKnownLibrary(const QString& progId, const QString& fileName);

    // A new instance with the given parent, or null with the reason in *error.
    QObject* create(const QString& progId, QObject* parent, QString* error) const;

private:
    QObject* createFrom(const QString& libraryPath, const QString& progId, QObject* parent, QString* error) const;
    bool registerLibrary(const QString& libraryPath, QString* error) const;

    QStringList m_searchDirs;
    QHash<QString, QString> m_knownLibraries;
};
