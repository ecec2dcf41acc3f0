// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
/*
 * In-process component server interface of the smtp library.
 *
 * A host that does not link the library loads it with dlopen/QLibrary,
 * resolves these four C functions and creates the control through the class
 * object for its ProgID. The instance is a QObject; the host reaches its
 * properties, methods and signals through Qt's meta-object system, so it
 * needs no C++ header of the control itself.
 *
 * Registration records "ProgID -> absolute library path" in the per-user
 * component registry, an ini file at
 *   $XDG_CONFIG_HOME/Offerwatch/components.ini   (default ~/.config)
 * with one group per ProgID holding the key Library.
 */
#ifndef SMTP_COMPONENTSERVER_H
#define SMTP_COMPONENTSERVER_H

#ifdef __cplusplus
class QObject;
extern "C" {
#else
typedef struct QObject QObject;
#endif

#define SMTP_PROGID "DazoDarozeREdorovu.Smtp"
/* The codec of the control's attachments. Its instance offers, through the
 * meta-object system, Encode(QByteArray) and Decode(QByteArray) returning
 * QByteArray, and Shl(int, int) and Shr(int, int) returning int; a failure
 * raises its Error(QString) signal and returns an empty or zero result. */
#define BASE64_PROGID "DazoDarozeREdorovu.Base64"
#define COMPONENT_ABI_VERSION 1

/* Result codes of the four exports. */
#define COMPONENT_OK 0
#define COMPONENT_FALSE 1               /* DllCanUnloadNow: instances still live */
#define COMPONENT_E_CLASSNOTAVAILABLE (-1) /* the library does not serve that ProgID */
#define COMPONENT_E_REGISTRY (-2)       /* the registry file could not be written */
#define COMPONENT_E_INVALIDARG (-3)

typedef struct ComponentClassObject {
    int abiVersion;     /* COMPONENT_ABI_VERSION */
    const char* progId;
    /* Creates a new instance with the given parent (may be null). The caller
     * owns it unless a parent was given. Must be called on the thread of the
     * QCoreApplication. Returns null when no instance can be made. */
    QObject* (*createInstance)(QObject* parent);
} ComponentClassObject;

typedef int (*DllRegisterServerFunction)(void);
typedef int (*DllUnregisterServerFunction)(void);
typedef int (*DllGetClassObjectFunction)(const char* progId, const ComponentClassObject** classObject);
typedef int (*DllCanUnloadNowFunction)(void);

/* Records every ProgID of this library, pointing at the library's own path. */
__attribute__((visibility("default"))) int DllRegisterServer(void);
/* Removes the ProgIDs that point at this library. */
__attribute__((visibility("default"))) int DllUnregisterServer(void);
/* Hands out the static class object for progId, or COMPONENT_E_CLASSNOTAVAILABLE. */
__attribute__((visibility("default"))) int DllGetClassObject(const char* progId,
                                                             const ComponentClassObject** classObject);
/* COMPONENT_OK when no instance is alive, COMPONENT_FALSE otherwise. */
__attribute__((visibility("default"))) int DllCanUnloadNow(void);

#ifdef __cplusplus
}
#endif

#endif
