#include "smtp/ComponentServer.h"

#include "ControlState.h"
#include "smtp/ComponentRegistry.h"
#include "smtp/Smtp.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>

#include <cstring>
#include <dlfcn.h>

namespace {
QObject* createSmtp(QObject* parent)
{
    // The control's socket and timers need the application's thread.
    const QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return nullptr;
    return new Smtp(parent);
}

const ComponentClassObject SmtpClassObject{COMPONENT_ABI_VERSION, SMTP_PROGID, &createSmtp};

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
    return ComponentRegistry::record(QStringLiteral(SMTP_PROGID), path) ? COMPONENT_OK : COMPONENT_E_REGISTRY;
}

int DllUnregisterServer(void)
{
    const QString path = ownLibraryPath();
    if (path.isEmpty())
        return COMPONENT_E_REGISTRY;
    return ComponentRegistry::forget(QStringLiteral(SMTP_PROGID), path) ? COMPONENT_OK : COMPONENT_E_REGISTRY;
}

int DllGetClassObject(const char* progId, const ComponentClassObject** classObject)
{
    if (!progId || !classObject)
        return COMPONENT_E_INVALIDARG;
    *classObject = nullptr;
    if (std::strcmp(progId, SMTP_PROGID) != 0)
        return COMPONENT_E_CLASSNOTAVAILABLE;
    *classObject = &SmtpClassObject;
    return COMPONENT_OK;
}

int DllCanUnloadNow(void)
{
    return liveControlInstances() == 0 ? COMPONENT_OK : COMPONENT_FALSE;
}
}
