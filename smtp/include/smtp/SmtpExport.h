// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: LGPL-2.1-or-later
#pragma once

// The library is built with hidden visibility; only what carries SMTP_EXPORT
// is part of its binary interface.
#if defined(SMTP_BUILDING_LIBRARY)
#define SMTP_EXPORT __attribute__((visibility("default")))
#else
#define SMTP_EXPORT
#endif
