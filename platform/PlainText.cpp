// SPDX-FileCopyrightText: 2026 The Offerwatch developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/PlainText.h"

namespace PlainText {

bool isFolded(char32_t c)
{
    if (c < 0x20 || (c >= 0x7f && c <= 0x9f))
        return true;
    switch (c) {
    case 0x061c:                              // Arabic letter mark
    case 0x200e: case 0x200f:                 // left-to-right and right-to-left marks
    case 0x2028: case 0x2029:                 // line and paragraph separators
    case 0x202a: case 0x202b: case 0x202c:    // embeddings and pop
    case 0x202d: case 0x202e:                 // overrides
    case 0x2066: case 0x2067: case 0x2068:    // isolates
    case 0x2069:                              // pop isolate
        return true;
    default:
        return false;
    }
}

QString folded(const QString& text)
{
    // Only the characters above are replaced, and none of them is a surrogate, so a
    // code-unit walk is enough and keeps every other character exactly as it was.
    QString out = text;
    for (QChar& c : out) {
        if (isFolded(c.unicode()))
            c = u' ';
    }
    return out;
}

QString foldedAndCut(const QString& text, qsizetype maxLength)
{
    if (maxLength < 1 || text.size() <= maxLength)
        return folded(text);
    qsizetype cut = maxLength - 1;
    // Never split a surrogate pair: half a character would be a broken character.
    if (cut > 0 && text.at(cut - 1).isHighSurrogate())
        --cut;
    return folded(text.left(cut)) + u'…';
}

} // namespace PlainText
