#!/bin/sh
# The strip that the package build installs with: besides the symbols it drops the
# compiler's version notes (.comment, .note), as Debian's own packages do.
exec strip --remove-section=.comment --remove-section=.note "$@"
