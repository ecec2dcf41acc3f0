#!/bin/sh
# SPDX-FileCopyrightText: 2026 The Offerwatch developers
# SPDX-License-Identifier: GPL-3.0-or-later
# The strip that the package build installs with: besides the symbols it drops the
# compiler's version notes (.comment, .note), as Debian's own packages do.
exec strip --remove-section=.comment --remove-section=.note "$@"
