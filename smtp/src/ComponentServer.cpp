// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#include "smtp/ComponentServer.h"

#include "ControlState.h"
#include "smtp/Base64.h"
#include "smtp/ComponentRegistry.h"
#include "smtp/Smtp.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>

#include <cstring>
#include <dlfcn.h>

namespace {
// The codec as a host reaches it by ProgID: the meta-object system carries
// only Qt types, so the optional results become an Error signal.
class Base64Component final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("ProgID", BASE64_PROGID)
public:
    explicit Base64Component(QObject* parent)
        : QObject(parent)
    {
        ++liveControlInstances();
    }
    ~Base64Component() override { --liveControlInstances(); }
    Q_DISABLE_COPY_MOVE(Base64Component)

    Q_INVOKABLE QByteArray Encode(const QByteArray& source) const { return m_codec.Encode(source); }
    Q_INVOKABLE QByteArray Decode(const QByteArray& source)
    {
        QString error;
        if (const std::optional<QByteArray> bytes = m_codec.Decode(source, &error))
            return *bytes;
        Q_EMIT Error(error);
        return {};
    }
    Q_INVOKABLE int Shl(int dw, int n) { return shifted(Base64::Shl, dw, n); }
    Q_INVOKABLE int Shr(int dw, int n) { return shifted(Base64::Shr, dw, n); }

Q_SIGNALS:
    void Error(const QString& errorDescription);

private:
    int shifted(std::optional<std::int32_t> (*shift)(std::int32_t, std::uint8_t), int dw, int n)
    {
        const std::optional<std::int32_t> result =
            n >= 0 && n <= 255 ? shift(dw, std::uint8_t(n)) : std::optional<std::int32_t>();
        if (!result)
            Q_EMIT Error(QStringLiteral("Shifting %1 by %2 bits leaves the 32-bit range").arg(dw).arg(n));
        return result.value_or(0);
    }

    Base64 m_codec;
};

// The control's socket and timers need the application's thread, and every
// instance is a QObject that belongs to it.
bool onApplicationThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

QObject* createSmtp(QObject* parent)
{
    return onApplicationThread() ? new Smtp(parent) : nullptr;
}

QObject* createBase64(QObject* parent)
{
    return onApplicationThread() ? new Base64Component(parent) : nullptr;
}

const ComponentClassObject ClassObjects[] = {
    {COMPONENT_ABI_VERSION, SMTP_PROGID, &createSmtp},
    {COMPONENT_ABI_VERSION, BASE64_PROGID, &createBase64},
};

QString ownLibraryPath()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(&DllRegisterServer), &info) == 0 || !info.dli_fname)
        return {};
    return QFileInfo(QString::fromLocal8Bit(info.dli_fname)).canonicalFilePath();
}
} // namespace

extern "C" {

int DllRegisterServer(void)
{
    const QString path = ownLibraryPath();
    if (path.isEmpty())
        return COMPONENT_E_REGISTRY;
    for (const ComponentClassObject& classObject : ClassObjects) {
        if (!ComponentRegistry::record(QLatin1String(classObject.progId), path))
            return COMPONENT_E_REGISTRY;
    }
    return COMPONENT_OK;
}

int DllUnregisterServer(void)
{
    const QString path = ownLibraryPath();
    if (path.isEmpty())
        return COMPONENT_E_REGISTRY;
    for (const ComponentClassObject& classObject : ClassObjects) {
        if (!ComponentRegistry::forget(QLatin1String(classObject.progId), path))
            return COMPONENT_E_REGISTRY;
    }
    return COMPONENT_OK;
}

int DllGetClassObject(const char* progId, const ComponentClassObject** classObject)
{
    if (!progId || !classObject)
        return COMPONENT_E_INVALIDARG;
    *classObject = nullptr;
    for (const ComponentClassObject& candidate : ClassObjects) {
        if (std::strcmp(progId, candidate.progId) == 0) {
            *classObject = &candidate;
            return COMPONENT_OK;
        }
    }
    return COMPONENT_E_CLASSNOTAVAILABLE;
}

int DllCanUnloadNow(void)
{
    return liveControlInstances() == 0 ? COMPONENT_OK : COMPONENT_FALSE;
}
}

#include "ComponentServer.moc"
