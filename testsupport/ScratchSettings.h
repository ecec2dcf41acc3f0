// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Settings.h"

#include <QTemporaryDir>

#include <memory>

// A settings file of its own in a scratch folder, gone with the test.
class ScratchSettings {
public:
    ScratchSettings() { reset(); }
    // A new settings object on a new, empty file.
    void reset()
    {
        m_settings.reset();
        m_dir = std::make_unique<QTemporaryDir>();
        m_settings = std::make_unique<Settings>(m_dir->filePath(QStringLiteral("Offerwatch.ini")));
    }
    Settings& operator*() { return *m_settings; }
    Settings* operator->() { return m_settings.get(); }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Settings> m_settings;
};
